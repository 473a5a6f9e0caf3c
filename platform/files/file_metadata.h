// Gives a new file the original's permissions, owner and attributes, and nothing more.
#pragma once

#include "platform/files/file_identity.h"
#include "platform/files/native_name.h"

namespace quillmend::platform {

/// Gives the new file open as `fd` (named `path` in errors) what the
/// original, open as `source` and read as `original` (named `originalPath`),
/// has: its owner and group where this process may set them, its mode, its
/// extended attributes and access control list, and nothing more (what the
/// folder gives every new file goes). Where the group or the access list
/// cannot be kept, the group may do no more than others. A file system that
/// holds no owners, modes or attributes is no failure. Throws FileError.
void CopyMetadata(int source, int fd, const NativeName& path, const FileIdentity& original,
                  const NativeName& originalPath);

} // namespace quillmend::platform
