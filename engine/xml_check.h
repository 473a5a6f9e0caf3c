// Whether the repaired text is well-formed XML, and where not.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>
#include <optional>

namespace quillmend::engine {

/// The first place where a text is not well-formed XML 1.0, and why, in
/// plain words. Lines and columns are counted as TextPlace counts them; the
/// place is that of the character at which the error was found, or of the
/// last character where the text ends too soon, or of the reference to an
/// entity whose text holds it. Where the check met a limit of its own there
/// (`checked` false), the text could not be checked, which says nothing of
/// it, and the reason names the limit.
struct XmlError {
    qint64 line = 0;
    qint64 column = 0;
    QString reason;
    bool checked = true;
    bool operator==(const XmlError& other) const
    {
        return line == other.line && column == other.column && reason == other.reason && checked == other.checked;
    }
};

/// Reads a repaired export as XML 1.0, piece by piece as the repair makes
/// it, and finds its first well-formedness error. libxml2 reads it, on a
/// thread of its own, while the caller goes on repairing and writing; at
/// most a few pieces wait for it, so memory stays bounded.
///
///     XmlCheck check;
///     for (each repaired piece) check.add(piece);
///     if (const std::optional<XmlError> error = check.finish()) ...
///
/// A check that is destroyed unfinished stops reading at once.
class XmlCheck {
public:
    XmlCheck();
    ~XmlCheck();
    XmlCheck(const XmlCheck&) = delete;
    XmlCheck& operator=(const XmlCheck&) = delete;

    /// Takes the next piece of the repaired text, in UTF-8, cut anywhere
    /// between characters.
    void add(QByteArrayView piece);
    /// After the last piece: the first error, or nothing where the whole
    /// text is well-formed. Waits for the reading to end.
    std::optional<XmlError> finish();

private:
    class Reading;
    std::unique_ptr<Reading> m_reading; // from the first piece on
    std::optional<std::optional<XmlError>> m_result;
};

/// Where and why, as every report of `error` says it: "line 3 column 7: ...",
/// or "could not be checked past line 3 column 7: ...".
QString XmlErrorText(const XmlError& error);

/// The plain sentence that tells of `error`: "the repaired file is still not
/// well-formed XML at line 3 column 7: ...", or "the repaired file could not
/// be checked as XML: ...". The command-line tool and the window both say it.
QString XmlNote(const XmlError& error);

} // namespace quillmend::engine
