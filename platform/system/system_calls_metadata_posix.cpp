// What a file is: its status, flags, attributes, access list and owner, and the room left on its volume, on Linux and
// macOS.
#include "platform/system/internal/system_backend.h"

#include <fcntl.h>
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
    // POSIX fixes these numbers; the seam's own bits are spelt as they are.
    static_assert(S_IFREG == FileMode::kRegular && S_IFDIR == FileMode::kFolder && S_IFLNK == FileMode::kLink
                  && S_IFMT == FileMode::kTypeMask && S_ISVTX == FileMode::kSticky && S_ISGID == FileMode::kSetGroupId);
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

int internal::backend::fstat(int fd, FileStatus* status)
{
    struct stat found {};
    return withStatus(::fstat(fd, &found), found, status);
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

int internal::backend::access(const NativeChar* path)
{
    return ::access(path, W_OK);
}

int internal::backend::fchmod(int fd, std::uint32_t mode)
{
    return ::fchmod(fd, mode_t(mode));
}

int internal::backend::fchown(int fd, std::uint32_t owner, std::uint32_t group)
{
    return ::fchown(fd, owner == kKeepId ? uid_t(-1) : uid_t(owner), group == kKeepId ? gid_t(-1) : gid_t(group));
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

} // namespace quillmend::platform
