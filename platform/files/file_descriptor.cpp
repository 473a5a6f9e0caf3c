// FileDescriptor: an open file, read and written whole, closed on every path.
#include "platform/files/file_descriptor.h"

#include "platform/files/file_error.h"
#include "platform/system/system_calls.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace quillmend::platform {

FileDescriptor::FileDescriptor(int fd, NativeName path)
    : m_fd(fd)
    , m_path(std::move(path))
{
}

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        SystemCalls::current().close(m_fd);
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_path(std::move(other.m_path))
{
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            SystemCalls::current().close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_path = std::move(other.m_path);
    }
    return *this;
}

FileDescriptor FileDescriptor::open(const NativeName& path, OpenMode mode, std::uint32_t permissions)
{
    int fd;
    do {
        fd = SystemCalls::current().open(path.system(), mode, permissions);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw FileError(path, errno);
    return FileDescriptor(fd, path);
}

std::size_t FileDescriptor::readFully(char* buffer, std::size_t count)
{
    std::size_t done = 0;
    while (done < count) {
        const std::ptrdiff_t n = SystemCalls::current().read(m_fd, buffer + done, count - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(m_path, errno);
        }
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    return done;
}

void FileDescriptor::writeFully(const char* buffer, std::size_t count)
{
    // Large writes are split so that one call never asks for more than the
    // system takes at once (Linux stops near 2 GiB).
    constexpr std::size_t kMaxChunk = std::size_t(1) << 30;
    std::size_t done = 0;
    while (done < count) {
        const std::size_t chunk = std::min(count - done, kMaxChunk);
        const std::ptrdiff_t n = SystemCalls::current().write(m_fd, buffer + done, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw FileError(m_path, errno == EPERM && noRoomFor(chunk) ? ENOSPC : errno);
        }
        if (n == 0)
            throw FileError(m_path, ENOSPC);
        done += std::size_t(n);
    }
}

bool FileDescriptor::noRoomFor(std::size_t count) const
{
    // Some drivers (FAT through FUSE) refuse a write that the disk has no
    // room for as not permitted; the free space tells the truth.
    const int error = errno;
    const std::int64_t free = SystemCalls::current().freeSpace(m_fd);
    errno = error;
    return free >= 0 && std::uint64_t(free) < count;
}

void FileDescriptor::sync()
{
    int result;
    do {
        result = SystemCalls::current().fsync(m_fd);
    } while (result < 0 && errno == EINTR);
    if (result < 0)
        throw FileError(m_path, errno);
}

void FileDescriptor::close()
{
    const int fd = std::exchange(m_fd, -1);
    // The descriptor is gone even when close reports EINTR; what was written
    // has been flushed by sync() beforehand wherever it matters.
    if (SystemCalls::current().close(fd) < 0 && errno != EINTR)
        throw FileError(m_path, errno);
}

} // namespace quillmend::platform
