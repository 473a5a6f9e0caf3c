#pragma once

#include <QByteArray>
#include <QString>

namespace quillmend::platform {

/// A handle for one character encoding of the encoding service (ICU).
class TextEncoding {
public:
    /// The encoding that ICU knows as `icuName`; an empty name stands for the
    /// system's default encoding.
    explicit TextEncoding(QByteArray icuName);

    const QByteArray& icuName() const { return m_icuName; }
    bool isSystemDefault() const { return m_icuName.isEmpty(); }
    bool isUtf8() const;
    /// A name for people, such as "macintosh" or "UTF-8".
    QString displayName() const;

    bool operator==(const TextEncoding& other) const;
    bool operator!=(const TextEncoding& other) const { return !(*this == other); }

private:
    QByteArray m_icuName;
};

} // namespace quillmend::platform
