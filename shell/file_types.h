// The program's set of file types: the XML type alone.
#pragma once

#include "shell/file_type.h"

#include <QList>

namespace quillmend::shell {

/// The program's set of file types: the XML type alone.
class FileTypeXML {
public:
    /// Sets up the set and registers its type; called once at start-up.
    static void Initialize();
    /// The XML type; its string form is "XML".
    static const FileType& XML();
    /// Every type of the set.
    static const QList<const FileType*>& AllFileTypes();

private:
    static FileType pXML;
    static QList<const FileType*> pAllFileTypes;
};

} // namespace quillmend::shell
