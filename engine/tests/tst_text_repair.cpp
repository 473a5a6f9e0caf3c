// The in-memory steps of a repair: export check, control-character removal,
// AppStamp rewrite, XML declaration, and the byte scans beneath them.
#include "engine/text_repair.h"
#include "platform/text/byte_scan.h"

#include <QTest>

using namespace quillmend::engine;

class TextRepairTest : public QObject {
    Q_OBJECT

private slots:
    void fullExportCheck_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("fullExport");
        QTest::newRow("marker") << QByteArray("<X><Action>Entire Plot</Action></X>") << true;
        QTest::newRow("marker at the very end") << QByteArray("abc<Action>Entire Plot</Action>") << true;
        QTest::newRow("no marker") << QByteArray("<Action>Partial</Action>") << false;
        QTest::newRow("control character inside") << QByteArray("<Action>Entire\x01 Plot</Action>") << false;
        QTest::newRow("other letter case") << QByteArray("<action>entire plot</action>") << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void fullExportCheck()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, fullExport);
        QCOMPARE(IsFullExport(text), fullExport);
    }

    void controlCharacters_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("removeTabs");
        QTest::addColumn<QByteArray>("expected");
        QByteArray allControls;
        for (int code = 0; code < 32; ++code)
            allControls += char(code);
        QTest::newRow("codes 0 and 31 go") << QByteArray("a\x00"
                                                         "b\x1F"
                                                         "c",
                                                         5)
                                           << true << QByteArray("abc");
        QTest::newRow("LF and CR stay") << QByteArray("a\r\nb\nc\rd") << true << QByteArray("a\r\nb\nc\rd");
        QTest::newRow("tab removed") << QByteArray("a\tb") << true << QByteArray("ab");
        QTest::newRow("tab kept") << QByteArray("a\tb\x02") << false << QByteArray("a\tb");
        QTest::newRow("DEL and non-ASCII stay")
            << QByteArray("\x7F\xC3\xA9\xE2\x82\xAC") << true << QByteArray("\x7F\xC3\xA9\xE2\x82\xAC");
        QTest::newRow("all 32 codes, tabs removed") << allControls << true << QByteArray("\n\r");
        QTest::newRow("all 32 codes, tabs kept") << allControls << false << QByteArray("\t\n\r");
        QTest::newRow("only removable codes") << QByteArray("\x01\x02\x03\x1B") << true << QByteArray();
        QTest::newRow("nothing to remove") << QByteArray("plain text") << true << QByteArray("plain text");
    }
    void controlCharacters()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, removeTabs);
        QFETCH(QByteArray, expected);
        const qsizetype before = text.size();
        const qsizetype removed = RemoveControlCharacters(text, removeTabs, {});
        QCOMPARE(text, expected);
        QCOMPARE(removed, before - expected.size());
    }

    // A long scan lets the window be drawn meanwhile.
    void largeRemovalYields()
    {
        QByteArray large(3'000'001, 'x');
        large[1'500'000] = '\x01';
        int yields = 0;
        QCOMPARE(RemoveControlCharacters(large, true, [&] { ++yields; }), qsizetype(1));
        QVERIFY(yields > 1);
        QCOMPARE(large.size(), qsizetype(3'000'000));
        QVERIFY(!large.contains('\x01'));
    }

    void appStamps_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<int>("count");
        QTest::newRow("one") << QByteArray("<a><AppStamp>Vectorworks</AppStamp></a>")
                             << QByteArray("<a><AppStamp>Marlowbrook</AppStamp></a>") << 1;
        QTest::newRow("adjacent") << QByteArray("<AppStamp>Vectorworks</AppStamp><AppStamp>Vectorworks</AppStamp>")
                                  << QByteArray("<AppStamp>Marlowbrook</AppStamp><AppStamp>Marlowbrook</AppStamp>")
                                  << 2;
        QTest::newRow("other app") << QByteArray("<AppStamp>Other</AppStamp>")
                                   << QByteArray("<AppStamp>Other</AppStamp>") << 0;
        QTest::newRow("other letter case")
            << QByteArray("<AppStamp>vectorworks</AppStamp>") << QByteArray("<AppStamp>vectorworks</AppStamp>") << 0;
    }
    void appStamps()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        QFETCH(int, count);
        QCOMPARE(RewriteAppStamps(text), qsizetype(count));
        QCOMPARE(text, expected);
    }

    // The scans look at several bytes at a time: an entry or a control
    // character must be found at every offset, also near the end.
    void everyOffset()
    {
        for (int before = 0; before < 40; ++before) {
            for (int after = 0; after < 20; ++after) {
                const QByteArray pad(before, 'V');
                const QByteArray tail(after, 'k');
                QByteArray stamped = pad + kVectorworksAppStamp + tail;
                QCOMPARE(RewriteAppStamps(stamped), qsizetype(1));
                QCOMPARE(stamped, pad + kMarlowbrookAppStamp + tail);

                QByteArray dirty = pad + '\x1F' + tail + '\x01';
                QCOMPARE(RemoveControlCharacters(dirty, true, {}), qsizetype(2));
                QCOMPARE(dirty, pad + tail);
            }
        }
    }

    void appStampWithControlCharacterIsRewrittenAfterRemoval()
    {
        QByteArray text("<AppStamp>Vector\x02works</AppStamp>");
        RemoveControlCharacters(text, true, {});
        QCOMPARE(RewriteAppStamps(text), qsizetype(1));
        QCOMPARE(text, QByteArray("<AppStamp>Marlowbrook</AppStamp>"));
    }

    void xmlDeclaration_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("macintosh") << QByteArray("<?xml version=\"1.0\" encoding=\"macintosh\"?><a/>")
                                   << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a/>");
        QTest::newRow("single quotes, spaces")
            << QByteArray("<?xml version='1.0' encoding = 'UTF-16' standalone='yes'?>")
            << QByteArray("<?xml version='1.0' encoding = 'UTF-8' standalone='yes'?>");
        QTest::newRow("after byte-order mark")
            << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"windows-1252\"?>")
            << QByteArray("\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
        QTest::newRow("already utf-8") << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>")
                                       << QByteArray("<?xml version=\"1.0\" encoding=\"utf-8\"?>");
        QTest::newRow("no encoding") << QByteArray("<?xml version=\"1.0\"?><a encoding=\"x\"/>")
                                     << QByteArray("<?xml version=\"1.0\"?><a encoding=\"x\"/>");
        QTest::newRow("not at start") << QByteArray(" <?xml version=\"1.0\" encoding=\"latin1\"?>")
                                      << QByteArray(" <?xml version=\"1.0\" encoding=\"latin1\"?>");
        QTest::newRow("processing instruction, not a declaration")
            << QByteArray("<?xml-stylesheet encoding=\"latin1\"?>")
            << QByteArray("<?xml-stylesheet encoding=\"latin1\"?>");
        QTest::newRow("not an encoding's name") << QByteArray("<?xml version=\"1.0\" encoding=\"ma\rcintosh\"?>")
                                                << QByteArray("<?xml version=\"1.0\" encoding=\"ma\rcintosh\"?>");
        QTest::newRow("unterminated") << QByteArray("<?xml version=\"1.0\" encoding=\"latin1\"")
                                      << QByteArray("<?xml version=\"1.0\" encoding=\"latin1\"");
    }
    void xmlDeclaration()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, expected);
        const bool changes = text != expected;
        QCOMPARE(DeclareUtf8(text), changes);
        QCOMPARE(text, expected);
    }

    // The sixteen-byte tests under every fast path, in whichever version this
    // build has (the portable one where QUILLMEND_PORTABLE_SCAN is set).
    void byteScanMasks_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("test");
        QTest::addColumn<unsigned>("mask");
        const QByteArray mixed("a\x01\t\n\r\x1F \x7F\x80\xBF\xC0\xFF\x00Vk\x20", 16);
        QTest::newRow("high") << mixed << "high" << 0x0F00u;
        QTest::newRow("removable, tabs too") << mixed << "removable" << 0x1026u;
        QTest::newRow("removable, tabs kept") << mixed << "removable keeping tabs" << 0x1022u;
        QTest::newRow("control") << mixed << "control" << 0x103Eu;
        QTest::newRow("continuation") << mixed << "continuation" << 0x0300u;
        QTest::newRow("one byte") << mixed << "carriage return" << 0x0010u;
        QTest::newRow("pair") << QByteArray("xVkxxxxxxxxxxxxVk..............") << "pair V k" << 0x4001u;
    }
    void byteScanMasks()
    {
        namespace scan = quillmend::platform::bytescan;
        QFETCH(QByteArray, block);
        QFETCH(QString, test);
        QFETCH(unsigned, mask);
        const char* at = block.constData();
        const unsigned got = test == "high"    ? scan::highMask(at)
            : test == "removable"              ? scan::removableMask(at, false)
            : test == "removable keeping tabs" ? scan::removableMask(at, true)
            : test == "control"                ? scan::controlMask(at)
            : test == "continuation"           ? scan::continuationMask(at)
            : test == "carriage return"        ? scan::byteMask(at, '\r')
                                               : scan::pairMask(at, 1, 'V', 2, 'k');
        QCOMPARE(got, mask);
#ifdef QUILLMEND_PORTABLE_SCAN
        QVERIFY(scan::isPortable());
#endif
    }
};

QTEST_GUILESS_MAIN(TextRepairTest)
#include "tst_text_repair.moc"
