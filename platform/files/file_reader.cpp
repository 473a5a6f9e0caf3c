// FileReader: a file read once, with its identity and, where needed, its digest.
#include "platform/files/file_reader.h"

#include "platform/files/file_error.h"
#include "platform/system/system_calls.h"

#include <cerrno>

namespace quillmend::platform {

namespace {

QString changedWhileRead()
{
    return QStringLiteral("it was changed by another program while it was being read");
}

} // namespace

FileReader::FileReader(const FileRef& file)
    : m_file(file)
{
    FileStatus before;
    if (SystemCalls::current().stat(m_file.path().system(), &before) < 0)
        throw FileError(m_file.path(), errno);
    if (!before.isRegular())
        throw FileError(m_file.path(),
                        before.isFolder() ? QStringLiteral("it is a folder, not a file")
                                          : QStringLiteral("it is not a regular file"));

    // Non-blocking, so that a FIFO put in the file's place since the check
    // above cannot hang the program; the identity check below then refuses it.
    m_descriptor = FileDescriptor::open(m_file.path(), OpenFlag::NonBlocking);
    FileStatus opened;
    if (SystemCalls::current().fstat(m_descriptor.get(), &opened) < 0)
        throw FileError(m_file.path(), errno);
    m_identity = FileIdentity::fromStatus(opened);
    if (!opened.isRegular() || !m_identity.sameFileAndContent(FileIdentity::fromStatus(before)))
        throw FileError(m_file.path(), changedWhileRead());
    if (m_identity.hasCoarseTimes())
        m_digest = std::make_unique<QCryptographicHash>(kDigestAlgorithm);
}

std::size_t FileReader::read(char* buffer, std::size_t count)
{
    const std::size_t arrived = m_descriptor.readFully(buffer, count);
    m_position += qint64(arrived);
    if (m_digest)
        m_digest->addData(QByteArrayView(buffer, qsizetype(arrived)));
    return arrived;
}

void FileReader::rewind()
{
    if (SystemCalls::current().lseek(m_descriptor.get(), 0) < 0)
        throw FileError(m_file.path(), errno);
    m_position = 0;
    if (m_digest)
        m_digest->reset();
}

void FileReader::checkReadWhole() const
{
    FileStatus now;
    if (SystemCalls::current().fstat(m_descriptor.get(), &now) < 0)
        throw FileError(m_file.path(), errno);
    if (m_position != m_identity.size || !FileIdentity::fromStatus(now).sameFileAndContent(m_identity))
        throw FileError(m_file.path(), changedWhileRead());
}

QByteArray FileReader::contentDigest() const
{
    return m_digest ? m_digest->result() : QByteArray();
}

void FileReader::close()
{
    m_descriptor.close();
}

} // namespace quillmend::platform
