#include "engine/text_decoding.h"

#include "platform/encoding_service.h"
#include "platform/encodings.h"
#include "platform/file_ref.h"
#include "platform/utf8.h"
#include "platform/utf8_slice_reader.h"

#include <utility>
#include <vector>

namespace quillmend::engine {

using platform::Encodings;
using platform::Text;
using platform::TextEncoding;

namespace {

// Reading a UTF-8 text with a few stray bytes as a whole in a single-byte
// encoding would turn each of its accented letters into two wrong ones.
QByteArray decodeStrayBytesAsMacRoman(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const qsizetype size = bytes.size();
    qsizetype validFrom = 0;
    qsizetype at = 0;
    while (at < size) {
        const int length = platform::utf8::sequenceLength(bytes.sliced(at));
        if (length > 0) {
            at += length;
            continue;
        }
        out.append(bytes.sliced(validFrom, at - validFrom));
        const qsizetype strayFrom = at;
        while (at < size && platform::utf8::sequenceLength(bytes.sliced(at)) == 0)
            ++at;
        platform::AppendSingleByteAsUtf8(bytes.sliced(strayFrom, at - strayFrom), Encodings::MacRoman, out);
        validFrom = at;
    }
    out.append(bytes.sliced(validFrom));
    return out;
}

// The encodings tried after UTF-8, in their order.
const TextEncoding* const kLaterCandidates[] = {
    &Encodings::MacRoman, &Encodings::WindowsLatin1, &Encodings::DOSLatin1,
    &Encodings::DOSLatinUS, &Encodings::ASCII, &Encodings::UTF16,
};

} // namespace

std::optional<TextEncoding> SingleByteEncodingOf(platform::FileReader& reader)
{
    std::vector<bool> valid(std::size(kLaterCandidates), true);
    platform::Utf8SliceReader slices(reader);
    QByteArray slice;
    for (bool first = true; slices.appendNext(slice) > 0; first = false) {
        if (first && platform::BeginsWithUtf16ByteOrderMark(slice))
            return std::nullopt;
        if (platform::utf8::containsMultiByteSequence(slice))
            return std::nullopt;
        for (std::size_t i = 0; i < valid.size(); ++i) {
            if (valid[i] && platform::IsSingleByte(*kLaterCandidates[i]))
                valid[i] = platform::IsValidData(*kLaterCandidates[i], slice);
            // A candidate that takes every byte stays valid: none after it can win.
            if (valid[i] && platform::AcceptsEveryByte(*kLaterCandidates[i]))
                break;
        }
        slice.truncate(0);
    }
    reader.checkReadWhole();
    for (std::size_t i = 0; i < valid.size(); ++i) {
        if (valid[i])
            return platform::IsSingleByte(*kLaterCandidates[i]) ? std::optional(*kLaterCandidates[i]) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<TextEncoding> SingleByteEncodingToStream(platform::FileReader& reader)
{
    reader.rewind();
    const TextEncoding& first = *kLaterCandidates[0];
    if (platform::AcceptsEveryByte(first))
        return first;
    std::optional<TextEncoding> encoding = SingleByteEncodingOf(reader);
    reader.rewind();
    return encoding;
}

Decoding ChooseDecoding(const Text& text)
{
    if (text.encoding)
        return {*text.encoding};
    if (platform::IsValidData(Encodings::UTF8, text))
        return {Encodings::UTF8};
    if (platform::utf8::containsMultiByteSequence(text.bytes))
        return {Encodings::UTF8, true};
    for (const TextEncoding* candidate : kLaterCandidates) {
        if (platform::IsValidData(*candidate, text))
            return {*candidate};
    }
    return {Encodings::SystemDefault};
}

Text MakeUTF8(Text text)
{
    const Decoding decoding = ChooseDecoding(text);
    if (decoding.strayBytesAsMacRoman)
        return Text{decodeStrayBytesAsMacRoman(text.bytes), Encodings::UTF8};
    // Valid UTF-8 converts to itself: labelling it is the whole conversion.
    if (!text.encoding && decoding.encoding.isUtf8())
        return platform::DefineEncoding(std::move(text), Encodings::UTF8);
    if (!text.encoding)
        text = platform::DefineEncoding(std::move(text), decoding.encoding);
    return platform::ConvertEncoding(std::move(text), Encodings::UTF8);
}

} // namespace quillmend::engine
