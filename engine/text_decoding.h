// Which encoding a file is in, and its decoding to UTF-8.
#pragma once

#include "platform/text/text.h"
#include "platform/text/text_encoding.h"

#include <QByteArrayView>

#include <optional>
#include <vector>

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

/// Appends `bytes` to `out` as UTF-8: each well-formed UTF-8 sequence as it
/// is, every other byte read as Mac Roman.
void AppendStrayBytesAsMacRoman(QByteArrayView bytes, QByteArray& out);

/// How MakeUTF8 would read a text that is seen piece by piece, cut between
/// UTF-8 sequences: the same choice as ChooseDecoding makes of the whole
/// (UTF-16, the last candidate, is tested piece by piece).
class DecodingChoice {
public:
    DecodingChoice();
    /// Takes the next piece of the text's bytes.
    void add(QByteArrayView piece);
    /// The reading for the text seen so far (unlabelled, so never UTF-16 by a
    /// byte-order mark). Throws platform::EncodingError.
    Decoding decide() const;

private:
    bool m_validUtf8 = true;
    bool m_multiByte = false;
    std::vector<bool> m_valid; // each later candidate's validity so far
};

/// Whether a text whose bytes the first candidate after UTF-8 takes all of
/// can be read without looking ahead: each valid UTF-8 sequence kept, every
/// other byte read in that candidate. For any text, that gives what MakeUTF8
/// gives, whichever of UTF-8, stray bytes or the single-byte candidate it
/// chooses, for a text that carries no label (no UTF-16 byte-order mark).
bool ReadsWithoutLookingAhead();

} // namespace quillmend::engine
