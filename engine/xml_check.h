#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QXmlStreamReader>

#include <optional>

namespace quillmend::engine {

/// The first place where a text is not well-formed XML 1.0, and why, in
/// plain words. Lines are counted as an editor counts them, columns in
/// characters (UTF-16 units), both from 1; the column is that of the
/// character at which the error was found.
struct XmlError {
    qint64 line = 0;
    qint64 column = 0;
    QString reason;
    bool operator==(const XmlError& other) const
    {
        return line == other.line && column == other.column && reason == other.reason;
    }
};

/// Reads a repaired export as XML 1.0, piece by piece as the repair makes
/// it, and finds its first well-formedness error, with Qt's XML reader.
///
///     XmlCheck check;
///     for (each repaired piece) check.add(piece);
///     if (const std::optional<XmlError> error = check.finish()) ...
class XmlCheck {
public:
    /// Takes the next piece of the repaired text (UTF-8, or as its
    /// declaration says).
    void add(QByteArrayView piece);
    /// After the last piece: the first error, or nothing where the whole
    /// text is well-formed.
    std::optional<XmlError> finish();

private:
    void readOn();
    void noteError(const QString& reason);

    QXmlStreamReader m_reader;
    QStringList m_open; // the elements open at the place read to, outermost first
    QString m_root;
    std::optional<XmlError> m_error;
};

/// The plain sentence that tells of `error`: "the repaired file is still not
/// well-formed XML at line 3 column 7: ...". The command-line tool and the
/// window both say it.
QString XmlNote(const XmlError& error);

} // namespace quillmend::engine
