// TextPlace: a line and column in the repaired text.
#include "engine/text_place.h"

#include "platform/text/byte_scan.h"
#include "platform/text/utf8.h"

namespace quillmend::engine {

void TextPlace::advance(QByteArrayView bytes)
{
    namespace scan = platform::bytescan;
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    // First the line ends, sixteen bytes at a time; then the column, from the
    // characters after the last of them only.
    qsizetype lastEnd = -1;
    qsizetype at = 0;
    for (; at + scan::kBlock <= size; at += scan::kBlock) {
        const unsigned lineFeeds = scan::byteMask(data + at, '\n');
        const unsigned returns = scan::byteMask(data + at, '\r');
        const unsigned ends = lineFeeds | returns;
        if (ends == 0) {
            m_afterCarriageReturn = false;
            continue;
        }
        // A line feed right after a carriage return ends no further line.
        const unsigned pairedFeeds = lineFeeds & ((returns << 1) | (m_afterCarriageReturn ? 1u : 0u));
        m_line += scan::countBits(ends) - scan::countBits(pairedFeeds);
        const int last = scan::highestBit(ends);
        lastEnd = at + last;
        m_afterCarriageReturn = last == scan::kBlock - 1 && (returns >> last) != 0;
    }
    for (; at < size; ++at) {
        const char c = data[at];
        if (c == '\n' || c == '\r') {
            if (!(c == '\n' && m_afterCarriageReturn))
                ++m_line;
            lastEnd = at;
            m_afterCarriageReturn = c == '\r';
        } else {
            m_afterCarriageReturn = false;
        }
    }
    if (lastEnd >= 0)
        m_column = 1;
    // Continuation bytes belong to the character that their lead began.
    at = lastEnd + 1;
    qint64 characters = size - at;
    for (; at + scan::kBlock <= size; at += scan::kBlock)
        characters -= scan::countBits(scan::continuationMask(data + at));
    for (; at < size; ++at)
        characters -= platform::utf8::isContinuation(data[at]) ? 1 : 0;
    m_column += characters;
}

} // namespace quillmend::engine
