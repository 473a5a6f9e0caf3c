#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "system_units.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace quillmend::platform {

/// What the system says of one file, in the same terms on every desktop.
struct FileStatus {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    struct timespec modified = {};
    /// The type and permission bits as POSIX spells them (S_IFREG, 0644, ...);
    /// on Windows made from the file's attributes.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

/// A file's name as the system spells it, in the system's units: bytes on
/// Linux and macOS, UTF-16 on Windows (system_units.h, one for each system,
/// chosen by the build).
using NativeChar = SystemUnit;
using NativeString = std::basic_string<NativeChar>;

/// "No owner or group given" for SystemCalls::fchown, as POSIX's (uid_t)-1.
constexpr std::uint32_t kKeepId = UINT32_MAX;

} // namespace quillmend::platform
