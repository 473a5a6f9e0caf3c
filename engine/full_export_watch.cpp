// FullExportWatch: the full-export marker, looked for across slices.
#include "engine/full_export_watch.h"

#include <algorithm>

namespace quillmend::engine {

void FullExportWatch::add(QByteArrayView piece)
{
    if (m_seen || piece.isEmpty())
        return;
    const qsizetype edge = std::min(piece.size(), kEntryOverlap);
    m_seen = IsFullExport(QByteArray(m_tail).append(piece.first(edge))) || IsFullExport(piece);
    m_tail.append(piece.last(edge));
    m_tail = m_tail.right(kEntryOverlap);
}

} // namespace quillmend::engine
