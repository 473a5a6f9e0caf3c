#include "platform/text_encoding.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif

#include <utility>

namespace quillmend::platform {

TextEncoding::TextEncoding(QByteArray name)
    : m_name(std::move(name))
{
}

bool TextEncoding::isUtf8() const
{
    return m_name == "UTF-8";
}

QString TextEncoding::displayName() const
{
    if (!isSystemDefault())
        return QString::fromLatin1(m_name);
#ifdef Q_OS_WIN
    // The "ANSI" code page, which Windows programs without Unicode write in.
    return QStringLiteral("windows-%1").arg(GetACP());
#else
    // Qt takes the system's encoding to be UTF-8 on Linux and macOS.
    return QStringLiteral("UTF-8");
#endif
}

bool TextEncoding::operator==(const TextEncoding& other) const
{
    return m_name == other.m_name;
}

} // namespace quillmend::platform
