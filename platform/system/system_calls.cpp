// SystemCalls: each call asks once whether a test makes it fail, then reaches its backend.
#include "platform/system/system_calls.h"

#include "platform/system/internal/system_backend.h"

#include <cerrno>

namespace quillmend::platform {

namespace {

SystemCalls& realCalls()
{
    static SystemCalls calls;
    return calls;
}

SystemCalls* installed = nullptr;

} // namespace

// Each call asks once, here, whether a test makes it fail, and otherwise
// reaches the system through its backend.
namespace backend = internal::backend;

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

int SystemCalls::close(int fd)
{
    // A failing close has still freed the descriptor, so an injected failure
    // closes it too.
    const int injected = injectedError(Call::Close);
    const int result = backend::close(fd);
    if (injected) {
        errno = injected;
        return -1;
    }
    return result;
}

int SystemCalls::open(const NativeChar* path, OpenMode mode, std::uint32_t permissions)
{
    return fails(Call::Open) ? -1 : backend::open(path, mode, permissions);
}

std::ptrdiff_t SystemCalls::read(int fd, void* buffer, std::size_t count)
{
    return fails(Call::Read) ? -1 : backend::read(fd, buffer, count);
}

std::ptrdiff_t SystemCalls::write(int fd, const void* buffer, std::size_t count)
{
    return fails(Call::Write) ? -1 : backend::write(fd, buffer, writeLimit(count));
}

int SystemCalls::fstat(int fd, FileStatus* status)
{
    return fails(Call::Fstat) ? -1 : backend::fstat(fd, status);
}

std::int64_t SystemCalls::lseek(int fd, std::int64_t offset)
{
    return fails(Call::Lseek) ? -1 : backend::lseek(fd, offset);
}

int SystemCalls::stat(const NativeChar* path, FileStatus* status)
{
    return fails(Call::Stat) ? -1 : backend::stat(path, status);
}

int SystemCalls::lstat(const NativeChar* path, FileStatus* status)
{
    return fails(Call::Lstat) ? -1 : backend::lstat(path, status);
}

int SystemCalls::lock(int fd, LockMode mode)
{
    return fails(Call::Lock) ? -1 : backend::lock(fd, mode);
}

int SystemCalls::listAttributes(int fd, std::vector<std::string>& names)
{
    return fails(Call::ListAttributes) ? -1 : backend::listAttributes(fd, names);
}

int SystemCalls::getAttribute(int fd, const char* name, std::string& value)
{
    return fails(Call::GetAttribute) ? -1 : backend::getAttribute(fd, name, value);
}

int SystemCalls::removeAttribute(int fd, const char* name)
{
    return fails(Call::RemoveAttribute) ? -1 : backend::removeAttribute(fd, name);
}

int SystemCalls::setAttribute(int fd, const char* name, const std::string& value)
{
    return fails(Call::SetAttribute) ? -1 : backend::setAttribute(fd, name, value);
}

int SystemCalls::copyAccessList(int from, int to)
{
    return fails(Call::CopyAccessList) ? -1 : backend::copyAccessList(from, to);
}

int SystemCalls::access(const NativeChar* path)
{
    return fails(Call::Access) ? -1 : backend::access(path);
}

int SystemCalls::fsync(int fd)
{
    return fails(Call::Fsync) ? -1 : backend::fsync(fd);
}

int SystemCalls::startWriteback(int fd, std::int64_t offset, std::int64_t count)
{
    return fails(Call::StartWriteback) ? -1 : backend::startWriteback(fd, offset, count);
}

int SystemCalls::fchmod(int fd, std::uint32_t mode)
{
    return fails(Call::Fchmod) ? -1 : backend::fchmod(fd, mode);
}

int SystemCalls::fchown(int fd, std::uint32_t owner, std::uint32_t group)
{
    return fails(Call::Fchown) ? -1 : backend::fchown(fd, owner, group);
}

int SystemCalls::link(const NativeChar* existing, const NativeChar* newPath)
{
    return fails(Call::Link) ? -1 : backend::link(existing, newPath);
}

int SystemCalls::rename(const NativeChar* from, const NativeChar* to)
{
    return fails(Call::Rename) ? -1 : backend::rename(from, to);
}

int SystemCalls::unlink(const NativeChar* path)
{
    return fails(Call::Unlink) ? -1 : backend::unlink(path);
}

int SystemCalls::renameNoReplace(const NativeChar* from, const NativeChar* to)
{
    return fails(Call::RenameNoReplace) ? -1 : backend::renameNoReplace(from, to);
}

int SystemCalls::exchange(const NativeChar* from, const NativeChar* to)
{
    return fails(Call::Exchange) ? -1 : backend::exchange(from, to);
}

int SystemCalls::openUnnamed(const NativeChar* folder, std::uint32_t mode)
{
    return fails(Call::OpenUnnamed) ? -1 : backend::openUnnamed(folder, mode);
}

int SystemCalls::linkUnnamed(int fd, const NativeChar* newPath)
{
    return fails(Call::LinkUnnamed) ? -1 : backend::linkUnnamed(fd, newPath);
}

int SystemCalls::fileFlags(const NativeChar* path, std::uint32_t* flags)
{
    return fails(Call::FileFlags) ? -1 : backend::fileFlags(path, flags);
}

std::int64_t SystemCalls::freeSpace(int fd)
{
    return fails(Call::FreeSpace) ? -1 : backend::freeSpace(fd);
}

int SystemCalls::lease(int fd, LeaseRequest request)
{
    return fails(Call::Lease) ? -1 : backend::lease(fd, request);
}

std::uint32_t SystemCalls::processId()
{
    return backend::processId();
}

int SystemCalls::processRuns(std::uint32_t id)
{
    return fails(Call::ProcessRuns) ? -1 : backend::processRuns(id);
}

long SystemCalls::nameLimit(const NativeChar* folder)
{
    return fails(Call::NameLimit) ? -1 : backend::nameLimit(folder);
}

int SystemCalls::listFolder(const NativeChar* path, std::vector<NativeString>& names)
{
    return fails(Call::ListFolder) ? -1 : backend::listFolder(path, names);
}

NativeString SystemCalls::realpath(const NativeChar* path)
{
    return fails(Call::Realpath) ? NativeString() : backend::realpath(path);
}

std::uint32_t SystemCalls::userId()
{
    return backend::userId();
}

bool SystemCalls::renamesOnlyClosedFiles()
{
    return backend::renamesOnlyClosedFiles();
}

std::vector<NativeString> SystemCalls::commandLineArguments(int argc, char* argv[])
{
    return backend::commandLineArguments(argc, argv);
}

char SystemCalls::pathSeparator()
{
    return backend::pathSeparator();
}

bool SystemCalls::meansDiskFull(int error)
{
    return backend::meansDiskFull(error);
}

NativeString SystemCalls::absolutePath(const NativeChar* path)
{
    return backend::absolutePath(path);
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

} // namespace quillmend::platform
