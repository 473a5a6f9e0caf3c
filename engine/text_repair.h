// The repair of a text in memory: which characters go, what is rewritten.
#pragma once

#include "engine/yield_callback.h"

#include <QByteArray>
#include <QByteArrayView>

#include <algorithm>

namespace quillmend::engine {

/// The element text that only a full export holds.
inline constexpr char kFullExportMarker[] = "<Action>Entire Plot</Action>";
/// The entry that the repair rewrites, and what it becomes.
inline constexpr char kVectorworksAppStamp[] = "<AppStamp>Vectorworks</AppStamp>";
inline constexpr char kMarlowbrookAppStamp[] = "<AppStamp>Marlowbrook</AppStamp>";

/// How much of the end of one piece of a text must be kept to find the marker
/// or an AppStamp entry that stands across the cut to the next piece: all of
/// the longer of the two but its last byte.
inline constexpr qsizetype kEntryOverlap
    = qsizetype(std::max(sizeof kFullExportMarker, sizeof kVectorworksAppStamp)) - 2;

/// True when the UTF-8 `text` holds the full-export marker, in that letter case.
bool IsFullExport(QByteArrayView text);

/// Removes from the UTF-8 `text`, in place and in one scan, every control
/// character 0-31 except line feed and carriage return, and except tab when
/// `removeTabs` is false. Calls `yield` (if set) 32 times along the way.
/// Returns how many characters were removed.
qsizetype RemoveControlCharacters(QByteArray& text, bool removeTabs, const YieldCallback& yield);

/// Whether a repair removes the character `code` (a byte of UTF-8 text):
/// the control characters 0 to 31 but line feed and carriage return, and
/// tab only when `removeTabs`. The one rule that the repair and its report
/// both follow.
constexpr bool IsRemovedControlCharacter(unsigned char code, bool removeTabs)
{
    return code < 0x20 && code != '\n' && code != '\r' && (code != '\t' || removeTabs);
}

/// True when `text` holds a control character that RemoveControlCharacters removes.
bool ContainsControlCharacters(QByteArrayView text, bool removeTabs);

/// The place of the first character at or after `from` in `text` that
/// RemoveControlCharacters removes, or the size of `text`: the scan that the
/// repair makes, for those that report where such characters stand.
qsizetype NextRemovedCharacter(QByteArrayView text, qsizetype from, bool removeTabs);

/// Rewrites, in place, every Vectorworks AppStamp entry of `text` to name
/// Marlowbrook. Returns how many were rewritten.
qsizetype RewriteAppStamps(QByteArray& text);

/// When `text` (after an optional UTF-8 byte-order mark) begins with an XML
/// declaration whose encoding is not UTF-8, makes the declaration say UTF-8,
/// changing nothing else. Returns whether it changed the text; `declared`,
/// when given, then receives the name it said before.
bool DeclareUtf8(QByteArray& text, QByteArray* declared = nullptr);

/// Whether a UTF-8 text's declaration of `declared` (which DeclareUtf8
/// changes) misleads a reader that trusts it: where the text holds any
/// character beyond ASCII (`beyondAscii`), which that reader takes for other
/// characters, or where it names a wide encoding (UTF-16, UCS-2, UTF-32),
/// which no 8-bit text can be. Such a declaration is a fault to repair, even
/// in a text that needs nothing else.
bool DeclarationMisleads(QByteArrayView declared, bool beyondAscii);

/// What RepairText changed.
struct TextChanges {
    qsizetype controlCharactersRemoved = 0;
    qsizetype appStampsRewritten = 0;
    bool declarationChanged = false;
    /// The encoding that the declaration named before it was changed.
    QByteArray declaredBefore;
};

/// Repairs the UTF-8 `text` in place: removes its control characters, then
/// rewrites its AppStamp entries unless `anyFile`, then, when the text is the
/// start of a file (`atStart`), makes its XML declaration say UTF-8.
TextChanges RepairText(QByteArray& text, bool anyFile, bool removeTabs, bool atStart, const YieldCallback& yield = {});

} // namespace quillmend::engine
