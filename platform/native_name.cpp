#include "platform/native_name.h"

#include "platform/utf8.h"

#include <QFile>

namespace quillmend::platform {

NativeName NativeName::fromText(const QString& text)
{
    return NativeName(QFile::encodeName(text));
}

QString NativeName::toText() const
{
    return QFile::decodeName(m_units);
}

bool NativeName::isValidText() const
{
    return utf8::isValid(m_units);
}

QString NativeName::toEscapedText() const
{
    static const char kHex[] = "0123456789ABCDEF";
    QByteArray shown;
    const auto escape = [&](QByteArrayView bytes) {
        for (const char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 0xF];
        }
    };
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
        if (control)
            escape(rest.first(taken));
        else if (first == '\\')
            shown += "\\\\";
        else
            shown += rest.first(taken);
        i += taken;
    }
    return QString::fromUtf8(shown);
}

} // namespace quillmend::platform
