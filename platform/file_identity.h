#pragma once

#include "platform/file_status.h"

#include <cstdint>

namespace quillmend::platform {

/// What the system says of a file at one moment: which file it is, its size,
/// when its content last changed, and its permissions and owner.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    struct timespec modified = {};
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;

    static FileIdentity fromStatus(const FileStatus& status);

    /// True when `other` is the same file with, as far as the system can tell,
    /// the same content: same device, inode, size and modification time.
    bool sameFileAndContent(const FileIdentity& other) const;

    /// True when the modification time has no fraction of a second, as on
    /// FAT and exFAT: a rewrite of the same size within one second then
    /// leaves the identity as it was, and only the bytes can tell.
    bool hasCoarseTimes() const { return modified.tv_nsec == 0; }
};

} // namespace quillmend::platform
