// The seam's own words for what the system tells and is asked: a file's
// status, its type and permission bits, how a file is opened and locked,
// and the units of names.
#pragma once

#include "system_units.h"

#include <QFlags>

#include <cstdint>
#include <ctime>
#include <string>

namespace quillmend::platform {

/// A file's type and permission bits, in POSIX's numbers on every system
/// (on Windows made from the file's attributes).
namespace FileMode {
constexpr std::uint32_t kTypeMask = 0170000;
constexpr std::uint32_t kRegular = 0100000;
constexpr std::uint32_t kFolder = 0040000;
constexpr std::uint32_t kLink = 0120000;
constexpr std::uint32_t kFifo = 0010000;
constexpr std::uint32_t kCharDevice = 0020000;
constexpr std::uint32_t kSetUserId = 04000;
constexpr std::uint32_t kSetGroupId = 02000;
constexpr std::uint32_t kSticky = 01000;
constexpr std::uint32_t kOwnerRead = 0400;
constexpr std::uint32_t kOwnerWrite = 0200;
constexpr std::uint32_t kGroupAll = 070;
constexpr std::uint32_t kGroupWrite = 020;
constexpr std::uint32_t kOthersAll = 07;
constexpr std::uint32_t kOthersWrite = 02;
/// Read and write for the owner alone: a file that is not ready yet.
constexpr std::uint32_t kOwnerOnly = kOwnerRead | kOwnerWrite;
} // namespace FileMode

/// What the system says of one file, in the same terms on every desktop.
struct FileStatus {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    struct timespec modified = {};
    /// FileMode bits.
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;

    bool isRegular() const { return (mode & FileMode::kTypeMask) == FileMode::kRegular; }
    bool isFolder() const { return (mode & FileMode::kTypeMask) == FileMode::kFolder; }
};

/// How SystemCalls::open() opens a file: for reading unless Write is given.
/// Every file is opened so that no program this one starts inherits it, and
/// so that no terminal becomes the program's by being opened.
enum class OpenFlag : std::uint32_t {
    Read = 0,
    Write = 1,
    /// Created where it is missing, with the mode given.
    Create = 2,
    /// With Create: fails with EEXIST where the name is taken.
    Exclusive = 4,
    Truncate = 8,
    /// Fails where the name is a symbolic link.
    NoFollow = 16,
    /// Returns at once where opening would wait (a FIFO without a writer,
    /// a leased file); reads and writes then never wait either.
    NonBlocking = 32,
    /// The name must be a folder (for flushing it).
    Folder = 64,
};
Q_DECLARE_FLAGS(OpenMode, OpenFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(OpenMode)

/// What SystemCalls::lock() does with a file's lock, which blocks no reading.
enum class LockMode {
    /// Takes it for this process alone, failing with EWOULDBLOCK at once
    /// where another holds it.
    TryExclusive,
    /// Lets it go.
    Release,
};

/// A file's name as the system spells it, in the system's units: bytes on
/// Linux and macOS, UTF-16 on Windows (system_units.h, one for each system,
/// chosen by the build).
using NativeChar = SystemUnit;
using NativeString = std::basic_string<NativeChar>;

/// "No owner or group given" for SystemCalls::fchown, as POSIX's (uid_t)-1.
constexpr std::uint32_t kKeepId = UINT32_MAX;

} // namespace quillmend::platform
