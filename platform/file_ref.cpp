#include "platform/file_ref.h"

#include "platform/encodings.h"
#include "platform/file_descriptor.h"
#include "platform/file_error.h"
#include "platform/file_reader.h"
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

bool mayWrite(const QString& path)
{
    if (SystemCalls::current().access(QFile::encodeName(path).constData(), W_OK) < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM)
            return false;
        throw FileError(path, errno);
    }
    return (statOf(path).st_mode & kAnyWriteBit) != 0;
}

} // namespace

bool BeginsWithUtf16ByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

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

bool FileRef::exists() const
{
    const QFileInfo info(m_path);
    return info.exists() || info.isSymLink();
}

qint64 FileRef::length() const
{
    return statOf(m_path).st_size;
}

bool FileRef::isRegularFile() const
{
    return S_ISREG(statOf(m_path).st_mode);
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
    FileReader reader(*this);
    // One spare byte shows whether the file has grown since it was opened.
    QByteArray bytes(qsizetype(reader.identity().size) + 1, Qt::Uninitialized);
    bytes.truncate(qsizetype(reader.read(bytes.data(), std::size_t(bytes.size()))));
    reader.checkReadWhole();
    reader.close();

    FileContent content{Text{std::move(bytes), std::nullopt}, reader.identity()};
    if (BeginsWithUtf16ByteOrderMark(content.text.bytes))
        content.text.encoding = Encodings::UTF16;
    return content;
}

} // namespace quillmend::platform
