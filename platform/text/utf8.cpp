// UTF-8: sequences, their validity, and where a slice may be cut.
#include "platform/text/utf8.h"

#include "platform/text/byte_scan.h"

#include <cstdint>
#include <cstring>

namespace quillmend::platform::utf8 {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

// Skips the ASCII bytes from `at` on, sixteen (or eight) at a time where it can.
qsizetype skipAscii(const unsigned char* data, qsizetype at, qsizetype size)
{
    while (at + bytescan::kBlock <= size && bytescan::highMask(reinterpret_cast<const char*>(data + at)) == 0)
        at += bytescan::kBlock;
    while (at + 8 <= size) {
        std::uint64_t word;
        std::memcpy(&word, data + at, sizeof word);
        if (word & kHighBits)
            break;
        at += 8;
    }
    while (at < size && data[at] < 0x80)
        ++at;
    return at;
}

// Calls `step` at each byte that is not ASCII with the length of the
// well-formed sequence that starts there (0 for none); `step` says how many
// bytes to move on, 0 to stop. Returns true when the walk reached the end.
template <typename Step>
bool walkNonAscii(QByteArrayView bytes, Step step)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype at = skipAscii(data, 0, size); at < size; at = skipAscii(data, at, size)) {
        const int advance = step(sequenceLength(bytes.sliced(at)));
        if (advance == 0)
            return false;
        at += advance;
    }
    return true;
}

} // namespace

int sequenceLength(QByteArrayView bytes)
{
    if (bytes.isEmpty())
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype n = bytes.size();
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return n >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (n < 3 || !isContinuation(p[1]) || !isContinuation(p[2]))
            return 0;
        if (lead == 0xE0 && p[1] < 0xA0)
            return 0; // overlong
        if (lead == 0xED && p[1] >= 0xA0)
            return 0; // surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (n < 4 || !isContinuation(p[1]) || !isContinuation(p[2]) || !isContinuation(p[3]))
            return 0;
        if (lead == 0xF0 && p[1] < 0x90)
            return 0; // overlong
        if (lead == 0xF4 && p[1] >= 0x90)
            return 0; // above U+10FFFF
        return 4;
    }
    return 0;
}

bool isValid(QByteArrayView bytes)
{
    return walkNonAscii(bytes, [](int length) { return length; });
}

qsizetype validPrefixLength(QByteArrayView bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    for (qsizetype at = skipAscii(data, 0, size); at < size; at = skipAscii(data, at, size)) {
        const int length = sequenceLength(bytes.sliced(at));
        if (length == 0)
            return at;
        at += length;
    }
    return size;
}

qsizetype completePrefixLength(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 3 && back <= size; ++back) {
        const auto byte = static_cast<unsigned char>(bytes[size - back]);
        if (isContinuation(byte))
            continue;
        // Only a byte that can lead a sequence (C2 to F4) may wait for more.
        const int needed = byte > 0xF4 ? 1 : byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC2 ? 2 : 1;
        return needed > back ? size - back : size;
    }
    return size;
}

bool containsMultiByteSequence(QByteArrayView bytes)
{
    bool found = false;
    walkNonAscii(bytes, [&found](int length) {
        found = length > 1;
        return found ? 0 : 1;
    });
    return found;
}

} // namespace quillmend::platform::utf8
