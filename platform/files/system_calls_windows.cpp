// The system calls on Windows, made of Windows' own calls. Paths are UTF-16
// throughout (the ...W calls), never the ANSI code page. A descriptor is the
// C runtime's number for a Windows handle, so that the rest of the platform
// layer keeps one shape on every desktop.
#include "platform/files/internal/system_backend.h"

#include <windows.h>

#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <cwchar>

namespace quillmend::platform {

namespace {

// The errno value that tells of a Windows error as its POSIX namesake would.
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
        return ENOSPC;
    case ERROR_NOT_ENOUGH_QUOTA:
        return EDQUOT;
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

std::int64_t unixNanoseconds(const FILETIME& time)
{
    // 100-nanosecond ticks since 1601.
    const std::int64_t ticks = std::int64_t(ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart);
    return (ticks - 116444736000000000LL) * 100;
}

// A device name (CON, NUL, COM1, ...) in any folder is made "\\.\NUL" by
// the path's cleaning (GetFullPathNameW), and its folder is then "\\.".
// Such a path is answered without being opened, since opening a port can
// wait for it; the repair then finds no regular file there.
bool isDevicePath(const NativeChar* path)
{
    return std::wcscmp(path, L"\\\\.") == 0 || std::wcsncmp(path, L"\\\\.\\", 4) == 0;
}

// The status of something that is no file on a disk: a device (the console,
// NUL, a serial port) or a pipe.
int deviceStatus(FileStatus* status, bool pipe)
{
    *status = FileStatus();
    status->mode = pipe ? S_IFIFO | 0666 : S_IFCHR | 0666;
    return 0;
}

int statusOfHandle(HANDLE handle, FileStatus* status)
{
    const DWORD type = GetFileType(handle);
    if (type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE)
        return deviceStatus(status, type == FILE_TYPE_PIPE);
    BY_HANDLE_FILE_INFORMATION info {};
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
        result.mode = S_IFLNK | 0777;
    else
        result.mode = (directory ? S_IFDIR | 0777 : S_IFREG | (readOnly ? 0444 : 0666));
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

// Opens `path` only to ask about it; folders too.
HANDLE openForQuery(const NativeChar* path, bool followLinks)
{
    return CreateFileW(longForm(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT),
                       nullptr);
}

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

bool isSharingError(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

// The sharing violation that replacing `path` would meet: another program's
// handle opened without FILE_SHARE_DELETE keeps it from being renamed.
// ReplaceFileW fails the same way, but Wine's leaves a file of its own
// ("rf*.tmp") in the folder each time it does; asked first, nothing is left.
DWORD replaceBlocker(const NativeChar* path)
{
    const HANDLE handle = CreateFileW(longForm(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                      nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return 0;
    }
    const DWORD error = GetLastError();
    return isSharingError(error) ? error : 0;
}

} // namespace

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

int internal::backend::fstat(int fd, FileStatus* status)
{
    return statusOfHandle(handleOf(fd), status);
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

int internal::backend::stat(const NativeChar* path, FileStatus* status)
{
    return statusOfPath(path, status, true);
}

int internal::backend::lstat(const NativeChar* path, FileStatus* status)
{
    return statusOfPath(path, status, false);
}

int internal::backend::lock(int fd, int operation)
{
    // A byte-range lock over everything, which Windows enforces: another
    // process cannot take it while this one holds it.
    OVERLAPPED whole {};
    if (operation & LOCK_UN)
        return UnlockFileEx(handleOf(fd), 0, MAXDWORD, MAXDWORD, &whole) ? 0 : failWith(GetLastError());
    const DWORD how = LOCKFILE_EXCLUSIVE_LOCK | ((operation & LOCK_NB) ? LOCKFILE_FAIL_IMMEDIATELY : 0);
    if (LockFileEx(handleOf(fd), how, 0, MAXDWORD, MAXDWORD, &whole))
        return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) {
        errno = EWOULDBLOCK;
        return -1;
    }
    return failWith(error);
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

int internal::backend::access(const NativeChar* path, int mode)
{
    if (isDevicePath(path))
        return 0;
    const DWORD attributes = GetFileAttributesW(longForm(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return failWith(GetLastError());
    // The read-only attribute means nothing on a folder (Explorer uses it to
    // mark customised ones).
    if ((mode & W_OK) && (attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        errno = EACCES;
        return -1;
    }
    return 0;
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

int internal::backend::link(const NativeChar* existing, const NativeChar* newPath)
{
    // Never replaces: an existing name fails with ERROR_ALREADY_EXISTS.
    return CreateHardLinkW(longForm(newPath).c_str(), longForm(existing).c_str(), nullptr) ? 0 : failWith(GetLastError());
}

int internal::backend::rename(const NativeChar* from, const NativeChar* to)
{
    // ReplaceFileW keeps the replaced file's attributes, security descriptor
    // and alternate data streams (the mark of a file from the internet among
    // them); where it cannot serve (no file to replace, a file system that
    // does not support it), one move that writes through.
    if (const DWORD blocked = replaceBlocker(to))
        return failWith(blocked);
    if (ReplaceFileW(longForm(to).c_str(), longForm(from).c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
        return 0;
    const DWORD error = GetLastError();
    if (isSharingError(error) || error == ERROR_UNABLE_TO_REMOVE_REPLACED)
        return failWith(error);
    if (MoveFileExW(longForm(from).c_str(), longForm(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    return failWith(GetLastError());
}

int internal::backend::unlink(const NativeChar* path)
{
    return DeleteFileW(longForm(path).c_str()) ? 0 : failWith(GetLastError());
}

int internal::backend::renameNoReplace(const NativeChar* from, const NativeChar* to)
{
    // Without MOVEFILE_REPLACE_EXISTING a move never replaces.
    return MoveFileExW(longForm(from).c_str(), longForm(to).c_str(), MOVEFILE_WRITE_THROUGH) ? 0 : failWith(GetLastError());
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
    ULARGE_INTEGER available {};
    if (!GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr))
        return failWith(GetLastError());
    return std::int64_t(available.QuadPart);
}

int internal::backend::lease(int, SystemCalls::LeaseRequest)
{
    // Opportunistic locks would serve, but need overlapped handles that the
    // rest of this backend does not use.
    errno = ENOSYS;
    return -1;
}

std::uint32_t internal::backend::processId()
{
    return std::uint32_t(GetCurrentProcessId());
}

std::uint32_t internal::backend::userId()
{
    return kKeepId;
}

bool internal::backend::renamesOnlyClosedFiles()
{
    return true;
}

QList<NativeName> internal::backend::commandLineArguments(int, char*[])
{
    SetConsoleOutputCP(CP_UTF8);
    QList<NativeName> arguments;
    int count = 0;
    if (wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            arguments << NativeName::fromSystem(NativeString(wide[i]));
        LocalFree(wide);
    }
    return arguments;
}

char internal::backend::pathSeparator()
{
    return '\\';
}

NativeString internal::backend::absolutePath(const NativeChar* path)
{
    NativeString full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(path, DWORD(full.size()), full.data(), nullptr);
        if (length == 0) {
            errno = EINVAL;
            return NativeString();
        }
        if (length < full.size()) {
            full.resize(length);
            break;
        }
        full.resize(length);
    }
    // A trailing separator is no part of the name, except after a drive.
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

int internal::backend::processRuns(std::uint32_t id)
{
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, id);
    if (!process) {
        const DWORD error = GetLastError();
        // No such process, or one that is not ours to look at.
        if (error == ERROR_INVALID_PARAMETER)
            return 0;
        return error == ERROR_ACCESS_DENIED ? 1 : failWith(error);
    }
    // A process that has ended stays until its last handle is closed.
    const DWORD state = WaitForSingleObject(process, 0);
    CloseHandle(process);
    return state == WAIT_TIMEOUT ? 1 : 0;
}

long internal::backend::nameLimit(const NativeChar* folder)
{
    if (isDevicePath(folder))
        return 255;
    const HANDLE handle = openForQuery(folder, true);
    if (handle == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    DWORD limit = 0;
    const BOOL known = GetVolumeInformationByHandleW(handle, nullptr, 0, nullptr, &limit, nullptr, nullptr, 0);
    const DWORD error = GetLastError();
    CloseHandle(handle);
    return known ? long(limit) : failWith(error);
}

int internal::backend::listFolder(const NativeChar* path, std::vector<NativeString>& names)
{
    if (isDevicePath(path)) {
        names.clear();
        return 0;
    }
    const NativeString pattern = longForm((NativeString(path) + L"\\*").c_str());
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return failWith(GetLastError());
    names.clear();
    do {
        const NativeString name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(search, &entry));
    const DWORD error = GetLastError();
    FindClose(search);
    return error == ERROR_NO_MORE_FILES ? 0 : failWith(error);
}

NativeString internal::backend::realpath(const NativeChar* path)
{
    if (isDevicePath(path))
        return path;
    const HANDLE handle = openForQuery(path, true);
    if (handle == INVALID_HANDLE_VALUE) {
        failWith(GetLastError());
        return NativeString();
    }
    NativeString resolved(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()), FILE_NAME_NORMALIZED);
    if (length >= resolved.size()) {
        resolved.resize(length);
        length = GetFinalPathNameByHandleW(handle, resolved.data(), DWORD(resolved.size()), FILE_NAME_NORMALIZED);
    }
    const DWORD error = GetLastError();
    CloseHandle(handle);
    if (length == 0 || length >= resolved.size()) {
        // Some implementations (Wine's among them) name no path past
        // MAX_PATH. A clean absolute path whose last element is no link
        // then serves: the repair replaces that element in its own folder,
        // which a link among the folders above does not change.
        const DWORD attributes = GetFileAttributesW(longForm(path).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return path;
        failWith(error);
        return NativeString();
    }
    resolved.resize(length);
    // "\\?\C:\..." is the long form of "C:\...", "\\?\UNC\server\..." that of
    // "\\server\...".
    if (resolved.rfind(L"\\\\?\\UNC\\", 0) == 0)
        resolved = L"\\\\" + resolved.substr(8);
    else if (resolved.rfind(L"\\\\?\\", 0) == 0)
        resolved = resolved.substr(4);
    return resolved;
}

} // namespace quillmend::platform
