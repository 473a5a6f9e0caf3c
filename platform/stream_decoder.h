#pragma once

#include "platform/text_encoding.h"

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace quillmend::platform {

/// Decodes a text that arrives piece by piece from one encoding to UTF-8.
/// A character cut by the end of one piece is completed by the next, so the
/// pieces together give the same UTF-8 as the whole text converted at once:
/// bytes that are not valid in the encoding become U+FFFD, and a UTF-16 text
/// takes its byte order from its byte-order mark (big-endian without one).
class StreamDecoder {
public:
    /// Throws EncodingError when the encoding is not available.
    explicit StreamDecoder(const TextEncoding& source);
    ~StreamDecoder();
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    /// Appends `bytes`, decoded, to `out`. With `last`, also whatever a cut
    /// character still holds back (as U+FFFD: the text ended inside it).
    /// Throws EncodingError when the encoding service fails.
    void decode(QByteArrayView bytes, bool last, QByteArray& out);

private:
    struct Converters;
    std::unique_ptr<Converters> m_converters;
};

} // namespace quillmend::platform
