// What a survey predicts, held against what the repair then does to the same file.
#include "engine/file_survey.h"
#include "engine/repair_pass.h"
#include "engine/stream_repair.h"
#include "engine/text_decoding.h"
#include "engine/text_repair.h"
#include "platform/files/file_error.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QTest>

using namespace quillmend;
using namespace quillmend::tests;
using Place = engine::SurveyReport::Place;

Q_DECLARE_METATYPE(engine::SurveyReport::Place)
Q_DECLARE_METATYPE(QList<engine::SurveyReport::Place>)

namespace {

const QByteArray kMarker = engine::kFullExportMarker;
const QByteArray kStamp = engine::kVectorworksAppStamp;

qsizetype count(const QByteArray& text, const char* what)
{
    return text.count(QByteArrayView(what));
}

// A text whose slice cut (of the stream repair) falls inside an AppStamp
// entry that a control character splits, and inside the marker.
QByteArray entriesAcrossTheCut()
{
    const qsizetype cut = engine::StreamRepair::kSliceBytes;
    QByteArray text(cut - 12, 'x');
    text += "<AppStamp>Vect\x05orworks</AppStamp>\n";
    text += QByteArray(cut - 20, 'y');
    text += kMarker + "\n";
    return text;
}

} // namespace

class FileSurveyTest : public FolderSuite {
    Q_OBJECT

private slots:
    // For each kind of file: the survey's prediction, then the repair's deeds.
    void predictsTheRepair_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<bool>("removeTabs");
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<bool>("strayBytes");
        QTest::addColumn<engine::ResultCode>("resultCode");
        QTest::addColumn<bool>("declarationChanges");
        const engine::ResultCode notExport = engine::kResultNotFullExport;
        const engine::ResultCode empty = engine::kResultEmpty;
        const engine::ResultCode done = engine::kResultDone;
        const engine::ResultCode unchanged = engine::kResultUnchanged;

        const QByteArray macRomanDeclared
            = "<?xml version=\"1.0\" encoding=\"macintosh\"?>\n" + kMarker + kStamp + "Fr\x9Fhling\x01\n";
        QTest::newRow("UTF-8 export") << sampleExport() << false << true << "UTF-8" << false << done << false;
        QTest::newRow("repaired export") << repairedSampleExport() << false << true << "UTF-8" << false << unchanged
                                         << false;
        QTest::newRow("no marker") << QByteArray(kStamp + "\x01") << false << true << "UTF-8" << false << notExport
                                   << false;
        QTest::newRow("marker split by a control") << QByteArray("<Action>Entire\x01 Plot</Action>" + kStamp) << false
                                                   << true << "UTF-8" << false << notExport << false;
        QTest::newRow("entry split by a control") << QByteArray(kMarker + "<AppStamp>Vector\x1Fworks</AppStamp>")
                                                  << false << true << "UTF-8" << false << done << false;
        QTest::newRow("Mac Roman, declared")
            << macRomanDeclared << false << true << "Mac Roman" << false << done << true;
        QTest::newRow("stray byte in UTF-8")
            << QByteArray(kMarker + "Fr\xC3\xBChling \x9F") << false << true << "UTF-8" << true << done << false;
        QTest::newRow("UTF-16 export") << utf16LittleEndianWithMark(QString::fromLatin1(kMarker + kStamp) + QChar(0x1B)
                                                                    + QChar(0xE9))
                                       << false << true << "UTF-16" << false << done << false;
        QTest::newRow("UTF-16, no marker")
            << utf16LittleEndianWithMark("<a/>") << false << true << "UTF-16" << false << notExport << false;
        QTest::newRow("UTF-16 mark alone")
            << QByteArray("\xFE\xFF") << false << true << "UTF-16" << false << empty << false;
        QTest::newRow("any file, tabs kept")
            << QByteArray("a\tb\r\n") << true << false << "UTF-8" << false << unchanged << false;
        QTest::newRow("any file, tabs removed")
            << QByteArray("a\tb\r\n") << true << true << "UTF-8" << false << done << false;
        QTest::newRow("any file leaves entries")
            << QByteArray(kStamp) << true << true << "UTF-8" << false << unchanged << false;
        QTest::newRow("UTF-8 declared otherwise, clean")
            << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + kMarker) << false << true << "UTF-8"
            << false << unchanged << false;
        QTest::newRow("entries across the slice cut")
            << entriesAcrossTheCut() << false << true << "UTF-8" << false << done << false;
    }
    void predictsTheRepair()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, anyFile);
        QFETCH(bool, removeTabs);
        const QString path = m_dir.filePath("show.xml");
        writeFile(path, bytes);
        writeFile(m_dir.filePath("show (Original).xml"), "taken");

        const engine::SurveyReport report = engine::SurveyTheFile(platform::FileRef(path), anyFile, removeTabs);
        QCOMPARE(readFile(path), bytes);
        QTEST(report.encoding, "encoding");
        QTEST(report.strayBytesAsMacRoman, "strayBytes");
        QVERIFY(report.resultCode.has_value());
        QTEST(*report.resultCode, "resultCode");
        QTEST(report.declarationChanges, "declarationChanges");

        const QByteArray decoded = engine::MakeUTF8(readText(path)).bytes;
        const engine::ResultCode code = engine::FNProcessTheFile(platform::FileRef(path), anyFile, removeTabs);
        QCOMPARE(code, *report.resultCode);
        if (code != engine::kResultDone) {
            QVERIFY(report.keptCopyName.isEmpty());
            return;
        }
        // What the repair removed and rewrote is what the survey counted.
        const QByteArray repaired = readFile(path);
        QCOMPARE(report.keptCopyName.units(), anyFile ? QByteArray() : QByteArray("show (Original 2).xml"));
        if (!anyFile)
            QCOMPARE(readFile(m_dir.filePath(report.keptCopyName.toText())), bytes);
        QCOMPARE(
            qlonglong(count(repaired, engine::kMarlowbrookAppStamp) - count(decoded, engine::kMarlowbrookAppStamp)),
            qlonglong(report.appStampsToRewrite));
        const qsizetype declarationGrowth
            = report.declarationChanges ? qsizetype(sizeof "UTF-8") - qsizetype(sizeof "macintosh") : 0;
        QCOMPARE(qlonglong(decoded.size() + declarationGrowth - repaired.size()),
                 qlonglong(report.controlCharacterCount()));
    }

    // Where the control characters stand, as an editor counts lines and columns.
    void places_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("code");
        QTest::addColumn<qlonglong>("count");
        QTest::addColumn<QList<Place>>("places");
        QTest::newRow("first line") << QByteArray("ab\x01") << 1 << 1LL << QList<Place>{{1, 3}};
        QTest::newRow("after LF") << QByteArray("a\n\x01") << 1 << 1LL << QList<Place>{{2, 1}};
        QTest::newRow("CR LF is one line end") << QByteArray("a\r\nb\r\n\x02") << 2 << 1LL << QList<Place>{{3, 1}};
        QTest::newRow("CR alone ends a line") << QByteArray("a\rb\r\x02") << 2 << 1LL << QList<Place>{{3, 1}};
        QTest::newRow("LF CR is two") << QByteArray("a\n\rb\x02") << 2 << 1LL << QList<Place>{{3, 2}};
        QTest::newRow("accented letters are one column each")
            << QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAD\x03") << 3 << 1LL << QList<Place>{{1, 4}};
        QTest::newRow("controls take a column")
            << QByteArray("\x04\x04\x04") << 4 << 3LL << QList<Place>{{1, 1}, {1, 2}, {1, 3}};
        QTest::newRow("first five places only") << QByteArray("\x1B\n\x1B\n\x1B\n\x1B\n\x1B\n\x1B\n\x1B") << 27 << 7LL
                                                << QList<Place>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}};
        QTest::newRow("tab") << QByteArray("a\tb\t") << 9 << 2LL << QList<Place>{{1, 2}, {1, 4}};
        QTest::newRow("long line of accented letters")
            << QByteArray("\xC3\xA9").repeated(37) + "\x10" << 16 << 1LL << QList<Place>{{1, 38}};
        QTest::newRow("line ends of each kind in one block") << QByteArray("a\rb\r\nc\n\rd\xC3\xA9"
                                                                           "efghijk\x05")
                                                             << 5 << 1LL << QList<Place>{{5, 10}};
        QTest::newRow("long lines, CR LF cut between blocks") << QByteArray(15, 'a') + "\r\n" + QByteArray(40, 'b')
                + "\x11\r" + QByteArray(33, '\xE2').replace('\xE2', "\xE2\x82\xAC")
                + "\x11" << 17 << 2LL << QList<Place>{{2, 41}, {3, 34}};
    }
    void places()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, code);
        QFETCH(QList<Place>, places);
        const QString path = m_dir.filePath("notes.txt");
        writeFile(path, text);
        const engine::SurveyReport report = engine::SurveyTheFile(platform::FileRef(path), true, true);
        QCOMPARE(report.controlCharacters.size(), std::size_t(1));
        QCOMPARE(report.controlCharacters[0].code, code);
        QTEST(qlonglong(report.controlCharacters[0].count), "count");
        QCOMPARE(QList<Place>(report.controlCharacters[0].firstPlaces.begin(),
                              report.controlCharacters[0].firstPlaces.end()),
                 places);
    }

    // A file that a request refuses is surveyed all the same, but no result is promised.
    void refusals()
    {
        const QString readOnly = m_dir.filePath("readonly.xml");
        writeFile(readOnly, sampleExport());
        makeReadOnly(readOnly);
        const engine::SurveyReport refused = engine::SurveyTheFile(platform::FileRef(readOnly), false, true);
        QCOMPARE(refused.refusal, engine::Refusal::NoWritePermission);
        QVERIFY(!refused.resultCode);
        QVERIFY(refused.keptCopyName.isEmpty());
        QCOMPARE(refused.appStampsToRewrite, 3);
        const QString empty = m_dir.filePath("empty.xml");
        writeFile(empty, "");
        const engine::SurveyReport report = engine::SurveyTheFile(platform::FileRef(empty), false, true);
        QCOMPARE(report.refusal, engine::Refusal::EmptyFile);
        QVERIFY(report.encoding.isEmpty());

        QVERIFY_THROWS_EXCEPTION(platform::FileError,
                                 engine::SurveyTheFile(platform::FileRef(m_dir.filePath("missing.xml")), false, true));
    }
};

QTEST_GUILESS_MAIN(FileSurveyTest)
#include "tst_file_survey.moc"
