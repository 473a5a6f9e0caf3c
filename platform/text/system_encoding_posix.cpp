#include "platform/text/internal/system_encoding.h"

namespace quillmend::platform::internal {

QString SystemEncodingName()
{
    return QStringLiteral("UTF-8");
}

} // namespace quillmend::platform::internal
