#pragma once

#include "platform/text_encoding.h"

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
};

} // namespace quillmend::platform
