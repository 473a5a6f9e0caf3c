// libFuzzer target: decoding and the in-memory repair of arbitrary bytes.
// Whatever the input, the repaired text is valid UTF-8, holds none of the
// removed control characters, keeps every line feed and carriage return, and
// a second repair changes nothing. A survey of the same text, cut in two
// pieces anywhere between characters, counts exactly what the repair removes
// and rewrites; and the text decoded in two pieces, as a file is read, is the
// text decoded whole.
#include "engine/text_decoding.h"
#include "engine/text_repair.h"
#include "engine/text_survey.h"
#include "platform/files/file_ref.h"
#include "platform/text/encodings.h"
#include "platform/text/stream_decoder.h"
#include "platform/text/utf8.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quillmend;

namespace {

void require(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t length)
{
    const bool removeTabs = length % 2 == 0;
    platform::Text raw{QByteArray(reinterpret_cast<const char*>(data), qsizetype(length)), std::nullopt};
    if (platform::BeginsWithUtf16ByteOrderMark(raw.bytes))
        raw.encoding = platform::Encodings::UTF16;

    QByteArray text = engine::MakeUTF8(raw).bytes;
    require(platform::utf8::isValid(text), "valid UTF-8");

    // Decoded in two pieces, cut where a file's slices would be, as a file
    // is read, the text is the same as decoded whole.
    {
        const QByteArrayView bytes(raw.bytes);
        const qsizetype rawCut = length > 1 ? qsizetype(data[1]) * qsizetype(length) / 256 : 0;
        const qsizetype first = platform::utf8::completePrefixLength(bytes.first(rawCut));
        QByteArray streamed;
        if (raw.encoding) {
            platform::StreamDecoder decoder(*raw.encoding);
            decoder.decode(bytes.first(first), false, streamed);
            decoder.decode(bytes.sliced(first), true, streamed);
        } else if (engine::ReadsWithoutLookingAhead()) {
            engine::AppendStrayBytesAsMacRoman(bytes.first(first), streamed);
            engine::AppendStrayBytesAsMacRoman(bytes.sliced(first), streamed);
        } else {
            streamed = text;
        }
        require(streamed == text, "decoded in pieces as whole");
    }
    const qsizetype lineFeeds = text.count('\n');
    const qsizetype carriageReturns = text.count('\r');

    // The cut falls on a character's first byte, as a slice reader cuts.
    qsizetype cut = text.isEmpty() ? 0 : qsizetype(data[0]) * text.size() / 256;
    while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        ++cut;
    const qsizetype size = text.size();
    engine::TextSurvey survey(false, removeTabs);
    survey.add(QByteArrayView(text).first(cut));
    survey.add(QByteArrayView(text).sliced(cut));

    const qsizetype removed = engine::RemoveControlCharacters(text, removeTabs, {});
    const qsizetype rewritten = engine::RewriteAppStamps(text);
    const bool declared = engine::DeclareUtf8(text);

    qint64 counted = 0;
    for (const engine::SurveyReport::ControlCharacter& control : survey.controlCharacters())
        counted += control.count;
    require(counted == removed, "survey counts the removed control characters");
    require(survey.appStampsToRewrite() == rewritten, "survey counts the rewritten entries");
    // A declaration cut in two is not seen, as a stream repair would not see it.
    require((cut > 0 && cut < size) || survey.declarationChanges() == declared, "survey sees the declaration change");

    require(platform::utf8::isValid(text), "valid UTF-8");
    require(!engine::ContainsControlCharacters(text, removeTabs), "no control characters");
    require(text.count('\n') == lineFeeds && text.count('\r') == carriageReturns, "line ends kept");

    QByteArray again = engine::MakeUTF8(platform::Text{text, std::nullopt}).bytes;
    require(again == text, "second repair changes nothing");
    require(engine::RemoveControlCharacters(again, removeTabs, {}) == 0, "nothing left to remove");
    require(engine::RewriteAppStamps(again) == 0, "nothing left to rewrite");
    require(!engine::DeclareUtf8(again), "declaration says UTF-8");
    require(again == text, "second repair changes nothing");
    return 0;
}
