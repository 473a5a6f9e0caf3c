#include "engine/file_survey.h"

#include "engine/kept_copy_name.h"
#include "engine/text_decoding.h"
#include "engine/text_survey.h"
#include "platform/encoding_service.h"
#include "platform/encodings.h"
#include "platform/file_reader.h"
#include "platform/file_replacer.h"
#include "platform/utf8.h"
#include "platform/utf8_slice_reader.h"

#include <utility>

namespace quillmend::engine {

namespace {

using platform::Encodings;

// Surveys the text as UTF-8, slice by slice; false when it is not UTF-8.
bool surveyAsUtf8(platform::FileReader& reader, TextSurvey& survey)
{
    platform::Utf8SliceReader slices(reader);
    QByteArray slice;
    while (slices.appendNext(slice) > 0) {
        if (!platform::utf8::isValid(slice))
            return false;
        survey.add(slice);
        slice.truncate(0);
    }
    reader.checkReadWhole();
    return true;
}

void surveyAsSingleByte(platform::FileReader& reader, const platform::TextEncoding& encoding, TextSurvey& survey)
{
    QByteArray raw(platform::Utf8SliceReader::kSliceBytes, Qt::Uninitialized);
    QByteArray decoded;
    while (const std::size_t arrived = reader.read(raw.data(), std::size_t(raw.size()))) {
        decoded.truncate(0);
        platform::AppendSingleByteAsUtf8(QByteArrayView(raw).first(qsizetype(arrived)), encoding, decoded);
        survey.add(decoded);
    }
    reader.checkReadWhole();
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
        if (surveyAsUtf8(reader, survey)) {
            report.encoding = Encodings::commonName(Encodings::UTF8);
            rewritten = false;
        } else {
            survey = TextSurvey(anyFile, removeTabs);
            reader.rewind();
            const std::optional<platform::TextEncoding> singleByte = SingleByteEncodingOf(reader);
            if (singleByte) {
                reader.rewind();
                report.encoding = Encodings::commonName(*singleByte);
                surveyAsSingleByte(reader, *singleByte, survey);
            }
        }
    }
    if (report.encoding.isEmpty()) {
        platform::FileContent content = target.readAll();
        const Decoding decoding = ChooseDecoding(content.text);
        report.encoding = Encodings::commonName(decoding.encoding);
        report.strayBytesAsMacRoman = decoding.strayBytesAsMacRoman;
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
