// Every system call of a repair made to fail in turn, with the errors a disk
// gives: the user's file must survive each fault, and the outcome must be told
// truthfully.
#include "engine/repair_pass.h"
#include "platform/system/tests/fault_injector.h"
#include "tests/support/test_files.h"

#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <functional>

using namespace quillmend;
using namespace quillmend::tests;
using Call = platform::SystemCalls::Call;

namespace {

struct Scenario {
    QString name;
    bool anyFile;
    QByteArray before;
    QByteArray after;
    Contents existing; // entries already in the folder besides the file
    QString keptName; // where a successful repair keeps the former content
    engine::ResultCode code = engine::kResultDone; // when no fault strikes
};

using Arrange = std::function<void(FaultInjector&)>;

} // namespace

Q_DECLARE_METATYPE(Scenario)
Q_DECLARE_METATYPE(Arrange)

class FaultInjectionTest : public QObject {
    Q_OBJECT

private:
    int m_faultPoints = 0;

    // Runs the scenario with call `n` failing; `fired` tells whether the
    // repair reached that call.
    void runWithFault(const Scenario& s, int n, int error, bool& fired, const QMap<Call, int>& alwaysFailing = {})
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(s.name);
        writeFile(file, s.before);
        for (auto it = s.existing.cbegin(); it != s.existing.cend(); ++it)
            writeFile(dir.filePath(it.key()), it.value());
        Contents original = folderContents(dir.path());

        engine::ResultCode code;
        {
            FaultInjector injector;
            injector.failAt(n, error);
            for (auto it = alwaysFailing.cbegin(); it != alwaysFailing.cend(); ++it)
                injector.failAlways(it.key(), it.value());
            code = engine::FNProcessTheFile(platform::FileRef(file), s.anyFile, true);
            fired = injector.fired();
        }

        const Contents after = folderContents(dir.path());
        Contents repaired = original;
        repaired[s.name] = s.after;
        if (!s.keptName.isEmpty())
            repaired[s.keptName] = s.before;

        const QByteArray context = QStringLiteral("fault at call %1 with errno %2").arg(n).arg(error).toUtf8();
        if (fired)
            ++m_faultPoints;
        if (code == s.code && code != engine::kResultDone) {
            QVERIFY2(after == original, context.constData());
        } else if (code == engine::kResultDone) {
            QVERIFY2(after == repaired, (context + ", left:" + describe(after)).constData());
        } else {
            QVERIFY2(code == engine::kResultError, context.constData());
            // Only a failed flush of the folder after the final rename can
            // leave a file without a kept copy holding the complete new content.
            const bool inPlaceAndDone = s.keptName.isEmpty() && after == repaired;
            QVERIFY2(after == original || inPlaceAndDone, (context + ", left:" + describe(after)).constData());
        }
    }

private slots:
    void cleanupTestCase() { qInfo("fault points covered: %d", m_faultPoints); }

    void everyCallFails_data()
    {
        QTest::addColumn<Scenario>("scenario");
        QTest::addColumn<int>("error");
        const QByteArray dirty = sampleExport();
        const QByteArray clean = repairedSampleExport();
        const QList<Scenario> scenarios = {
            {"show.xml", false, dirty, clean, {}, "show (Original).xml"},
            {"show.xml", false, dirty, clean, {{"show (Original).xml", "older"}}, "show (Original 2).xml"},
            {"show.xml",
             true,
             "a\x01"
             "b",
             "ab",
             {},
             QString()},
            {"show",
             true,
             "a\x01"
             "b",
             "ab",
             {},
             "show."},
            {"show",
             true,
             "a\x01"
             "b",
             "ab",
             {{"show.", "older"}},
             "show 2."},
            // Not UTF-8: decoded slice by slice.
            {"legacy.xml",
             false,
             "<Action>Entire Plot</Action>Caf\x8E\x01",
             "<Action>Entire Plot</Action>Caf\xC3\xA9",
             {},
             "legacy (Original).xml"},
            // Nothing to write in the end: told so, whatever fails on the way.
            {"clean.xml", false, clean, clean, {}, QString(), engine::kResultUnchanged},
            {"partial.xml",
             false,
             "<AppStamp>Vectorworks</AppStamp>\x01",
             QByteArray(),
             {},
             QString(),
             engine::kResultNotFullExport},
        };
        const QList<std::pair<int, const char*>> errors = {
            {ENOSPC, "ENOSPC"}, {EIO, "EIO"}, {EACCES, "EACCES"}, {EXDEV, "EXDEV"}, {EPERM, "EPERM"}, {EINTR, "EINTR"},
        };
        for (const Scenario& s : scenarios) {
            for (const auto& [error, errorName] : errors) {
                const QString row = QStringLiteral("%1%2%3, %4")
                                        .arg(s.anyFile ? "any: " : "", s.name,
                                             s.existing.isEmpty() ? "" : " (kept name taken)", errorName);
                QTest::newRow(qPrintable(row)) << s << error;
            }
        }
    }
    void everyCallFails()
    {
        QFETCH(Scenario, scenario);
        QFETCH(int, error);
#ifdef Q_OS_WIN
        if (scenario.keptName.endsWith('.') || scenario.name.endsWith('.'))
            QSKIP("Windows drops a name's final \".\"");
#endif
        int n = 0;
        bool fired = true;
        while (fired && !QTest::currentTestFailed())
            runWithFault(scenario, ++n, error, fired);
        QVERIFY2(n > 10, "a repair makes more system calls than that");
    }

    // Where the file system has no hard links, the kept copy is written out;
    // every call of that road fails in turn as well.
    void everyCallFailsWithoutHardLinks_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<bool>("renameCanReplace");
        QTest::addColumn<bool>("anyFile");
        QTest::newRow("ENOSPC") << ENOSPC << false << false;
        QTest::newRow("EIO") << EIO << false << false;
        // Nor a rename that refuses to replace, nor nameless files (FAT):
        // the copy takes a name checked just before.
        QTest::newRow("ENOSPC, no safe rename") << ENOSPC << true << false;
        QTest::newRow("EIO, no safe rename") << EIO << true << false;
        // The former content waits under a second name until the new one is stored.
        QTest::newRow("any file, EIO, no safe rename") << EIO << true << true;
    }
    void everyCallFailsWithoutHardLinks()
    {
        QFETCH(int, error);
        QFETCH(bool, renameCanReplace);
        QFETCH(bool, anyFile);
        QMap<Call, int> always{{Call::Link, EPERM}};
        if (renameCanReplace) {
            always.insert(Call::RenameNoReplace, ENOSYS);
            always.insert(Call::OpenUnnamed, EOPNOTSUPP);
        }
        const Scenario s = anyFile
            ? Scenario{"show.xml",
                       true,
                       "a\x01"
                       "b",
                       "ab",
                       {},
                       QString()}
            : Scenario{"show.xml", false, sampleExport(), repairedSampleExport(), {}, "show (Original).xml"};
        int n = 0;
        bool fired = true;
        while (fired && !QTest::currentTestFailed())
            runWithFault(s, ++n, error, fired, always);
        QVERIFY(n > 10);
    }

    // A failed repair keeps its reason, in plain words, for the tools that show it.
    void failureKeepsItsReason_data()
    {
        QTest::addColumn<int>("call");
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("reason");
        QTest::newRow("disk full") << int(Call::Write) << ENOSPC << "the disk is full";
        QTest::newRow("read error") << int(Call::Read) << EIO << "the disk could not be read or written";
        QTest::newRow("read-only disk") << int(Call::Open) << EROFS << "the disk is read-only";
        // Windows refuses to replace a file that another program holds.
        QTest::newRow("in use, for good") << int(Call::Rename) << EBUSY << "another program is using it";
    }
    void failureKeepsItsReason()
    {
        QFETCH(int, call);
        QFETCH(int, error);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        writeFile(dir.filePath("show.xml"), sampleExport());
        FaultInjector injector;
        injector.failAlways(Call(call), error);
        // The last step a rename, as on Windows and FAT, where no two names swap.
        injector.failAlways(Call::Exchange, ENOSYS);
        const engine::RepairOutcome outcome
            = engine::RepairTheFile(platform::FileRef(dir.filePath("show.xml")), false, true);
        QCOMPARE(outcome.code, engine::kResultError);
        QCOMPARE(outcome.reason, reason);
        QCOMPARE(readFile(dir.filePath("show.xml")), sampleExport());
    }

    // Faults that pass, or that the system may give to any call, are no
    // failure: the repair is made all the same.
    void passingFaultsAreAbsorbed_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<Call>("struck"); // the call the fault strikes, which must have been made
        QTest::newRow("another program holds the file for a moment (a virus scanner)")
            << Arrange([](FaultInjector& injector) {
                   injector.failFirst(Call::Rename, 3, EBUSY);
                   injector.failAlways(Call::Exchange, ENOSYS);
               })
            << Call::Rename;
        QTest::newRow("short writes, copying the original") << Arrange([](FaultInjector& injector) {
            injector.limitWrites(7);
            injector.failAlways(Call::Link, EPERM);
        }) << Call::Write;
        QTest::newRow("early writeback refused (it is advice)")
            << Arrange([](FaultInjector& injector) { injector.failAlways(Call::StartWriteback, EINVAL); })
            << Call::StartWriteback;
    }
    void passingFaultsAreAbsorbed()
    {
        QFETCH(Arrange, arrange);
        QFETCH(Call, struck);
        QTemporaryDir dir;
        const QString file = dir.filePath("show.xml");
        writeFile(file, sampleExport());
        FaultInjector injector;
        arrange(injector);
        QCOMPARE(engine::FNProcessTheFile(platform::FileRef(file), false, true), engine::kResultDone);
        QCOMPARE(readFile(file), repairedSampleExport());
        QCOMPARE(readFile(dir.filePath("show (Original).xml")), sampleExport());
        QVERIFY(injector.calls(struck) > 0);
    }
};

QTEST_GUILESS_MAIN(FaultInjectionTest)
#include "tst_fault_injection.moc"
