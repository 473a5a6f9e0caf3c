// Shared by the two spellings of names (native_name_posix.cpp,
// native_name_windows.cpp).
#pragma once

#include <QByteArray>

#include <cstdio>

namespace quillmend::platform::internal {

/// Appends one unit of a name as `format` writes it ("\\x%02X", "\\u%04X").
inline void AppendEscaped(QByteArray& shown, const char* format, unsigned value)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, value);
    shown += escaped;
}

} // namespace quillmend::platform::internal
