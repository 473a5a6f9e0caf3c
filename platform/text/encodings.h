// The encodings a repair tells apart, and their common names.
#pragma once

#include "platform/text/text_encoding.h"

#include <QString>

#include <utility>

namespace quillmend::platform {

/// The encodings that the program names.
struct Encodings {
    static inline const TextEncoding UTF8{"UTF-8"};
    static inline const TextEncoding MacRoman{"macintosh"};
    static inline const TextEncoding WindowsLatin1{"windows-1252"};
    static inline const TextEncoding DOSLatin1{"ibm-850"};
    static inline const TextEncoding DOSLatinUS{"ibm-437"};
    static inline const TextEncoding ASCII{"US-ASCII"};
    /// Byte order from a leading byte-order mark, big-endian without one.
    static inline const TextEncoding UTF16{"UTF-16"};
    /// ICU's default converter, which follows the system's locale.
    static inline const TextEncoding SystemDefault{QByteArray()};

    /// The name that people know `encoding` by, such as "Mac Roman"; for an
    /// encoding not named above, the encoding service's name.
    static QString commonName(const TextEncoding& encoding)
    {
        const std::pair<const TextEncoding*, const char*> names[] = {
            {&UTF8, "UTF-8"},
            {&MacRoman, "Mac Roman"},
            {&WindowsLatin1, "Windows Latin 1"},
            {&DOSLatin1, "DOS Latin 1"},
            {&DOSLatinUS, "DOS Latin US"},
            {&ASCII, "US-ASCII"},
            {&UTF16, "UTF-16"},
        };
        for (const auto& [known, name] : names) {
            if (*known == encoding)
                return QString::fromLatin1(name);
        }
        return encoding.displayName();
    }
};

} // namespace quillmend::platform
