// A file's name or path exactly as the system spells it.
#pragma once

#include "platform/system/system_types.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace quillmend::platform {

/// A file's name or path as the system spells it: bytes on Linux and macOS,
/// which need not be valid UTF-8, and UTF-16 on Windows, which need not pair
/// its surrogates. A name goes from the command line, a drop or a dialog down
/// to the system calls without ever being turned into text and back, so that
/// no two names that read alike can be taken for each other. Text is made of
/// it only to be shown.
class NativeName {
public:
    using Units = SystemUnits;

    NativeName() = default;

    /// The units exactly as the system gave them (an argument, a folder entry).
    static NativeName fromSystem(Units units) { return NativeName(std::move(units)); }
    static NativeName fromSystem(const NativeString& units);
    /// The system's spelling of `text`. Exact for every name whose spelling is
    /// valid text; a name shown with U+FFFD in it may be spelt otherwise.
    static NativeName fromText(const QString& text);
    /// The path of a local file's URL (a drop's), spelt exactly as the URL
    /// carries it, also where it is no valid text.
    static NativeName fromLocalFileUrl(const QUrl& url);
    /// ASCII text, such as the joints of made names (" (Original).").
    static NativeName fromAscii(const char* ascii);

    /// The name as a person reads it: a unit that is not part of valid text
    /// reads as U+FFFD.
    QString toText() const;
    /// The name for a terminal or a log, from which the exact spelling can be
    /// read back: control characters (escape sequences among them) and bytes
    /// that are not valid UTF-8 are written as \xHH, a lone surrogate as
    /// \uHHHH, and on Linux and macOS the backslash itself as \\, in the manner
    /// of the shell's $'...' quoting. (On Windows the backslash separates
    /// folders and is no part of a name.)
    QString toEscapedText() const;
    /// The spelling as hex digits, for scripts that match names: two per
    /// byte, or on Windows four per UTF-16 unit.
    QString toHex() const;

    /// For the system calls: the units, ending in NUL.
    const NativeChar* system() const;
    const Units& units() const { return m_units; }

    bool isEmpty() const { return m_units.isEmpty(); }
    /// The length in the system's units, as its limits count.
    qsizetype size() const { return m_units.size(); }
    /// Where the last `ascii` character stands, or -1.
    qsizetype lastIndexOf(char ascii) const { return m_units.lastIndexOf(ascii); }
    NativeName left(qsizetype n) const { return NativeName(m_units.left(n)); }
    /// The first `n` units, or fewer where the cut would split a character
    /// (a UTF-8 sequence, a UTF-16 surrogate pair).
    NativeName leftWhole(qsizetype n) const;
    /// The name as a folder stores it when asked to make it: Windows drops the
    /// final run of "." and " " from a name, so that "notes." makes "notes";
    /// elsewhere every name is stored as spelt.
    NativeName storedSpelling() const;
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
    explicit NativeName(Units units)
        : m_units(std::move(units))
    {
    }

    Units m_units;
};

} // namespace quillmend::platform
