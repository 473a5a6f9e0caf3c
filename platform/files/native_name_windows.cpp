// A name as Windows spells it: UTF-16, which need not pair its surrogates.
#include "platform/files/native_name.h"

#include "platform/files/internal/escaped_unit.h"
#include "platform/text/utf8.h"

#include <QFile>

namespace quillmend::platform {

using internal::AppendEscaped;

NativeName NativeName::fromAscii(const char* ascii)
{
    return NativeName(QString::fromLatin1(ascii));
}

NativeName NativeName::fromSystem(const NativeString& units)
{
    return NativeName(QString::fromWCharArray(units.data(), qsizetype(units.size())));
}

NativeName NativeName::fromLocalFileUrl(const QUrl& url)
{
    // Windows names are UTF-16, which the URL carries exactly.
    return fromText(url.toLocalFile());
}

NativeName NativeName::fromText(const QString& text)
{
    return NativeName(text);
}

const NativeChar* NativeName::system() const
{
    return reinterpret_cast<const wchar_t*>(m_units.utf16());
}

QString NativeName::toText() const
{
    QString text = m_units;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (unit.isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

QString NativeName::toHex() const
{
    QString hex;
    for (const QChar unit : m_units)
        hex += QStringLiteral("%1").arg(unit.unicode(), 4, 16, QLatin1Char('0'));
    return hex;
}

QString NativeName::toEscapedText() const
{
    QByteArray shown;
    for (qsizetype i = 0; i < m_units.size(); ++i) {
        const char16_t unit = m_units[i].unicode();
        const bool pair = QChar::isHighSurrogate(unit) && i + 1 < m_units.size() && m_units[i + 1].isLowSurrogate();
        if (pair) {
            shown += QString(m_units.mid(i, 2)).toUtf8();
            ++i;
        } else if (QChar::isSurrogate(unit)) {
            AppendEscaped(shown, "\\u%04X", unit);
        } else if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) {
            AppendEscaped(shown, "\\x%02X", unit);
        } else {
            shown += QString(QChar(unit)).toUtf8();
        }
    }
    return QString::fromUtf8(shown);
}

NativeName NativeName::leftWhole(qsizetype n) const
{
    if (n >= m_units.size())
        return *this;
    // A low surrogate belongs with the high one before it.
    if (n > 0 && m_units.at(n).isLowSurrogate())
        --n;
    return NativeName(m_units.left(n));
}

NativeName NativeName::storedSpelling() const
{
    qsizetype end = m_units.size();
    while (end > 0 && (m_units.at(end - 1) == u'.' || m_units.at(end - 1) == u' '))
        --end;
    return NativeName(m_units.left(end));
}

} // namespace quillmend::platform
