#include "platform/text/internal/system_encoding.h"

#include <windows.h>

namespace quillmend::platform::internal {

QString SystemEncodingName()
{
    return QStringLiteral("windows-%1").arg(GetACP());
}

} // namespace quillmend::platform::internal
