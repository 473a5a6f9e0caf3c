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
#include <cstdlib>

using namespace quillmend;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const bool removeTabs = size % 2 == 0;
    platform::Text raw{QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), std::nullopt};
    if (platform::BeginsWithUtf16ByteOrderMark(raw.bytes))
        raw.encoding = platform::Encodings::UTF16;

    QByteArray text = engine::MakeUTF8(raw).bytes;
    require(platform::utf8::isValid(text));
    const qsizetype lineFeeds = text.count('\n');
    const qsizetype carriageReturns = text.count('\r');

    engine::RemoveControlCharacters(text, removeTabs, {});
    engine::RewriteAppStamps(text);
    engine::DeclareUtf8(text);

    require(platform::utf8::isValid(text));
    require(!engine::ContainsControlCharacters(text, removeTabs));
    require(text.count('\n') == lineFeeds && text.count('\r') == carriageReturns);

    QByteArray again = engine::MakeUTF8(platform::Text{text, std::nullopt}).bytes;
    require(again == text);
    require(engine::RemoveControlCharacters(again, removeTabs, {}) == 0);
    require(engine::RewriteAppStamps(again) == 0);
    require(!engine::DeclareUtf8(again));
    require(again == text);
    return 0;
}
