// The single-byte encodings' tables, generated and checked against ICU.
#pragma once

namespace quillmend::platform {

/// One single-byte encoding: the character of each byte, 0xFFFF for a byte
/// that stands for none.
struct SingleByteTable {
    const char* name;
    char16_t characters[256];
};

constexpr int kSingleByteTableCount = 4;
/// Mac Roman, Windows Latin 1, DOS Latin 1 and DOS Latin US, under the names
/// of Encodings (platform/encodings.h), generated from ICU.
extern const SingleByteTable kSingleByteTables[kSingleByteTableCount];

} // namespace quillmend::platform
