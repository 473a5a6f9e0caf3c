// Whole repairs of real files in a temporary folder.
#include "engine/repair_pass.h"
#include "engine/stream_repair.h"
#include "engine/text_repair.h"
#include "platform/system/tests/fault_injector.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#endif

using namespace quillmend;
using namespace quillmend::tests;

class RepairPassTest : public FolderSuite {
    Q_OBJECT

private slots:
    // The names of a repair, in both modes, and where the old content goes.
    void namesAndKeptCopies_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<Contents>("before");
        QTest::addColumn<Contents>("after");
        const QByteArray anyDirty("a\x01"
                                  "b\tc\r\n");
        const QByteArray anyClean("abc\r\n");
        QTest::newRow("show.xml") << "show.xml" << false << Contents{{"show.xml", kDirty}}
                                  << Contents{{"show.xml", kClean}, {"show (Original).xml", kDirty}};
        QTest::newRow("show.final.xml") << "show.final.xml" << false << Contents{{"show.final.xml", kDirty}}
                                        << Contents{{"show.final.xml", kClean}, {"show.final (Original).xml", kDirty}};
        QTest::newRow("show.") << "show." << false << Contents{{"show.", kDirty}}
                               << Contents{{"show.", kClean}, {"show (Original).", kDirty}};
        QTest::newRow(".xml") << ".xml" << false << Contents{{".xml", kDirty}}
                              << Contents{{".xml", kClean}, {" (Original).xml", kDirty}};
#ifdef Q_OS_WIN
        // Windows drops a name's final ".", and "show." would be "show" itself.
        QTest::newRow("show") << "show" << false << Contents{{
            "show",
            kDirty
        }}
                              << Contents{{"show", kClean},
                                          { "show (Original)",
                                            kDirty }};
        QTest::newRow("any: show") << "show" << true << Contents{{
            "show",
            anyDirty
        }}
                                   << Contents{{"show", anyClean},
                                               { "show 2",
                                                 anyDirty }};
#else
        QTest::newRow("show") << "show" << false << Contents{{"show", kDirty}}
                              << Contents{{"show", kClean}, {"show (Original).", kDirty}};
        QTest::newRow("any: show") << "show" << true << Contents{{"show", anyDirty}}
                                   << Contents{{"show", anyClean}, {"show.", anyDirty}};
#endif
        QTest::newRow("kept name taken") << "show.xml" << false
                                         << Contents{{"show.xml", kDirty}, {"show (Original).xml", "older"}}
                                         << Contents{{"show.xml", kClean},
                                                     {"show (Original).xml", "older"},
                                                     {"show (Original 2).xml", kDirty}};
        QTest::newRow("two kept names taken")
            << "show.xml" << false
            << Contents{{"show.xml", kDirty}, {"show (Original).xml", "1"}, {"show (Original 2).xml", "2"}}
            << Contents{{"show.xml", kClean},
                        {"show (Original).xml", "1"},
                        {"show (Original 2).xml", "2"},
                        {"show (Original 3).xml", kDirty}};
        QTest::newRow("any: show.xml in place")
            << "show.xml" << true << Contents{{"show.xml", anyDirty}} << Contents{{"show.xml", anyClean}};
        QTest::newRow("any: show.final.xml in place")
            << "show.final.xml" << true << Contents{{"show.final.xml", anyDirty}}
            << Contents{{"show.final.xml", anyClean}};
        QTest::newRow("any: show. in place")
            << "show." << true << Contents{{"show.", anyDirty}} << Contents{{"show.", anyClean}};
        QTest::newRow("any: .xml in place")
            << ".xml" << true << Contents{{".xml", anyDirty}} << Contents{{".xml", anyClean}};
        QTest::newRow("any: show, show. taken") << "show" << true << Contents{{"show", anyDirty}, {"show.", "x"}}
                                                << Contents{{"show", anyClean}, {"show.", "x"}, {"show 2.", anyDirty}};
        QTest::newRow("any: AppStamp kept, no marker needed")
            << "a.xml" << true << Contents{{"a.xml", "<AppStamp>Vectorworks</AppStamp>\x01"}}
            << Contents{{"a.xml", "<AppStamp>Vectorworks</AppStamp>"}};
        QTest::newRow("any: only control characters")
            << "c.txt" << true << Contents{{"c.txt", "\x01\x02\x03"}} << Contents{{"c.txt", ""}};
    }
    void namesAndKeptCopies()
    {
        QFETCH(QString, name);
        QFETCH(bool, anyFile);
        QFETCH(Contents, before);
        QFETCH(Contents, after);
#ifdef Q_OS_WIN
        for (const QString& entry : before.keys()) {
            if (entry.endsWith('.'))
                QSKIP("Windows cannot make a name that ends in \".\"");
        }
#endif
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            writeFile(path(it.key()), it.value());
        QCOMPARE(repair(path(name), anyFile), engine::kResultDone);
        QCOMPARE(folderContents(m_dir.path()), after);
    }

    // Texts that are refused or need nothing leave the folder as it was.
    void untouched_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<engine::ResultCode>("code");
        QTest::newRow("no marker, though dirty")
            << QByteArray("<AppStamp>Vectorworks</AppStamp>\x01") << false << engine::kResultNotFullExport;
        QTest::newRow("marker broken by a control character")
            << QByteArray("<Action>Entire\x01 Plot</Action>") << false << engine::kResultNotFullExport;
        QTest::newRow("clean export") << kClean << false << engine::kResultUnchanged;
        QTest::newRow("clean any file") << QByteArray("abc\r\n\x7F") << true << engine::kResultUnchanged;
        QTest::newRow("UTF-16 byte-order mark only") << QByteArray("\xFF\xFE") << true << engine::kResultEmpty;
        // Read alike as Latin-1 and as UTF-8: the declaration misleads nobody.
        QTest::newRow("ASCII, declared Latin-1")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Action>Entire Plot</Action>") << false
            << engine::kResultUnchanged;
    }
    void untouched()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, anyFile);
        QFETCH(engine::ResultCode, code);
        writeFile(path("show.xml"), content);
        const Contents before = folderContents(m_dir.path());
        QCOMPARE(repair(path("show.xml"), anyFile), code);
        QCOMPARE(folderContents(m_dir.path()), before);
    }

    void secondRepairChangesNothing()
    {
        writeFile(path("show.xml"), kDirty);
        QCOMPARE(repair(path("show.xml"), false), engine::kResultDone);
        const Contents afterFirst = folderContents(m_dir.path());
        QCOMPARE(repair(path("show.xml"), false), engine::kResultUnchanged);
        QCOMPARE(folderContents(m_dir.path()), afterFirst);
    }

    void tabsFollowTheOption()
    {
        writeFile(path("t.txt"), "a\tb\x01");
        QCOMPARE(repair(path("t.txt"), true, false), engine::kResultDone);
        QCOMPARE(readFile(path("t.txt")), QByteArray("a\tb"));
    }

    void legacyEncodingsAreWrittenAsUtf8_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("Mac Roman, declared")
            << QByteArray("<?xml version=\"1.0\" encoding=\"macintosh\"?><Action>Entire Plot</Action>\x8E\x9F\x01")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Action>Entire Plot</Action>\xC3\xA9\xC3\xBC");
        // A reader that trusts the declaration would read other characters.
        QTest::newRow("UTF-8, declared Latin-1")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><Action>Entire Plot</Action>\xC5\xBF")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Action>Entire Plot</Action>\xC5\xBF");
        QTest::newRow("ASCII, declared UTF-16")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-16\"?><Action>Entire Plot</Action>")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Action>Entire Plot</Action>");
        QTest::newRow("UTF-16 with byte-order mark")
            << utf16LittleEndianWithMark(
                   QString::fromUtf8("<?xml encoding='UTF-16'?><Action>Entire Plot</Action>\u00E9"))
            << QByteArray("<?xml encoding='UTF-8'?><Action>Entire Plot</Action>\xC3\xA9");
    }
    void legacyEncodingsAreWrittenAsUtf8()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, expected);
        writeFile(path("show.xml"), content);
        QCOMPARE(repair(path("show.xml"), false), engine::kResultDone);
        QCOMPARE(readFile(path("show.xml")), expected);
        QCOMPARE(readFile(path("show (Original).xml")), content);
    }

    // Windows' calls reach a path past 260 characters only in their long
    // form; the repair, its copy and its clean-up must all get there.
    void pathLongerThanWindowsOldLimit()
    {
        const QString folder = path(QString(120, 'f') + '/' + QString(120, 'g'));
        QVERIFY(QDir().mkpath(folder));
        const QString name = QString(40, 'h') + ".xml";
        QVERIFY(QDir(folder).filePath(name).size() > 300);
        writeFile(QDir(folder).filePath(name), kDirty);
        QCOMPARE(repair(QDir(folder).filePath(name), false), engine::kResultDone);
        QCOMPARE(folderContents(folder), (Contents{{name, kClean}, {QString(40, 'h') + " (Original).xml", kDirty}}));
    }

    void symbolicLinkIsFollowed()
    {
#ifdef Q_OS_WIN
        QSKIP("QFile::link makes a shortcut on Windows, no symbolic link");
#else
        QDir().mkpath(path("real"));
        writeFile(path("real/show.xml"), kDirty);
        QVERIFY(QFile::link(path("real/show.xml"), path("link.xml")));
        QCOMPARE(repair(path("link.xml"), false), engine::kResultDone);
        QCOMPARE(readFile(path("link.xml")), kClean);
        QCOMPARE(QFileInfo(path("link.xml")).symLinkTarget(), path("real/show.xml"));
        QCOMPARE(folderContents(path("real")), (Contents{{"show.xml", kClean}, {"show (Original).xml", kDirty}}));
#endif
    }

    void notARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("missing") << "missing";
        QTest::newRow("dangling link") << "dangling";
        QTest::newRow("device") << "device";
    }
    void notARegularFile()
    {
#ifdef Q_OS_WIN
        QSKIP("no FIFOs on Windows");
#else
        QFETCH(QString, kind);
        const QString target = path("show.xml");
        if (kind == "folder")
            QVERIFY(QDir().mkdir(target));
        else if (kind == "fifo")
            QVERIFY(::mkfifo(QFile::encodeName(target).constData(), 0644) == 0);
        else if (kind == "dangling")
            QVERIFY(QFile::link(path("nowhere"), target));
        const QString file = kind == "device" ? QStringLiteral("/dev/null") : target;
        const Contents before = folderContents(m_dir.path());
        QCOMPARE(repair(file, true), engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), before);
#endif
    }

    void noFileGivesZero()
    {
        QCOMPARE(engine::FNProcessTheFile(std::nullopt, false, true), engine::kResultEmpty);
    }

    // The caller's background work gets its turn on every slice of the file,
    // whatever its encoding: the window is not left undrawn for long.
    void yieldsOnEverySlice_data()
    {
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("utf16");
        QTest::newRow("UTF-8") << QByteArray("<F>\xC3\xA9\x01</F>\r\n") << false;
        QTest::newRow("Mac Roman") << QByteArray("<F>\x8E\x01</F>\r\n") << false;
        QTest::newRow("UTF-8 with a stray byte") << QByteArray("<F>\xC3\xA9\x8E\x01</F>\r\n") << false;
        QTest::newRow("UTF-16") << QByteArray("<F>\x01</F>\r\n") << true;
    }
    void yieldsOnEverySlice()
    {
        QFETCH(QByteArray, record);
        QFETCH(bool, utf16);
        const qsizetype slices = 3;
        const QByteArray text = QByteArray(engine::kFullExportMarker)
            + record.repeated(slices * engine::StreamRepair::kSliceBytes / record.size() / (utf16 ? 2 : 1));
        writeFile(path("show.xml"), utf16 ? utf16LittleEndianWithMark(QString::fromLatin1(text)) : text);
        int yields = 0;
        QCOMPARE(engine::FNProcessTheFile(platform::FileRef(path("show.xml")), false, true, [&] { ++yields; }),
                 engine::kResultDone);
        QVERIFY2(yields >= slices && yields <= 8 * slices, qPrintable(QString::number(yields)));
    }

    // Large files are worked on a slice at a time: what stands across the cut
    // between two slices must be repaired as anywhere else.
    void acrossTheCutBetweenSlices_data()
    {
        QTest::addColumn<QByteArray>("piece");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("anyFile");
        const QByteArray stamp = engine::kVectorworksAppStamp;
        const QByteArray marker = engine::kFullExportMarker;
        for (const int offset : {-40, -32, -31, -17, -1, 0, 1}) {
            QTest::addRow("entry at %d", offset) << stamp << offset << false;
            QTest::addRow("marker at %d", offset) << marker << offset << false;
            QTest::addRow("entry with a control character at %d", offset)
                << QByteArray("<AppStamp>Vector\x02works</AppStamp>") << offset << false;
        }
        for (const int offset : {-3, -2, -1, 0})
            QTest::addRow("letters and a control character at %d", offset)
                << QByteArray("\xF0\x9F\x98\x80\xE2\x82\xAC\x01\xC3\xA9") << offset << true;
        QTest::addRow("declaration and an entry far apart") << stamp << 4 << false;
    }
    void acrossTheCutBetweenSlices()
    {
        QFETCH(QByteArray, piece);
        QFETCH(int, offset);
        QFETCH(bool, anyFile);
        const qsizetype cut = engine::StreamRepair::kSliceBytes;
        QByteArray text = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>";
        if (!piece.startsWith("<Action>"))
            text += engine::kFullExportMarker;
        text += QByteArray(cut + offset - text.size(), 'x') + piece + "\r\n" + QByteArray(5000, 'y');
        if (QTest::currentDataTag() == QByteArray("declaration and an entry far apart"))
            text += QByteArray(3 * cut, 'z') + piece;
        text += "\x01"; // something to repair in any case
        writeFile(path("big.xml"), text);

        QByteArray expected = text;
        engine::RemoveControlCharacters(expected, true, {});
        if (!anyFile)
            engine::RewriteAppStamps(expected);
        engine::DeclareUtf8(expected);
        QCOMPARE(repair(path("big.xml"), anyFile), engine::kResultDone);
        QVERIFY(readFile(path("big.xml")) == expected);
    }

    void survey_data()
    {
        QTest::addColumn<QByteArray>("late");
        QTest::addColumn<engine::ResultCode>("code");
        QTest::newRow("marker only in a later slice")
            << QByteArray(engine::kFullExportMarker) + "\x01" << engine::kResultDone;
        QTest::newRow("only an entry to rewrite, in a later slice")
            << QByteArray(engine::kFullExportMarker) + engine::kVectorworksAppStamp << engine::kResultDone;
        QTest::newRow("nothing to repair") << QByteArray(engine::kFullExportMarker) << engine::kResultUnchanged;
        QTest::newRow("no marker") << QByteArray("\x01") << engine::kResultNotFullExport;
    }
    void survey()
    {
        QFETCH(QByteArray, late);
        QFETCH(engine::ResultCode, code);
        const QByteArray text = QByteArray(2 * engine::StreamRepair::kSliceBytes + 5, 'x') + late;
        writeFile(path("late.xml"), text);
        QCOMPARE(repair(path("late.xml"), false), code);
        if (code != engine::kResultDone)
            QCOMPARE(folderContents(m_dir.path()).keys(), QStringList{"late.xml"});
    }
};

QTEST_GUILESS_MAIN(RepairPassTest)
#include "tst_repair_pass.moc"
