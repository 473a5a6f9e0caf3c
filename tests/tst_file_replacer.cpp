// Replacing a file: what the new file keeps of the old one, and what
// happens when another program changes the file, or the system ends the
// program, during the replacement.
#include "engine/repair_pass.h"
#include "platform/files/temporary_file.h"
#include "platform/system/tests/fault_injector.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <functional>
#include <optional>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>
#endif

using namespace quillmend;
using namespace quillmend::tests;
using Call = platform::SystemCalls::Call;

namespace {

using Faults = QList<QPair<int, int>>; // kind of system call, errno

} // namespace

class FileReplacerTest : public FolderSuite {
    Q_OBJECT

private slots:
    void permissionsAreKept()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows keeps permissions in the security descriptor, which ReplaceFileW carries over");
#else
        writeFile(path("show.xml"), kDirty);
        QVERIFY(::chmod(QFile::encodeName(path("show.xml")).constData(), 0640) == 0);
        QCOMPARE(repair(path("show.xml"), false), engine::kResultDone);
        struct stat repaired {};
        QVERIFY(::stat(QFile::encodeName(path("show.xml")).constData(), &repaired) == 0);
        QCOMPARE(repaired.st_mode & 07777, mode_t(0640));
#endif
    }

    void ownerIsKeptWherePermitted()
    {
#ifdef Q_OS_WIN
        QSKIP("Windows files have no POSIX owner");
#else
        if (::geteuid() != 0)
            QSKIP("only a privileged process may give a file to another owner");
        writeFile(path("show.xml"), kDirty);
        QVERIFY(::chown(QFile::encodeName(path("show.xml")).constData(), 4321, 4322) == 0);
        QCOMPARE(repair(path("show.xml"), false), engine::kResultDone);
        struct stat repaired {};
        QVERIFY(::stat(QFile::encodeName(path("show.xml")).constData(), &repaired) == 0);
        QCOMPARE(repaired.st_uid, uid_t(4321));
        QCOMPARE(repaired.st_gid, gid_t(4322));
#endif
    }

    // The replacement keeps the original's owner, group, mode, attributes and
    // access list as far as this process and the file system let it, and no
    // group ever gains access that the original did not give it.
    void replacementKeepsWhatItMay_data()
    {
        using Call = platform::SystemCalls::Call;
        QTest::addColumn<uint>("mode");
        QTest::addColumn<Faults>("failing");
        QTest::addColumn<uint>("gid");
        QTest::addColumn<uint>("expectedMode");
        QTest::addColumn<bool>("attributesKept");
        const auto fails = [](Call call, int error) { return Faults{{int(call), error}}; };
        QTest::newRow("all kept") << 0644u << Faults{} << 4322u << 0664u << true;
        QTest::newRow("attributes refused")
            << 0644u << fails(Call::SetAttribute, EOPNOTSUPP) << 4322u << 0644u << false;
        QTest::newRow("attributes unreadable") << 0644u << fails(Call::GetAttribute, EPERM) << 4322u << 0644u << false;
        QTest::newRow("group not kept") << 0640u << fails(Call::Fchown, EPERM) << 0u << 0600u << true;
        QTest::newRow("no owners, no modes (FAT)")
            << 0640u << fails(Call::Fchown, ENOSYS) + fails(Call::Fchmod, ENOSYS) << 0u << 0600u << true;
    }

    void replacementKeepsWhatItMay()
    {
#ifdef Q_OS_WIN
        QSKIP("extended attributes and POSIX access lists are Linux and macOS matters");
#else
        QFETCH(uint, mode);
        QFETCH(Faults, failing);
        QFETCH(uint, gid);
        QFETCH(uint, expectedMode);
        QFETCH(bool, attributesKept);
        if (::geteuid() != 0)
            QSKIP("only a privileged process may give a file to another group");
        // user::rw- user:65534:rw- group::r-- mask::rw- other::r--, as the
        // kernel stores it.
        const QByteArray accessList = QByteArray::fromHex(
            "0200000001000600ffffffff02000600feff000004000400ffffffff10000600ffffffff20000400ffffffff");
        const QByteArray file = QFile::encodeName(path("show.xml"));
        writeFile(path("show.xml"), kDirty);
        QVERIFY(::chown(file.constData(), 4321, 4322) == 0);
        QVERIFY(::chmod(file.constData(), mode) == 0);
        const bool withList = mode == 0644;
        if (::setxattr(file.constData(), "user.note", "hello", 5, 0) != 0
            || (withList
                && ::setxattr(file.constData(), "system.posix_acl_access", accessList.constData(),
                              std::size_t(accessList.size()), 0)
                    != 0))
            QSKIP("this file system keeps no extended attributes or access lists");

        {
            FaultInjector injector;
            for (const auto& [call, error] : failing)
                injector.failAlways(platform::SystemCalls::Call(call), error);
            QCOMPARE(repair(path("show.xml"), false), engine::kResultDone);
        }
        QCOMPARE(readFile(path("show.xml")), kClean);
        struct stat repaired {};
        QVERIFY(::stat(file.constData(), &repaired) == 0);
        QCOMPARE(uint(repaired.st_gid), gid);
        QCOMPARE(uint(repaired.st_mode & 07777), expectedMode);
        char value[256];
        QCOMPARE(::getxattr(file.constData(), "user.note", value, sizeof value) == 5, attributesKept);
        const ssize_t listSize = ::getxattr(file.constData(), "system.posix_acl_access", value, sizeof value);
        QCOMPARE(listSize > 0 ? QByteArray(value, int(listSize)) : QByteArray(),
                 withList && attributesKept ? accessList : QByteArray());
        // The kept copy is the original itself, with everything.
        QVERIFY(::getxattr(QFile::encodeName(path("show (Original).xml")).constData(), "user.note", value, sizeof value)
                == 5);
#endif
    }

    // Another program saves the file while the repair runs: its newer content
    // must not be overwritten.
    void fileChangedDuringRepairIsLeftAlone()
    {
        const QString file = path("show.xml");
        writeFile(file, kDirty);
        const QByteArray newer = kDirty + "<!-- saved again -->";
        bool saved = false;
        const auto saveAgain = [&] {
            if (!saved)
                writeFile(file, newer);
            saved = true;
        };
        QCOMPARE(engine::FNProcessTheFile(platform::FileRef(file), false, true, saveAgain), engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{"show.xml", newer}}));
    }

    // As on FAT and exFAT: no hard links, no rename that refuses to replace,
    // no nameless files, no swap of names.
    static void asOnFat(FaultInjector& injector)
    {
        injector.failAlways(Call::Link, EPERM);
        injector.failAlways(Call::RenameNoReplace, ENOSYS);
        injector.failAlways(Call::OpenUnnamed, EOPNOTSUPP);
        injector.failAlways(Call::Exchange, ENOSYS);
    }

#ifndef Q_OS_WIN
    // Another program removes the claim on the kept name and saves a file of
    // its own there: that file stays, and the copy takes the next name.
    // (Windows removes no file that is open, as the claim is then.)
    void fileUnderTheClaimedNameStays()
    {
        writeFile(path("show.xml"), kDirty);
        FaultInjector injector;
        asOnFat(injector);
        const QByteArray kept = QFile::encodeName(path("show (Original).xml"));
        std::function<void()> takeTheName = [&] {
            QFile claim(path("show (Original).xml"));
            if (!claim.open(QIODevice::ReadOnly) || !claim.readAll().startsWith("Quillmend is keeping")) {
                injector.runBefore(Call::Close, takeTheName);
                return;
            }
            QVERIFY(::unlink(kept.constData()) == 0);
            writeFile(path("show (Original).xml"), "the other program's");
        };
        injector.runBefore(Call::Close, takeTheName);
        QCOMPARE(repair(path("show.xml")), engine::kResultDone);
        QCOMPARE(folderContents(m_dir.path()),
                 (Contents{{"show.xml", kClean},
                           {"show (Original).xml", "the other program's"},
                           { "show (Original 2).xml",
                             kDirty }}));
    }
#endif

    // Two repairs of one file (a double drop, the window and a script): the
    // second meets the first's claim and stops, even where names cannot be
    // taken safely (FAT), so that the original is kept once and whole.
    void secondRepairOfOneFileStops()
    {
        writeFile(path("show.xml"), kDirty);
        FaultInjector injector;
        asOnFat(injector);
        std::optional<engine::RepairOutcome> second;
        // Just as the first moves its copy of the original to the kept name.
        injector.runBefore(Call::Rename,
                           [&] { second = engine::RepairTheFile(platform::FileRef(path("show.xml")), false, true); });
        const engine::RepairOutcome first = engine::RepairTheFile(platform::FileRef(path("show.xml")), false, true);
        QVERIFY2(first.code == engine::kResultDone, qPrintable(first.reason));
        QVERIFY(second);
        QCOMPARE(second->code, engine::kResultError);
        QCOMPARE(second->reason, QStringLiteral("another repair or another program is using it"));
        QCOMPARE(folderContents(m_dir.path()), (Contents{{"show.xml", kClean}, {"show (Original).xml", kDirty}}));
    }

    // On FAT and exFAT times have whole seconds: a save of the same size
    // within the second leaves size and time as they were, and only the bytes
    // show it.
    void sameSizeSaveWithinTheSecondIsLeftAlone()
    {
        writeFile(path("show.xml"), kDirty);
        const QDateTime wholeSecond = QDateTime::fromSecsSinceEpoch(1767225600, Qt::UTC);
        const auto setTime = [&] {
            QFile file(path("show.xml"));
            QVERIFY(file.open(QIODevice::ReadWrite)
                    && file.setFileTime(wholeSecond, QFileDevice::FileModificationTime));
        };
        setTime();
        QByteArray newer = kDirty;
        newer.replace("Entire Plot", "Entire Show");
        bool saved = false;
        const auto saveInPlace = [&] {
            if (saved)
                return;
            saved = true;
            QFile other(path("show.xml"));
            QVERIFY(other.open(QIODevice::ReadWrite) && other.write(newer) == newer.size());
            other.close();
            setTime();
        };
        QCOMPARE(engine::FNProcessTheFile(platform::FileRef(path("show.xml")), false, true, saveInPlace),
                 engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{"show.xml", newer}}));
    }

#ifndef Q_OS_WIN
    // What only POSIX systems let a test do: fork, signal, access lists,
    // chattr's flags.

    // Another program replaces the file, or opens it to save it, while the
    // repair runs: nothing is replaced, and the kept copy never becomes what
    // was put in its place.
    void fileReplacedDuringRepair_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("another file renamed over it") << "rename";
        QTest::newRow("swapped for a link to itself") << "link";
        QTest::newRow("opened to be saved before the replacement") << "save";
        QTest::newRow("another file renamed over it at the last step") << "last";
        // The swap is undone by a second swap: where that fails, the other
        // program's save stays, under the hidden name, and the former content
        // goes back under the file's.
        QTest::newRow("the same, and the swap back fails") << "last, swap back fails";
    }

    void fileReplacedDuringRepair()
    {
        QFETCH(QString, how);
        const QByteArray newer = kDirty + "<!-- saved again -->";
        writeFile(path("show.xml"), kDirty);
        writeFile(path("newer.xml"), newer);
        QVERIFY(QDir().mkdir(path("away")));
        const QByteArray show = QFile::encodeName(path("show.xml"));
        FaultInjector injector; // no hard links: the copy of the original is made late, as on FAT
        if (how == "save")
            injector.failAlways(Call::Link, EPERM);
        bool replaced = false;
        const auto replace = [&] {
            if (replaced)
                return;
            if (how == "save") {
                // Held up while the repair holds its lease, which it takes
                // once the new content is written.
                const int fd = ::open(show.constData(), O_WRONLY | O_NONBLOCK);
                replaced = fd < 0 && errno == EWOULDBLOCK;
                if (fd >= 0)
                    ::close(fd);
                return;
            }
            replaced = true;
            const QByteArray moved = QFile::encodeName(how == "link" ? path("away/show.xml") : path("show.xml"));
            QVERIFY(::rename(how == "link" ? show.constData() : QFile::encodeName(path("newer.xml")).constData(),
                             moved.constData())
                    == 0);
            if (how == "link")
                QVERIFY(QFile::link("away/show.xml", path("show.xml")));
        };
        // After every check, as the repaired file is swapped into its place.
        const bool swapBackFails = how == "last, swap back fails";
        if (how.startsWith(QLatin1String("last")))
            injector.runBefore(Call::Exchange, [&] {
                how = "rename";
                replace();
                if (swapBackFails)
                    injector.runBefore(Call::Exchange, [&] { injector.failFirst(Call::Exchange, 1, EIO); });
            });
        const engine::RepairOutcome outcome
            = engine::RepairTheFile(platform::FileRef(path("show.xml")), false, true,
                                    how.startsWith(QLatin1String("last")) ? std::function<void()>() : replace);
        QCOMPARE(outcome.code, engine::kResultError);
        QVERIFY(replaced);
        if (swapBackFails) {
            Contents left = folderContents(m_dir.path());
            const QStringList hidden = left.keys().filter(QStringLiteral(".quillmend-"));
            QCOMPARE(hidden.size(), 1);
            QCOMPARE(left.take(hidden.first()), newer);
            QCOMPARE(outcome.reason,
                     QStringLiteral("another program saved it meanwhile, and its save could not be "
                                    "put back under its name (the disk could not be read or "
                                    "written): it is in the hidden file ")
                         + hidden.first() + QStringLiteral(" beside it"));
            QCOMPARE(left, (Contents{{"show.xml", kDirty}, { "away", {} }}));
            return;
        }
        QCOMPARE(folderContents(m_dir.path()),
                 how == "rename" ? (Contents{{"show.xml", newer},
                                             { "away",
                                               {} }})
                                 : (Contents{{"show.xml", kDirty},
                                             {"newer.xml", newer},
                                             { "away",
                                               {} }}));
    }

    // What a killed repair left goes where its mark proves it ours, and is
    // told where no mark can be kept; nothing else goes, whatever its name,
    // and above all not the file being repaired.
    void onlyProvenStraysAreRemoved_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("given"); // the name the repair is given: the file's, or a link's to it
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<Contents>("neighbours");
        QTest::addColumn<engine::ResultCode>("code");
        QTest::addColumn<Contents>("after");
        QTest::addColumn<bool>("marks"); // whether the file system holds extended attributes
        const QString temporaryForm = ".quillmend-abcdefghij.tmp";
        QTest::newRow("a killed repair's leftover")
            << "show.xml" << kDirty << "show.xml" << false << Contents() << engine::kResultDone
            << Contents{{"show.xml", kClean},
                        { "show (Original).xml",
                          kDirty }}
            << true;
        // FAT and exFAT: a name of the form proves nothing.
        QTest::newRow("a killed repair's leftover, no marks")
            << "show.xml" << kDirty << "show.xml" << false << Contents() << engine::kResultDone
            << Contents{{"show.xml", kClean},
                        {"show (Original).xml", kDirty},
                        { "(the leftover)",
                          "partial" }}
            << false;
        QTest::newRow("the user's file of that form, beside a refusal")
            << "notexport.xml" << QByteArray("<a>\x01</a>") << "notexport.xml" << false << Contents{{
                   ".quillmend-mynotes123.tmp",
                   "my notes"
               }}
            << engine::kResultNotFullExport
            << Contents{{"notexport.xml", "<a>\x01</a>"},
                        { ".quillmend-mynotes123.tmp",
                          "my notes" }}
            << true;
        QTest::newRow("the file repaired has that form")
            << temporaryForm << kDirty << temporaryForm << false << Contents() << engine::kResultDone
            << Contents{{temporaryForm, kClean},
                        { ".quillmend-abcdefghij (Original).tmp",
                          kDirty }}
            << true;
        QTest::newRow("the file repaired has that form, through a link")
            << temporaryForm << kDirty << "show-link.xml" << false << Contents() << engine::kResultDone
            << Contents{{temporaryForm, kClean},
                        {"show-link.xml", kClean},
                        { ".quillmend-abcdefghij (Original).tmp",
                          kDirty }}
            << true;
        QTest::newRow("the file repaired has that form, any file")
            << temporaryForm
            << QByteArray("a\x01"
                          "b")
            << temporaryForm << true << Contents() << engine::kResultDone << Contents{{
                   temporaryForm,
                   "ab"
               }}
            << true;
    }

    void onlyProvenStraysAreRemoved()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, given);
        QFETCH(bool, anyFile);
        QFETCH(Contents, neighbours);
        QFETCH(engine::ResultCode, code);
        QFETCH(Contents, after);
        QFETCH(bool, marks);
        const auto noMarks = [marks](FaultInjector& injector) {
            for (const Call call :
                 {Call::GetAttribute, Call::SetAttribute, Call::ListAttributes, Call::RemoveAttribute}) {
                if (!marks)
                    injector.failAlways(call, EOPNOTSUPP);
            }
        };
        writeFile(path(file), content);
        for (auto it = neighbours.cbegin(); it != neighbours.cend(); ++it)
            writeFile(path(it.key()), it.value());
        if (given != file)
            QVERIFY(QFile::link(file, path(given)));
        // A leftover as a repair killed half-way leaves it where the system
        // cannot make a file without a name.
        const int status = waitStatusOfChild([this, &noMarks] {
            FaultInjector injector;
            injector.failAlways(Call::OpenUnnamed, EOPNOTSUPP);
            noMarks(injector);
            platform::TemporaryFile leftover = platform::TemporaryFile::create(platform::FileRef(m_dir.path()));
            leftover.descriptor().writeFully("partial", 7);
            ::raise(SIGKILL);
        });
        QVERIFY(WIFSIGNALED(status));
        Contents before = folderContents(m_dir.path());
        QCOMPARE(before.size(), 1 + neighbours.size() + (given != file) + 1);
        FaultInjector injector;
        noMarks(injector);
        const engine::RepairOutcome outcome = engine::RepairTheFile(platform::FileRef(path(given)), anyFile, true);
        QCOMPARE(outcome.code, code);
        Contents now = folderContents(m_dir.path());
        // The leftover's name is drawn at random.
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key().startsWith(QLatin1String(".quillmend-")) && it.value() == "partial" && now.remove(it.key()))
                now.insert(QStringLiteral("(the leftover)"), "partial");
        }
        QCOMPARE(now, after);
        // Told where it stays, and only there.
        QCOMPARE(outcome.leftovers.size(), std::size_t(!marks && code == engine::kResultDone));
    }

    // Ctrl-C, SIGTERM, SIGHUP or SIGQUIT during a repair: the program ends as
    // the signal asks, with every name it made gone, the kept copy's among
    // them, unless the repaired file had its name: then both stay.
    void interruptLeavesNothing_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("moment");
        QTest::newRow("Ctrl-C") << SIGINT << "writing";
        QTest::newRow("SIGTERM") << SIGTERM << "writing";
        QTest::newRow("SIGHUP") << SIGHUP << "writing";
        QTest::newRow("SIGQUIT") << SIGQUIT << "writing";
        QTest::newRow("Ctrl-C just after the kept copy is made") << SIGINT << "kept";
        QTest::newRow("Ctrl-C as the repaired file takes the name") << SIGINT << "last";
    }

    void interruptLeavesNothing()
    {
        QFETCH(int, signal);
        QFETCH(QString, moment);
        writeFile(path("show.xml"), kDirty);
        const int status = waitStatusOfChild([&] {
            ::signal(signal, SIG_DFL); // not the test harness's report
            FaultInjector injector; // a temporary file with a name, as on FAT
            injector.failAlways(Call::OpenUnnamed, EOPNOTSUPP);
            const auto interrupt = [signal] { ::raise(signal); };
            if (moment == "kept")
                injector.runBefore(Call::Link, [&] { injector.runBefore(Call::Lstat, interrupt); });
            else if (moment == "last")
                injector.runBefore(Call::Exchange, interrupt);
            repair(path("show.xml"), false, true, moment == "writing" ? std::function<void()>(interrupt) : nullptr);
        });
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signal);
        QCOMPARE(folderContents(m_dir.path()),
                 moment == "last" ? (Contents{{"show.xml", kClean},
                                              { "show (Original).xml",
                                                kDirty }})
                                  : (Contents{
                                      { "show.xml",
                                        kDirty }}));
    }

    // A folder whose default access list would give others access gives the
    // repaired file none that the original did not have.
    void folderDefaultAccessIsNotInherited()
    {
        const QString setfacl = QStandardPaths::findExecutable("setfacl");
        if (setfacl.isEmpty())
            QSKIP("setfacl is missing (Debian's acl)");
        QVERIFY(QDir().mkdir(path("d")));
        if (QProcess::execute(setfacl, {"-d", "-m", "u:nobody:rw", path("d")}) != 0)
            QSKIP("this file system holds no access lists");
        writeFile(path("d/s.xml"), kDirty);
        QCOMPARE(QProcess::execute(setfacl, {"-b", path("d/s.xml")}), 0);
        QVERIFY(::chmod(QFile::encodeName(path("d/s.xml")).constData(), 0640) == 0);
        QCOMPARE(repair(path("d/s.xml")), engine::kResultDone);
        char list[256];
        QCOMPARE(
            ::getxattr(QFile::encodeName(path("d/s.xml")).constData(), "system.posix_acl_access", list, sizeof list),
            ssize_t(-1));
        QCOMPARE(errno, ENODATA);
        struct stat status {};
        QVERIFY(::stat(QFile::encodeName(path("d/s.xml")).constData(), &status) == 0);
        QCOMPARE(status.st_mode & 07777, mode_t(0640));
    }

    // A folder that lets files be added but none replaced is refused before
    // anything is written, by the request and by the pass alike.
    void appendOnlyFolderIsRefused()
    {
        QVERIFY(QDir().mkdir(path("a")));
        writeFile(path("a/show.xml"), kDirty);
        if (::geteuid() != 0 || QProcess::execute("chattr", {"+a", path("a")}) != 0)
            QSKIP("needs root and a file system with chattr's flags");
        QProcess cli;
        cli.start(QStringLiteral(QUILLMEND_CLI), {path("a/show.xml")});
        cli.waitForFinished(30000);
        const engine::ResultCode code = repair(path("a/show.xml"));
        const Contents after = folderContents(path("a"));
        QProcess::execute("chattr", {"-a", path("a")});
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardOutput().contains("You don't have write permission for this file"));
        QCOMPARE(code, engine::kResultError);
        QCOMPARE(after, (Contents{{ "show.xml", kDirty }}));
    }
#endif
};

QTEST_GUILESS_MAIN(FileReplacerTest)
#include "tst_file_replacer.moc"
