// StreamDecoder: decoding that carries a split character across slices.
#include "platform/text/stream_decoder.h"

#include "platform/text/encoding_error.h"
#include "platform/text/encoding_service.h"
#include "platform/text/encodings.h"

#include <QtEndian>

#include <algorithm>
#include <utility>

namespace quillmend::platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendUtf8(char32_t character, QByteArray& out)
{
    if (character < 0x80) {
        out += char(character);
    } else if (character < 0x800) {
        out += char(0xC0 | (character >> 6));
        out += char(0x80 | (character & 0x3F));
    } else if (character < 0x10000) {
        out += char(0xE0 | (character >> 12));
        out += char(0x80 | ((character >> 6) & 0x3F));
        out += char(0x80 | (character & 0x3F));
    } else {
        out += char(0xF0 | (character >> 18));
        out += char(0x80 | ((character >> 12) & 0x3F));
        out += char(0x80 | ((character >> 6) & 0x3F));
        out += char(0x80 | (character & 0x3F));
    }
}

bool isHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit < 0xDC00;
}

bool isLowSurrogate(char16_t unit)
{
    return unit >= 0xDC00 && unit < 0xE000;
}

} // namespace

StreamDecoder::StreamDecoder(const TextEncoding& source)
    : m_encoding(source)
    , m_singleByte(IsSingleByte(source))
{
    if (source.isSystemDefault())
        m_system.emplace(QStringDecoder::System);
    else if (source.isUtf8())
        m_system.emplace(QStringDecoder::Utf8);
    else if (!m_singleByte && source != Encodings::UTF16)
        throw EncodingError(source.displayName().toStdString() + " is not available");
}

void StreamDecoder::decode(QByteArrayView bytes, bool last, QByteArray& out)
{
    if (m_singleByte) {
        // A table look-up, with no state to carry: every byte is a character.
        m_error = m_error || !IsValidData(m_encoding, bytes);
        AppendSingleByteAsUtf8(bytes, m_encoding, out);
    } else if (m_system) {
        out += QString(m_system->decode(bytes)).toUtf8();
        m_error = m_error || m_system->hasError();
    } else {
        decodeUtf16(bytes, last, out);
    }
}

void StreamDecoder::decodeUtf16(QByteArrayView bytes, bool last, QByteArray& out)
{
    out.reserve(out.size() + bytes.size() + bytes.size() / 2);
    QByteArray joined;
    if (!m_oddByte.isEmpty()) {
        joined = m_oddByte + bytes.toByteArray();
        bytes = joined;
        m_oddByte.clear();
    }
    qsizetype at = 0;
    if (!m_littleEndian) {
        if (bytes.size() < 2 && !last) {
            m_oddByte = bytes.toByteArray();
            return;
        }
        // The byte-order mark tells the order and is no part of the text;
        // without one the text is big-endian.
        m_littleEndian = bytes.startsWith("\xFF\xFE");
        if (*m_littleEndian || bytes.startsWith("\xFE\xFF"))
            at = 2;
    }
    const bool little = *m_littleEndian;
    // Most texts hold no surrogate at all: their units go to UTF-8 whole,
    // through Qt's vectorised encoder. A slice with any surrogate, paired or
    // not, takes the careful road below, which keeps the exact rules.
    const qsizetype units = (bytes.size() - at) / 2;
    if (!m_highSurrogate && units > 0) {
        m_units.resize(std::size_t(units));
        if (little)
            qFromLittleEndian<char16_t>(bytes.data() + at, units, m_units.data());
        else
            qFromBigEndian<char16_t>(bytes.data() + at, units, m_units.data());
        const bool noSurrogate
            = std::none_of(m_units.cbegin(), m_units.cend(), [](char16_t unit) { return (unit & 0xF800) == 0xD800; });
        if (noSurrogate) {
            // Straight into the room reserved above: no slice-sized
            // temporary to make, fill and copy.
            const qsizetype from = out.size();
            out.resize(from + m_toUtf8.requiredSpace(units));
            const char* end = m_toUtf8.appendToBuffer(out.data() + from, QStringView(m_units.data(), units));
            out.truncate(end - out.constData());
            at += units * 2;
        }
    }
    const auto byteAt = [&](qsizetype i) { return char16_t(static_cast<unsigned char>(bytes[i])); };
    for (; at + 1 < bytes.size(); at += 2) {
        const char16_t unit
            = little ? char16_t(byteAt(at) | byteAt(at + 1) << 8) : char16_t(byteAt(at) << 8 | byteAt(at + 1));
        if (m_highSurrogate) {
            const char16_t high = std::exchange(m_highSurrogate, 0);
            if (isLowSurrogate(unit)) {
                appendUtf8(0x10000 + ((char32_t(high) - 0xD800) << 10) + (unit - 0xDC00), out);
                continue;
            }
            appendUtf8(kReplacement, out);
            m_error = true;
        }
        if (isHighSurrogate(unit)) {
            m_highSurrogate = unit;
        } else if (isLowSurrogate(unit)) {
            appendUtf8(kReplacement, out);
            m_error = true;
        } else {
            appendUtf8(unit, out);
        }
    }
    if (at < bytes.size())
        m_oddByte = bytes.sliced(at).toByteArray();
    if (last && (m_highSurrogate || !m_oddByte.isEmpty())) {
        // The text ended inside a character.
        appendUtf8(kReplacement, out);
        m_error = true;
        m_highSurrogate = 0;
        m_oddByte.clear();
    }
}

bool StreamDecoder::hasError() const
{
    return m_error;
}

} // namespace quillmend::platform
