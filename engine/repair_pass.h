#pragma once

#include "engine/result_code.h"
#include "engine/yield_callback.h"
#include "platform/file_ref.h"

#include <QString>

#include <optional>
#include <utility>

namespace quillmend::engine {

/// Repairs one file in place and returns its result code; never throws.
///
/// Reads the file (a symbolic link is followed), decodes it to UTF-8,
/// refuses a text without the full-export marker (-1) unless `anyFile`,
/// removes control characters (tabs too when `removeTabs`), rewrites the
/// AppStamp entries unless `anyFile`, and replaces the file durably with the
/// result as UTF-8, keeping the former content under the kept copy's name
/// (see KeptCopyName). A file that needs no change is left alone (2). No file
/// or an empty text gives 0. Any failure gives 666 with the file as it was.
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
};

/// FNProcessTheFile, with the reason of a failure.
RepairOutcome RepairTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield = {});

ResultCode FNProcessTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield = {});

} // namespace quillmend::engine
