// Names in folders: links, renames, removals, listings, and paths made whole, on Windows. Paths are UTF-16 throughout
// (the ...W calls), never the ANSI code page; a descriptor is the C runtime's number for a Windows handle, so that the
// rest of the platform layer keeps one shape on every desktop.
#include "platform/system/internal/system_backend.h"
#include "platform/system/internal/windows_support.h"

#include <windows.h>

#include <fcntl.h>

#include <cerrno>
#include <cwchar>

namespace quillmend::platform {

using namespace internal::windows;

namespace {

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
    const HANDLE handle
        = CreateFileW(longForm(path).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return 0;
    }
    const DWORD error = GetLastError();
    return isSharingError(error) ? error : 0;
}

} // namespace

int internal::backend::link(const NativeChar* existing, const NativeChar* newPath)
{
    // Never replaces: an existing name fails with ERROR_ALREADY_EXISTS.
    return CreateHardLinkW(longForm(newPath).c_str(), longForm(existing).c_str(), nullptr) ? 0
                                                                                           : failWith(GetLastError());
}

int internal::backend::rename(const NativeChar* from, const NativeChar* to)
{
    // ReplaceFileW keeps the replaced file's attributes, security descriptor
    // and alternate data streams (the mark of a file from the internet among
    // them); where it cannot serve (no file to replace, a file system that
    // does not support it), one move that writes through.
    if (const DWORD blocked = replaceBlocker(to))
        return failWith(blocked);
    if (ReplaceFileW(longForm(to).c_str(), longForm(from).c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
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
    return MoveFileExW(longForm(from).c_str(), longForm(to).c_str(), MOVEFILE_WRITE_THROUGH) ? 0
                                                                                             : failWith(GetLastError());
}

int internal::backend::exchange(const NativeChar*, const NativeChar*)
{
    // Windows has no call that swaps two names; ReplaceFileW is the last step.
    errno = ENOSYS;
    return -1;
}

char internal::backend::pathSeparator()
{
    return '\\';
}

bool internal::backend::meansDiskFull(int error)
{
    return error == ENOSPC;
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
