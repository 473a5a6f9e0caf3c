// The single-byte tables that the program decodes by, generated once from
// ICU and kept in the repository: every entry held against ICU itself, and
// what the decoding then makes of a few bytes whose characters people know.
#include "platform/text/encoding_service.h"
#include "platform/text/single_byte_tables.h"
#include "platform/text/text_encoding.h"

#include <QTest>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

using namespace quillmend;

class EncodingTablesTest : public QObject {
    Q_OBJECT

private slots:
    void everyEntryAsIcuDecodesIt_data()
    {
        QTest::addColumn<int>("table");
        for (int i = 0; i < platform::kSingleByteTableCount; ++i)
            QTest::newRow(platform::kSingleByteTables[i].name) << i;
    }
    void everyEntryAsIcuDecodesIt()
    {
        QFETCH(int, table);
        const platform::SingleByteTable& tested = platform::kSingleByteTables[table];
        UErrorCode status = U_ZERO_ERROR;
        UConverter* converter = ucnv_open(tested.name, &status);
        QVERIFY(U_SUCCESS(status));
        for (int byte = 0; byte < 256; ++byte) {
            const char source = char(byte);
            const char* in = &source;
            UChar units[4];
            UChar* out = units;
            status = U_ZERO_ERROR;
            ucnv_resetToUnicode(converter);
            ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
            ucnv_toUnicode(converter, &out, units + 4, &in, &source + 1, nullptr, true, &status);
            const char16_t expected = U_SUCCESS(status) && out == units + 1 ? units[0] : 0xFFFF;
            QVERIFY2(tested.characters[byte] == expected, qPrintable(QString::number(byte, 16)));
        }
        ucnv_close(converter);
    }

    void knownCharacters_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("utf8");
        QTest::newRow("Mac Roman") << QByteArray("macintosh") << QByteArray("\x8E\xA5\xDB\xF0")
                                   << QByteArray("\xC3\xA9\xE2\x80\xA2\xE2\x82\xAC\xEF\xA3\xBF");
        QTest::newRow("Windows Latin 1") << QByteArray("windows-1252") << QByteArray("\x80\x81\xE9")
                                         << QByteArray("\xE2\x82\xAC\xC2\x81\xC3\xA9");
        QTest::newRow("DOS Latin 1") << QByteArray("ibm-850") << QByteArray("\x82\xD5\xB0")
                                     << QByteArray("\xC3\xA9\xC4\xB1\xE2\x96\x91");
        QTest::newRow("DOS Latin US") << QByteArray("ibm-437") << QByteArray("\x82\xE1\x9C")
                                      << QByteArray("\xC3\xA9\xC3\x9F\xC2\xA3");
    }
    void knownCharacters()
    {
        QFETCH(QByteArray, encoding);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, utf8);
        QByteArray out;
        platform::AppendSingleByteAsUtf8(bytes, platform::TextEncoding(encoding), out);
        QCOMPARE(out, utf8);
    }
};

QTEST_GUILESS_MAIN(EncodingTablesTest)
#include "tst_encoding_tables.moc"
