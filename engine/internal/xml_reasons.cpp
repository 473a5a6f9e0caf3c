// The XML check's words: libxml2's errors as plain sentences, and its own limits told apart.
#include "engine/internal/xml_reasons.h"

#include <libxml/xmlerror.h>

namespace quillmend::engine::internal {

namespace {

// The length of the name of the libxml2 routine that `said` opens with, and
// what follows it up to its own words ("xmlParseCharRef: ", "xmlParseDocTypeDecl
// : ", "SAX.xmlSAX2NotationDecl(name) "), then a colon or a parenthesis. 0 where there is none. (Plain string work:
// this runs on the reader's own thread, where Qt's regular expressions have
// crashed under Windows.)
qsizetype routineLength(const QString& said)
{
    qsizetype at = said.startsWith(QLatin1String("SAX.")) ? 4 : 0;
    const qsizetype start = at;
    // A capital after a small letter: "xmlParseCharRef", never "ATTLIST" or
    // "PEReference", which are the grammar's words.
    bool innerCapital = false;
    while (at < said.size() && (said[at].isLetterOrNumber() || said[at] == QLatin1Char('_'))) {
        innerCapital = innerCapital || (at > start && said[at].isUpper() && said[at - 1].isLower());
        ++at;
    }
    if (!innerCapital || at == start)
        return 0;
    if (at < said.size() && said[at] == QLatin1Char('(')) {
        const qsizetype close = said.indexOf(QLatin1Char(')'), at);
        if (close < 0)
            return 0;
        at = close + 1;
    } else {
        while (at < said.size() && said[at] == QLatin1Char(' '))
            ++at;
        if (at == said.size() || said[at] != QLatin1Char(':'))
            return 0;
        ++at;
    }
    while (at < said.size() && said[at] == QLatin1Char(' '))
        ++at;
    return at;
}

// libxml2's own words as a sentence for the user: without the name of the
// routine that found the error, its first letter lowered unless a capital
// follows ("XML declaration", "DOCTYPE", "PEReference"), and with a sentence
// of its own where libxml2 has no words.
QString plainWords(const QString& message, int code)
{
    QString said = message.trimmed();
    // libxml2 calls a fault of the file that no rule of its own names an
    // "internal error", before the routine's name.
    if (said.startsWith(QLatin1String("internal error: ")))
        said.remove(0, 16);
    said.remove(0, routineLength(said));
    while (!said.isEmpty()
           && (said.endsWith(QLatin1Char('!')) || said.endsWith(QLatin1Char('.')) || said.endsWith(QLatin1Char(' '))))
        said.chop(1);
    const QLatin1String unclosed("Premature end of data in tag ");
    if (said.startsWith(unclosed)) {
        const QString rest = said.mid(unclosed.size());
        return QStringLiteral("the element <%1> is not closed").arg(rest.left(rest.indexOf(QLatin1Char(' '))));
    }
    const QLatin1String expected(" expected");
    if (said.endsWith(expected) && said.size() > expected.size())
        return QStringLiteral("expected %1").arg(said.chopped(expected.size()).trimmed());
    if (said.isEmpty() || said.startsWith(QLatin1String("unregistered error message"), Qt::CaseInsensitive))
        return QStringLiteral("the text is not XML as the standard defines it here (the XML reader's error %1)")
            .arg(code);
    if (said.size() == 1 || !said[1].isUpper())
        said[0] = said[0].toLower();
    return said;
}

QString endsTooSoon(const QString& where)
{
    return QStringLiteral("the file ends %1: the export is incomplete, export it again").arg(where);
}

} // namespace

// Where libxml2 stops at a limit of its own rather than at a fault, the text
// is not judged, and the user is told which limit.
std::optional<QString> XmlLimitMet(const QString& message)
{
    if (message.contains(QLatin1String("Excessive depth"), Qt::CaseInsensitive))
        return QStringLiteral("its elements are nested deeper than the check reads (256 levels)");
    if (message.contains(QLatin1String("Name too long"), Qt::CaseInsensitive))
        return QStringLiteral("a name is longer than the check reads (50,000 characters)");
    for (const char* size : {"huge", "too long", "too big"}) {
        if (message.contains(QLatin1String(size), Qt::CaseInsensitive))
            return QStringLiteral("a value, text, section or comment is longer than the check reads (10 MB)");
    }
    return std::nullopt;
}

QString XmlReason(const XmlFault& found)
{
    if (found.tooSoon) {
        if (!found.innermost.isEmpty())
            return endsTooSoon(QStringLiteral("inside <%1>").arg(found.innermost));
        if (found.root.isEmpty())
            return endsTooSoon(QStringLiteral("before its first element"));
        return endsTooSoon(QStringLiteral("inside a tag"));
    }
    // libxml2 tells its errors in English words meant for programmers; the
    // common ones are put plainly for the user, with the element names that
    // only this check knows.
    if (found.startedBy == '&' && !found.inEntity)
        return found.code == XML_ERR_UNDECLARED_ENTITY
            ? QStringLiteral("an & that starts no known entity or character reference")
            : QStringLiteral("an & that starts no character reference (an & in text is written &amp;)");
    if (found.startedBy == '<')
        return found.code == XML_ERR_TAG_NAME_MISMATCH
            ? QStringLiteral("an end tag that does not close <%1>").arg(found.innermost)
            : QStringLiteral("a < that starts no tag (a < in text is written &lt;)");
    if (found.code == XML_ERR_DOCUMENT_END)
        return QStringLiteral("more after the end of the root element <%1>: a second root element, or text")
            .arg(found.root);
    // What libxml2 has no words for, or only a routine's.
    if (found.code == XML_ERR_CDATA_NOT_FINISHED)
        return QStringLiteral("a CDATA section (<![CDATA[) that is not closed by ]]>");
    if (found.code == XML_ERR_INTERNAL_ERROR && found.message.contains(QLatin1String("Markup declaration")))
        return QStringLiteral("the DOCTYPE's list of declarations holds something that is none: only <!ELEMENT, "
                              "<!ATTLIST, <!ENTITY and <!NOTATION declarations, comments, processing instructions "
                              "and %references may stand between its [ and ]");
    if (found.code == XML_ERR_NOTATION_PROCESSING) {
        const qsizetype open = found.message.indexOf(QLatin1Char('('));
        const qsizetype close = found.message.indexOf(QLatin1Char(')'), open);
        return QStringLiteral("the notation %1 is declared without a public or system identifier")
            .arg(open >= 0 && close > open ? found.message.mid(open + 1, close - open - 1) : QString());
    }
    return plainWords(found.message, found.code);
}

} // namespace quillmend::engine::internal
