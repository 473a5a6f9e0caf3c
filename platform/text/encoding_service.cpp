// EncodingService: decoding and encoding by name, through the tables.
#include "platform/text/encoding_service.h"

#include "platform/text/byte_scan.h"
#include "platform/text/encoding_error.h"
#include "platform/text/encodings.h"
#include "platform/text/single_byte_tables.h"
#include "platform/text/stream_decoder.h"
#include "platform/text/utf8.h"

#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace quillmend::platform {

namespace {

// Each byte of a single-byte encoding as UTF-8, made once from its table, so
// that whole files are tested and converted by look-up.
struct SingleByteTable {
    std::array<bool, 256> valid{};
    bool acceptsEveryByte = false;
    std::array<std::array<char, 4>, 256> utf8{};
    std::array<unsigned char, 256> utf8Length{};
};

std::shared_ptr<const SingleByteTable> makeSingleByteTable(const TextEncoding& encoding)
{
    const char16_t* characters = nullptr;
    for (const platform::SingleByteTable& known : kSingleByteTables) {
        if (encoding.name() == known.name)
            characters = known.characters;
    }
    const bool ascii = encoding == Encodings::ASCII;
    if (!characters && !ascii)
        return nullptr;
    auto table = std::make_shared<SingleByteTable>();
    for (int byte = 0; byte < 256; ++byte) {
        const char16_t character = ascii ? (byte < 0x80 ? char16_t(byte) : char16_t(0xFFFF)) : characters[byte];
        table->valid[byte] = character != 0xFFFF;
        const QByteArray asUtf8
            = table->valid[byte] ? QString(QChar(character)).toUtf8() : QByteArrayLiteral("\xEF\xBF\xBD");
        table->utf8Length[byte] = static_cast<unsigned char>(asUtf8.size());
        std::copy(asUtf8.begin(), asUtf8.end(), table->utf8[byte].begin());
    }
    table->acceptsEveryByte = std::all_of(table->valid.begin(), table->valid.end(), [](bool valid) { return valid; });
    return table;
}

// nullptr for an encoding whose characters take more than one byte.
std::shared_ptr<const SingleByteTable> singleByteTable(const TextEncoding& encoding)
{
    static std::mutex mutex;
    static std::map<QByteArray, std::shared_ptr<const SingleByteTable>> tables;
    const QByteArray& key = encoding.name();
    const std::lock_guard<std::mutex> lock(mutex);
    auto found = tables.find(key);
    if (found == tables.end())
        found = tables.emplace(key, makeSingleByteTable(encoding)).first;
    return found->second;
}

// Whether the sixteen bytes from `at` are all ASCII, which every single-byte
// encoding here reads as ASCII.
bool asciiBlock(const char* at)
{
    return bytescan::highMask(at) == 0;
}

qsizetype utf8Length(QByteArrayView bytes, const SingleByteTable& table)
{
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    qsizetype length = size;
    qsizetype at = 0;
    while (at < size) {
        if (at + 16 <= size && asciiBlock(data + at)) {
            at += 16;
            continue;
        }
        length += table.utf8Length[static_cast<unsigned char>(data[at])] - 1;
        ++at;
    }
    return length;
}

// Converts `bytes` to UTF-8 where they are: the buffer grows to the new
// length and is filled from its end, each character's UTF-8 form landing at
// or behind the bytes still to be read. (A shared buffer is copied first, as
// any write to it would.)
void expandToUtf8(QByteArray& bytes, const SingleByteTable& table)
{
    const qsizetype size = bytes.size();
    qsizetype to = utf8Length(bytes, table);
    bytes.resize(to);
    char* data = bytes.data();
    qsizetype from = size;
    while (from > 0 && to > from) {
        if (from >= 16 && asciiBlock(data + from - 16)) {
            from -= 16;
            to -= 16;
            std::memmove(data + to, data + from, 16);
            continue;
        }
        const auto index = static_cast<unsigned char>(data[--from]);
        const int length = table.utf8Length[index];
        to -= length;
        for (int i = 0; i < length; ++i)
            data[to + i] = table.utf8[index][i];
    }
}

bool isValidMultiByte(const TextEncoding& encoding, QByteArrayView bytes)
{
    StreamDecoder decoder(encoding);
    QByteArray decoded;
    decoder.decode(bytes, true, decoded);
    return !decoder.hasError();
}

} // namespace

bool IsValidData(const TextEncoding& encoding, const Text& text)
{
    return IsValidData(encoding, QByteArrayView(text.bytes));
}

bool IsValidData(const TextEncoding& encoding, QByteArrayView bytes)
{
    if (encoding.isUtf8())
        return utf8::isValid(bytes);
    if (const auto table = singleByteTable(encoding)) {
        if (table->acceptsEveryByte)
            return true;
        const char* data = bytes.data();
        const qsizetype size = bytes.size();
        for (qsizetype at = 0; at < size;) {
            if (at + 16 <= size && asciiBlock(data + at)) {
                at += 16;
                continue;
            }
            if (!table->valid[static_cast<unsigned char>(data[at++])])
                return false;
        }
        return true;
    }
    return isValidMultiByte(encoding, bytes);
}

bool IsSingleByte(const TextEncoding& encoding)
{
    return singleByteTable(encoding) != nullptr;
}

bool AcceptsEveryByte(const TextEncoding& encoding)
{
    const auto table = singleByteTable(encoding);
    return table && table->acceptsEveryByte;
}

Text DefineEncoding(Text text, const TextEncoding& encoding)
{
    text.encoding = encoding;
    return text;
}

void AppendSingleByteAsUtf8(QByteArrayView bytes, const TextEncoding& encoding, QByteArray& out)
{
    const auto table = singleByteTable(encoding);
    if (!table)
        throw EncodingError(encoding.displayName().toStdString() + " is not a single-byte encoding");
    const qsizetype needed = utf8Length(bytes, *table);
    qsizetype at = out.size();
    out.resize(at + needed);
    char* data = out.data();
    const char* in = bytes.data();
    const qsizetype size = bytes.size();
    for (qsizetype from = 0; from < size;) {
        if (from + 16 <= size && asciiBlock(in + from)) {
            std::memcpy(data + at, in + from, 16);
            from += 16;
            at += 16;
            continue;
        }
        const auto index = static_cast<unsigned char>(in[from++]);
        const int length = table->utf8Length[index];
        for (int i = 0; i < length; ++i)
            data[at + i] = table->utf8[index][i];
        at += length;
    }
}

Text ConvertEncoding(Text text, const TextEncoding& target)
{
    const TextEncoding source = text.encoding.value_or(Encodings::SystemDefault);
    if (target.isUtf8()) {
        if (source.isUtf8() && utf8::isValid(text.bytes))
            return Text{std::move(text.bytes), target};
        if (const auto table = singleByteTable(source)) {
            expandToUtf8(text.bytes, *table);
            return Text{std::move(text.bytes), target};
        }
    }
    QByteArray out;
    if (target.isUtf8()) {
        StreamDecoder(source).decode(text.bytes, true, out);
        return Text{std::move(out), target};
    }
    throw EncodingError("Conversion to " + target.displayName().toStdString() + " is not supported");
}

} // namespace quillmend::platform
