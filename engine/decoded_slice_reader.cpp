#include "engine/decoded_slice_reader.h"

#include "platform/encoding_service.h"
#include "platform/file_ref.h"
#include "platform/utf8.h"

#include <utility>

namespace quillmend::engine {

DecodedSliceReader::DecodedSliceReader(platform::FileReader& reader,
                                       std::optional<platform::TextEncoding> singleByte)
    : m_singleByte(std::move(singleByte))
    , m_slices(reader)
{
    if (m_singleByte)
        m_raw.reserve(platform::Utf8SliceReader::kSliceBytes + 4);
}

std::optional<qsizetype> DecodedSliceReader::appendNext(QByteArray& out)
{
    const bool atStart = !m_started;
    m_started = true;
    if (!m_singleByte) {
        const qsizetype before = out.size();
        const qsizetype arrived = m_slices.appendNext(out);
        if (!platform::utf8::isValid(QByteArrayView(out).sliced(before)))
            return std::nullopt;
        return arrived;
    }
    // Slices cut between UTF-8 sequences, so that a sequence shows here
    // whole: a text holding any is no single-byte text after all.
    m_raw.truncate(0);
    const qsizetype arrived = m_slices.appendNext(m_raw);
    if ((atStart && platform::BeginsWithUtf16ByteOrderMark(m_raw))
        || platform::utf8::containsMultiByteSequence(m_raw))
        return std::nullopt;
    platform::AppendSingleByteAsUtf8(m_raw, *m_singleByte, out);
    return arrived;
}

} // namespace quillmend::engine
