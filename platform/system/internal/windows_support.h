// What the Windows backend's files share: Windows' errors told as errno
// values, handles behind the C runtime's descriptors, paths at any length,
// and the status of an open handle.
#pragma once

#include "platform/system/system_types.h"

#include <windows.h>

namespace quillmend::platform::internal::windows {

/// The errno value that tells of a Windows error as its POSIX namesake would.
int errnoFor(DWORD error);
/// Sets errno for `error` and returns -1, as a failed POSIX call does.
int failWith(DWORD error);
/// The Windows handle behind a C runtime descriptor.
HANDLE handleOf(int fd);
/// Whether the cleaned path names a device (CON, NUL, COM1, ...): such a
/// path is answered without being opened, since opening a port can wait.
bool isDevicePath(const NativeChar* path);
/// The status of something that is no file on a disk: a device or a pipe.
int deviceStatus(FileStatus* status, bool pipe);
/// The status of an open handle, as fstat() gives it.
int statusOfHandle(HANDLE handle, FileStatus* status);
/// `path` as the ...W calls reach it at any length ("\\?\" past MAX_PATH).
NativeString longForm(const NativeChar* path);
/// Opens `path` only to ask about it; folders too.
HANDLE openForQuery(const NativeChar* path, bool followLinks);

} // namespace quillmend::platform::internal::windows
