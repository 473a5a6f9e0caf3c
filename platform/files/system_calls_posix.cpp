#include "platform/files/internal/system_backend.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <copyfile.h>
#endif
#if defined(__linux__)
#include <linux/fs.h>
#endif

#include <cerrno>
#include <cstdlib>
#include <string>

namespace quillmend::platform {

namespace {

FileStatus statusOf(const struct stat& status)
{
    FileStatus result;
    result.device = std::uint64_t(status.st_dev);
    result.inode = std::uint64_t(status.st_ino);
    result.size = std::int64_t(status.st_size);
#ifdef __APPLE__
    result.modified = status.st_mtimespec;
#else
    result.modified = status.st_mtim;
#endif
    result.mode = std::uint32_t(status.st_mode);
    result.owner = std::uint32_t(status.st_uid);
    result.group = std::uint32_t(status.st_gid);
    return result;
}

// Fills `out` from the POSIX call's result.
int withStatus(int result, const struct stat& status, FileStatus* out)
{
    if (result == 0)
        *out = statusOf(status);
    return result;
}

} // namespace

int internal::backend::open(const NativeChar* path, int flags, std::uint32_t mode)
{
    return ::open(path, flags, mode_t(mode));
}

ssize_t internal::backend::read(int fd, void* buffer, std::size_t count)
{
    return ::read(fd, buffer, count);
}

ssize_t internal::backend::write(int fd, const void* buffer, std::size_t count)
{
    return ::write(fd, buffer, count);
}

int internal::backend::close(int fd)
{
    return ::close(fd);
}

int internal::backend::fstat(int fd, FileStatus* status)
{
    struct stat found {};
    return withStatus(::fstat(fd, &found), found, status);
}

std::int64_t internal::backend::lseek(int fd, std::int64_t offset, int whence)
{
    return ::lseek(fd, offset, whence);
}

int internal::backend::stat(const NativeChar* path, FileStatus* status)
{
    struct stat found {};
    return withStatus(::stat(path, &found), found, status);
}

int internal::backend::lstat(const NativeChar* path, FileStatus* status)
{
    struct stat found {};
    return withStatus(::lstat(path, &found), found, status);
}

int internal::backend::lock(int fd, int operation)
{
    return ::flock(fd, operation);
}

int internal::backend::listAttributes(int fd, std::vector<std::string>& names)
{
    // The list may grow between the two calls; then it is asked for again.
    for (;;) {
#if defined(__APPLE__)
        const ssize_t size = ::flistxattr(fd, nullptr, 0, 0);
#else
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
#endif
        if (size < 0)
            return -1;
        std::string list(std::size_t(size), '\0');
#if defined(__APPLE__)
        const ssize_t got = ::flistxattr(fd, list.data(), list.size(), 0);
#else
        const ssize_t got = ::flistxattr(fd, list.data(), list.size());
#endif
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return -1;
        names.clear();
        for (std::size_t start = 0; start < std::size_t(got);) {
            const std::size_t end = list.find('\0', start);
            names.push_back(list.substr(start, end - start));
            start = end + 1;
        }
        return 0;
    }
}

int internal::backend::getAttribute(int fd, const char* name, std::string& value)
{
    for (;;) {
#if defined(__APPLE__)
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0, 0, 0);
#else
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
#endif
        if (size < 0)
            return -1;
        value.assign(std::size_t(size), '\0');
#if defined(__APPLE__)
        const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size(), 0, 0);
#else
        const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
#endif
        if (got < 0 && errno == ERANGE)
            continue;
        if (got < 0)
            return -1;
        value.resize(std::size_t(got));
        return 0;
    }
}

int internal::backend::removeAttribute(int fd, const char* name)
{
#if defined(__APPLE__)
    return ::fremovexattr(fd, name, 0);
#else
    return ::fremovexattr(fd, name);
#endif
}

int internal::backend::setAttribute(int fd, const char* name, const std::string& value)
{
#if defined(__APPLE__)
    return ::fsetxattr(fd, name, value.data(), value.size(), 0, 0);
#else
    return ::fsetxattr(fd, name, value.data(), value.size(), 0);
#endif
}

int internal::backend::copyAccessList(int from, int to)
{
#if defined(__APPLE__)
    return ::fcopyfile(from, to, nullptr, COPYFILE_ACL);
#else
    (void)from;
    (void)to;
    return 0;
#endif
}

int internal::backend::access(const NativeChar* path, int mode)
{
    return ::access(path, mode);
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

int internal::backend::fchmod(int fd, std::uint32_t mode)
{
    return ::fchmod(fd, mode_t(mode));
}

int internal::backend::fchown(int fd, std::uint32_t owner, std::uint32_t group)
{
    return ::fchown(fd, owner == kKeepId ? uid_t(-1) : uid_t(owner), group == kKeepId ? gid_t(-1) : gid_t(group));
}

int internal::backend::link(const NativeChar* existing, const NativeChar* newPath)
{
    return ::link(existing, newPath);
}

int internal::backend::rename(const NativeChar* from, const NativeChar* to)
{
    return ::rename(from, to);
}

int internal::backend::unlink(const NativeChar* path)
{
    return ::unlink(path);
}

int internal::backend::renameNoReplace(const NativeChar* from, const NativeChar* to)
{
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0)
        return 0;
    // A file system that cannot rename without replacing says EINVAL.
    if (errno == EINVAL)
        errno = ENOSYS;
    return -1;
#elif defined(__APPLE__)
    return ::renamex_np(from, to, RENAME_EXCL);
#else
    (void)from;
    (void)to;
    errno = ENOSYS;
    return -1;
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

int internal::backend::fileFlags(const NativeChar* path, std::uint32_t* flags)
{
    *flags = 0;
#if defined(__linux__)
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    // A folder that this process may enter and write but not read (a drop
    // box) cannot be asked: it is taken to have no such flag, which leaves
    // it no worse off than before the question was asked.
    if (fd < 0)
        return errno == EACCES ? 0 : -1;
    int bits = 0;
    const int result = ::ioctl(fd, FS_IOC_GETFLAGS, &bits);
    const int error = errno;
    ::close(fd);
    if (result < 0) {
        // Most file systems but the ext family, XFS and Btrfs keep no such flags.
        if (error == ENOTTY || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL)
            return 0;
        errno = error;
        return -1;
    }
    if (bits & FS_APPEND_FL)
        *flags |= SystemCalls::kAppendOnly;
    if (bits & FS_IMMUTABLE_FL)
        *flags |= SystemCalls::kImmutable;
    return 0;
#elif defined(__APPLE__)
    struct stat found {};
    if (::stat(path, &found) < 0)
        return -1;
    if (found.st_flags & (UF_APPEND | SF_APPEND))
        *flags |= SystemCalls::kAppendOnly;
    if (found.st_flags & (UF_IMMUTABLE | SF_IMMUTABLE))
        *flags |= SystemCalls::kImmutable;
    return 0;
#else
    (void)path;
    return 0;
#endif
}

std::int64_t internal::backend::freeSpace(int fd)
{
    struct statvfs found {};
    if (::fstatvfs(fd, &found) < 0)
        return -1;
    return std::int64_t(found.f_bavail) * std::int64_t(found.f_frsize);
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

std::uint32_t internal::backend::processId()
{
    return std::uint32_t(::getpid());
}

std::uint32_t internal::backend::userId()
{
    return std::uint32_t(::geteuid());
}

bool internal::backend::renamesOnlyClosedFiles()
{
    return false;
}

QList<NativeName> internal::backend::commandLineArguments(int argc, char* argv[])
{
    QList<NativeName> arguments;
    for (int i = 1; i < argc; ++i)
        arguments << NativeName::fromSystem(QByteArray(argv[i]));
    return arguments;
}

char internal::backend::pathSeparator()
{
    return '/';
}

NativeString internal::backend::absolutePath(const NativeChar* path)
{
    // Cleaned byte by byte, as QDir::cleanPath would for text: a name need
    // not be text.
    QByteArray full = path;
    if (!full.startsWith('/')) {
        char* folder = ::getcwd(nullptr, 0);
        if (!folder)
            return NativeString();
        full = QByteArray(folder) + '/' + full;
        std::free(folder);
    }
    QList<QByteArray> elements;
    for (const QByteArray& element : full.split('/')) {
        if (element.isEmpty() || element == ".")
            continue;
        if (element == "..") {
            if (!elements.isEmpty())
                elements.removeLast();
            continue;
        }
        elements << element;
    }
    return ('/' + elements.join('/')).toStdString();
}

int internal::backend::processRuns(std::uint32_t id)
{
    if (::kill(pid_t(id), 0) == 0 || errno == EPERM)
        return 1;
    return errno == ESRCH ? 0 : -1;
}

long internal::backend::nameLimit(const NativeChar* folder)
{
    errno = 0;
    return ::pathconf(folder, _PC_NAME_MAX);
}

int internal::backend::listFolder(const NativeChar* path, std::vector<NativeString>& names)
{
    DIR* folder = ::opendir(path);
    if (!folder)
        return -1;
    names.clear();
    while (const dirent* entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return 0;
}

NativeString internal::backend::realpath(const NativeChar* path)
{
    char* resolved = ::realpath(path, nullptr);
    if (!resolved)
        return NativeString();
    NativeString result(resolved);
    std::free(resolved);
    return result;
}

} // namespace quillmend::platform
