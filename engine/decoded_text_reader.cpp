// DecodedTextReader: a file's text, slice by slice, decoded to UTF-8.
#include "engine/decoded_text_reader.h"

#include "platform/files/file_ref.h"
#include "platform/text/encoding_service.h"
#include "platform/text/encodings.h"
#include "platform/text/utf8.h"

#include <utility>

namespace quillmend::engine {

using platform::Encodings;

DecodedTextReader::DecodedTextReader(platform::FileReader& reader, YieldCallback yield)
    : m_reader(reader)
    , m_yield(std::move(yield))
    , m_slices(reader)
{
}

DecodedTextReader::~DecodedTextReader() = default;

bool DecodedTextReader::choose(QByteArrayView firstSlice)
{
    bool lookedAhead = false;
    m_chosen = true;
    if (platform::BeginsWithUtf16ByteOrderMark(firstSlice)) {
        m_plan = {Encodings::UTF16};
    } else if (ReadsWithoutLookingAhead()) {
        m_plan = {Encodings::UTF8, true};
    } else {
        DecodingChoice choice;
        QByteArray slice;
        m_reader.rewind();
        platform::Utf8SliceReader firstPass(m_reader);
        while (firstPass.appendNext(slice) > 0) {
            choice.add(slice);
            slice.truncate(0);
            if (m_yield)
                m_yield();
        }
        m_reader.checkReadWhole();
        m_reader.rewind();
        m_plan = choice.decide();
        lookedAhead = true;
    }
    if (!m_plan.encoding.isUtf8())
        m_decoder = std::make_unique<platform::StreamDecoder>(m_plan.encoding);
    return lookedAhead;
}

bool DecodedTextReader::appendNext(QByteArray& out)
{
    if (m_ended)
        return false;
    const qsizetype before = out.size();
    bool raw = false; // the slice is in m_raw, not in out
    if (!m_chosen) {
        // The first slice shows a byte-order mark; where the choice needs a
        // first pass, the slice is read again after it.
        m_slices.appendNext(out);
        if (choose(QByteArrayView(out).sliced(before))) {
            out.truncate(before);
            m_slices.restart();
            m_slices.appendNext(out);
        }
    } else if (m_decoder) {
        // Read where the bytes to decode are kept, whose room stays from
        // slice to slice: no fresh memory for each.
        m_raw.truncate(0);
        m_slices.appendNext(m_raw);
        raw = true;
    } else {
        m_slices.appendNext(out);
    }
    const bool atEnd = raw ? m_raw.isEmpty() : out.size() == before;
    if (m_yield)
        m_yield();

    if (m_decoder) {
        if (!raw) {
            keepRaw(QByteArrayView(out).sliced(before));
            out.truncate(before);
        }
        m_decoder->decode(m_raw, atEnd, out);
    } else if (!atEnd) {
        const QByteArrayView slice = QByteArrayView(out).sliced(before);
        if (!platform::utf8::isValid(slice)) {
            m_strayBytes = true;
            keepRaw(slice);
            out.truncate(before);
            // Without a sequence of two or more bytes, every byte above ASCII
            // is a stray one: the slice is read as Mac Roman at table speed.
            const bool multiByte = platform::utf8::containsMultiByteSequence(m_raw);
            m_multiByte = m_multiByte || multiByte;
            if (multiByte)
                AppendStrayBytesAsMacRoman(m_raw, out);
            else
                platform::AppendSingleByteAsUtf8(m_raw, Encodings::MacRoman, out);
        } else if (!m_multiByte) {
            m_multiByte = platform::utf8::containsMultiByteSequence(slice);
        }
    }
    if (m_yield && out.size() != before)
        m_yield();

    if (atEnd) {
        m_ended = true;
        m_reader.checkReadWhole();
        // What a cut character held back comes now, before the end.
        return out.size() != before;
    }
    return true;
}

void DecodedTextReader::keepRaw(QByteArrayView bytes)
{
    m_raw.truncate(0);
    m_raw.append(bytes);
}

bool DecodedTextReader::changesBytes() const
{
    return m_decoder != nullptr || m_strayBytes;
}

Decoding DecodedTextReader::decoding() const
{
    if (m_decoder || !m_plan.strayBytesAsMacRoman)
        return m_plan;
    if (!m_strayBytes)
        return {Encodings::UTF8};
    if (m_multiByte)
        return {Encodings::UTF8, true};
    return {Encodings::MacRoman};
}

} // namespace quillmend::engine
