// TextSurvey: what a repair would change in a text, counted.
#include "engine/text_survey.h"

#include "engine/text_repair.h"
#include "platform/text/utf8.h"

#include <QByteArray>

#include <algorithm>

namespace quillmend::engine {

TextSurvey::TextSurvey(bool anyFile, bool removeTabs)
    : m_anyFile(anyFile)
    , m_removeTabs(removeTabs)
{
    for (int code = 0; code < int(m_controls.size()); ++code)
        m_controls[std::size_t(code)].code = code;
}

void TextSurvey::add(QByteArrayView piece)
{
    if (piece.isEmpty())
        return;
    const bool atStart = m_empty;
    m_empty = false;
    m_fullExport.add(piece);
    notePlaces(piece);

    // The piece is repaired as the repair itself would, after the repaired end
    // of the piece before: an entry can take shape only once the control
    // characters inside it are gone.
    m_work.append(piece);
    const TextChanges changes = RepairText(m_work, m_anyFile, m_removeTabs, atStart);
    m_appStamps += changes.appStampsRewritten;
    if (atStart) {
        m_declarationChanges = changes.declarationChanged;
        m_declaredBefore = changes.declaredBefore;
    }
    if (m_declarationChanges && !m_beyondAscii)
        m_beyondAscii = platform::utf8::containsMultiByteSequence(piece);
    // What no later piece can change any more is read as XML.
    if (!m_anyFile)
        m_xml.add(QByteArrayView(m_work).first(m_work.size() - std::min(m_work.size(), kEntryOverlap)));
    m_work = m_work.right(kEntryOverlap);
}

std::optional<XmlError> TextSurvey::finishXml()
{
    m_xml.add(m_work);
    m_work.clear();
    return m_xml.finish();
}

bool TextSurvey::findsChanges() const
{
    if (m_appStamps > 0 || (m_declarationChanges && DeclarationMisleads(m_declaredBefore, m_beyondAscii)))
        return true;
    for (const SurveyReport::ControlCharacter& control : m_controls) {
        if (control.count > 0)
            return true;
    }
    return false;
}

std::vector<SurveyReport::ControlCharacter> TextSurvey::controlCharacters() const
{
    std::vector<SurveyReport::ControlCharacter> found;
    for (const SurveyReport::ControlCharacter& control : m_controls) {
        if (control.count > 0)
            found.push_back(control);
    }
    return found;
}

void TextSurvey::notePlaces(QByteArrayView piece)
{
    // The characters that go are found by the repair's own scan; between
    // them, only the lines and columns move on.
    for (qsizetype at = 0; at < piece.size();) {
        const qsizetype removed = NextRemovedCharacter(piece, at, m_removeTabs);
        m_next.advance(piece.sliced(at, removed - at));
        if (removed == piece.size())
            break;
        SurveyReport::ControlCharacter& control = m_controls[static_cast<unsigned char>(piece[removed])];
        if (control.firstPlaces.size() < std::size_t(kPlacesKept))
            control.firstPlaces.push_back({m_next.line(), m_next.column()});
        ++control.count;
        m_next.advanceOneCharacter();
        at = removed + 1;
    }
}

} // namespace quillmend::engine
