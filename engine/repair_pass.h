// One repair, in the order a file passes through its pieces:
//
//   DoIt (request.h)           refuses a file without write permission or an
//                              empty one, shows "Processing the file data...",
//                              runs the pass and shows the text for its code.
//   RepairTheFile (here)       resolves links, names the kept copy
//                              (kept_copy_name.h) and opens the file
//                              (platform::FileReader).
//   StreamRepair               drives the pass, one slice at a time:
//     DecodedTextReader          reads a slice of a few MiB and decodes it to
//                                UTF-8 (text_decoding.h, platform::StreamDecoder);
//     FullExportWatch            looks for the full-export marker;
//     RepairText (text_repair.h) removes control characters, rewrites the
//                                AppStamp entries, and in the first slice
//                                makes the XML declaration say UTF-8;
//     platform::FileReplacer     appends the repaired slice to a temporary file
//                                (platform::TemporaryFile: nameless on Linux,
//                                elsewhere marked, locked and removed on an
//                                interrupt), after removing what killed repairs
//                                left, and only that.
//   ResultCodeFor (result_code.h)  turns what the whole text held into the code.
//   platform::FileReplacer::commit  takes a lease where it can, flushes, keeps
//                              the original under the kept copy's name (in
//                              any-file mode only until the new content is
//                              stored) and renames the new file into place.
//
// docs/ARCHITECTURE.md draws the same road across the libraries.
//
// Slices overlap so that nothing is missed at a cut: after each slice is
// repaired, its last kEntryOverlap bytes (the longer of the marker and the
// AppStamp entry, less one byte) are held back and repaired again at the head
// of the next slice, so an entry or the marker that stands across the cut is
// whole there. Slices are cut between UTF-8 sequences, and a character that a
// cut splits in another encoding is completed by the decoder's own state.
#pragma once

#include "engine/result_code.h"
#include "engine/xml_check.h"
#include "engine/yield_callback.h"
#include "platform/files/file_ref.h"
#include "platform/files/interrupt_cleanup.h"
#include "platform/files/temporary_file.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace quillmend::engine {

/// How a repair pass ended: its result code and, for a failure, the reason
/// in plain words ("the disk is full"), which the window does not show but
/// the command-line tool does.
struct RepairOutcome {
    RepairOutcome(ResultCode resultCode, QString failure = QString())
        : code(resultCode)
        , reason(std::move(failure))
    {
    }
    ResultCode code;
    QString reason;
    /// For an export repaired or found in order: where the repaired text is
    /// still not well-formed XML, if anywhere.
    std::optional<XmlError> xmlError;
    /// Hidden files beside it that may be a cut-short repair's leftovers
    /// (LeftoverNote tells of them).
    std::vector<platform::TemporaryFile::Leftover> leftovers;
    /// Held while the outcome of a file that was replaced is not yet told:
    /// an interrupt waits for it (platform::InterruptCleanup::UntilTold).
    platform::InterruptCleanup::UntilTold untilTold;
};

/// The note that tells of `leftover`: what it is, and what to do with it.
QString LeftoverNote(const platform::TemporaryFile::Leftover& leftover);

/// Repairs one file in place; never throws.
///
/// Reads `file` (a symbolic link is followed), decodes it to UTF-8, refuses
/// a text without the full-export marker (kResultNotFullExport) unless
/// `anyFile`, removes control characters (tabs too when `removeTabs`),
/// rewrites the AppStamp entries unless `anyFile`, and replaces the file
/// durably with the result as UTF-8 (kResultDone), keeping the former
/// content under the kept copy's name (see KeptCopyName). A file that needs
/// no change is left alone (kResultUnchanged). No file or an empty text
/// gives kResultEmpty. Any failure gives kResultError, with the file as it
/// was and the reason in the outcome. `yield` is called now and then, so
/// that a window can be drawn meanwhile.
RepairOutcome RepairTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield = {});

/// RepairTheFile's result code alone.
ResultCode FNProcessTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield = {});

} // namespace quillmend::engine
