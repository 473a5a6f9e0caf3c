// The system's own encoding on Linux and macOS: UTF-8.
#include "platform/system/system_encoding.h"

namespace quillmend::platform {

QString SystemEncodingName()
{
    return QStringLiteral("UTF-8");
}

} // namespace quillmend::platform
