// Sixteen bytes at a time: the scans that find what a repair looks for.
#pragma once

#if defined(__SSE2__) && !defined(QUILLMEND_PORTABLE_SCAN)
#define QUILLMEND_SCAN_SSE2 1
#include <emmintrin.h>
#endif

namespace quillmend::platform::bytescan {

/// How many bytes each test takes.
inline constexpr int kBlock = 16;

/// Whether the portable version is the one built in.
inline bool isPortable();

/// Bytes of 0x80 and above (not ASCII).
inline unsigned highMask(const char* at);
/// Control bytes (below 0x20), less line feed and carriage return, and less
/// tab when `keepTab`.
inline unsigned removableMask(const char* at, bool keepTab);
/// Control bytes (below 0x20), all of them.
inline unsigned controlMask(const char* at);
/// UTF-8 continuation bytes (0x80 to 0xBF).
inline unsigned continuationMask(const char* at);
/// Bytes equal to `c`.
inline unsigned byteMask(const char* at, char c);
/// Places i where `at[i + firstOffset]` is `first` and `at[i + secondOffset]`
/// is `second`: candidates for a text with those two letters in those places.
/// Reads 16 bytes from each of the two offsets.
inline unsigned pairMask(const char* at, int firstOffset, char first, int secondOffset, char second);

/// The number of bits set in `mask`, and the places of the lowest and the
/// highest one (`mask` not 0).
inline int countBits(unsigned mask);
inline int lowestBit(unsigned mask);
inline int highestBit(unsigned mask);

// Both versions, side by side.

namespace detail {

template <typename Test>
inline unsigned maskOf(const char* at, Test test)
{
    unsigned mask = 0;
    for (int i = 0; i < kBlock; ++i)
        mask |= unsigned(test(static_cast<unsigned char>(at[i]))) << i;
    return mask;
}

#if QUILLMEND_SCAN_SSE2
inline __m128i load(const char* at)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

inline __m128i controls(__m128i bytes)
{
    // Unsigned bytes up to 0x1F are those that the unsigned minimum with 0x1F leaves alone.
    return _mm_cmpeq_epi8(_mm_min_epu8(bytes, _mm_set1_epi8(0x1F)), bytes);
}
#endif

} // namespace detail

inline bool isPortable()
{
#if QUILLMEND_SCAN_SSE2
    return false;
#else
    return true;
#endif
}

inline unsigned highMask(const char* at)
{
#if QUILLMEND_SCAN_SSE2
    return unsigned(_mm_movemask_epi8(detail::load(at)));
#else
    return detail::maskOf(at, [](unsigned char c) { return c >= 0x80; });
#endif
}

inline unsigned removableMask(const char* at, bool keepTab)
{
#if QUILLMEND_SCAN_SSE2
    const __m128i bytes = detail::load(at);
    const __m128i tab = _mm_set1_epi8(keepTab ? '\t' : '\n');
    const __m128i kept = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\n')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('\r'))),
        _mm_cmpeq_epi8(bytes, tab));
    return unsigned(_mm_movemask_epi8(_mm_andnot_si128(kept, detail::controls(bytes))));
#else
    return detail::maskOf(
        at, [keepTab](unsigned char c) { return c < 0x20 && c != '\n' && c != '\r' && !(keepTab && c == '\t'); });
#endif
}

inline unsigned controlMask(const char* at)
{
#if QUILLMEND_SCAN_SSE2
    return unsigned(_mm_movemask_epi8(detail::controls(detail::load(at))));
#else
    return detail::maskOf(at, [](unsigned char c) { return c < 0x20; });
#endif
}

inline unsigned continuationMask(const char* at)
{
#if QUILLMEND_SCAN_SSE2
    // As signed bytes, 0x80-0xBF are those below -64.
    return unsigned(_mm_movemask_epi8(_mm_cmplt_epi8(detail::load(at), _mm_set1_epi8(char(0xC0)))));
#else
    return detail::maskOf(at, [](unsigned char c) { return (c & 0xC0) == 0x80; });
#endif
}

inline unsigned byteMask(const char* at, char c)
{
#if QUILLMEND_SCAN_SSE2
    return unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(detail::load(at), _mm_set1_epi8(c))));
#else
    return detail::maskOf(at, [c](unsigned char b) { return b == static_cast<unsigned char>(c); });
#endif
}

inline unsigned pairMask(const char* at, int firstOffset, char first, int secondOffset, char second)
{
#if QUILLMEND_SCAN_SSE2
    return unsigned(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(detail::load(at + firstOffset), _mm_set1_epi8(first)),
                                        _mm_cmpeq_epi8(detail::load(at + secondOffset), _mm_set1_epi8(second)))));
#else
    unsigned mask = 0;
    for (int i = 0; i < kBlock; ++i)
        mask |= unsigned(at[i + firstOffset] == first && at[i + secondOffset] == second) << i;
    return mask;
#endif
}

inline int countBits(unsigned mask)
{
    // Written out, as std::bitset's count is a library call where the build
    // may not assume the POPCNT instruction.
    mask = mask - ((mask >> 1) & 0x55555555u);
    mask = (mask & 0x33333333u) + ((mask >> 2) & 0x33333333u);
    return int((((mask + (mask >> 4)) & 0x0F0F0F0Fu) * 0x01010101u) >> 24);
}

inline int lowestBit(unsigned mask)
{
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_ctz(mask);
#else
    int bit = 0;
    while (!(mask & 1u)) {
        mask >>= 1;
        ++bit;
    }
    return bit;
#endif
}

inline int highestBit(unsigned mask)
{
#if defined(__GNUC__) || defined(__clang__)
    return 31 - __builtin_clz(mask);
#else
    int bit = 31;
    while (!(mask & (1u << bit)))
        --bit;
    return bit;
#endif
}

} // namespace quillmend::platform::bytescan
