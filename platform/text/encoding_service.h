// Text encodings by name: decoding to UTF-8 and back.
#pragma once

#include "platform/text/text.h"
#include "platform/text/text_encoding.h"

namespace quillmend::platform {

/// True when all of `text`'s bytes form a valid byte sequence in `encoding`:
/// a strict conversion that stops at the first illegal or unmapped byte.
/// Throws EncodingError when the encoding is not available.
bool IsValidData(const TextEncoding& encoding, const Text& text);
/// The same test of bare bytes.
bool IsValidData(const TextEncoding& encoding, QByteArrayView bytes);

/// True when every character of `encoding` takes one byte.
bool IsSingleByte(const TextEncoding& encoding);
/// True when `encoding` is a single-byte encoding that gives a character for
/// each of the 256 bytes, so that any text is valid in it.
bool AcceptsEveryByte(const TextEncoding& encoding);

/// The same bytes, labelled with `encoding`.
Text DefineEncoding(Text text, const TextEncoding& encoding);

/// `text`'s characters re-encoded in `target`, labelled with it. An unlabelled
/// text is read in the system's default encoding. Bytes that are not valid in
/// the source encoding become U+FFFD. Valid UTF-8 converted to UTF-8 keeps its
/// bytes without a copy, and a single-byte text whose bytes the caller hands
/// over (moves in) is converted to UTF-8 within its own buffer.
/// Throws EncodingError when an encoding is not available.
Text ConvertEncoding(Text text, const TextEncoding& target);

/// `bytes` read as the single-byte `encoding`, appended to `out` as UTF-8.
/// Throws EncodingError when the encoding is not a single-byte one.
void AppendSingleByteAsUtf8(QByteArrayView bytes, const TextEncoding& encoding, QByteArray& out);

} // namespace quillmend::platform
