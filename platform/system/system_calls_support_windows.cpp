// What the Windows backend's files share (internal/windows_support.h).
#include "platform/system/internal/windows_support.h"

#include <io.h>

#include <cerrno>
#include <cwchar>

namespace quillmend::platform::internal::windows {

namespace {

std::int64_t unixNanoseconds(const FILETIME& time)
{
    // 100-nanosecond ticks since 1601.
    const std::int64_t ticks = std::int64_t(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart);
    return (ticks - 116444736000000000LL) * 100;
}

} // namespace

int errnoFor(DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return EACCES;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    // The C library here names no EDQUOT; to the user it is the same.
    case ERROR_NOT_ENOUGH_QUOTA:
        return ENOSPC;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:
    case ERROR_USER_MAPPED_FILE:
        return EBUSY;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_TOO_MANY_LINKS:
        return EMLINK;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
        return EOPNOTSUPP;
    case ERROR_FILENAME_EXCED_RANGE:
        return ENAMETOOLONG;
    // A name with a character that Windows keeps out of names (<>:"|?* and
    // the control characters), as a Linux file system that cannot hold a
    // name says it.
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return EILSEQ;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_INVALID_HANDLE:
        return EBADF;
    case ERROR_NO_MORE_FILES:
        return 0;
    default:
        return EIO;
    }
}

int failWith(DWORD error)
{
    errno = errnoFor(error);
    return -1;
}

HANDLE handleOf(int fd)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(fd));
}

// A device name (CON, NUL, COM1, ...) in any folder is made "\\.\NUL" by
// the path's cleaning (GetFullPathNameW), and its folder is then "\\.".
// Such a path is answered without being opened, since opening a port can
// wait for it; the repair then finds no regular file there.
bool isDevicePath(const NativeChar* path)
{
    return std::wcscmp(path, L"\\\\.") == 0 || std::wcsncmp(path, L"\\\\.\\", 4) == 0;
}

int deviceStatus(FileStatus* status, bool pipe)
{
    *status = FileStatus();
    status->mode = (pipe ? FileMode::kFifo : FileMode::kCharDevice) | 0666;
    return 0;
}

int statusOfHandle(HANDLE handle, FileStatus* status)
{
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE)
        return deviceStatus(status, type == FILE_TYPE_PIPE);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle, &info))
        return failWith(GetLastError());
    FileStatus result;
    result.device = info.dwVolumeSerialNumber;
    result.inode = (std::uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    result.size = std::int64_t((std::uint64_t(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    const std::int64_t nanoseconds = unixNanoseconds(info.ftLastWriteTime);
    result.modified.tv_sec = time_t(nanoseconds / 1000000000);
    result.modified.tv_nsec = long(nanoseconds % 1000000000);
    // Windows keeps who may do what in the file's security descriptor, which
    // the replacement keeps whole; here only the read-only attribute counts.
    const bool directory = info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
    const bool readOnly = !directory && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        result.mode = FileMode::kLink | 0777;
    else
        result.mode = (directory ? FileMode::kFolder | 0777 : FileMode::kRegular | (readOnly ? 0444 : 0666));
    *status = result;
    return 0;
}

// A path as the ...W calls reach it at any length. Past MAX_PATH only the
// "\\?\" form does; that form skips the system's cleaning of the path, which
// FileRef has done already (GetFullPathNameW), and it makes device names and
// final dots plain names, so shorter paths keep the ordinary form.
NativeString longForm(const NativeChar* path)
{
    const std::size_t length = std::wcslen(path);
    if (length < MAX_PATH - 12 || std::wcsncmp(path, L"\\\\?\\", 4) == 0)
        return path;
    if (path[0] == L'\\' && path[1] == L'\\')
        return L"\\\\?\\UNC\\" + NativeString(path + 2);
    if (length >= 3 && path[1] == L':' && path[2] == L'\\')
        return L"\\\\?\\" + NativeString(path);
    return path;
}

HANDLE openForQuery(const NativeChar* path, bool followLinks)
{
    return CreateFileW(longForm(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT), nullptr);
}

} // namespace quillmend::platform::internal::windows
