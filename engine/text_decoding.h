#pragma once

#include "platform/file_reader.h"
#include "platform/text.h"
#include "platform/text_encoding.h"

#include <optional>

namespace quillmend::engine {

/// Decodes a file's whole text to UTF-8.
///
/// A labelled text is converted from its label. An unlabelled one is labelled
/// with the first of UTF-8, Mac Roman, Windows Latin 1, DOS Latin 1, DOS Latin
/// US, US-ASCII and UTF-16 under which its bytes are valid (the system's default
/// encoding when none is), then converted. One exception keeps a UTF-8 text
/// with a few stray bytes intact: when the bytes are not valid UTF-8 but hold
/// valid multi-byte UTF-8 sequences, those sequences stay as they are and only
/// the invalid bytes are read as Mac Roman.
///
/// Valid UTF-8 comes back with the very same bytes, uncopied; a text in a
/// single-byte encoding that the caller hands over (moves in) is converted
/// within its own buffer.
/// Throws platform::EncodingError when the encoding service fails.
platform::Text MakeUTF8(platform::Text text);

/// How MakeUTF8 reads a text: the encoding it converts from, and whether it
/// keeps the valid UTF-8 sequences and reads only the stray bytes between
/// them as Mac Roman (then `encoding` is UTF-8).
struct Decoding {
    platform::TextEncoding encoding;
    bool strayBytesAsMacRoman = false;
};

/// The reading that MakeUTF8 chooses for `text`.
/// Throws platform::EncodingError when the encoding service fails.
Decoding ChooseDecoding(const platform::Text& text);

/// For a file whose text is not valid UTF-8: the single-byte encoding that
/// MakeUTF8 would read the whole text in, found by reading the file slice by
/// slice from where `reader` stands. Nothing when MakeUTF8 would do anything
/// else (UTF-16, stray bytes in UTF-8, no single-byte candidate), which needs
/// the whole text at once. Throws platform::FileError.
std::optional<platform::TextEncoding> SingleByteEncodingOf(platform::FileReader& reader);

/// For a file whose text is not valid UTF-8: the single-byte encoding to read
/// it in slice by slice, checking each slice as it goes (DecodedSliceReader).
/// Where the first candidate after UTF-8 takes every byte, that is known
/// without reading; otherwise SingleByteEncodingOf reads the file. Either way
/// `reader` is left at the file's start. Throws platform::FileError.
std::optional<platform::TextEncoding> SingleByteEncodingToStream(platform::FileReader& reader);

} // namespace quillmend::engine
