// A repair request as the main window makes it: refusals, the status texts in
// their order, and the options the repair pass receives.
#include "engine/request.h"
#include "engine/yield_pacer.h"
#include "platform/files/file_error.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace quillmend;
using namespace quillmend::tests;

namespace {

const QString kProcessing = QStringLiteral("Processing the file data...");
const QString kNoPermission = QStringLiteral("You don't have write permission for this file, it cannot be repaired.");
const QString kEmptyMessage = QStringLiteral("The file is empty, it cannot be repaired.");

// Records what a request shows, in order.
class RecordingSink : public engine::RequestSink {
public:
    QStringList events;
    void SetStatusText(const QString& text) override { events << QStringLiteral("status: ") + text; }
    void RedrawStatusNow() override { events << QStringLiteral("redraw"); }
    void ShowModalMessage(const QString& text) override { events << QStringLiteral("message: ") + text; }
};

} // namespace

class RequestTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    int m_passCalls = 0;
    engine::RepairPass countingPass(engine::ResultCode code)
    {
        return [this, code](const std::optional<platform::FileRef>&, bool, bool, const engine::YieldCallback&) {
            ++m_passCalls;
            return code;
        };
    }

private slots:
    void init() { m_passCalls = 0; }

    void refusals_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("read-only") << QByteArray("x") << true << false << QStringList{"message: " + kNoPermission};
        QTest::newRow("read-only and empty")
            << QByteArray() << true << false << QStringList{"message: " + kNoPermission};
        QTest::newRow("empty") << QByteArray() << false << false << QStringList{"message: " + kEmptyMessage};
#ifndef Q_OS_WIN
        // Windows has no read-only folders: their read-only mark only tells
        // Explorer that they are customised.
        QTest::newRow("read-only folder")
            << QByteArray("x") << false << true << QStringList{"message: " + kNoPermission};
#endif
    }
    void refusals()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, readOnly);
        QFETCH(bool, readOnlyFolder);
        QFETCH(QStringList, events);
        QTemporaryDir dir;
        const QString file = dir.filePath("show.xml");
        writeFile(file, content);
        if (readOnly)
            makeReadOnly(file);
        if (readOnlyFolder)
            makeReadOnly(dir.path());
        RecordingSink sink;
        sink.SetStatusText("earlier result");
        engine::DoIt(platform::FileRef(file), false, false, sink, {}, countingPass(1));
        makeWritable(dir.path());
        QCOMPARE(sink.events, QStringList{"status: earlier result"} + events);
        QCOMPARE(m_passCalls, 0);
    }

    void noFileDoesNothing()
    {
        RecordingSink sink;
        const auto outcome = engine::DoIt(std::nullopt, true, true, sink, {}, countingPass(1));
        QVERIFY(outcome.kind == engine::RequestOutcome::Kind::NoFile);
        QVERIFY(sink.events.isEmpty());
        QCOMPARE(m_passCalls, 0);
    }

    void missingFileThrows()
    {
        RecordingSink sink;
        QVERIFY_THROWS_EXCEPTION(
            platform::FileError,
            engine::DoIt(platform::FileRef(m_dir.filePath("missing.xml")), false, false, sink, {}, countingPass(1)));
        QVERIFY(sink.events.isEmpty());
    }

    void optionMapping_data()
    {
        QTest::addColumn<bool>("anyFileChecked");
        QTest::addColumn<bool>("preserveTabsChecked");
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<bool>("removeTabs");
        QTest::newRow("off, off") << false << false << false << true;
        QTest::newRow("off, on") << false << true << false << true;
        QTest::newRow("on, off") << true << false << true << true;
        QTest::newRow("on, on") << true << true << true << false;
    }
    void optionMapping()
    {
        QFETCH(bool, anyFileChecked);
        QFETCH(bool, preserveTabsChecked);
        QFETCH(bool, anyFile);
        QFETCH(bool, removeTabs);
        const QString file = m_dir.filePath("options.xml");
        writeFile(file, "x");
        std::optional<std::pair<bool, bool>> received;
        RecordingSink sink;
        engine::DoIt(platform::FileRef(file), anyFileChecked, preserveTabsChecked, sink, {},
                     [&](const std::optional<platform::FileRef>&, bool a, bool r, const engine::YieldCallback&) {
                         received = {a, r};
                         return engine::kResultDone;
                     });
        QVERIFY(received);
        QCOMPARE(received->first, anyFile);
        QCOMPARE(received->second, removeTabs);
    }

    void statusTexts_data()
    {
        QTest::addColumn<engine::ResultCode>("code");
        QTest::addColumn<QString>("finalText");
        QTest::newRow("-1") << engine::ResultCode(-1) << "The file is not a 'full export on exit', please try again.";
        QTest::newRow("0") << engine::ResultCode(0) << "The file is empty.";
        QTest::newRow("1") << engine::ResultCode(1)
                           << "Done! Click back on Vectorworks and let it process the .xml file.";
        QTest::newRow("2") << engine::ResultCode(2) << "The data in the file is OK, no changes were made.";
        QTest::newRow("666") << engine::ResultCode(666) << "Sorry! An error occurred.";
        QTest::newRow("3") << engine::ResultCode(3) << QString();
        QTest::newRow("-2") << engine::ResultCode(-2) << QString();
        QTest::newRow("665") << engine::ResultCode(665) << QString();
    }
    void statusTexts()
    {
        QFETCH(engine::ResultCode, code);
        QFETCH(QString, finalText);
        const QString file = m_dir.filePath("codes.xml");
        writeFile(file, "x");
        RecordingSink sink;
        engine::DoIt(platform::FileRef(file), false, false, sink, {}, countingPass(code));
        QStringList expected{"status: " + kProcessing, "redraw"};
        if (!finalText.isEmpty())
            expected << "status: " + finalText;
        QCOMPARE(sink.events, expected);
        QCOMPARE(m_passCalls, 1);
    }

    void realRepairEndToEnd()
    {
        const QString file = m_dir.filePath("real.xml");
        writeFile(file, sampleExport());
        RecordingSink sink;
        int yields = 0;
        const auto outcome = engine::DoIt(platform::FileRef(file), false, false, sink, [&] { ++yields; });
        QCOMPARE(outcome.code, engine::kResultDone);
        QCOMPARE(sink.events,
                 (QStringList{"status: " + kProcessing, "redraw",
                              "status: Done! Click back on Vectorworks and let it process the .xml file."}));
        QCOMPARE(readFile(file), repairedSampleExport());
        QVERIFY(yields >= 1);
    }

    // The background work runs on the first yield and then once per interval
    // of the clock, however often the repair yields.
    void yieldsArePacedByTheClock_data()
    {
        QTest::addColumn<QList<int>>("checkpointsAtMs");
        QTest::addColumn<int>("yields");
        QTest::newRow("the clock stands still") << QList<int>(1000, 0) << 1;
        QTest::newRow("every 10 ms for a second") << [] {
            QList<int> times;
            for (int ms = 0; ms < 1000; ms += 10)
                times << ms;
            return times;
        }() << 20;
        QTest::newRow("slow steps") << QList<int>{0, 100, 200, 249, 300} << 4;
    }
    void yieldsArePacedByTheClock()
    {
        QFETCH(QList<int>, checkpointsAtMs);
        QFETCH(int, yields);
        int ran = 0;
        std::chrono::steady_clock::time_point now;
        engine::YieldPacer pacer([&] { ++ran; }, [&] { return now; });
        for (const int ms : checkpointsAtMs) {
            now = std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms));
            pacer.checkpoint();
        }
        QCOMPARE(ran, yields);
    }
};

QTEST_GUILESS_MAIN(RequestTest)
#include "tst_request.moc"
