#pragma once

#include "engine/result_code.h"
#include "engine/yield_callback.h"
#include "platform/file_reader.h"
#include "platform/file_ref.h"
#include "platform/file_replacer.h"

#include <optional>

namespace quillmend::engine {

/// Repairs a file whose text is valid UTF-8 as it streams through a buffer of
/// a few MiB, however large the file: a first reading decides whether and how
/// the file is to be repaired, and only then a second one writes the result.
/// Memory use does not grow with the file, and the storage device stores the
/// repaired text while the rest of it is still being worked on.
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
    struct Survey {
        bool fullExport = false;
        bool needsChange = false;
    };

    std::optional<Survey> survey();
    void writeRepaired(platform::FileReplacer& replacer);
    void progress(qsizetype bytes);

    platform::FileReader& m_reader;
    bool m_anyFile;
    bool m_removeTabs;
    const YieldCallback& m_yield;
    qint64 m_sinceYield = 0;
};

} // namespace quillmend::engine
