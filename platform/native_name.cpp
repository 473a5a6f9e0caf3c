#include "platform/native_name.h"

#include "platform/utf8.h"

#include <QFile>

#include <cstdio>

namespace quillmend::platform {

namespace {

void appendEscaped(QByteArray& shown, const char* format, unsigned value)
{
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, format, value);
    shown += escaped;
}

} // namespace

NativeName NativeName::fromAscii(const char* ascii)
{
#ifdef _WIN32
    return NativeName(QString::fromLatin1(ascii));
#else
    return NativeName(QByteArray(ascii));
#endif
}

#ifdef _WIN32

NativeName NativeName::fromSystem(const NativeString& units)
{
    return NativeName(QString::fromWCharArray(units.data(), qsizetype(units.size())));
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
            appendEscaped(shown, "\\u%04X", unit);
        } else if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0)) {
            appendEscaped(shown, "\\x%02X", unit);
        } else {
            shown += QString(QChar(unit)).toUtf8();
        }
    }
    return QString::fromUtf8(shown);
}

#else

NativeName NativeName::fromSystem(const NativeString& units)
{
    return NativeName(QByteArray::fromStdString(units));
}

NativeName NativeName::fromText(const QString& text)
{
    return NativeName(QFile::encodeName(text));
}

const NativeChar* NativeName::system() const
{
    return m_units.constData();
}

QString NativeName::toText() const
{
    return QFile::decodeName(m_units);
}

QString NativeName::toHex() const
{
    return QString::fromLatin1(m_units.toHex());
}

QString NativeName::toEscapedText() const
{
    QByteArray shown;
    const QByteArrayView units(m_units);
    for (qsizetype i = 0; i < units.size();) {
        const QByteArrayView rest = units.sliced(i);
        const int length = utf8::sequenceLength(rest);
        const auto first = static_cast<unsigned char>(rest[0]);
        // C0 and C1 controls are what a terminal acts on; a lone byte of
        // no sequence could start one there.
        const bool control = length == 0 || (length == 1 && (first < 0x20 || first == 0x7F))
            || (length == 2 && first == 0xC2 && static_cast<unsigned char>(rest[1]) < 0xA0);
        const qsizetype taken = length == 0 ? 1 : length;
        if (control) {
            for (const char c : rest.first(taken))
                appendEscaped(shown, "\\x%02X", static_cast<unsigned char>(c));
        } else if (first == '\\') {
            shown += "\\\\";
        } else {
            shown += rest.first(taken);
        }
        i += taken;
    }
    return QString::fromUtf8(shown);
}

#endif

NativeName NativeName::storedSpelling() const
{
#ifdef _WIN32
    qsizetype end = m_units.size();
    while (end > 0 && (m_units.at(end - 1) == u'.' || m_units.at(end - 1) == u' '))
        --end;
    return NativeName(m_units.left(end));
#else
    return *this;
#endif
}

} // namespace quillmend::platform
