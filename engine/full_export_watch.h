// Watches a text, slice by slice, for the full-export marker.
#pragma once

#include "engine/text_repair.h"

#include <QByteArray>
#include <QByteArrayView>

namespace quillmend::engine {

/// Looks for the full-export marker in a text that arrives piece by piece,
/// also where it stands across the cut between two pieces.
class FullExportWatch {
public:
    /// Takes the next piece of the decoded text.
    void add(QByteArrayView piece);
    /// Whether the marker has been seen in the text so far.
    bool seen() const { return m_seen; }

private:
    bool m_seen = false;
    QByteArray m_tail; // the end of the text so far
};

} // namespace quillmend::engine
