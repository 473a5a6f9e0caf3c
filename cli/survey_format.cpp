// A survey (--check) as lines for a person or as JSON for a script.
#include "cli/survey_format.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

namespace quillmend::cli {

namespace {

using engine::SurveyReport;

QString codePoint(int code)
{
    return QStringLiteral("U+") + QString::number(code, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

QString placesText(const SurveyReport::ControlCharacter& control)
{
    QStringList places;
    for (const SurveyReport::Place& place : control.firstPlaces)
        places << QStringLiteral("line %1 column %2").arg(place.line).arg(place.column);
    QString text = places.join(QLatin1String(", "));
    if (control.count > qint64(control.firstPlaces.size()))
        text += QStringLiteral(", ...");
    return text;
}

QString resultText(const SurveyReport& report)
{
    if (report.refusal)
        return QStringLiteral("refused, \"%1\"").arg(engine::RefusalMessage(*report.refusal));
    const std::optional<QString> status = engine::StatusTextFor(*report.resultCode);
    return QStringLiteral("%1, \"%2\"").arg(*report.resultCode).arg(status.value_or(QString()));
}

} // namespace

QString ControlCharacterName(int code)
{
    static const char* const kNames[32] = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT", "LF",  "VT",  "FF", "CR", "SO", "SI",
        "DLE", "DC1", "DC2", "DC3", "DC4", "NAK", "SYN", "ETB", "CAN", "EM", "SUB", "ESC", "FS", "GS", "RS", "US",
    };
    return code >= 0 && code < 32 ? QString::fromLatin1(kNames[code]) : QString();
}

QString SurveyAsText(const platform::NativeName& path, const SurveyReport& report)
{
    QStringList lines;
    lines << path.toEscapedText();
    const auto add = [&](const QString& label, const QString& value) {
        lines << QStringLiteral("  ") + label + QStringLiteral(": ") + value;
    };
    if (report.refusal == engine::Refusal::EmptyFile) {
        add(QStringLiteral("a repair would give"), resultText(report));
        return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    }
    add(QStringLiteral("encoding"),
        report.strayBytesAsMacRoman ? report.encoding + QStringLiteral(", with stray bytes read as Mac Roman")
                                    : report.encoding);
    add(QStringLiteral("full-export marker"),
        report.fullExportMarker ? QStringLiteral("present") : QStringLiteral("missing"));
    add(QStringLiteral("control characters to remove"), QString::number(report.controlCharacterCount()));
    for (const SurveyReport::ControlCharacter& control : report.controlCharacters) {
        lines << QStringLiteral("    %1 %2: %3 at %4")
                     .arg(codePoint(control.code), ControlCharacterName(control.code))
                     .arg(control.count)
                     .arg(placesText(control));
    }
    add(QStringLiteral("AppStamp entries to rewrite"), QString::number(report.appStampsToRewrite));
    add(QStringLiteral("XML declaration"),
        report.declarationChanges ? QStringLiteral("would be made to say UTF-8") : QStringLiteral("stays as it is"));
    add(QStringLiteral("original kept as"),
        report.keptCopyName.isEmpty() ? QStringLiteral("(none)") : report.keptCopyName.toEscapedText());
    add(QStringLiteral("a repair would give"), resultText(report));
    if (report.xmlChecked) {
        add(QStringLiteral("well-formed XML after repair"),
            !report.xmlError               ? QStringLiteral("yes")
                : report.xmlError->checked ? QStringLiteral("no, ") + engine::XmlErrorText(*report.xmlError)
                                           : engine::XmlErrorText(*report.xmlError));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QByteArray SurveyAsJson(const platform::NativeName& path, const SurveyReport& report)
{
    QJsonObject object;
    object[QLatin1String("file")] = path.toText();
    object[QLatin1String("fileHex")] = path.toHex();
    if (report.refusal)
        object[QLatin1String("refused")] = engine::RefusalMessage(*report.refusal);
    else
        object[QLatin1String("refused")] = QJsonValue::Null;
    if (report.refusal != engine::Refusal::EmptyFile) {
        object[QLatin1String("encoding")] = report.encoding;
        object[QLatin1String("strayBytesAsMacRoman")] = report.strayBytesAsMacRoman;
        object[QLatin1String("fullExportMarker")] = report.fullExportMarker;
        QJsonArray controls;
        for (const SurveyReport::ControlCharacter& control : report.controlCharacters) {
            QJsonArray places;
            for (const SurveyReport::Place& place : control.firstPlaces)
                places.append(
                    QJsonObject{{QLatin1String("line"), place.line}, {QLatin1String("column"), place.column}});
            controls.append(QJsonObject{
                {QLatin1String("code"), control.code},
                {QLatin1String("name"), ControlCharacterName(control.code)},
                {QLatin1String("count"), control.count},
                {QLatin1String("firstPlaces"), places},
            });
        }
        object[QLatin1String("controlCharacters")] = controls;
        object[QLatin1String("appStampsToRewrite")] = report.appStampsToRewrite;
        object[QLatin1String("declarationChanges")] = report.declarationChanges;
    }
    const bool kept = !report.keptCopyName.isEmpty();
    object[QLatin1String("keptCopyName")] = kept ? QJsonValue(report.keptCopyName.toText()) : QJsonValue::Null;
    object[QLatin1String("keptCopyNameHex")] = kept ? QJsonValue(report.keptCopyName.toHex()) : QJsonValue::Null;
    if (report.resultCode) {
        object[QLatin1String("resultCode")] = qint64(*report.resultCode);
        object[QLatin1String("status")] = engine::StatusTextFor(*report.resultCode).value_or(QString());
    } else {
        object[QLatin1String("resultCode")] = QJsonValue::Null;
        object[QLatin1String("status")] = QJsonValue::Null;
    }
    // Null where nothing was checked, or the check met a limit of its own.
    const bool judged = report.xmlChecked && (!report.xmlError || report.xmlError->checked);
    object[QLatin1String("wellFormed")] = judged ? QJsonValue(!report.xmlError) : QJsonValue::Null;
    if (report.xmlError) {
        object[QLatin1String("xmlError")] = QJsonObject{
            {QLatin1String("line"), report.xmlError->line},
            {QLatin1String("column"), report.xmlError->column},
            {QLatin1String("reason"), report.xmlError->reason},
        };
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray SurveyFailureAsJson(const platform::NativeName& path, const QString& reason)
{
    const QJsonObject object{
        {QLatin1String("file"), path.toText()},
        {QLatin1String("fileHex"), path.toHex()},
        {QLatin1String("error"), reason},
    };
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace quillmend::cli
