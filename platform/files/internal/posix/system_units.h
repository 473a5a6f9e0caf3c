#pragma once

// The units of names on Linux and macOS: bytes, which need not be valid UTF-8;
// and the system's own flock() constants (LOCK_EX, ...), which the Windows
// counterpart defines for itself.

#include <QByteArray>

#include <sys/file.h>

namespace quillmend::platform {

/// One unit of a name: a byte.
using SystemUnit = char;
/// A whole name's units, as Qt holds them.
using SystemUnits = QByteArray;

} // namespace quillmend::platform
