// TextEncoding: an encoding's name, and how it is shown.
#include "platform/text/text_encoding.h"

#include "platform/system/system_encoding.h"

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
    return SystemEncodingName();
}

bool TextEncoding::operator==(const TextEncoding& other) const
{
    return m_name == other.m_name;
}

} // namespace quillmend::platform
