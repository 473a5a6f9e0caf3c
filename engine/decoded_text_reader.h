// Reads a file as UTF-8 text in slices, whatever its encoding.
#pragma once

#include "engine/text_decoding.h"
#include "engine/yield_callback.h"
#include "platform/files/file_reader.h"
#include "platform/files/utf8_slice_reader.h"
#include "platform/text/stream_decoder.h"

#include <QByteArray>

#include <memory>

namespace quillmend::engine {

/// The one way a file's text is read: slice by slice, however large the file,
/// each slice decoded to UTF-8 as MakeUTF8 would decode the whole text (see
/// there), and handed on cut between characters. The repair and the report
/// both read through it, and neither needs to know how the text was decoded.
///
/// A text that begins with a UTF-16 byte-order mark is decoded as UTF-16,
/// with a surrogate pair or a character cut by a slice's end completed by the
/// next. Any other text is read as UTF-8, where each stray byte (one that
/// begins no well-formed sequence) is read as Mac Roman: for a text without
/// any sequence of two or more bytes that is the Mac Roman reading of all of
/// it, as MakeUTF8's choice would be. (Where the encoding service's Mac Roman
/// does not take every byte, a first pass over the file, which writes
/// nothing, makes MakeUTF8's choice before the text is read.)
class DecodedTextReader {
public:
    /// Reads from the start of the file that `reader` has open. `yield`, when
    /// set, is called after each slice is read and after it is decoded.
    DecodedTextReader(platform::FileReader& reader, YieldCallback yield);
    ~DecodedTextReader();

    /// Appends the next piece of the decoded text to `out` (possibly none)
    /// and returns true; false at the end of the file, once it is known to
    /// have been read whole and unchanged. Throws platform::FileError and
    /// platform::EncodingError.
    bool appendNext(QByteArray& out);

    /// Whether the decoded text so far differs from the file's bytes.
    bool changesBytes() const;
    /// How the text read so far has been decoded; at the end, how MakeUTF8
    /// would decode the whole.
    Decoding decoding() const;

private:
    /// Chooses the decoding from the first slice; true when that took a
    /// first pass over the file, after which the first slice is read again.
    bool choose(QByteArrayView firstSlice);
    /// Puts `bytes` in m_raw, in the room it already has.
    void keepRaw(QByteArrayView bytes);

    platform::FileReader& m_reader;
    YieldCallback m_yield;
    platform::Utf8SliceReader m_slices;
    bool m_chosen = false;
    bool m_ended = false;
    Decoding m_plan{platform::TextEncoding(QByteArray())};
    std::unique_ptr<platform::StreamDecoder> m_decoder; // unless read as UTF-8
    QByteArray m_raw; // a slice before decoding; its room is kept
    bool m_strayBytes = false;
    bool m_multiByte = false;
};

} // namespace quillmend::engine
