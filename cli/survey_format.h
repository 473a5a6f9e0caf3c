// How the command-line tool writes a survey of a file (--check).
#pragma once

#include "engine/survey_report.h"
#include "platform/files/native_name.h"

#include <QByteArray>
#include <QString>

namespace quillmend::cli {

/// The report of `quillmend-cli --check` on the file at `path`, for people:
/// the path on a line of its own, then one indented line for each finding.
/// Names are shown escaped (NativeName::toEscapedText).
QString SurveyAsText(const platform::NativeName& path, const engine::SurveyReport& report);

/// The same report as one line of JSON, for scripts. Beside each name as
/// text ("file", "keptCopyName") stands its exact spelling as hex digits
/// ("fileHex", "keptCopyNameHex"), which a script can match when the text
/// cannot be exact.
QByteArray SurveyAsJson(const platform::NativeName& path, const engine::SurveyReport& report);

/// A file that could not be surveyed, as one line of JSON.
QByteArray SurveyFailureAsJson(const platform::NativeName& path, const QString& reason);

/// The short name of control character `code` (0-31), such as "SOH".
QString ControlCharacterName(int code);

} // namespace quillmend::cli
