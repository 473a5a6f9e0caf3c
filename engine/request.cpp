// DoIt: a request to repair a file, its refusals and the text it shows.
#include "engine/request.h"

namespace quillmend::engine {

namespace {

const QString kProcessingText = QStringLiteral("Processing the file data...");

} // namespace

std::optional<QString> StatusTextFor(ResultCode code)
{
    switch (code) {
    case kResultNotFullExport:
        return QStringLiteral("The file is not a 'full export on exit', please try again.");
    case kResultEmpty:
        return QStringLiteral("The file is empty.");
    case kResultDone:
        return QStringLiteral("Done! Click back on Vectorworks and let it process the .xml file.");
    case kResultUnchanged:
        return QStringLiteral("The data in the file is OK, no changes were made.");
    case kResultError:
        return QStringLiteral("Sorry! An error occurred.");
    default:
        return std::nullopt;
    }
}

QStringList StatusTexts()
{
    QStringList texts{kProcessingText};
    for (const ResultCode code : {kResultNotFullExport, kResultEmpty, kResultDone, kResultUnchanged, kResultError})
        texts << *StatusTextFor(code);
    return texts;
}

bool RemovesTabs(bool anyFileChecked, bool preserveTabsChecked)
{
    return !anyFileChecked || !preserveTabsChecked;
}

std::optional<Refusal> RefusalOf(const platform::FileRef& file)
{
    if (!file.isWritable())
        return Refusal::NoWritePermission;
    // A device or FIFO has no length of its own; it is no file to repair,
    // and the repair pass says so, rather than calling it empty.
    if (file.length() == 0 && file.isRegularFile())
        return Refusal::EmptyFile;
    return std::nullopt;
}

QString RefusalMessage(Refusal refusal)
{
    switch (refusal) {
    case Refusal::NoWritePermission:
        return QStringLiteral("You don't have write permission for this file, it cannot be repaired.");
    case Refusal::EmptyFile:
        break;
    }
    return QStringLiteral("The file is empty, it cannot be repaired.");
}

RequestOutcome DoIt(const std::optional<platform::FileRef>& file, bool anyFileChecked, bool preserveTabsChecked,
                    RequestSink& sink, const YieldCallback& yield, const RepairPass& pass)
{
    using Kind = RequestOutcome::Kind;
    if (!file)
        return {Kind::NoFile, std::nullopt, 0, {}, std::nullopt};
    if (const std::optional<Refusal> refusal = RefusalOf(*file)) {
        sink.ShowModalMessage(RefusalMessage(*refusal));
        return {Kind::Refused, refusal, 0, {}, std::nullopt};
    }

    sink.SetStatusText(kProcessingText);
    sink.RedrawStatusNow();

    const bool anyFile = anyFileChecked;
    const bool removeTabs = RemovesTabs(anyFileChecked, preserveTabsChecked);
    const RepairOutcome outcome
        = pass ? pass(file, anyFile, removeTabs, yield) : RepairTheFile(file, anyFile, removeTabs, yield);

    if (const std::optional<QString> text = StatusTextFor(outcome.code))
        sink.SetStatusText(*text);
    return {Kind::Ran,        std::nullopt,      outcome.code,     outcome.reason,
            outcome.xmlError, outcome.leftovers, outcome.untilTold};
}

} // namespace quillmend::engine
