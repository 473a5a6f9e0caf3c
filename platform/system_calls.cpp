#include "platform/system_calls.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace quillmend::platform {

namespace {

SystemCalls& realCalls()
{
    static SystemCalls calls;
    return calls;
}

SystemCalls* installed = nullptr;

} // namespace

SystemCalls& SystemCalls::current()
{
    return installed ? *installed : realCalls();
}

SystemCalls* SystemCalls::install(SystemCalls* calls)
{
    SystemCalls* previous = installed;
    installed = calls;
    return previous;
}

int SystemCalls::injectedError(Call)
{
    return 0;
}

std::size_t SystemCalls::writeLimit(std::size_t requested)
{
    return requested;
}

bool SystemCalls::fails(Call call)
{
    const int injected = injectedError(call);
    if (injected)
        errno = injected;
    return injected != 0;
}

int SystemCalls::open(const char* path, int flags, mode_t mode)
{
    if (fails(Call::Open))
        return -1;
    return ::open(path, flags, mode);
}

ssize_t SystemCalls::read(int fd, void* buffer, std::size_t count)
{
    if (fails(Call::Read))
        return -1;
    return ::read(fd, buffer, count);
}

ssize_t SystemCalls::write(int fd, const void* buffer, std::size_t count)
{
    if (fails(Call::Write))
        return -1;
    return ::write(fd, buffer, writeLimit(count));
}

int SystemCalls::close(int fd)
{
    const int injected = injectedError(Call::Close);
    const int result = ::close(fd);
    if (injected) {
        errno = injected;
        return -1;
    }
    return result;
}

int SystemCalls::fstat(int fd, struct stat* status)
{
    if (fails(Call::Fstat))
        return -1;
    return ::fstat(fd, status);
}

off_t SystemCalls::lseek(int fd, off_t offset, int whence)
{
    if (fails(Call::Lseek))
        return -1;
    return ::lseek(fd, offset, whence);
}

int SystemCalls::stat(const char* path, struct stat* status)
{
    if (fails(Call::Stat))
        return -1;
    return ::stat(path, status);
}

int SystemCalls::access(const char* path, int mode)
{
    if (fails(Call::Access))
        return -1;
    return ::access(path, mode);
}

int SystemCalls::fsync(int fd)
{
    if (fails(Call::Fsync))
        return -1;
    return ::fsync(fd);
}

int SystemCalls::startWriteback(int fd, off_t offset, off_t count)
{
    if (fails(Call::StartWriteback))
        return -1;
#if defined(__linux__)
    return ::sync_file_range(fd, offset, count, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)offset;
    (void)count;
    return 0;
#endif
}

int SystemCalls::fchmod(int fd, mode_t mode)
{
    if (fails(Call::Fchmod))
        return -1;
    return ::fchmod(fd, mode);
}

int SystemCalls::fchown(int fd, uid_t owner, gid_t group)
{
    if (fails(Call::Fchown))
        return -1;
    return ::fchown(fd, owner, group);
}

int SystemCalls::link(const char* existing, const char* newPath)
{
    if (fails(Call::Link))
        return -1;
    return ::link(existing, newPath);
}

int SystemCalls::rename(const char* from, const char* to)
{
    if (fails(Call::Rename))
        return -1;
    return ::rename(from, to);
}

int SystemCalls::unlink(const char* path)
{
    if (fails(Call::Unlink))
        return -1;
    return ::unlink(path);
}

int SystemCalls::renameNoReplace(const char* from, const char* to)
{
    if (fails(Call::RenameNoReplace))
        return -1;
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

int SystemCalls::listFolder(const char* path, std::vector<std::string>& names)
{
    if (fails(Call::ListFolder))
        return -1;
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

std::string SystemCalls::realpath(const char* path)
{
    if (fails(Call::Realpath))
        return std::string();
    char* resolved = ::realpath(path, nullptr);
    if (!resolved)
        return std::string();
    std::string result(resolved);
    std::free(resolved);
    return result;
}

} // namespace quillmend::platform
