#include "engine/file_survey.h"

#include "engine/decoded_slice_reader.h"
#include "engine/kept_copy_name.h"
#include "engine/text_decoding.h"
#include "engine/text_survey.h"
#include "platform/encodings.h"
#include "platform/file_reader.h"
#include "platform/file_replacer.h"

#include <utility>

namespace quillmend::engine {

namespace {

using platform::Encodings;

// Surveys the text slice by slice, as UTF-8 or in the single-byte
// `encoding`; false when it turns out not to be in it.
bool surveyInSlices(platform::FileReader& reader, const std::optional<platform::TextEncoding>& encoding,
                    TextSurvey& survey)
{
    DecodedSliceReader slices(reader, encoding);
    QByteArray piece;
    while (true) {
        piece.truncate(0);
        const std::optional<qsizetype> arrived = slices.appendNext(piece);
        if (!arrived)
            return false;
        if (*arrived == 0)
            break;
        survey.add(piece);
    }
    reader.checkReadWhole();
    return true;
}

// The first kept copy name that no entry in the folder holds yet, as the
// repair would take it.
QString freeKeptCopyName(const platform::FileRef& target, bool anyFile)
{
    const QString name = target.name();
    for (int attempt = 1; attempt <= platform::FileReplacer::kMaxNameAttempts; ++attempt) {
        const QString candidate = KeptCopyName(name, anyFile, attempt);
        if (candidate.isEmpty() || !target.parent().child(candidate).exists())
            return candidate;
    }
    return QString();
}

} // namespace

SurveyReport SurveyTheFile(const platform::FileRef& file, bool anyFile, bool removeTabs)
{
    SurveyReport report;
    report.refusal = RefusalOf(file);
    if (report.refusal == Refusal::EmptyFile)
        return report;

    const platform::FileRef target = file.resolved();
    TextSurvey survey(anyFile, removeTabs);
    // Any text that is not UTF-8 as it stands is rewritten whatever it holds.
    bool rewritten = true;
    {
        platform::FileReader reader(target);
        if (surveyInSlices(reader, std::nullopt, survey)) {
            report.encoding = Encodings::commonName(Encodings::UTF8);
            rewritten = false;
        } else if (const std::optional<platform::TextEncoding> singleByte = SingleByteEncodingToStream(reader)) {
            survey = TextSurvey(anyFile, removeTabs);
            if (surveyInSlices(reader, singleByte, survey))
                report.encoding = Encodings::commonName(*singleByte);
        }
    }
    if (report.encoding.isEmpty()) {
        platform::FileContent content = target.readAll();
        const Decoding decoding = ChooseDecoding(content.text);
        report.encoding = Encodings::commonName(decoding.encoding);
        report.strayBytesAsMacRoman = decoding.strayBytesAsMacRoman;
        survey = TextSurvey(anyFile, removeTabs);
        survey.add(MakeUTF8(std::move(content.text)).bytes);
    }

    report.fullExportMarker = survey.fullExportMarker();
    report.controlCharacters = survey.controlCharacters();
    report.appStampsToRewrite = survey.appStampsToRewrite();
    if (survey.isEmpty())
        report.resultCode = kResultEmpty;
    else if (!anyFile && !survey.fullExportMarker())
        report.resultCode = kResultNotFullExport;
    else if (rewritten || survey.findsChanges())
        report.resultCode = kResultDone;
    else
        report.resultCode = kResultUnchanged;

    if (report.resultCode == kResultDone) {
        report.declarationChanges = survey.declarationChanges();
        report.keptCopyName = freeKeptCopyName(target, anyFile);
    }
    if (report.refusal) {
        report.resultCode.reset();
        report.keptCopyName.clear();
    }
    return report;
}

} // namespace quillmend::engine
