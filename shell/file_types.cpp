// FileTypeXML: the XML type, set up and registered once.
#include "shell/file_types.h"

#include "quillmend/version.h"

namespace quillmend::shell {

FileType FileTypeXML::pXML;
QList<const FileType*> FileTypeXML::pAllFileTypes;

void FileTypeXML::Initialize()
{
    if (!pAllFileTypes.isEmpty())
        return;
    pXML.Name = QString::fromLatin1(kXmlTypeName);
    pXML.Extensions = QString();
    pXML.MacType = QString::fromLatin1(kXmlTypeMacType);
    pXML.MacCreator = QString();
    pXML.MimeType = QString();
    pXML.Imported = true;
    pXML.ConformsTo = QString::fromLatin1(kXmlTypeConformsTo);
    pXML.UTI = QString::fromLatin1(kXmlTypeUti);
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
