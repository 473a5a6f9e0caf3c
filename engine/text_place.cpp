#include "engine/text_place.h"

#include "platform/text/byte_scan.h"

namespace quillmend::engine {

void TextPlace::advance(QByteArrayView bytes)
{
    namespace scan = platform::bytescan;
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    // Sixteen bytes at a time: the line ends among them count, and only the
    // characters after the last of them make the column. Continuation bytes
    // belong to the character that their lead began.
    for (; at + scan::kBlock <= size; at += scan::kBlock) {
        const unsigned continuation = scan::continuationMask(data + at);
        const unsigned lineFeeds = scan::byteMask(data + at, '\n');
        const unsigned returns = scan::byteMask(data + at, '\r');
        const unsigned ends = lineFeeds | returns;
        if (ends == 0) {
            m_column += scan::kBlock - scan::countBits(continuation);
            m_afterCarriageReturn = false;
            continue;
        }
        // A line feed right after a carriage return ends no further line.
        const unsigned pairedFeeds = lineFeeds & ((returns << 1) | (m_afterCarriageReturn ? 1u : 0u));
        m_line += scan::countBits(ends) - scan::countBits(pairedFeeds);
        const int last = scan::highestBit(ends);
        const unsigned after = last == scan::kBlock - 1 ? 0u : (continuation >> (last + 1));
        m_column = 1 + (scan::kBlock - 1 - last) - scan::countBits(after);
        m_afterCarriageReturn = last == scan::kBlock - 1 && (returns >> last) != 0;
    }
    for (; at < size; ++at) {
        const auto c = static_cast<unsigned char>(data[at]);
        if (c == '\n' || c == '\r') {
            if (!(c == '\n' && m_afterCarriageReturn)) {
                ++m_line;
                m_column = 1;
            }
            m_afterCarriageReturn = c == '\r';
            continue;
        }
        if ((c & 0xC0) != 0x80)
            ++m_column;
        m_afterCarriageReturn = false;
    }
}

} // namespace quillmend::engine
