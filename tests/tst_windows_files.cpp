// Whole repairs of real files on Windows: names beyond any ANSI code page,
// a file that another program holds open, devices and names that Windows
// cannot hold.
#include "engine/repair_pass.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <windows.h>

#include <thread>

using namespace quillmend;
using namespace quillmend::tests;

namespace {

// A handle as another program (the CAD program, a scanner, a sync client)
// holds one: reading, and sharing reading only, so that the file can be
// neither written nor renamed nor deleted while it is open.
HANDLE holdOpen(const QString& path)
{
    return CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
                       FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

class WindowsFilesTest : public FolderSuite {
    Q_OBJECT

private slots:
    // Every name reaches its file in UTF-16; through the ANSI code page these
    // would be "????.xml" or lose their accents, and miss the file.
    void namesBeyondTheCodePage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kept");
        QTest::newRow("accented") << QStringLiteral("Café résumé.xml") << QStringLiteral("Café résumé (Original).xml");
        QTest::newRow("Japanese") << QStringLiteral("図面.xml") << QStringLiteral("図面 (Original).xml");
        QTest::newRow("emoji, a surrogate pair")
            << QStringLiteral("plot \U0001F3AD.xml") << QStringLiteral("plot \U0001F3AD (Original).xml");
    }
    void namesBeyondTheCodePage()
    {
        QFETCH(QString, name);
        QFETCH(QString, kept);
        writeFile(m_dir.filePath(name), kDirty);
        writeFile(m_dir.filePath("other.xml"), kDirty);
        QCOMPARE(repair(m_dir.filePath(name)), engine::kResultDone);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{name, kClean}, {kept, kDirty}, {"other.xml", kDirty}}));
    }

    // The command line comes whole, as UTF-16, to the tool.
    void commandLineInUtf16()
    {
        const QString name = QStringLiteral("図面 \U0001F3AD.xml");
        writeFile(m_dir.filePath(name), kDirty);
        QProcess tool;
        tool.setWorkingDirectory(m_dir.path());
        tool.start(QStringLiteral(QUILLMEND_CLI), {name});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()).trimmed(),
                 name + ": Done! Click back on Vectorworks and let it process the .xml file.");
        QCOMPARE(readFile(m_dir.filePath(name)), kClean);
    }

    // A file held open without FILE_SHARE_DELETE cannot be replaced: the
    // repair waits about a second for it, then fails with the file as it was.
    void heldOpenByAnotherProgram_data()
    {
        QTest::addColumn<int>("releasedAfterMs");
        QTest::addColumn<engine::ResultCode>("result");
        QTest::newRow("released within the wait") << 300 << engine::kResultDone;
        QTest::newRow("held throughout") << -1 << engine::kResultError;
    }
    void heldOpenByAnotherProgram()
    {
        QFETCH(int, releasedAfterMs);
        QFETCH(engine::ResultCode, result);
        writeFile(m_dir.filePath("show.xml"), kDirty);
        const HANDLE held = holdOpen(m_dir.filePath("show.xml"));
        QVERIFY(held != INVALID_HANDLE_VALUE);
        std::thread release;
        if (releasedAfterMs >= 0) {
            release = std::thread([held, releasedAfterMs] {
                Sleep(DWORD(releasedAfterMs));
                CloseHandle(held);
            });
        }
        const engine::ResultCode outcome = repair(m_dir.filePath("show.xml"));
        if (release.joinable())
            release.join();
        else
            CloseHandle(held);
        QCOMPARE(outcome, result);
        const Contents after = folderContents(m_dir.path());
        if (result == engine::kResultDone) {
            QCOMPARE(after, (Contents{{"show.xml", kClean}, {"show (Original).xml", kDirty}}));
        } else {
            // The old name keeps its content; a kept copy that was made is a
            // copy of it, and no temporary file stays behind.
            QCOMPARE(after.value("show.xml"), kDirty);
            for (auto it = after.cbegin(); it != after.cend(); ++it)
                QVERIFY2(it.key() == "show.xml" || (it.key() == "show (Original).xml" && it.value() == kDirty),
                         qPrintable(it.key()));
        }
    }

    // Windows keeps no mark on a file, and a name proves nothing: what has a
    // temporary file's name stays, and is told where the maker its name
    // records has ended, not where it is a repair on its way (closed, and
    // unlocked, just before it takes the old name).
    void leftoversStayAndAreTold()
    {
        QByteArray running;
        for (DWORD id = GetCurrentProcessId(), i = 0; i < 7; ++i, id /= 36)
            running += "abcdefghijklmnopqrstuvwxyz0123456789"[id % 36];
        const QString ended = QStringLiteral(".quillmend-aaaaaaaxyz.tmp"); // process 0, which no repair is
        const QString own = ".quillmend-" + QString::fromLatin1(running) + "xyz.tmp";
        writeFile(m_dir.filePath(ended), "left by a killed repair");
        writeFile(m_dir.filePath(own), "on its way to an old name");
        writeFile(m_dir.filePath("show.xml"), kDirty);
        const engine::RepairOutcome outcome
            = engine::RepairTheFile(platform::FileRef(m_dir.filePath("show.xml")), false, true);
        QCOMPARE(outcome.code, engine::kResultDone);
        QCOMPARE(folderContents(m_dir.path()),
                 (Contents{{"show.xml", kClean},
                           {"show (Original).xml", kDirty},
                           {ended, "left by a killed repair"},
                           {own, "on its way to an old name"}}));
        QCOMPARE(outcome.leftovers.size(), std::size_t(1));
        QCOMPARE(platform::FileRef(outcome.leftovers.front().path).name().toEscapedText(), ended);
    }

    // Devices, wherever they are named, and names that Windows cannot hold
    // are refused at once; nothing is made beside them.
    void noFileToRepair_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("NUL") << "NUL";
        QTest::newRow("CON") << "CON";
        QTest::newRow("COM1") << "COM1";
        QTest::newRow("a character Windows keeps out of names") << "a?b.xml";
    }
    void noFileToRepair()
    {
        QFETCH(QString, name);
        QCOMPARE(repair(m_dir.filePath(name)), engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), Contents{});
    }
};

QTEST_GUILESS_MAIN(WindowsFilesTest)
#include "tst_windows_files.moc"
