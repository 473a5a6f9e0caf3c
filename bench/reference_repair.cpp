// REFERENCE ONLY, for benchmarks: the naive repair (read the whole file,
// replace, write it whole), written plainly. Never linked into the program.
//
//   quillmend-reference-repair INPUT OUTPUT
//
// Reads the whole file, decodes it (UTF-8 if valid, else the first of Mac
// Roman, Windows Latin 1, DOS Latin 1, DOS Latin US, ASCII, UTF-16 that
// accepts it), checks the full-export marker, removes the control characters
// with one replace-all pass per code, rewrites the AppStamp entries with one
// more, and writes the result. Each pass builds a new copy of the text.
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string replaceAll(const std::string& text, const std::string& search, const std::string& replacement)
{
    std::string result;
    std::size_t from = 0;
    for (std::size_t at = text.find(search); at != std::string::npos; at = text.find(search, from)) {
        result.append(text, from, at - from);
        result += replacement;
        from = at + search.size();
    }
    result.append(text, from, std::string::npos);
    return result;
}

bool isValid(const char* encoding, const std::string& bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(encoding, &status);
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    std::vector<UChar> scratch(std::size_t(1) << 16);
    const char* in = bytes.data();
    const char* const end = in + bytes.size();
    do {
        status = U_ZERO_ERROR;
        UChar* out = scratch.data();
        ucnv_toUnicode(converter, &out, out + scratch.size(), &in, end, nullptr, true, &status);
    } while (status == U_BUFFER_OVERFLOW_ERROR);
    ucnv_close(converter);
    return U_SUCCESS(status);
}

// In slices, since ICU counts in 32 bits; the encodings sliced here keep no
// state across bytes (UTF-16 is cut at even offsets).
std::string toUtf8(const char* encoding, const std::string& bytes)
{
    constexpr std::size_t kSlice = std::size_t(64) << 20;
    std::string result;
    for (std::size_t from = 0; from < bytes.size(); from += kSlice) {
        const std::size_t length = std::min(kSlice, bytes.size() - from);
        std::string out(length * 3 + 16, '\0');
        UErrorCode status = U_ZERO_ERROR;
        const int32_t written = ucnv_convert("UTF-8", encoding, out.data(), int32_t(out.size()), bytes.data() + from,
                                             int32_t(length), &status);
        result.append(out, 0, std::size_t(written));
    }
    return result;
}

std::string makeUtf8(const std::string& raw)
{
    if (isValid("UTF-8", raw))
        return raw;
    for (const char* encoding : {"macintosh", "windows-1252", "ibm-850", "ibm-437", "US-ASCII", "UTF-16"}) {
        if (isValid(encoding, raw))
            return toUtf8(encoding, raw);
    }
    return toUtf8(nullptr, raw);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillmend-reference-repair INPUT OUTPUT\n");
        return 64;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string decoded = makeUtf8(raw);
    if (decoded.find("<Action>Entire Plot</Action>") == std::string::npos)
        return 1;
    std::string working = decoded;
    for (int code = 0; code <= 31; ++code) {
        if (code == 10 || code == 13)
            continue;
        working = replaceAll(working, std::string(1, char(code)), std::string());
    }
    working = replaceAll(working, "<AppStamp>Vectorworks</AppStamp>", "<AppStamp>Marlowbrook</AppStamp>");
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(working.data(), std::streamsize(working.size()));
    return out.good() ? 0 : 1;
}
