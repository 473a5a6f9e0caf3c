// Counts, slice by slice, what a repair would change in a text.
#pragma once

#include "engine/full_export_watch.h"
#include "engine/survey_report.h"
#include "engine/text_place.h"
#include "engine/xml_check.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>

namespace quillmend::engine {

/// Goes through a decoded text piece by piece, as a repair would, and notes
/// what the repair would change: the control characters it would remove
/// (with where they stand), the AppStamp entries it would rewrite, the XML
/// declaration, and whether the full-export marker is there. An entry or the
/// marker may stand across the cut between two pieces.
class TextSurvey {
public:
    /// How many places are noted for each control character.
    static constexpr int kPlacesKept = 5;

    TextSurvey(bool anyFile, bool removeTabs);

    /// Takes the next piece of the text, as UTF-8 cut between characters.
    void add(QByteArrayView piece);

    bool isEmpty() const { return m_empty; }
    bool fullExportMarker() const { return m_fullExport.seen(); }
    qint64 appStampsToRewrite() const { return m_appStamps; }
    /// Whether the declaration would change if the file is rewritten at all.
    bool declarationChanges() const { return m_declarationChanges; }
    /// Whether the control characters or the AppStamp entries call for a repair.
    bool findsChanges() const;
    /// The control characters found, by code.
    std::vector<SurveyReport::ControlCharacter> controlCharacters() const;
    /// After the last piece, of an export: where the repaired text would
    /// not be well-formed XML, if anywhere.
    std::optional<XmlError> finishXml();

private:
    void notePlaces(QByteArrayView piece);

    bool m_anyFile;
    bool m_removeTabs;
    bool m_empty = true;
    FullExportWatch m_fullExport;
    qint64 m_appStamps = 0;
    bool m_declarationChanges = false;
    QByteArray m_declaredBefore; // what the declaration named, where it changes
    bool m_beyondAscii = false;
    std::array<SurveyReport::ControlCharacter, 32> m_controls{};
    TextPlace m_next; // the place of the next character
    XmlCheck m_xml;
    QByteArray m_work; // the end of the text so far, as repaired, then the next piece
};

} // namespace quillmend::engine
