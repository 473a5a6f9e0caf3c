#include "platform/text_encoding.h"

#include <unicode/ucnv.h>

#include <utility>

namespace quillmend::platform {

TextEncoding::TextEncoding(QByteArray icuName)
    : m_icuName(std::move(icuName))
{
}

bool TextEncoding::isUtf8() const
{
    return m_icuName == "UTF-8";
}

QString TextEncoding::displayName() const
{
    if (isSystemDefault())
        return QString::fromLatin1(ucnv_getDefaultName());
    return QString::fromLatin1(m_icuName);
}

bool TextEncoding::operator==(const TextEncoding& other) const
{
    return m_icuName == other.m_icuName;
}

} // namespace quillmend::platform
