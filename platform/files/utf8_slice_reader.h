// Reads UTF-8 in slices that never cut a character.
#pragma once

#include "platform/files/file_reader.h"

#include <QByteArray>

namespace quillmend::platform {

/// Reads a file slice by slice, each slice cut after its last complete UTF-8
/// sequence: the bytes of a sequence cut off by a slice's end open the next
/// slice, so that no sequence is ever split between two. At the end of the
/// file whatever is left comes as it is, complete or not.
class Utf8SliceReader {
public:
    /// About as many bytes as fit a slice of the file.
    static constexpr qsizetype kSliceBytes = qsizetype(1) << 20;

    explicit Utf8SliceReader(FileReader& reader);

    /// Appends the next slice to `out` and returns its length; 0 at the end.
    /// Throws FileError.
    qsizetype appendNext(QByteArray& out);
    /// Forgets the bytes held back for the next slice, once the reader has
    /// been rewound to read the file again.
    void restart() { m_cutOffSize = 0; }

private:
    FileReader& m_reader;
    char m_cutOff[4]{};
    qsizetype m_cutOffSize = 0;
};

} // namespace quillmend::platform
