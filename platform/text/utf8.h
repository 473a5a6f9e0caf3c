// UTF-8 sequences: their lengths, validity and whole prefixes.
#pragma once

#include <QByteArrayView>

namespace quillmend::platform::utf8 {

/// True for a continuation byte (0x80 to 0xBF): one that belongs to the
/// character that an earlier byte began.
inline bool isContinuation(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

/// The length (1 to 4) of the well-formed UTF-8 sequence that starts at
/// `bytes[0]`, or 0 when none does. Well-formed: no overlong form, no surrogate,
/// nothing above U+10FFFF, no truncated sequence.
int sequenceLength(QByteArrayView bytes);

/// True when all of `bytes` is well-formed UTF-8. Runs of ASCII are checked a
/// machine word at a time.
bool isValid(QByteArrayView bytes);

/// How many of `bytes`, from the first, form well-formed UTF-8.
qsizetype validPrefixLength(QByteArrayView bytes);

/// How many of `bytes` remain when a sequence cut off by their end (one that
/// more bytes could still complete) is left out.
qsizetype completePrefixLength(QByteArrayView bytes);

/// True when `bytes` holds at least one well-formed sequence of two or more bytes.
bool containsMultiByteSequence(QByteArrayView bytes);

} // namespace quillmend::platform::utf8
