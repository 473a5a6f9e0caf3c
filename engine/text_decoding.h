#pragma once

#include "platform/text.h"

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

} // namespace quillmend::engine
