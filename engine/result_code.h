// The repair's result codes, and the one rule that picks among them.
#pragma once

#include <cstdint>

namespace quillmend::engine {

/// The outcome of one repair pass.
using ResultCode = std::int64_t;

/// Not a full export: the file lacks the full-export marker. Untouched.
inline constexpr ResultCode kResultNotFullExport = -1;
/// No file was given, or its decoded text is empty. Untouched.
inline constexpr ResultCode kResultEmpty = 0;
/// Repaired: the old name holds the repaired text.
inline constexpr ResultCode kResultDone = 1;
/// Nothing to repair: the file was left as it was.
inline constexpr ResultCode kResultUnchanged = 2;
/// Something failed; the file holds its former content.
inline constexpr ResultCode kResultError = 666;

/// The code that a repair gives a file, from what reading its whole text
/// found: whether the decoded text is empty, whether it holds the
/// full-export marker (needed unless `anyFile`), and whether repairing it
/// changes any byte of the file (decoding, control characters, AppStamp
/// entries). The repair and the report both take their codes from here.
inline ResultCode ResultCodeFor(bool textEmpty, bool anyFile, bool fullExportMarker, bool changesBytes)
{
    if (textEmpty)
        return kResultEmpty;
    if (!anyFile && !fullExportMarker)
        return kResultNotFullExport;
    return changesBytes ? kResultDone : kResultUnchanged;
}

} // namespace quillmend::engine
