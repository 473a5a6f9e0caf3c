#include "platform/icu_converter.h"

#include "platform/encoding_error.h"

namespace quillmend::platform {

IcuConverter OpenIcuConverter(const TextEncoding& encoding)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(encoding.isSystemDefault() ? nullptr : encoding.icuName().constData(), &status);
    if (U_FAILURE(status) || !converter)
        throw EncodingError("The encoding " + encoding.displayName().toStdString()
                            + " is not available: " + u_errorName(status));
    return IcuConverter(converter, &ucnv_close);
}

} // namespace quillmend::platform
