// What the system said of a file when it was read.
#pragma once

#include "platform/system/system_types.h"

namespace quillmend::platform {

/// What the system said of a file when it was read: which file it is, its
/// size, when its content last changed, and its permissions and owner.
struct FileIdentity : FileStatus {
    static FileIdentity fromStatus(const FileStatus& status) { return FileIdentity{status}; }

    /// True when `other` is the same file with, as far as the system can tell,
    /// the same content: same device, inode, size and modification time.
    bool sameFileAndContent(const FileIdentity& other) const;
    /// The same but for the number: for another name of the file where the
    /// file system numbers each name apart (sshfs numbers a new link anew).
    bool sameContentUnderAnyNumber(const FileIdentity& other) const;

    /// True when the modification time has no fraction of a second, as on
    /// FAT and exFAT: a rewrite of the same size within one second then
    /// leaves the identity as it was, and only the bytes can tell.
    bool hasCoarseTimes() const { return modified.tv_nsec == 0; }
};

} // namespace quillmend::platform
