// An encoding by name, the system's own among them.
#pragma once

#include <QByteArray>
#include <QString>

namespace quillmend::platform {

/// A handle for one character encoding of the encoding service.
class TextEncoding {
public:
    /// The encoding known as `name` (as ICU and IANA name it: "macintosh",
    /// "windows-1252", "UTF-16", ...); an empty name stands for the system's
    /// default encoding.
    explicit TextEncoding(QByteArray name);

    const QByteArray& name() const { return m_name; }
    bool isSystemDefault() const { return m_name.isEmpty(); }
    bool isUtf8() const;
    /// A name for people, such as "macintosh" or "UTF-8".
    QString displayName() const;

    bool operator==(const TextEncoding& other) const;
    bool operator!=(const TextEncoding& other) const { return !(*this == other); }

private:
    QByteArray m_name;
};

} // namespace quillmend::platform
