#include "shell/file_types.h"

namespace quillmend::shell {

FileType FileTypeXML::pXML;
QList<const FileType*> FileTypeXML::pAllFileTypes;

void FileTypeXML::Initialize()
{
    if (!pAllFileTypes.isEmpty())
        return;
    pXML.Name = QStringLiteral("XML");
    pXML.Extensions = QString();
    pXML.MacType = QStringLiteral("TEXT");
    pXML.MacCreator = QString();
    pXML.MimeType = QString();
    pXML.Imported = true;
    pXML.ConformsTo = QStringLiteral("public.data");
    pXML.UTI = QStringLiteral("public.xml");
    pAllFileTypes.append(&pXML);
    pXML.toString();
}

const FileType& FileTypeXML::XML()
{
    return pXML;
}

const QList<const FileType*>& FileTypeXML::AllFileTypes()
{
    return pAllFileTypes;
}

} // namespace quillmend::shell
