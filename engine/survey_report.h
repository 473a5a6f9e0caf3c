// What a survey of a file found, for the tool to print.
#pragma once

#include "engine/request.h"
#include "engine/result_code.h"
#include "engine/xml_check.h"
#include "platform/files/native_name.h"

#include <QString>

#include <optional>
#include <vector>

namespace quillmend::engine {

/// What a repair request would find in one file, and what it would do to it,
/// as learnt by reading the file without changing anything.
struct SurveyReport {
    /// A place in the decoded text. Lines are counted from 1 and end at a line
    /// feed, a carriage return, or the two together; columns are counted from
    /// 1 in characters, a control character counting as one.
    struct Place {
        qint64 line = 1;
        qint64 column = 1;
        bool operator==(const Place& other) const { return line == other.line && column == other.column; }
    };

    /// One control character that a repair would remove.
    struct ControlCharacter {
        int code = 0;
        qint64 count = 0;
        /// Where it first stands, at most TextSurvey::kPlacesKept places.
        std::vector<Place> firstPlaces;
    };

    /// Set when the request would refuse the file before repairing it. The
    /// text is surveyed all the same unless it is empty.
    std::optional<Refusal> refusal;
    /// The encoding that decoding reads the text in ("UTF-8", "Mac Roman", ...).
    QString encoding;
    /// A UTF-8 text whose stray bytes would be read as Mac Roman.
    bool strayBytesAsMacRoman = false;
    /// Whether the text holds the full-export marker.
    bool fullExportMarker = false;
    /// The control characters that a repair would remove, by code.
    std::vector<ControlCharacter> controlCharacters;
    /// How many AppStamp entries a repair would rewrite (none in any-file mode).
    qint64 appStampsToRewrite = 0;
    /// Whether a repair would make the XML declaration say UTF-8.
    bool declarationChanges = false;
    /// The name under which a repair would keep the former content; empty
    /// when it would keep none.
    platform::NativeName keptCopyName;
    /// The result code that the repair pass would give; nothing when the
    /// request would refuse the file first.
    std::optional<ResultCode> resultCode;
    /// Whether the repaired text was read as XML: for an export that a
    /// repair would repair or leave in order.
    bool xmlChecked = false;
    /// Where the repaired text would not be well-formed XML, if anywhere.
    std::optional<XmlError> xmlError;

    /// How many control characters a repair would remove.
    qint64 controlCharacterCount() const
    {
        qint64 total = 0;
        for (const ControlCharacter& found : controlCharacters)
            total += found.count;
        return total;
    }
};

} // namespace quillmend::engine
