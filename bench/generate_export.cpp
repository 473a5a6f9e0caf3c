// Writes a realistic full export of about the given size, for benchmarks:
// fixture records with AppStamp entries, CR LF line ends, non-ASCII text and
// the occasional pasted control character.
//
//   quillmend-generate-export VARIANT SIZE_MIB OUTPUT
//
// VARIANT: utf8 (control characters in about 1% of fields), macroman (the
// same, encoded in Mac Roman, so not valid UTF-8), clean (no control
// characters), dirty (a control character in every field), utf16 (the utf8
// text as UTF-16 after a byte-order mark), stray (the utf8 text with one "é"
// in about every 20,000 records written as the Mac Roman byte 0x8E, a stray
// byte in UTF-8). The utf16 and stray variants decode to the very text of the
// utf8 variant of the same size, so their repairs must write the same bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Lcg {
    std::uint64_t state = 0x2545F4914F6CDD1DULL;
    std::uint32_t next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::uint32_t(state >> 33);
    }
};

const char* const kPositions[] = {"FOH Truss", "1st Electric", "2nd Electric", "Boom SR", "Boom SL", "Balcony Rail"};
// UTF-8 text; the Mac Roman variant recodes the few non-ASCII letters.
const char* const kPurposes[] = {"Front wash",        "Fr\xC3\xBChling special",     "Side light",
                                 "Caf\xC3\xA9 scene", "Backlight \xE2\x80\x93 blue", "Gobo wash"};
const char* const kColours[] = {"R02", "L201", "R80", "G850", "L106", "N/C"};
const char kControls[] = {'\x01', '\x02', '\x0B', '\x0C', '\x1B', '\x1F', '\t', '\x00'};

std::string toMacRoman(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (utf8.compare(i, 2, "\xC3\xBC") == 0) {
            out += '\x9F';
            ++i;
        } else if (utf8.compare(i, 2, "\xC3\xA9") == 0) {
            out += '\x8E';
            ++i;
        } else if (utf8.compare(i, 3, "\xE2\x80\x93") == 0) {
            out += '\xD0';
            i += 2;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

// Every character here is in the Basic Multilingual Plane.
std::string toUtf16LittleEndian(const std::string& utf8)
{
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = lead;
        std::size_t length = 1;
        if (lead >= 0xE0) {
            code = (lead & 0x0Fu) << 12 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6
                | (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            length = 3;
        } else if (lead >= 0xC0) {
            code = (lead & 0x1Fu) << 6 | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            length = 2;
        }
        out += char(code & 0xFF);
        out += char(code >> 8);
        i += length;
    }
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr,
                     "usage: quillmend-generate-export utf8|macroman|clean|dirty|utf16|stray SIZE_MIB OUTPUT\n");
        return 64;
    }
    const std::string variant = argv[1];
    const std::uint64_t target = std::strtoull(argv[2], nullptr, 10) << 20;
    const int controlEvery = variant == "dirty" ? 1 : variant == "clean" ? 0 : 100;
    if (variant != "utf8" && variant != "macroman" && variant != "clean" && variant != "dirty" && variant != "utf16"
        && variant != "stray") {
        std::fprintf(stderr, "unknown variant %s\n", argv[1]);
        return 64;
    }
    std::FILE* out = std::fopen(argv[3], "wb");
    if (!out) {
        std::perror(argv[3]);
        return 1;
    }

    Lcg random;
    const auto field = [&](const char* name, const std::string& value) {
        std::string text = value;
        if (controlEvery && random.next() % controlEvery == 0) {
            // Pasted between characters, never inside one.
            std::size_t at = random.next() % (text.size() + 1);
            while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80)
                --at;
            text.insert(at, 1, kControls[random.next() % sizeof kControls]);
        }
        return "<" + std::string(name) + ">" + text + "</" + name + ">\r\n";
    };

    // The CAD program's shape: the data list, then one element per fixture
    // named after its UID.
    std::string header = "<?xml version=\"1.0\" standalone=\"yes\"?>\r\n<SLData>\r\n<InstrumentData>\r\n"
                         "<Action>Entire Plot</Action>\r\n<AppStamp>Vectorworks</AppStamp>\r\n"
                         "<VWVersion>2600</VWVersion>\r\n";
    // The size counts the text as UTF-8, so that every variant holds the same text.
    std::uint64_t written = header.size();
    if (variant == "utf16")
        header = "\xFF\xFE" + toUtf16LittleEndian(header);
    std::fwrite(header.data(), 1, header.size(), out);
    std::string chunk;
    for (std::uint64_t uid = 1; written < target; ++uid) {
        // Each fixture's element is named after its UID, as the CAD program
        // names it; a large plot has some 10,000, after which the names come
        // again (a file of millions of names would measure libxml2's table of
        // names, which stops growing at 16,384 buckets, not the repair).
        const std::uint64_t fixture = (uid - 1) % 10000 + 1;
        const std::string name = "UID_" + std::to_string(fixture) + "_1_1_0_0";
        std::string record = "<" + name + ">\r\n";
        record += field("Device_Type", "Light");
        record += field("Position", kPositions[random.next() % 6]);
        record += field("Purpose", kPurposes[random.next() % 6]);
        record += field("Color", kColours[random.next() % 6]);
        record += field("Channel", std::to_string(random.next() % 512 + 1));
        record += field("Wattage", "750 W");
        record += "<Use_Legend/>\r\n";
        record += field("Notes", "Unit " + std::to_string(uid % 24 + 1) + " \xE2\x80\x93 check focus");
        record += field("UID", std::to_string(fixture) + ".1.1.0.0");
        record += "<AppStamp>Vectorworks</AppStamp>\r\n";
        record += "</" + name + ">\r\n";
        written += record.size();
        if (variant == "macroman")
            record = toMacRoman(record);
        if (variant == "utf16")
            record = toUtf16LittleEndian(record);
        if (variant == "stray" && uid % 20000 == 0) {
            const std::size_t letter = record.find("\xC3\xA9");
            if (letter != std::string::npos)
                record.replace(letter, 2, "\x8E");
        }
        chunk += record;
        if (chunk.size() > (1u << 20)) {
            std::fwrite(chunk.data(), 1, chunk.size(), out);
            chunk.clear();
        }
    }
    const std::string end = "</InstrumentData>\r\n</SLData>\r\n";
    chunk += variant == "utf16" ? toUtf16LittleEndian(end) : end;
    std::fwrite(chunk.data(), 1, chunk.size(), out);
    return std::fclose(out) == 0 ? 0 : 1;
}
