#pragma once

#include "platform/file_reader.h"
#include "platform/text_encoding.h"
#include "platform/utf8_slice_reader.h"

#include <QByteArray>

#include <optional>

namespace quillmend::engine {

/// Reads a file slice by slice, as UTF-8 or in a single-byte encoding, and
/// hands each slice on decoded to UTF-8, cut between characters. It notices
/// when the text is not in the encoding it is read in: invalid UTF-8; or, for
/// a single-byte encoding, a UTF-8 sequence of two or more bytes or a leading
/// UTF-16 byte-order mark, which make MakeUTF8 decode the text otherwise.
class DecodedSliceReader {
public:
    /// Reads from where `reader` stands, as UTF-8 unless `singleByte` is given.
    DecodedSliceReader(platform::FileReader& reader, std::optional<platform::TextEncoding> singleByte);

    /// Appends the next slice to `out`, decoded, and returns how many bytes of
    /// the file it took (0 at the end); nothing when the slice shows that the
    /// text is not in the encoding. Throws platform::FileError.
    std::optional<qsizetype> appendNext(QByteArray& out);

private:
    std::optional<platform::TextEncoding> m_singleByte;
    platform::Utf8SliceReader m_slices;
    QByteArray m_raw; // a slice as read, for a single-byte text
    bool m_started = false;
};

} // namespace quillmend::engine
