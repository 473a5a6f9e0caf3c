#include "platform/utf8.h"

#include <cstdint>
#include <cstring>

namespace quillmend::platform::utf8 {

namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Skips the ASCII bytes from `at` on, eight at a time where it can.
qsizetype skipAscii(const unsigned char* data, qsizetype at, qsizetype size)
{
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
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    while (true) {
        at = skipAscii(p, at, size);
        if (at >= size)
            return true;
        const int length = sequenceLength(bytes.sliced(at));
        if (length == 0)
            return false;
        at += length;
    }
}

bool containsMultiByteSequence(QByteArrayView bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype at = 0;
    while (true) {
        at = skipAscii(p, at, size);
        if (at >= size)
            return false;
        if (sequenceLength(bytes.sliced(at)) > 1)
            return true;
        ++at;
    }
}

} // namespace quillmend::platform::utf8
