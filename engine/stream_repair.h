#pragma once

#include "engine/result_code.h"
#include "engine/yield_callback.h"
#include "platform/file_reader.h"
#include "platform/file_ref.h"
#include "platform/file_replacer.h"

#include <optional>

namespace quillmend::engine {

/// Repairs a file whose text is valid UTF-8 as it streams through a buffer of
/// a few MiB, however large the file: each slice is read, repaired and written
/// to the temporary file in turn. What the file needs is known only at its
/// end; a file that turns out to need nothing, or not to be a full export, or
/// not to be UTF-8 after all, is left as it was and the temporary file goes.
class StreamRepair {
public:
    /// How much of the file is worked on at a time.
    static constexpr qsizetype kSliceBytes = qsizetype(4) << 20;

    StreamRepair(platform::FileReader& reader, bool anyFile, bool removeTabs, const YieldCallback& yield);

    /// Repairs `target` (the file `reader` reads) and returns the result
    /// code; nothing when its text is not valid UTF-8, which must then be
    /// decoded as a whole. Throws on failure, after removing what it wrote.
    std::optional<ResultCode> run(const platform::FileRef& target,
                                  const platform::FileReplacer::KeptCopyNamer& keptCopyName);

private:
    void progress(qsizetype bytes);

    platform::FileReader& m_reader;
    bool m_anyFile;
    bool m_removeTabs;
    const YieldCallback& m_yield;
    qint64 m_sinceYield = 0;
};

} // namespace quillmend::engine
