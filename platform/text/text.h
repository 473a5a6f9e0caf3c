// Text in a known encoding.
#pragma once

#include "platform/text/text_encoding.h"

#include <QByteArray>

#include <optional>

namespace quillmend::platform {

/// Bytes with an optional label saying how to read them as characters.
/// Labelling never changes the bytes.
struct Text {
    QByteArray bytes;
    std::optional<TextEncoding> encoding;
};

} // namespace quillmend::platform
