#pragma once

#include "engine/decoded_slice_reader.h"
#include "engine/result_code.h"
#include "engine/yield_callback.h"
#include "platform/file_reader.h"
#include "platform/file_ref.h"
#include "platform/file_replacer.h"
#include "platform/text_encoding.h"
#include "platform/utf8_slice_reader.h"

#include <QByteArray>

#include <optional>

namespace quillmend::engine {

/// Repairs a file whose text is valid UTF-8, or in a single-byte encoding, as
/// it streams through a buffer of a few MiB, however large the file: each
/// slice is read, decoded, repaired and written to the temporary file in turn.
/// What the file needs is known only at its end; a file that turns out to
/// need nothing, or not to be a full export, or not to be UTF-8 after all, is
/// left as it was and the temporary file goes.
class StreamRepair {
public:
    /// How much of the file is worked on at a time.
    static constexpr qsizetype kSliceBytes = platform::Utf8SliceReader::kSliceBytes;

    /// Reads the text as UTF-8, or as the single-byte `encoding` when given.
    /// A text read in a single-byte encoding must hold no UTF-8 sequence of
    /// two or more bytes and begin with no UTF-16 byte-order mark: such a text
    /// is decoded otherwise, as a whole (see MakeUTF8).
    StreamRepair(platform::FileReader& reader, bool anyFile, bool removeTabs, const YieldCallback& yield,
                 std::optional<platform::TextEncoding> encoding = std::nullopt);

    /// Repairs `target` (the file `reader` reads, from its start) and returns
    /// the result code; nothing when its text turns out not to be in the
    /// encoding it is read in.
    /// Throws on failure, after removing what it wrote.
    std::optional<ResultCode> run(const platform::FileRef& target,
                                  const platform::FileReplacer::KeptCopyNamer& keptCopyName);

private:
    bool appendNextSlice(QByteArray& work);
    void progress(qsizetype bytes);

    platform::FileReader& m_reader;
    bool m_anyFile;
    bool m_removeTabs;
    const YieldCallback& m_yield;
    bool m_singleByte;
    DecodedSliceReader m_slices;
    qint64 m_sinceYield = 0;
};

} // namespace quillmend::engine
