#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

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
/// Linux and macOS, UTF-16 on Windows.
#ifdef _WIN32
using NativeChar = wchar_t;
#else
using NativeChar = char;
#endif
using NativeString = std::basic_string<NativeChar>;

/// "No owner or group given" for SystemCalls::fchown, as POSIX's (uid_t)-1.
constexpr std::uint32_t kKeepId = UINT32_MAX;

} // namespace quillmend::platform

#ifdef _WIN32
// The POSIX bits and flags that the platform layer speaks in and that
// MinGW's headers leave out. The open flags only need to be told apart by the
// Windows backend, which maps them to CreateFileW's.
#ifndef S_IFLNK
#define S_IFLNK 0120000
#endif
#ifndef S_ISLNK
#define S_ISLNK(m) (((m) & S_IFMT) == S_IFLNK)
#endif
#ifndef S_ISUID
#define S_ISUID 04000
#endif
#ifndef S_ISGID
#define S_ISGID 02000
#endif
#ifndef S_ISVTX
#define S_ISVTX 01000
#endif
#ifndef S_IRWXG
#define S_IRWXG 00070
#endif
#ifndef S_IWGRP
#define S_IWGRP 00020
#endif
#ifndef S_IRWXO
#define S_IRWXO 00007
#endif
#ifndef S_IWOTH
#define S_IWOTH 00002
#endif
#define O_NOFOLLOW 0x01000000
#define O_DIRECTORY 0x02000000
#define O_NONBLOCK 0
#define O_NOCTTY 0
#define O_CLOEXEC 0
#define LOCK_EX 2
#define LOCK_NB 4
#define LOCK_UN 8
#include <cerrno>
#ifndef EWOULDBLOCK
#define EWOULDBLOCK EAGAIN
#endif
#ifndef EDQUOT
#define EDQUOT 122
#endif
#endif
