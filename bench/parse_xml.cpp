// Reads a file as XML with libxml2 alone, as the repair's check does (pulled
// through a read callback, the element names followed), on one thread: the
// parser's bare time, for the benchmark to set beside the check's. Exit
// status 0 when the file is well-formed.
//
//   quillmend-parse-xml FILE
#include <libxml/parser.h>

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

int readMore(void* file, char* buffer, int length)
{
    return int(std::fread(buffer, 1, std::size_t(length), static_cast<std::FILE*>(file)));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 64;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr)
        return 2;
    xmlSAXHandler handler{};
    handler.initialized = XML_SAX2_MAGIC;
    handler.startElementNs = started;
    handler.endElementNs = ended;
    handler.serror = failed;
    xmlParserCtxtPtr parser = xmlCreateIOParserCtxt(&handler, nullptr, readMore, nullptr, file, XML_CHAR_ENCODING_UTF8);
    xmlCtxtUseOptions(parser, XML_PARSE_NONET | XML_PARSE_IGNORE_ENC);
    const int status = xmlParseDocument(parser);
    const bool wellFormed = status == 0 && parser->wellFormed;
    xmlFreeParserCtxt(parser);
    std::fclose(file);
    return wellFormed ? 0 : 1;
}
