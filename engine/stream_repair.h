// Repairs a file of any size as its text streams through a small buffer.
#pragma once

#include "engine/result_code.h"
#include "engine/xml_check.h"
#include "engine/yield_callback.h"
#include "platform/files/file_reader.h"
#include "platform/files/file_ref.h"
#include "platform/files/file_replacer.h"
#include "platform/files/utf8_slice_reader.h"

#include <optional>

namespace quillmend::engine {

/// Repairs a file as its text streams through a buffer of a few MiB, however
/// large the file and whatever its encoding: each slice is read and decoded
/// (DecodedTextReader), repaired, and written to the temporary file in turn.
/// What the file needs is known only at its end; a file that turns out to
/// need nothing, or not to be a full export, is left as it was and the
/// temporary file goes.
class StreamRepair {
public:
    /// How much of the file is worked on at a time. The XML check waits for
    /// the first slice and reads the last one after the repair is done: a
    /// small slice keeps both waits short (at 4 MiB, a 16 MiB export in Mac
    /// Roman took a tenth longer to repair).
    static constexpr qsizetype kSliceBytes = platform::Utf8SliceReader::kSliceBytes;

    /// `yield`, when set, is called after each step of work on a slice:
    /// reading, decoding, repairing, writing. `reader` must outlive the
    /// repair; `yield` is its own.
    StreamRepair(platform::FileReader& reader, bool anyFile, bool removeTabs, YieldCallback yield);

    /// Repairs `target` (the file `reader` reads, from its start) and returns
    /// the result code, keeping the former content as FileReplacer::commit
    /// says. Throws on failure, after removing what it wrote.
    ResultCode run(const platform::FileRef& target, const platform::FileReplacer::KeptCopyNamer& keptCopyName,
                   const platform::FileReplacer::KeptCopyNamer& interimCopyName = {});

    /// After run() of an export that it repaired or found in order: where
    /// the repaired text is not well-formed XML, if anywhere. Nothing in
    /// any-file mode.
    const std::optional<XmlError>& xmlError() const { return m_xmlError; }
    /// After run(): the hidden files beside the file that may be what a
    /// repair cut short left, which nothing could prove, and so stay.
    const std::vector<platform::TemporaryFile::Leftover>& leftovers() const { return m_leftovers; }
    /// After run() of a file that was replaced: the interrupt's wait for the
    /// outcome to be told (platform::FileReplacer::untilTold).
    const platform::InterruptCleanup::UntilTold& untilTold() const { return m_untilTold; }

private:
    platform::FileReader& m_reader;
    bool m_anyFile;
    bool m_removeTabs;
    YieldCallback m_yield;
    std::optional<XmlError> m_xmlError;
    std::vector<platform::TemporaryFile::Leftover> m_leftovers;
    platform::InterruptCleanup::UntilTold m_untilTold;
};

} // namespace quillmend::engine
