// The units of names on Linux and macOS: bytes, as the system gives them.
#pragma once

#include <QByteArray>

namespace quillmend::platform {

using SystemUnit = char;
using SystemUnits = QByteArray;

} // namespace quillmend::platform
