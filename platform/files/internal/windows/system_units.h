#pragma once

// The units of Windows' names, and the POSIX bits and flags that the platform
// layer speaks in and that MinGW's headers leave out. The open flags only need
// to be told apart by the Windows backend, which maps them to CreateFileW's.

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace quillmend::platform {

/// One unit of a name: UTF-16.
using SystemUnit = wchar_t;
/// A whole name's units, as Qt holds them.
using SystemUnits = QString;

} // namespace quillmend::platform

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
#ifndef EWOULDBLOCK
#define EWOULDBLOCK EAGAIN
#endif
#ifndef EDQUOT
#define EDQUOT 122
#endif
