// Reads a file as XML with libxml2's push parser alone, as the repair's check
// does (4 MiB at a time, the element names followed), on one thread: the
// parser's bare time, for the benchmark to set beside the check's. Exit
// status 0 when the file is well-formed.
//
//   quillmend-parse-xml FILE
#include <libxml/parser.h>
#include <libxml/parserInternals.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<const xmlChar*> openElements;

void started(void*, const xmlChar* localName, const xmlChar*, const xmlChar*, int, const xmlChar**, int, int,
             const xmlChar**)
{
    openElements.push_back(localName);
}

void ended(void*, const xmlChar*, const xmlChar*, const xmlChar*)
{
    openElements.pop_back();
}

void failed(void*, xmlErrorPtr) {}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 64;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr)
        return 2;
    xmlSAXHandler handler {};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = started;
    handler.endElementNs = ended;
    handler.serror = failed;
    xmlParserCtxtPtr parser = xmlCreatePushParserCtxt(&handler, nullptr, nullptr, 0, nullptr);
    xmlCtxtUseOptions(parser, XML_PARSE_NONET | XML_PARSE_IGNORE_ENC);
    xmlSwitchEncoding(parser, XML_CHAR_ENCODING_UTF8);
    std::vector<char> piece(4 << 20);
    int status = 0;
    while (status == 0) {
        const std::size_t size = std::fread(piece.data(), 1, piece.size(), file);
        if (size == 0)
            break;
        status = xmlParseChunk(parser, piece.data(), int(size), 0);
    }
    if (status == 0)
        status = xmlParseChunk(parser, nullptr, 0, 1);
    const bool wellFormed = status == 0 && parser->wellFormed;
    xmlFreeParserCtxt(parser);
    std::fclose(file);
    return wellFormed ? 0 : 1;
}
