// Open files: opening, reading, writing, flushing, locking, leasing, on Linux and macOS.
#include "platform/system/internal/system_backend.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace quillmend::platform {

int internal::backend::open(const NativeChar* path, OpenMode mode, std::uint32_t permissions)
{
    int flags = (mode & OpenFlag::Write ? O_WRONLY : O_RDONLY) | O_CLOEXEC | O_NOCTTY;
    if (mode & OpenFlag::Create)
        flags |= O_CREAT;
    if (mode & OpenFlag::Exclusive)
        flags |= O_EXCL;
    if (mode & OpenFlag::Truncate)
        flags |= O_TRUNC;
    if (mode & OpenFlag::NoFollow)
        flags |= O_NOFOLLOW;
    if (mode & OpenFlag::NonBlocking)
        flags |= O_NONBLOCK;
    if (mode & OpenFlag::Folder)
        flags |= O_DIRECTORY;
    return ::open(path, flags, mode_t(permissions));
}

std::ptrdiff_t internal::backend::read(int fd, void* buffer, std::size_t count)
{
    return ::read(fd, buffer, count);
}

std::ptrdiff_t internal::backend::write(int fd, const void* buffer, std::size_t count)
{
    return ::write(fd, buffer, count);
}

int internal::backend::close(int fd)
{
    return ::close(fd);
}

std::int64_t internal::backend::lseek(int fd, std::int64_t offset)
{
    return ::lseek(fd, offset, SEEK_SET);
}

int internal::backend::lock(int fd, LockMode mode)
{
    return ::flock(fd, mode == LockMode::TryExclusive ? LOCK_EX | LOCK_NB : LOCK_UN);
}

int internal::backend::fsync(int fd)
{
#if defined(__APPLE__)
    // fsync() there leaves the data in the drive's own cache, where a power
    // cut loses it; F_FULLFSYNC flushes that cache too. Some file systems
    // (network shares, some external drives) refuse it: fsync is then the
    // most there is.
    if (::fcntl(fd, F_FULLFSYNC) == 0)
        return 0;
#endif
    return ::fsync(fd);
}

int internal::backend::startWriteback(int fd, std::int64_t offset, std::int64_t count)
{
#if defined(__linux__)
    return ::sync_file_range(fd, offset, count, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)offset;
    (void)count;
    return 0;
#endif
}

int internal::backend::openUnnamed(const NativeChar* folder, std::uint32_t mode)
{
#if defined(__linux__) && defined(O_TMPFILE)
    const int fd = ::open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, mode_t(mode));
    // Kernels and file systems without it answer in several ways.
    if (fd < 0 && (errno == EISDIR || errno == EINVAL || errno == ENOTSUP))
        errno = EOPNOTSUPP;
    return fd;
#else
    (void)folder;
    (void)mode;
    errno = EOPNOTSUPP;
    return -1;
#endif
}

int internal::backend::linkUnnamed(int fd, const NativeChar* newPath)
{
#if defined(__linux__)
    // The way that needs no privilege goes through /proc; AT_EMPTY_PATH
    // serves where /proc is not mounted, for a process that may use it.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, newPath, AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return -1;
    return ::linkat(fd, "", AT_FDCWD, newPath, AT_EMPTY_PATH);
#else
    (void)fd;
    (void)newPath;
    errno = ENOSYS;
    return -1;
#endif
}

int internal::backend::lease(int fd, SystemCalls::LeaseRequest request)
{
#if defined(__linux__)
    switch (request) {
    case SystemCalls::LeaseRequest::Take: {
        // The system tells of a broken lease by a signal, SIGIO unless told
        // otherwise, which would end the program: a real-time signal that
        // nothing else uses, ignored, serves instead.
        static const int notice = [] {
            const int chosen = SIGRTMAX - 3;
            struct sigaction current {};
            if (::sigaction(chosen, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
                ::signal(chosen, SIG_IGN);
            return chosen;
        }();
        if (::fcntl(fd, F_SETSIG, notice) < 0)
            return -1;
        return ::fcntl(fd, F_SETLEASE, F_RDLCK);
    }
    case SystemCalls::LeaseRequest::Check: {
        const int held = ::fcntl(fd, F_GETLEASE);
        return held < 0 ? -1 : held == F_RDLCK ? 1 : 0;
    }
    case SystemCalls::LeaseRequest::Release:
        return ::fcntl(fd, F_SETLEASE, F_UNLCK);
    }
    errno = EINVAL;
    return -1;
#else
    (void)fd;
    (void)request;
    errno = ENOSYS;
    return -1;
#endif
}

} // namespace quillmend::platform
