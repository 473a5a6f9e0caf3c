#include "platform/file_ref.h"

#include "platform/encodings.h"
#include "platform/file_descriptor.h"
#include "platform/file_error.h"
#include "platform/system_calls.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace quillmend::platform {

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

struct stat statOf(const QString& path)
{
    struct stat status {};
    if (SystemCalls::current().stat(QFile::encodeName(path).constData(), &status) < 0)
        throw FileError(path, errno);
    return status;
}

struct stat fstatOf(const FileDescriptor& file)
{
    struct stat status {};
    if (SystemCalls::current().fstat(file.get(), &status) < 0)
        throw FileError(file.path(), errno);
    return status;
}

bool mayWrite(const QString& path)
{
    if (SystemCalls::current().access(QFile::encodeName(path).constData(), W_OK) < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM)
            return false;
        throw FileError(path, errno);
    }
    return (statOf(path).st_mode & kAnyWriteBit) != 0;
}

QString describeNonRegular(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("is a folder, not a file");
    return QStringLiteral("is not a regular file");
}

bool beginsWithUtf16ByteOrderMark(const QByteArray& bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

} // namespace

FileRef::FileRef(const QString& path)
    : m_path(QDir::cleanPath(QDir::current().absoluteFilePath(path)))
{
}

QString FileRef::name() const
{
    return QFileInfo(m_path).fileName();
}

FileRef FileRef::parent() const
{
    return FileRef(QFileInfo(m_path).path());
}

FileRef FileRef::child(const QString& name) const
{
    return FileRef(m_path + QLatin1Char('/') + name);
}

bool FileRef::isWritable() const
{
    return mayWrite(m_path) && mayWrite(parent().path());
}

qint64 FileRef::length() const
{
    return statOf(m_path).st_size;
}

FileIdentity FileRef::identityWithoutFollowing() const
{
    struct stat status {};
    if (SystemCalls::current().lstat(QFile::encodeName(m_path).constData(), &status) < 0)
        throw FileError(m_path, errno);
    return FileIdentity::fromStat(status);
}

bool FileRef::exists() const
{
    struct stat status {};
    if (SystemCalls::current().lstat(QFile::encodeName(m_path).constData(), &status) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    throw FileError(m_path, errno);
}

FileRef FileRef::resolved() const
{
    const std::string real = SystemCalls::current().realpath(QFile::encodeName(m_path).constData());
    if (real.empty())
        throw FileError(m_path, errno);
    return FileRef(QFile::decodeName(QByteArray::fromStdString(real)));
}

FileContent FileRef::readAll() const
{
    const struct stat before = statOf(m_path);
    if (!S_ISREG(before.st_mode))
        throw FileError(m_path, describeNonRegular(before.st_mode));

    // Non-blocking, so that a FIFO put in the file's place since the check
    // above cannot hang the program; the identity check below then refuses it.
    FileDescriptor file = FileDescriptor::open(m_path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    const struct stat opened = fstatOf(file);
    FileIdentity identity = FileIdentity::fromStat(opened);
    if (!S_ISREG(opened.st_mode) || !identity.sameFileAndContent(FileIdentity::fromStat(before)))
        throw FileError(m_path, QStringLiteral("was changed by another program while it was being read"));

    // One spare byte shows whether the file has grown since it was measured.
    QByteArray bytes(qsizetype(opened.st_size) + 1, Qt::Uninitialized);
    qsizetype size = qsizetype(file.readFully(bytes.data(), std::size_t(bytes.size())));
    while (size == bytes.size()) {
        bytes.resize(bytes.size() * 2);
        size += qsizetype(file.readFully(bytes.data() + size, std::size_t(bytes.size() - size)));
    }
    bytes.truncate(size);

    const FileIdentity after = FileIdentity::fromStat(fstatOf(file));
    file.close();
    if (!after.sameFileAndContent(identity) || size != opened.st_size)
        throw FileError(m_path, QStringLiteral("was changed by another program while it was being read"));

    FileContent content{Text{std::move(bytes), std::nullopt}, identity};
    if (beginsWithUtf16ByteOrderMark(content.text.bytes))
        content.text.encoding = Encodings::UTF16;
    return content;
}

} // namespace quillmend::platform
