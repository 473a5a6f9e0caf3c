// SurveyTheFile: what a repair would do to a file, without changing it.
#include "engine/file_survey.h"

#include "engine/decoded_text_reader.h"
#include "engine/kept_copy_name.h"
#include "engine/text_survey.h"
#include "platform/files/file_reader.h"
#include "platform/files/file_replacer.h"
#include "platform/text/encodings.h"

namespace quillmend::engine {

SurveyReport SurveyTheFile(const platform::FileRef& file, bool anyFile, bool removeTabs)
{
    SurveyReport report;
    report.refusal = RefusalOf(file);
    if (report.refusal == Refusal::EmptyFile)
        return report;

    const platform::FileRef target = file.resolved();
    TextSurvey survey(anyFile, removeTabs);
    platform::FileReader reader(target);
    DecodedTextReader text(reader, {});
    QByteArray piece;
    while (text.appendNext(piece)) {
        survey.add(piece);
        piece.truncate(0);
    }
    const Decoding decoding = text.decoding();
    report.encoding = platform::Encodings::commonName(decoding.encoding);
    report.strayBytesAsMacRoman = decoding.strayBytesAsMacRoman;
    report.fullExportMarker = survey.fullExportMarker();
    report.controlCharacters = survey.controlCharacters();
    report.appStampsToRewrite = survey.appStampsToRewrite();
    report.resultCode = ResultCodeFor(survey.isEmpty(), anyFile, survey.fullExportMarker(),
                                      text.changesBytes() || survey.findsChanges());

    // A refused file is never repaired, so its repaired text is never read as XML.
    if (!report.refusal && !anyFile && (report.resultCode == kResultDone || report.resultCode == kResultUnchanged)) {
        report.xmlChecked = true;
        report.xmlError = survey.finishXml();
    }
    if (report.resultCode == kResultDone) {
        report.declarationChanges = survey.declarationChanges();
        if (const platform::FileReplacer::KeptCopyNamer keptCopyName = KeptCopyNamerFor(target, anyFile))
            report.keptCopyName = platform::FileReplacer::freeKeptCopyName(target, keptCopyName);
    }
    if (report.refusal) {
        report.resultCode.reset();
        report.keptCopyName = {};
    }
    return report;
}

} // namespace quillmend::engine
