// Decoding a file's bytes to UTF-8: UTF-8 validation, the candidate
// encodings in their order, labelled texts and UTF-8 with stray bytes.
#include "engine/text_decoding.h"
#include "platform/text/encoding_service.h"
#include "platform/text/encodings.h"
#include "platform/text/utf8.h"

#include <QTest>

using namespace quillmend;
using platform::Encodings;
using platform::Text;

class TextDecodingTest : public QObject {
    Q_OBJECT

private slots:
    // Which encodings take any text: once one of them is reached in the
    // candidate order, no later candidate can be chosen.
    void acceptsEveryByte_data()
    {
        QTest::addColumn<QByteArray>("encoding");
        QTest::addColumn<bool>("acceptsEveryByte");
        QTest::newRow("Mac Roman") << QByteArray("macintosh") << true;
        QTest::newRow("Windows Latin 1, its unassigned bytes as C1 controls") << QByteArray("windows-1252") << true;
        QTest::newRow("DOS Latin 1") << QByteArray("ibm-850") << true;
        QTest::newRow("DOS Latin US") << QByteArray("ibm-437") << true;
        QTest::newRow("US-ASCII") << QByteArray("US-ASCII") << false;
        QTest::newRow("UTF-8 is no single-byte encoding") << QByteArray("UTF-8") << false;
    }
    void acceptsEveryByte()
    {
        QFETCH(QByteArray, encoding);
        QByteArray everyByte(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            everyByte[i] = char(i);
        const platform::TextEncoding tested(encoding);
        QTEST(platform::AcceptsEveryByte(tested), "acceptsEveryByte");
        QCOMPARE(platform::AcceptsEveryByte(tested), platform::IsValidData(tested, everyByte));
    }

    void utf8Validity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QByteArray() << true;
        QTest::newRow("ASCII, longer than a word") << QByteArray("0123456789abcdefghij") << true;
        QTest::newRow("two-byte") << QByteArray("caf\xC3\xA9") << true;
        QTest::newRow("three-byte") << QByteArray("\xE2\x82\xAC") << true;
        QTest::newRow("four-byte, highest") << QByteArray("\xF4\x8F\xBF\xBF") << true;
        QTest::newRow("NUL and controls") << QByteArray("a\x00\x01\x1F", 4) << true;
        QTest::newRow("lone continuation") << QByteArray("a\x80") << false;
        QTest::newRow("truncated two-byte") << QByteArray("abc\xC3") << false;
        QTest::newRow("truncated three-byte") << QByteArray("\xE2\x82") << false;
        QTest::newRow("truncated four-byte") << QByteArray("\xF0\x9F\x98") << false;
        QTest::newRow("overlong two-byte") << QByteArray("\xC0\xAF") << false;
        QTest::newRow("overlong three-byte") << QByteArray("\xE0\x80\xAF") << false;
        QTest::newRow("overlong four-byte") << QByteArray("\xF0\x80\x80\xAF") << false;
        QTest::newRow("surrogate") << QByteArray("\xED\xA0\x80") << false;
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80") << false;
        QTest::newRow("F5") << QByteArray("\xF5\x80\x80\x80") << false;
        QTest::newRow("FF") << QByteArray("\xFF") << false;
        QTest::newRow("invalid after 8 ASCII bytes") << QByteArray("abcdefgh\xFE") << false;
    }
    void utf8Validity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(platform::utf8::isValid(bytes), valid);
        QCOMPARE(platform::IsValidData(Encodings::UTF8, Text{bytes, std::nullopt}), valid);
    }

    // Where a slice of a file may be cut without splitting a UTF-8 sequence.
    void completePrefix_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("complete");
        QTest::newRow("ASCII") << QByteArray("abc") << 3;
        QTest::newRow("complete two-byte") << QByteArray("a\xC3\xA9") << 3;
        QTest::newRow("lead of two") << QByteArray("a\xC3") << 1;
        QTest::newRow("two of three") << QByteArray("a\xE2\x82") << 1;
        QTest::newRow("three of four") << QByteArray("a\xF0\x9F\x98") << 1;
        QTest::newRow("byte-order mark bytes lead nothing") << QByteArray("\xFF\xFE") << 2;
        QTest::newRow("C0 leads nothing") << QByteArray("a\xC0") << 2;
    }
    void completePrefix()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, complete);
        QCOMPARE(platform::utf8::completePrefixLength(bytes), qsizetype(complete));
    }

    void validity_data()
    {
        QTest::addColumn<QByteArray>("encodingName");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("ASCII accepts 7-bit") << QByteArray("US-ASCII") << QByteArray("abc\x7F") << true;
        QTest::newRow("ASCII refuses 8-bit") << QByteArray("US-ASCII") << QByteArray("abc\x80") << false;
        QTest::newRow("Mac Roman accepts every byte")
            << QByteArray("macintosh") << QByteArray("\x80\xDB\xF0\xFF") << true;
        QTest::newRow("UTF-16 even length") << QByteArray("UTF-16")
                                            << QByteArray("\xFF\xFE"
                                                          "a\0",
                                                          4)
                                            << true;
        QTest::newRow("UTF-16 odd length") << QByteArray("UTF-16")
                                           << QByteArray("\xFF\xFE"
                                                         "a",
                                                         3)
                                           << false;
        QTest::newRow("UTF-16 lone surrogate") << QByteArray("UTF-16")
                                               << QByteArray("\xFF\xFE\x00\xD8"
                                                             "a\0",
                                                             6)
                                               << false;
    }
    void validity()
    {
        QFETCH(QByteArray, encodingName);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        QCOMPARE(platform::IsValidData(platform::TextEncoding(encodingName), Text{bytes, std::nullopt}), valid);
    }

    void makeUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("valid UTF-8 unchanged")
            << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC") << QByteArray() << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC");
        QTest::newRow("ASCII is UTF-8") << QByteArray("plain") << QByteArray() << QByteArray("plain");
        QTest::newRow("empty") << QByteArray() << QByteArray() << QByteArray();
        // 0x8E is é in Mac Roman, Ž in Windows Latin 1: Mac Roman is tried first.
        QTest::newRow("Mac Roman before Windows Latin 1")
            << QByteArray("Caf\x8E") << QByteArray() << QByteArray("Caf\xC3\xA9");
        QTest::newRow("Mac Roman accented letters")
            << QByteArray("\x80\x8A\x9F\xA7") << QByteArray() << QByteArray("\xC3\x84\xC3\xA4\xC3\xBC\xC3\x9F");
        QTest::newRow("labelled Windows Latin 1 is not tested")
            << QByteArray("Caf\xE9 \x80") << QByteArray("windows-1252") << QByteArray("Caf\xC3\xA9 \xE2\x82\xAC");
        QTest::newRow("labelled UTF-8 keeps its bytes")
            << QByteArray("\xC3\xA9") << QByteArray("UTF-8") << QByteArray("\xC3\xA9");
        QTest::newRow("labelled UTF-16 little-endian") << QByteArray("\xFF\xFE"
                                                                     "A\0\xE9\0",
                                                                     6)
                                                       << QByteArray("UTF-16") << QByteArray("A\xC3\xA9");
        QTest::newRow("labelled UTF-16 big-endian")
            << QByteArray("\xFE\xFF\0A\x20\xAC", 6) << QByteArray("UTF-16") << QByteArray("A\xE2\x82\xAC");
        // A UTF-8 export with one stray Mac Roman byte: the letters that were
        // right stay right, only the stray byte is read as Mac Roman.
        QTest::newRow("UTF-8 with a stray byte") << QByteArray("Caf\xC3\xA9 \x8E \xE2\x82\xAC") << QByteArray()
                                                 << QByteArray("Caf\xC3\xA9 \xC3\xA9 \xE2\x82\xAC");
        QTest::newRow("UTF-8 with a truncated sequence at the end")
            << QByteArray("\xC3\xA9\xE2\x82") << QByteArray() << QByteArray("\xC3\xA9\xE2\x80\x9A\xC3\x87");
    }
    void makeUtf8()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, label);
        QFETCH(QByteArray, expected);
        Text input{bytes, std::nullopt};
        if (!label.isEmpty())
            input.encoding = platform::TextEncoding(label);
        const Text decoded = engine::MakeUTF8(input);
        QCOMPARE(decoded.bytes, expected);
        QVERIFY(decoded.encoding && decoded.encoding->isUtf8());
        QCOMPARE(input.bytes, bytes);
    }

    // Converted within its own buffer, from the end, sixteen ASCII bytes at a
    // time: every length and every place of the accented letters must come out
    // as a plain conversion, byte by byte from the start, gives.
    void singleByteConversionInPlace()
    {
        for (int length = 0; length < 70; ++length) {
            for (int accent = -1; accent < length; accent += 7) {
                QByteArray bytes(length, 'a');
                if (accent >= 0)
                    bytes[accent] = '\x8E';
                if (length > 20)
                    bytes[length - 1] = '\xD0';
                QByteArray expected;
                platform::AppendSingleByteAsUtf8(bytes, Encodings::MacRoman, expected);
                const Text converted = platform::ConvertEncoding(
                    Text{QByteArray(bytes.constData(), bytes.size()), Encodings::MacRoman}, Encodings::UTF8);
                QCOMPARE(converted.bytes, expected);
            }
        }
    }

    void validUtf8IsNotCopied()
    {
        const QByteArray bytes("<a>\xC3\xA9</a>");
        const Text decoded = engine::MakeUTF8(Text{bytes, std::nullopt});
        QCOMPARE(decoded.bytes.constData(), bytes.constData());
    }
};

QTEST_GUILESS_MAIN(TextDecodingTest)
#include "tst_text_decoding.moc"
