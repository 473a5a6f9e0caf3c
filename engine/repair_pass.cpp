// RepairTheFile: one repair, with its failures caught and told.
#include "engine/repair_pass.h"

#include "engine/failure_reason.h"
#include "engine/kept_copy_name.h"
#include "engine/stream_repair.h"
#include "platform/files/file_error.h"
#include "platform/files/file_reader.h"
#include "platform/files/file_replacer.h"

#include <exception>

namespace quillmend::engine {

RepairOutcome RepairTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield)
{
    if (!file)
        return kResultEmpty;
    // Whatever fails, the file is as it was: the window tells of it by the
    // result code alone, the command-line tool with the reason.
    try {
        const platform::FileRef target = file->resolved();
        const platform::FileReplacer::KeptCopyNamer keptCopyName = KeptCopyNamerFor(target, anyFile);
        const platform::FileReplacer::KeptCopyNamer interimCopyName = InterimCopyNamerFor(target, anyFile);
        platform::FileReader reader(target);
        StreamRepair repair(reader, anyFile, removeTabs, yield);
        RepairOutcome outcome(repair.run(target, keptCopyName, interimCopyName));
        outcome.xmlError = repair.xmlError();
        outcome.leftovers = repair.leftovers();
        outcome.untilTold = repair.untilTold();
        return outcome;
    } catch (const platform::FileError& error) {
        RepairOutcome outcome(kResultError, FailureReason(std::current_exception()));
        outcome.untilTold = error.untilTold();
        return outcome;
    } catch (...) {
        return {kResultError, FailureReason(std::current_exception())};
    }
}

QString LeftoverNote(const platform::TemporaryFile::Leftover& leftover)
{
    return QStringLiteral("the hidden file %1 (%2 bytes) beside it may be what a repair that was cut short left; "
                          "nothing on this disk can prove it, so it stays: delete it if it is not yours")
        .arg(platform::FileRef(leftover.path).name().toEscapedText())
        .arg(leftover.size);
}

ResultCode FNProcessTheFile(const std::optional<platform::FileRef>& file, bool anyFile, bool removeTabs,
                            const YieldCallback& yield)
{
    return RepairTheFile(file, anyFile, removeTabs, yield).code;
}

} // namespace quillmend::engine
