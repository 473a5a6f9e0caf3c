// How a file's bytes are told apart and decoded to UTF-8.
#include "engine/text_decoding.h"

#include "platform/text/encoding_service.h"
#include "platform/text/encodings.h"
#include "platform/text/utf8.h"

#include <utility>
#include <vector>

namespace quillmend::engine {

using platform::Encodings;
using platform::Text;
using platform::TextEncoding;

namespace {

// The encodings tried after UTF-8, in their order.
const TextEncoding* const kLaterCandidates[] = {
    &Encodings::MacRoman,   &Encodings::WindowsLatin1, &Encodings::DOSLatin1,
    &Encodings::DOSLatinUS, &Encodings::ASCII,         &Encodings::UTF16,
};

} // namespace

void AppendStrayBytesAsMacRoman(QByteArrayView bytes, QByteArray& out)
{
    const qsizetype size = bytes.size();
    for (qsizetype at = 0; at < size;) {
        const qsizetype valid = platform::utf8::validPrefixLength(bytes.sliced(at));
        out.append(bytes.sliced(at, valid));
        at += valid;
        const qsizetype strayFrom = at;
        while (at < size && platform::utf8::sequenceLength(bytes.sliced(at)) == 0)
            ++at;
        platform::AppendSingleByteAsUtf8(bytes.sliced(strayFrom, at - strayFrom), Encodings::MacRoman, out);
    }
}

DecodingChoice::DecodingChoice()
    : m_valid(std::size(kLaterCandidates), true)
{
}

void DecodingChoice::add(QByteArrayView piece)
{
    if (m_validUtf8 && platform::utf8::isValid(piece))
        return;
    m_validUtf8 = false;
    m_multiByte = m_multiByte || platform::utf8::containsMultiByteSequence(piece);
    for (std::size_t i = 0; i < m_valid.size(); ++i) {
        if (m_valid[i])
            m_valid[i] = platform::IsValidData(*kLaterCandidates[i], piece);
        // A candidate that takes every byte stays valid: none after it can win.
        if (m_valid[i] && platform::AcceptsEveryByte(*kLaterCandidates[i]))
            break;
    }
}

Decoding DecodingChoice::decide() const
{
    if (m_validUtf8)
        return {Encodings::UTF8};
    if (m_multiByte)
        return {Encodings::UTF8, true};
    for (std::size_t i = 0; i < m_valid.size(); ++i) {
        if (m_valid[i])
            return {*kLaterCandidates[i]};
    }
    return {Encodings::SystemDefault};
}

bool ReadsWithoutLookingAhead()
{
    return platform::AcceptsEveryByte(*kLaterCandidates[0]);
}

Decoding ChooseDecoding(const Text& text)
{
    if (text.encoding)
        return {*text.encoding};
    DecodingChoice choice;
    choice.add(text.bytes);
    return choice.decide();
}

Text MakeUTF8(Text text)
{
    const Decoding decoding = ChooseDecoding(text);
    if (decoding.strayBytesAsMacRoman) {
        QByteArray out;
        out.reserve(text.bytes.size() + text.bytes.size() / 8);
        AppendStrayBytesAsMacRoman(text.bytes, out);
        return Text{std::move(out), Encodings::UTF8};
    }
    // Valid UTF-8 converts to itself: labelling it is the whole conversion.
    if (!text.encoding && decoding.encoding.isUtf8())
        return platform::DefineEncoding(std::move(text), Encodings::UTF8);
    if (!text.encoding)
        text = platform::DefineEncoding(std::move(text), decoding.encoding);
    return platform::ConvertEncoding(std::move(text), Encodings::UTF8);
}

} // namespace quillmend::engine
