#pragma once

#include "engine/survey_report.h"

#include <QByteArray>
#include <QString>

namespace quillmend::cli {

/// The report of `quillmend-cli --check` on the file at `path`, for people:
/// the path on a line of its own, then one indented line for each finding.
QString SurveyAsText(const QString& path, const engine::SurveyReport& report);

/// The same report as one line of JSON, for scripts.
QByteArray SurveyAsJson(const QString& path, const engine::SurveyReport& report);

/// A file that could not be surveyed, as one line of JSON.
QByteArray SurveyFailureAsJson(const QString& path, const QString& reason);

/// The short name of control character `code` (0-31), such as "SOH".
QString ControlCharacterName(int code);

} // namespace quillmend::cli
