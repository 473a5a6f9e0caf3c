// Each system's name for its own encoding, from the backend that the build
// chooses (system_encoding_posix.cpp, system_encoding_windows.cpp).
#pragma once

#include <QString>

namespace quillmend::platform {

/// The name of the encoding that programs without Unicode write in on this
/// system: Windows' "ANSI" code page ("windows-1252"); UTF-8 on Linux and
/// macOS, as Qt takes it there.
QString SystemEncodingName();

} // namespace quillmend::platform
