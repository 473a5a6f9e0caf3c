// Open files: opening, reading, writing, flushing, locking, leasing, on Windows. Paths are UTF-16 throughout (the ...W
// calls), never the ANSI code page; a descriptor is the C runtime's number for a Windows handle, so that the rest of
// the platform layer keeps one shape on every desktop.
#include "platform/system/internal/system_backend.h"
#include "platform/system/internal/windows_support.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstddef>

#include <cerrno>

namespace quillmend::platform {

using namespace internal::windows;

int internal::backend::open(const NativeChar* path, OpenMode mode, std::uint32_t permissions)
{
    const bool writing = mode.testFlag(OpenFlag::Write);
    const DWORD desired = writing ? GENERIC_WRITE : GENERIC_READ;
    DWORD disposition = OPEN_EXISTING;
    if (mode.testFlag(OpenFlag::Create) && mode.testFlag(OpenFlag::Exclusive))
        disposition = CREATE_NEW;
    else if (mode.testFlag(OpenFlag::Create) && mode.testFlag(OpenFlag::Truncate))
        disposition = CREATE_ALWAYS;
    else if (mode.testFlag(OpenFlag::Create))
        disposition = OPEN_ALWAYS;
    else if (mode.testFlag(OpenFlag::Truncate))
        disposition = TRUNCATE_EXISTING;
    DWORD attributes = mode.testFlag(OpenFlag::Create) && !(permissions & FileMode::kOwnerWrite)
        ? FILE_ATTRIBUTE_READONLY
        : FILE_ATTRIBUTE_NORMAL;
    if (mode.testFlag(OpenFlag::Folder))
        attributes |= FILE_FLAG_BACKUP_SEMANTICS;
    if (mode.testFlag(OpenFlag::NoFollow))
        attributes |= FILE_FLAG_OPEN_REPARSE_POINT;
    // Others may read, write and rename or delete while the file is open, as
    // on POSIX; the repair's own temporary files are kept by a lock instead.
    const HANDLE handle
        = CreateFileW(longForm(path).c_str(), desired, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      disposition, attributes, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), writing ? 0 : _O_RDONLY);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

std::ptrdiff_t internal::backend::read(int fd, void* buffer, std::size_t count)
{
    DWORD got = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    if (!ReadFile(handleOf(fd), buffer, asked, &got, nullptr))
        return failWith(GetLastError());
    return std::ptrdiff_t(got);
}

std::ptrdiff_t internal::backend::write(int fd, const void* buffer, std::size_t count)
{
    DWORD written = 0;
    const DWORD asked = count > 0x40000000 ? 0x40000000 : DWORD(count);
    if (!WriteFile(handleOf(fd), buffer, asked, &written, nullptr))
        return failWith(GetLastError());
    return std::ptrdiff_t(written);
}

int internal::backend::close(int fd)
{
    return _close(fd);
}

std::int64_t internal::backend::lseek(int fd, std::int64_t offset)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position;
    if (!SetFilePointerEx(handleOf(fd), distance, &position, FILE_BEGIN))
        return failWith(GetLastError());
    return position.QuadPart;
}

int internal::backend::lock(int fd, LockMode mode)
{
    // flock() on POSIX is advice that blocks no reading; a Windows byte-range
    // lock blocks every other handle's reads and writes of its range, this
    // process's own included. So the lock is on one byte far past any file's
    // end: another process cannot take it while this one holds it, and the
    // file's bytes stay free to read.
    OVERLAPPED farByte{};
    farByte.Offset = 0xFFFFFFFE;
    farByte.OffsetHigh = 0x7FFFFFFF;
    if (mode == LockMode::Release)
        return UnlockFileEx(handleOf(fd), 0, 1, 0, &farByte) ? 0 : failWith(GetLastError());
    const DWORD how = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
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
        if (statusOfHandle(handleOf(fd), &status) == 0 && status.isFolder()) {
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
