// Decodes a text to UTF-8 in slices, whatever the cuts.
#pragma once

#include "platform/text/text_encoding.h"

#include <QByteArray>
#include <QByteArrayView>

#include <QStringDecoder>
#include <QStringEncoder>

#include <optional>
#include <vector>

namespace quillmend::platform {

/// Decodes a text that arrives piece by piece from one encoding to UTF-8.
/// A character cut by the end of one piece is completed by the next, so the
/// pieces together give the same UTF-8 as the whole text converted at once:
/// bytes that are not valid in the encoding become U+FFFD, and a UTF-16 text
/// takes its byte order from its byte-order mark (big-endian without one).
/// Single-byte encodings decode by table, UTF-16 here, the system's default
/// encoding through Qt.
class StreamDecoder {
public:
    /// Throws EncodingError when the encoding is not available.
    explicit StreamDecoder(const TextEncoding& source);
    StreamDecoder(const StreamDecoder&) = delete;
    StreamDecoder& operator=(const StreamDecoder&) = delete;

    /// Appends `bytes`, decoded, to `out`. With `last`, also whatever a cut
    /// character still holds back (as U+FFFD: the text ended inside it).
    /// Throws EncodingError when the encoding service fails.
    void decode(QByteArrayView bytes, bool last, QByteArray& out);
    /// Whether any byte so far was not valid in the encoding (a cut character
    /// counts once the text has ended).
    bool hasError() const;

private:
    void decodeUtf16(QByteArrayView bytes, bool last, QByteArray& out);

    TextEncoding m_encoding;
    bool m_singleByte;
    std::optional<QStringDecoder> m_system;
    bool m_error = false;
    // UTF-16: the byte order, once the first two bytes have told it, and
    // what a cut leaves over: an odd byte, a high surrogate.
    std::optional<bool> m_littleEndian;
    QByteArray m_oddByte;
    char16_t m_highSurrogate = 0;
    std::vector<char16_t> m_units; // a slice's UTF-16 units, in this machine's order
    QStringEncoder m_toUtf8{QStringEncoder::Utf8, QStringConverter::Flag::Stateless};
};

} // namespace quillmend::platform
