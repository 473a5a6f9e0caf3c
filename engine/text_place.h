// A place in the repaired text, as a line and column a user can find.
#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace quillmend::engine {

/// The place of the next character in a UTF-8 text read piece by piece, as
/// an editor shows it: lines from 1, ended by a line feed, a carriage return
/// or the two together (also where a piece ends between them); columns from 1
/// in characters.
///
///     TextPlace place;
///     place.advance("ab\r\n\xC3\xA9");  // now line 2, column 2
class TextPlace {
public:
    qint64 line() const { return m_line; }
    qint64 column() const { return m_column; }

    /// Moves past the next bytes of the text, cut anywhere between characters.
    void advance(QByteArrayView bytes);
    /// Moves past one character that ends no line (where the caller has
    /// already looked at it).
    void advanceOneCharacter()
    {
        ++m_column;
        m_afterCarriageReturn = false;
    }

private:
    qint64 m_line = 1;
    qint64 m_column = 1;
    bool m_afterCarriageReturn = false;
};

} // namespace quillmend::engine
