#include "tests/support/test_files.h"

#include "engine/repair_pass.h"
#include "platform/files/file_ref.h"
#include "platform/text/encodings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace quillmend::tests {

#ifndef _WIN32
namespace {

// Removes everything under `folder` by the names' bytes: QDir reads names as
// text and cannot remove those that are not.
void removeEntries(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    QByteArrayList names;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names << name;
    }
    ::closedir(dir);
    for (const QByteArray& name : names) {
        const QByteArray path = folder + '/' + name;
        struct stat status {};
        if (::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode)) {
            ::chmod(path.constData(), 0700);
            removeEntries(path);
            ::rmdir(path.constData());
        } else {
            ::unlink(path.constData());
        }
    }
}

} // namespace

void ScratchFolder::empty()
{
    removeEntries(QFile::encodeName(m_dir.path()));
}

int waitStatusOfChild(const std::function<void()>& body)
{
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    int status = -1;
    if (child > 0)
        ::waitpid(child, &status, 0);
    return status;
}
#else
void ScratchFolder::empty()
{
    // Windows names are UTF-16, which QDir keeps exactly.
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}
#endif

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

engine::ResultCode repair(const QString& path, bool anyFile, bool removeTabs, const engine::YieldCallback& yield)
{
    return engine::FNProcessTheFile(platform::FileRef(path), anyFile, removeTabs, yield);
}

platform::Text readText(const QString& path)
{
    platform::Text text{readFile(path), std::nullopt};
    if (platform::BeginsWithUtf16ByteOrderMark(text.bytes))
        text.encoding = platform::Encodings::UTF16;
    return text;
}

#ifndef _WIN32
void writeFile(const QString& folder, const QByteArray& name, const QByteArray& bytes)
{
    // QFile would spell the name as UTF-8 text.
    const QByteArray path = QFile::encodeName(folder) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::WriteOnly, QFile::AutoCloseHandle) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write test file %s\n", path.toHex().constData());
        std::abort();
    }
}

QByteArray readFile(const QString& folder, const QByteArray& name)
{
    const int fd = ::open((QFile::encodeName(folder) + '/' + name).constData(), O_RDONLY);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle))
        return QByteArray();
    QByteArray bytes = file.readAll();
    return bytes.isNull() ? QByteArray("") : bytes;
}

#endif

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser | QFile::ReadGroup | QFile::ReadOther);
}

void makeWritable(const QString& path)
{
    QFile::setPermissions(path,
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser | QFile::WriteUser
                              | QFile::ExeUser | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                              | QFile::ExeOther);
}

Contents folderContents(const QString& folder)
{
    Contents contents;
    const QDir dir(folder);
    for (const QFileInfo& entry :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        contents.insert(entry.fileName(), entry.isFile() ? readFile(entry.filePath()) : QByteArray());
    return contents;
}

QByteArray describe(const Contents& contents)
{
    QByteArray line;
    for (auto it = contents.cbegin(); it != contents.cend(); ++it) {
        const QByteArray& bytes = it.value();
        const bool printable = std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return c >= 0x20 && c < 0x7F; });
        line += ' ' + it.key().toUtf8() + '=' + (printable ? '"' + bytes + '"' : bytes.toHex());
    }
    return line;
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
    return QByteArray(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
        "<SLData>\r\n"
        "<InstrumentData><Action>Entire Plot</Action><AppStamp>Vectorworks</AppStamp>\r\n"
        "<UID_1246_1_1_0_0><Purpose>Fr\xC3\xBChling\x0B wash</Purpose><Wattage>1250 W</Wattage><Use_Legend/>"
        "<AppStamp>Vectorworks</AppStamp></UID_1246_1_1_0_0>\r\n"
        "<UID_1247_1_1_0_0><AppStamp>Vector\x02works</AppStamp><Color>gel\tR02\x1F</Color></UID_1247_1_1_0_0>\r\n"
        "</InstrumentData>\r\n"
        "</SLData>\r\n");
}

QByteArray repairedSampleExport()
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                      "<SLData>\r\n"
                      "<InstrumentData><Action>Entire Plot</Action><AppStamp>Marlowbrook</AppStamp>\r\n"
                      "<UID_1246_1_1_0_0><Purpose>Fr\xC3\xBChling wash</Purpose><Wattage>1250 W</Wattage><Use_Legend/>"
                      "<AppStamp>Marlowbrook</AppStamp></UID_1246_1_1_0_0>\r\n"
                      "<UID_1247_1_1_0_0><AppStamp>Marlowbrook</AppStamp><Color>gelR02</Color></UID_1247_1_1_0_0>\r\n"
                      "</InstrumentData>\r\n"
                      "</SLData>\r\n");
}

} // namespace quillmend::tests
