// The units of names on Windows: UTF-16, as the ...W calls take them.
#pragma once

#include <QString>

namespace quillmend::platform {

using SystemUnit = wchar_t;
using SystemUnits = QString;

} // namespace quillmend::platform
