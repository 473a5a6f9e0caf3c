// Decoding a file slice by slice: texts in legacy encodings and UTF-8 with
// stray bytes come out as decoding them whole would make them.
#include "engine/stream_repair.h"
#include "engine/text_repair.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QStringEncoder>
#include <QTest>

using namespace quillmend;
using namespace quillmend::tests;

class StreamDecoderTest : public FolderSuite {
    Q_OBJECT

private slots:
    // Texts that are not UTF-8 and larger than a slice come out as decoding
    // them whole would make them.
    void legacyAcrossSlices_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        const qsizetype cut = engine::StreamRepair::kSliceBytes;
        const QByteArray marker = engine::kFullExportMarker;
        const QByteArray macRoman = "<?xml version=\"1.0\" encoding=\"macintosh\"?>\x8E";
        const QByteArray declaredUtf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\xC3\xA9";
        const qsizetype fill = cut - macRoman.size() - 10;
        QTest::newRow("Mac Roman, marker across the cut") << macRoman + QByteArray(fill, 'x') + marker + "\x9F\x01"
                                                          << declaredUtf8 + QByteArray(fill, 'x') + marker + "\xC3\xBC";
        const qsizetype letters = cut - macRoman.size() - 40;
        QTest::newRow("Mac Roman, entry and letters across the cut")
            << macRoman + marker + QByteArray(letters, '\x8E') + engine::kVectorworksAppStamp + QByteArray(100, '\xD0')
                + "\x02"
            << declaredUtf8 + marker + QByteArray("\xC3\xA9").repeated(letters) + engine::kMarlowbrookAppStamp
                + QByteArray("\xE2\x80\x93").repeated(100);
        QTest::newRow("a UTF-8 sequence only in a later slice: stray bytes in UTF-8")
            << marker + "\x8E" + QByteArray(2 * cut, 'x') + "\xC3\xA9\x01"
            << marker + "\xC3\xA9" + QByteArray(2 * cut, 'x') + "\xC3\xA9";
        const qsizetype strayFill = cut - marker.size() - 2;
        QTest::newRow("a UTF-8 sequence across the cut: stray bytes in UTF-8")
            << marker + "\x8E" + QByteArray(strayFill, 'x') + "\xC3\xA9\x01"
            << marker + "\xC3\xA9" + QByteArray(strayFill, 'x') + "\xC3\xA9";
        QTest::newRow("stray bytes in every slice, the last at the very end")
            << marker + "\xC3\xA9\x8E" + QByteArray(cut, 'x') + "\x8E" + QByteArray(cut, 'y') + "\x01\x8E"
            << marker + "\xC3\xA9\xC3\xA9" + QByteArray(cut, 'x') + "\xC3\xA9" + QByteArray(cut, 'y') + "\xC3\xA9";
        // UTF-16: a character of two code units, a control character and an
        // entry at and around the cut of the file's bytes into slices.
        const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80");
        for (const int offset : {-6, -4, -3, -2, 0}) {
            const qsizetype units = (cut + offset - 2) / 2 - marker.size();
            const QString head = QString::fromLatin1(marker) + QString(units, QLatin1Char('x'));
            QTest::addRow("UTF-16, a surrogate pair at %d", offset)
                << utf16LittleEndianWithMark(head + emoji
                                             + QString::fromLatin1("\x01<AppStamp>Vectorworks</AppStamp>z"))
                << marker + QByteArray(units, 'x') + "\xF0\x9F\x98\x80" + engine::kMarlowbrookAppStamp + "z";
        }
        QStringEncoder bigEndian(QStringConverter::Utf16BE);
        QTest::newRow("UTF-16 big-endian, across two cuts")
            << QByteArray("\xFE\xFF")
                + QByteArray(
                    bigEndian(QStringLiteral("<Action>") + QString(cut, QChar(0xE9)) + QStringLiteral("</Action>\x01")))
            << QByteArray("<Action>") + QByteArray("\xC3\xA9").repeated(cut) + "</Action>";
    }

    void legacyAcrossSlices()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        writeFile(path("legacy.xml"), text);
        QCOMPARE(repair(path("legacy.xml"), !expected.contains(engine::kFullExportMarker)), engine::kResultDone);
        QVERIFY(readFile(path("legacy.xml")) == expected);
        QVERIFY(readFile(path("legacy (Original).xml")) == text || !expected.contains(engine::kFullExportMarker));
    }

    // A UTF-8 export whose only stray byte comes late is still read as UTF-8
    // with one stray byte, not as Mac Roman as a whole.
    void strayByteInALaterSlice()
    {
        const QByteArray head = QByteArray(engine::kFullExportMarker) + "Caf\xC3\xA9";
        const QByteArray text = head + QByteArray(engine::StreamRepair::kSliceBytes * 2, 'x') + "\x8E";
        writeFile(path("stray.xml"), text);
        QCOMPARE(repair(path("stray.xml"), false), engine::kResultDone);
        const QByteArray repaired = readFile(path("stray.xml"));
        QVERIFY(repaired.startsWith(head));
        QVERIFY(repaired.endsWith("x\xC3\xA9"));
    }
};

QTEST_GUILESS_MAIN(StreamDecoderTest)
#include "tst_stream_decoder.moc"
