// Reads a file as XML with Qt's reader alone, 4 MiB at a time, as the repair's
// check does: the parser's bare time, for the benchmark to set beside the
// check's. Exit status 0 when the file is well-formed.
//
//   quillmend-parse-xml FILE
#include <QFile>
#include <QXmlStreamReader>

int main(int argc, char* argv[])
{
    if (argc != 2)
        return 64;
    QFile file(QFile::decodeName(argv[1]));
    if (!file.open(QIODevice::ReadOnly))
        return 2;
    QXmlStreamReader reader;
    while (true) {
        const QByteArray piece = file.read(4 << 20);
        if (piece.isEmpty())
            break;
        reader.addData(piece);
        while (!reader.atEnd())
            reader.readNext();
        if (reader.hasError() && reader.error() != QXmlStreamReader::PrematureEndOfDocumentError)
            return 1;
    }
    return reader.hasError() ? 1 : 0;
}
