// Open files: opening, reading, writing, flushing, locking, leasing, on Windows. Paths are UTF-16 throughout (the ...W calls),
// never the ANSI code page; a descriptor is the C runtime's number for a
// Windows handle, so that the rest of the platform layer keeps one shape on
// every desktop.
#include "platform/files/internal/system_backend.h"
#include "platform/files/internal/windows_support.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace quillmend::platform {

using namespace internal::windows;

int internal::backend::open(const NativeChar* path, int flags, std::uint32_t mode)
{
    const int access = flags & (O_RDONLY | O_WRONLY | O_RDWR);
    const DWORD desired = access == O_WRONLY ? GENERIC_WRITE
        : access == O_RDWR                   ? GENERIC_READ | GENERIC_WRITE
                                             : GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if ((flags & O_CREAT) && (flags & O_EXCL))
        disposition = CREATE_NEW;
    else if ((flags & O_CREAT) && (flags & O_TRUNC))
        disposition = CREATE_ALWAYS;
    else if (flags & O_CREAT)
        disposition = OPEN_ALWAYS;
    else if (flags & O_TRUNC)
        disposition = TRUNCATE_EXISTING;
    DWORD attributes = (flags & O_CREAT) && !(mode & S_IWUSR) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
    if (flags & O_DIRECTORY)
        attributes |= FILE_FLAG_BACKUP_SEMANTICS;
    if (flags & O_NOFOLLOW)
        attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
    // Others may read, write and rename or delete while the file is open, as
    // on POSIX; the repair's own temporary files are kept by a lock instead.
    const HANDLE handle = CreateFileW(longForm(path).c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), access == O_RDONLY ? _O_RDONLY : 0);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

ssize_t internal::backend::read(int fd, void* buffer, std::size_t count)
{
    DWORD got = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    if (!ReadFile(handleOf(fd), buffer, asked, &got, nullptr))
        return failWith(GetLastError());
    return ssize_t(got);
}

ssize_t internal::backend::write(int fd, const void* buffer, std::size_t count)
{
    DWORD written = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    if (!WriteFile(handleOf(fd), buffer, asked, &written, nullptr))
        return failWith(GetLastError());
    return ssize_t(written);
}

int internal::backend::close(int fd)
{
    return _close(fd);
}

std::int64_t internal::backend::lseek(int fd, std::int64_t offset, int whence)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    const DWORD method = whence == SEEK_SET ? FILE_BEGIN : whence == SEEK_CUR ? FILE_CURRENT : FILE_END;
    if (!SetFilePointerEx(handleOf(fd), distance, &position, method))
        return failWith(GetLastError());
    return position.QuadPart;
}

int internal::backend::lock(int fd, int operation)
{
    // flock() on POSIX is advice that blocks no reading; a Windows byte-range
    // lock blocks every other handle's reads and writes of its range, this
    // process's own included. So the lock is on one byte far past any file's
    // end: another process cannot take it while this one holds it, and the
    // file's bytes stay free to read.
    OVERLAPPED farByte {};
    farByte.Offset = 0xFFFFFFFE;
    farByte.OffsetHigh = 0x7FFFFFFF;
    if (operation & LOCK_UN)
        return UnlockFileEx(handleOf(fd), 0, 1, 0, &farByte) ? 0 : failWith(GetLastError());
    const DWORD how = LOCKFILE_EXCLUSIVE_LOCK | ((operation & LOCK_NB) ? LOCKFILE_FAIL_IMMEDIATELY : 0);
    if (LockFileEx(handleOf(fd), how, 0, 1, 0, &farByte))
        return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
        errno = EWOULDBLOCK;
        return -1;
    }
    return failWith(error);
}

int internal::backend::fsync(int fd)
{
    if (FlushFileBuffers(handleOf(fd)))
        return 0;
    // A folder cannot be flushed this way; its entries are written through
    // by the moves themselves.
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION || error == ERROR_INVALID_HANDLE) {
        FileStatus status;
        if (statusOfHandle(handleOf(fd), &status) == 0 && S_ISDIR(status.mode)) {
            errno = EINVAL;
            return -1;
        }
    }
    return failWith(error);
}

int internal::backend::startWriteback(int, std::int64_t, std::int64_t)
{
    return 0;
}

int internal::backend::openUnnamed(const NativeChar*, std::uint32_t)
{
    errno = EOPNOTSUPP;
    return -1;
}

int internal::backend::linkUnnamed(int, const NativeChar*)
{
    errno = ENOSYS;
    return -1;
}

int internal::backend::lease(int, SystemCalls::LeaseRequest)
{
    // Opportunistic locks would serve, but need overlapped handles that the
    // rest of this backend does not use.
    errno = ENOSYS;
    return -1;
}

} // namespace quillmend::platform
