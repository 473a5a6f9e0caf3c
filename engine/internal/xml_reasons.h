// The XML check's words for what libxml2 found.
#pragma once

#include <QString>

#include <optional>

namespace quillmend::engine::internal {

/// What the check knows of the first fatal error: libxml2's code and words,
/// and what the check saw there itself.
struct XmlFault {
    int code = 0;
    QString message;
    /// The text ended before the error could be anything else.
    bool tooSoon = false;
    /// '&' or '<' where the error is that of a reference or a tag; 0 otherwise.
    char startedBy = 0;
    /// In the text of an entity, found at its reference.
    bool inEntity = false;
    /// The element open there, and the document's root element.
    QString innermost;
    QString root;
};

/// The plain sentence that tells the user of `fault`, with the element
/// names that only the check knows; never libxml2's routine names.
QString XmlReason(const XmlFault& fault);

/// Where libxml2 said that it stopped at a limit of its own (`message`),
/// not at a fault of the text: which limit, in plain words.
std::optional<QString> XmlLimitMet(const QString& message);

} // namespace quillmend::engine::internal
