// libFuzzer target: decoding and the in-memory repair of arbitrary bytes.
// Whatever the input, the repaired text is valid UTF-8, holds none of the
// removed control characters, keeps every line feed and carriage return, and
// a second repair changes nothing.
#include "engine/text_decoding.h"
#include "engine/text_repair.h"
#include "platform/encodings.h"
#include "platform/file_ref.h"
#include "platform/utf8.h"

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool removeTabs = size % 2 == 0;
    platform::Text raw{QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), std::nullopt};
    if (platform::BeginsWithUtf16ByteOrderMark(raw.bytes))
        raw.encoding = platform::Encodings::UTF16;

    QByteArray text = engine::MakeUTF8(raw).bytes;
    require(platform::utf8::isValid(text), "valid UTF-8");
    const qsizetype lineFeeds = text.count('\n');
    const qsizetype carriageReturns = text.count('\r');

    engine::RemoveControlCharacters(text, removeTabs, {});
    engine::RewriteAppStamps(text);
    engine::DeclareUtf8(text);

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
