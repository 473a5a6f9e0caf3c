#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace quillmend::platform {

/// What the system says of a file at one moment: which file it is, its size,
/// when its content last changed, and its permissions and owner.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    struct timespec modified = {};
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;

    static FileIdentity fromStat(const struct stat& status);

    /// True when `other` is the same file with, as far as the system can tell,
    /// the same content: same device, inode, size and modification time.
    bool sameFileAndContent(const FileIdentity& other) const;

    /// True when the modification time has no fraction of a second, as on
    /// FAT and exFAT: a rewrite of the same size within one second then
    /// leaves the identity as it was, and only the bytes can tell.
    bool hasCoarseTimes() const { return modified.tv_nsec == 0; }
};

} // namespace quillmend::platform
