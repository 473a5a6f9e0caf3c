// A file type the program opens.
#pragma once

#include <QString>

namespace quillmend::shell {

/// A type of file that the program accepts, as the desktop knows it.
class FileType {
public:
    QString Name;
    QString Extensions;
    QString MacType;
    QString MacCreator;
    QString MimeType;
    bool Imported = false;
    QString ConformsTo;
    QString UTI;

    /// The type's string form, its name. The first call registers the type,
    /// so that other parts can find it by that name.
    QString toString() const;

    /// The registered type called `name`, or nullptr.
    static const FileType* registered(const QString& name);

    /// Whether a file of this name is of this type. Where the desktop has no
    /// type codes or identifiers, the name's extension decides, in any letter
    /// case: ".xml" for "public.xml".
    bool matchesFileName(const QString& fileName) const;
    /// The filter for an open dialog, such as "XML (*.xml)".
    QString nameFilter() const;

private:
    QString extensionForMatching() const;
};

} // namespace quillmend::shell
