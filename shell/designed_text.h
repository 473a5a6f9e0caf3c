// The windows' texts as designed, with their carriage returns made line feeds.
#pragma once

#include <QString>

namespace quillmend::shell {

/// A text as designed, with carriage returns between lines, turned into the
/// line feeds that a label breaks lines at.
inline QString DesignedText(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return lines;
}

} // namespace quillmend::shell
