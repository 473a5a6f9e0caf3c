// A name as Linux and macOS spell it: bytes, which need not be UTF-8.
#include "platform/files/native_name.h"

#include "platform/files/internal/escaped_unit.h"
#include "platform/text/utf8.h"

#include <QFile>

namespace quillmend::platform {

using internal::AppendEscaped;

NativeName NativeName::fromAscii(const char* ascii)
{
    return NativeName(QByteArray(ascii));
}

NativeName NativeName::fromSystem(const NativeString& units)
{
    return NativeName(QByteArray::fromStdString(units));
}

NativeName NativeName::fromLocalFileUrl(const QUrl& url)
{
    // The URL's escapes hold the name's bytes exactly, also where they are
    // no UTF-8; toLocalFile() would make U+FFFD of them.
    return NativeName(QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()));
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
                AppendEscaped(shown, "\\x%02X", static_cast<unsigned char>(c));
        } else if (first == '\\') {
            shown += "\\\\";
        } else {
            shown += rest.first(taken);
        }
        i += taken;
    }
    return QString::fromUtf8(shown);
}

NativeName NativeName::leftWhole(qsizetype n) const
{
    if (n >= m_units.size())
        return *this;
    // A byte that continues a UTF-8 sequence (10xxxxxx) belongs with the one
    // before it.
    while (n > 0 && (static_cast<unsigned char>(m_units.at(n)) & 0xC0) == 0x80)
        --n;
    return NativeName(m_units.left(n));
}

NativeName NativeName::storedSpelling() const
{
    return *this;
}

} // namespace quillmend::platform
