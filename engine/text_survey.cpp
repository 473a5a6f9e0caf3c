#include "engine/text_survey.h"

#include "engine/text_repair.h"
#include "platform/text/byte_scan.h"

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
    if (atStart)
        m_declarationChanges = changes.declarationChanged;
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
    if (m_appStamps > 0)
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
        movePlace(piece.sliced(at, removed - at));
        if (removed == piece.size())
            break;
        SurveyReport::ControlCharacter& control = m_controls[static_cast<unsigned char>(piece[removed])];
        if (control.firstPlaces.size() < std::size_t(kPlacesKept))
            control.firstPlaces.push_back(m_next);
        ++control.count;
        ++m_next.column;
        m_afterCarriageReturn = false;
        at = removed + 1;
    }
}

void TextSurvey::movePlace(QByteArrayView kept)
{
    namespace scan = platform::bytescan;
    const char* data = kept.data();
    const qsizetype size = kept.size();
    for (qsizetype at = 0; at < size; ++at) {
        // Sixteen bytes without a line end only move the column on, by the
        // characters that begin among them (continuation bytes belong to the
        // character that their lead began).
        if (at + scan::kBlock <= size && scan::controlMask(data + at) == 0) {
            m_next.column += scan::kBlock - scan::countBits(scan::continuationMask(data + at));
            m_afterCarriageReturn = false;
            at += scan::kBlock - 1;
            continue;
        }
        const auto c = static_cast<unsigned char>(data[at]);
        if (c == '\n' || c == '\r') {
            // A carriage return and line feed together end one line.
            if (!(c == '\n' && m_afterCarriageReturn)) {
                ++m_next.line;
                m_next.column = 1;
            }
            m_afterCarriageReturn = c == '\r';
            continue;
        }
        if ((c & 0xC0) != 0x80)
            ++m_next.column;
        m_afterCarriageReturn = false;
    }
}

} // namespace quillmend::engine
