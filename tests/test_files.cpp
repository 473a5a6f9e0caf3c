#include "test_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>

namespace quillmend::tests {

void ScratchFolder::empty()
{
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write test file %s\n", qPrintable(path));
        std::abort();
    }
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray bytes = file.readAll();
    if (bytes.isNull())
        bytes = QByteArray("");
    return bytes;
}

QMap<QString, QByteArray> folderContents(const QString& folder)
{
    QMap<QString, QByteArray> contents;
    const QDir dir(folder);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        contents.insert(entry.fileName(), entry.isFile() ? readFile(entry.filePath()) : QByteArray());
    return contents;
}

QByteArray utf16LittleEndianWithMark(const QString& text)
{
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text) {
        bytes += char(c.unicode() & 0xFF);
        bytes += char(c.unicode() >> 8);
    }
    return bytes;
}

QByteArray sampleExport()
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      "<Export>\r\n"
                      "<Action>Entire Plot</Action>\r\n"
                      "<Fixture><AppStamp>Vectorworks</AppStamp><Purpose>Fr\xC3\xBChling\x0B wash</Purpose></Fixture>\r\n"
                      "<Fixture><AppStamp>Vector\x02works</AppStamp><Note>gel\tR02\x1F</Note></Fixture>\r\n"
                      "</Export>\r\n");
}

QByteArray repairedSampleExport()
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      "<Export>\r\n"
                      "<Action>Entire Plot</Action>\r\n"
                      "<Fixture><AppStamp>Marlowbrook</AppStamp><Purpose>Fr\xC3\xBChling wash</Purpose></Fixture>\r\n"
                      "<Fixture><AppStamp>Marlowbrook</AppStamp><Note>gelR02</Note></Fixture>\r\n"
                      "</Export>\r\n");
}

} // namespace quillmend::tests
