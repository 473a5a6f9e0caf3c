#pragma once

#include <QByteArray>
#include <QString>

namespace quillmend::platform {

/// A file's name or path as the system spells it: bytes on Linux and macOS,
/// which need not be valid UTF-8. A name goes from the command line, a drop
/// or a dialog down to the system calls without ever being turned into text
/// and back, so that no two names that read alike can be taken for each
/// other. Text is made of it only to be shown.
class NativeName {
public:
    NativeName() = default;

    /// The bytes exactly as the system gave them (an argument, a folder entry).
    static NativeName fromSystem(QByteArray bytes) { return NativeName(std::move(bytes)); }
    /// The system's spelling of `text`. Exact for every name whose spelling is
    /// valid UTF-8; a name shown with U+FFFD in it may be spelt otherwise.
    static NativeName fromText(const QString& text);
    /// ASCII text, such as the joints of made names (" (Original).").
    static NativeName fromAscii(const char* ascii) { return NativeName(QByteArray(ascii)); }

    /// The name as a person reads it: a byte that is not part of valid UTF-8
    /// reads as U+FFFD.
    QString toText() const;
    /// The name for a terminal or a log, from which the exact bytes can be
    /// read back: control characters (escape sequences among them), bytes
    /// that are not valid UTF-8 and the backslash itself are written as \xHH
    /// and \\, in the manner of the shell's $'...' quoting.
    QString toEscapedText() const;
    /// The bytes as hex digits, two per byte, for scripts that match names.
    QString toHex() const { return QString::fromLatin1(m_units.toHex()); }
    /// Whether the spelling is valid UTF-8, so that toText() is exact.
    bool isValidText() const;

    /// For the system calls: the bytes, ending in NUL.
    const char* system() const { return m_units.constData(); }
    const QByteArray& bytes() const { return m_units; }

    bool isEmpty() const { return m_units.isEmpty(); }
    /// The length in the system's units (bytes), as its limits count.
    qsizetype size() const { return m_units.size(); }
    /// Where the last `ascii` character stands, or -1.
    qsizetype lastIndexOf(char ascii) const { return m_units.lastIndexOf(ascii); }
    NativeName left(qsizetype n) const { return NativeName(m_units.left(n)); }
    NativeName mid(qsizetype position) const { return NativeName(m_units.mid(position)); }

    NativeName& operator+=(const NativeName& other)
    {
        m_units += other.m_units;
        return *this;
    }
    friend NativeName operator+(NativeName a, const NativeName& b) { return a += b; }
    friend bool operator==(const NativeName& a, const NativeName& b) { return a.m_units == b.m_units; }
    friend bool operator!=(const NativeName& a, const NativeName& b) { return !(a == b); }

private:
    explicit NativeName(QByteArray units)
        : m_units(std::move(units))
    {
    }

    QByteArray m_units;
};

} // namespace quillmend::platform
