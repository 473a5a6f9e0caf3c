// A user's request to repair a file, as the window and the tool make it.
#pragma once

#include "engine/repair_pass.h"
#include "engine/request_sink.h"
#include "engine/result_code.h"
#include "engine/yield_callback.h"
#include "platform/files/file_ref.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace quillmend::engine {

/// Why a request refuses a file before any repair pass.
enum class Refusal {
    NoWritePermission,
    EmptyFile,
};

/// How a repair request ended.
struct RequestOutcome {
    enum class Kind {
        NoFile, ///< no file was given; nothing happened
        Refused, ///< refused with a message, for `refusal`
        Ran, ///< the repair pass ran and returned `code`
    };
    Kind kind = Kind::NoFile;
    std::optional<Refusal> refusal;
    ResultCode code = 0;
    /// Why the repair pass failed, in plain words; empty unless it did.
    QString reason;
    /// Where the repaired export is still not well-formed XML, if anywhere.
    std::optional<XmlError> xmlError;
    /// What the pass found beside the file and left (RepairOutcome::leftovers).
    std::vector<platform::TemporaryFile::Leftover> leftovers;
    /// RepairOutcome::untilTold: let go once the outcome is told.
    platform::InterruptCleanup::UntilTold untilTold;
};

/// The repair pass as DoIt calls it; FNProcessTheFile unless a test supplies another.
using RepairPass = std::function<RepairOutcome(const std::optional<platform::FileRef>& file, bool anyFile,
                                               bool removeTabs, const YieldCallback& yield)>;

/// What DoIt would refuse `file` for, checked in DoIt's order; nothing when it
/// would go on to repair it. Throws platform::FileError when the file cannot
/// be queried (it does not exist).
std::optional<Refusal> RefusalOf(const platform::FileRef& file);

/// The modal message by which DoIt tells of a refusal.
QString RefusalMessage(Refusal refusal);

/// Whether a request with the main window's two options removes tabs: tabs
/// are kept only when both options are checked.
bool RemovesTabs(bool anyFileChecked, bool preserveTabsChecked);

/// The status line's text for a result code, or nothing for a code it does not know.
std::optional<QString> StatusTextFor(ResultCode code);

/// Every text that a request may write to the status line: the one shown
/// while the repair runs and that of each result code. A window sizes its
/// status line to hold the longest.
QStringList StatusTexts();

/// Runs one repair request on `file` with the main window's two options.
///
/// Refuses, with a modal message, a file without write permission and then an
/// empty file; otherwise shows "Processing the file data..." at once, runs the
/// repair pass (anyFile = `anyFileChecked`; tabs are kept only when both options
/// are checked) and shows the text for its result code. Failures of the sink
/// or of the file queries (a file that does not exist) pass to the caller as
/// thrown errors.
RequestOutcome DoIt(const std::optional<platform::FileRef>& file, bool anyFileChecked, bool preserveTabsChecked,
                    RequestSink& sink, const YieldCallback& yield = {}, const RepairPass& pass = {});

} // namespace quillmend::engine
