// A survey of a file: what a repair would change, and what it would keep.
#pragma once

#include "engine/survey_report.h"
#include "platform/files/file_ref.h"

namespace quillmend::engine {

/// Surveys `file` for a repair request with the given options (as
/// FNProcessTheFile takes them) and reports what the request would find and
/// do, changing nothing on disk. The file is read as the repair reads it,
/// slice by slice through DecodedTextReader. Throws platform::FileError when the file cannot be read (it does
/// not exist, it is no regular file, it changes while it is read) and
/// platform::EncodingError when the encoding service fails.
SurveyReport SurveyTheFile(const platform::FileRef& file, bool anyFile, bool removeTabs);

} // namespace quillmend::engine
