#include "engine/xml_check.h"

namespace quillmend::engine {

void XmlCheck::add(QByteArrayView piece)
{
    if (m_error || piece.isEmpty())
        return;
    m_reader.addData(piece.toByteArray());
    readOn();
}

void XmlCheck::readOn()
{
    while (!m_reader.atEnd()) {
        switch (m_reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (m_open.isEmpty() && m_root.isEmpty())
                m_root = m_reader.qualifiedName().toString();
            m_open.append(m_reader.qualifiedName().toString());
            break;
        case QXmlStreamReader::EndElement:
            if (!m_open.isEmpty())
                m_open.removeLast();
            break;
        default:
            break;
        }
    }
    // The end of what has come so far is no error while more may come.
    if (m_reader.error() == QXmlStreamReader::NoError
        || m_reader.error() == QXmlStreamReader::PrematureEndOfDocumentError)
        return;
    // Qt's reader tells its errors in English words only (this program loads
    // no translations of Qt); the common ones are put plainly for the user,
    // with the element names that only this check knows.
    const QString said = m_reader.errorString();
    if (said.startsWith(QLatin1String("Expected '#' or '[a-zA-Z]'")))
        noteError(QStringLiteral("an & that starts no character reference (an & in text is written &amp;)"));
    else if (said.startsWith(QLatin1String("Entity '")))
        noteError(QStringLiteral("an & that starts no known entity or character reference"));
    else if (said.startsWith(QLatin1String("Opening and ending tag mismatch")) && !m_open.isEmpty())
        noteError(QStringLiteral("an end tag that does not close <%1>").arg(m_open.last()));
    else if (said.startsWith(QLatin1String("Extra content at end of document")))
        noteError(QStringLiteral("more after the end of the root element <%1>: a second root element, or text")
                      .arg(m_root));
    else if (said.startsWith(QLatin1String("Unexpected '")))
        noteError(QStringLiteral("an unexpected %1 (a < in text is written &lt;)")
                      .arg(said.mid(int(qstrlen("Unexpected "))).chopped(1)));
    else
        noteError(said.left(1).toLower() + said.mid(1).chopped(said.endsWith(QLatin1Char('.')) ? 1 : 0));
}

void XmlCheck::noteError(const QString& reason)
{
    m_error = XmlError{m_reader.lineNumber(), m_reader.columnNumber(), reason};
}

std::optional<XmlError> XmlCheck::finish()
{
    if (m_error)
        return m_error;
    if (m_reader.error() == QXmlStreamReader::PrematureEndOfDocumentError) {
        if (!m_open.isEmpty())
            noteError(QStringLiteral("the file ends inside <%1>: the export is incomplete, export it again")
                          .arg(m_open.last()));
        else if (m_root.isEmpty())
            noteError(QStringLiteral("the file ends before its first element: the export is incomplete, export it "
                                     "again"));
        else
            noteError(QStringLiteral("the file ends inside a tag: the export is incomplete, export it again"));
    }
    return m_error;
}

QString XmlNote(const XmlError& error)
{
    return QStringLiteral("the repaired file is still not well-formed XML at line %1 column %2: %3")
        .arg(error.line)
        .arg(error.column)
        .arg(error.reason);
}

} // namespace quillmend::engine
