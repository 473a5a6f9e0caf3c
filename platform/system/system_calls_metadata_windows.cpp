// What a file is: its status, flags, attributes, access list and owner, and the room left on its volume, on Windows.
// Paths are UTF-16 throughout (the ...W calls), never the ANSI code page; a descriptor is the C runtime's number for a
// Windows handle, so that the rest of the platform layer keeps one shape on
// every desktop.
#include "platform/system/internal/system_backend.h"
#include "platform/system/internal/windows_support.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace quillmend::platform {

using namespace internal::windows;

namespace {

int statusOfPath(const NativeChar* path, FileStatus* status, bool followLinks)
{
    if (isDevicePath(path))
        return deviceStatus(status, false);
    const HANDLE handle = openForQuery(path, followLinks);
    if (handle == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    const int result = statusOfHandle(handle, status);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    SetLastError(error);
    return result;
}

} // namespace

int internal::backend::fstat(int fd, FileStatus* status)
{
    return statusOfHandle(handleOf(fd), status);
}

int internal::backend::stat(const NativeChar* path, FileStatus* status)
{
    return statusOfPath(path, status, true);
}

int internal::backend::lstat(const NativeChar* path, FileStatus* status)
{
    return statusOfPath(path, status, false);
}

int internal::backend::listAttributes(int, std::vector<std::string>&)
{
    // Windows has no extended attributes of this kind; its alternate data
    // streams and security descriptor go with the file when it is replaced.
    errno = ENOTSUP;
    return -1;
}

int internal::backend::getAttribute(int, const char*, std::string&)
{
    errno = ENOTSUP;
    return -1;
}

int internal::backend::setAttribute(int, const char*, const std::string&)
{
    errno = ENOTSUP;
    return -1;
}

int internal::backend::removeAttribute(int, const char*)
{
    errno = ENOTSUP;
    return -1;
}

int internal::backend::copyAccessList(int, int)
{
    return 0;
}

int internal::backend::access(const NativeChar* path)
{
    if (isDevicePath(path))
        return 0;
    const DWORD attributes = GetFileAttributesW(longForm(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return failWith(GetLastError());
    // The read-only attribute means nothing on a folder (Explorer uses it to
    // mark customised ones).
    if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EACCES;
        return -1;
    }
    return 0;
}

int internal::backend::fchmod(int, std::uint32_t)
{
    // Permissions live in the security descriptor, which ReplaceFileW gives
    // the new content from the original.
    return 0;
}

int internal::backend::fchown(int, std::uint32_t, std::uint32_t)
{
    return 0;
}

int internal::backend::fileFlags(const NativeChar*, std::uint32_t* flags)
{
    // The read-only attribute is what Windows has of the kind, and access()
    // tells of it already.
    *flags = 0;
    return 0;
}

std::int64_t internal::backend::freeSpace(int fd)
{
    // Asked of the folder that holds the file: the call takes a folder.
    NativeString path(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handleOf(fd), path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
    if (length >= path.size()) {
        path.resize(length);
        length = GetFinalPathNameByHandleW(handleOf(fd), path.data(), DWORD(path.size()), FILE_NAME_NORMALIZED);
    }
    if (length == 0 || length >= path.size())
        return failWith(GetLastError());
    path.resize(length);
    path.resize(path.find_last_of(L'\\') + 1);
    ULARGE_INTEGER available{};
    if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr))
        return failWith(GetLastError());
    return std::int64_t(available.QuadPart);
}

} // namespace quillmend::platform
