// The system's own encoding on Windows: its ANSI code page.
#include "platform/system/system_encoding.h"

#include <windows.h>

namespace quillmend::platform {

QString SystemEncodingName()
{
    return QStringLiteral("windows-%1").arg(GetACP());
}

} // namespace quillmend::platform
