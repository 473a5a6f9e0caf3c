#pragma once

#include "platform/text_encoding.h"

#include <unicode/ucnv.h>

#include <memory>

namespace quillmend::platform {

/// An ICU converter, closed when it goes.
using IcuConverter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

/// Opens ICU's converter for `encoding` (the system default's for the
/// default encoding). Throws EncodingError when ICU has none.
IcuConverter OpenIcuConverter(const TextEncoding& encoding);

} // namespace quillmend::platform
