// Odd names, odd files, invalid text, real faults and interference from
// other programs: the file is repaired or left as it was, never lost.
#include "engine/repair_pass.h"
#include "engine/text_repair.h"
#include "platform/text/utf8.h"
#include "tests/support/fault_injector.h"
#include "platform/files/temporary_file.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <csignal>

using namespace quillmend;
using namespace quillmend::tests;
using Contents = QMap<QString, QByteArray>;
using Call = platform::SystemCalls::Call;

namespace {

const QByteArray kDirty = sampleExport();
const QByteArray kClean = repairedSampleExport();

} // namespace

class HostileInputTest : public QObject {
    Q_OBJECT

private:
    ScratchFolder m_dir;
    QString path(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void init() { m_dir.empty(); }

    void oddNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kept");
        QTest::newRow("spaces") << "my show.xml" << "my show (Original).xml";
        QTest::newRow("quotes") << "it's \"the\" show.xml" << "it's \"the\" show (Original).xml";
        QTest::newRow("newline") << "two\nlines.xml" << "two\nlines (Original).xml";
        QTest::newRow("leading dash") << "-rf.xml" << "-rf (Original).xml";
        QTest::newRow("non-ASCII") << QString::fromUtf8("B\xC3\xBChne \xE2\x80\x93 Plan.xml")
                                   << QString::fromUtf8("B\xC3\xBChne \xE2\x80\x93 Plan (Original).xml");
        QTest::newRow("long") << QString(200, 'a') + ".xml" << QString(200, 'a') + " (Original).xml";
    }
    void oddNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, kept);
        writeFile(path(name), kDirty);
        QCOMPARE(repair(path(name)), engine::kResultDone);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{name, kClean}, {kept, kDirty}}));
    }

    // The kept copy's name would be longer than a name may be: refused by the
    // file system, so nothing is changed.
    void keptNameTooLong()
    {
        const QString name = QString(245, 'b') + ".xml";
        writeFile(path(name), kDirty);
        QCOMPARE(repair(path(name)), engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{name, kDirty}}));
    }

    void symbolicLinkLoop()
    {
        QVERIFY(QFile::link(path("b.xml"), path("a.xml")));
        QVERIFY(QFile::link(path("a.xml"), path("b.xml")));
        QCOMPARE(repair(path("a.xml")), engine::kResultError);
    }

    void invalidUtf8_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("truncated at the end") << QByteArray("\xC3");
        QTest::newRow("truncated in the middle") << QByteArray("\xE2\x82 x \xC3\xA9");
        QTest::newRow("overlong") << QByteArray("\xC0\xAF \xE0\x80\xAF \xF0\x80\x80\xAF");
        QTest::newRow("surrogates") << QByteArray("\xED\xA0\x80\xED\xBF\xBF");
        QTest::newRow("F5 to FF") << QByteArray("\xF5\xF6\xF7\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF");
        QTest::newRow("lone continuation bytes") << QByteArray("\x80\xBF x");
        QTest::newRow("above U+10FFFF") << QByteArray("\xF4\x90\x80\x80");
    }
    void invalidUtf8()
    {
        QFETCH(QByteArray, bytes);
        const QByteArray text = QByteArray(engine::kFullExportMarker) + bytes + "\x01";
        writeFile(path("bad.xml"), text);
        QCOMPARE(repair(path("bad.xml")), engine::kResultDone);
        const QByteArray repaired = readFile(path("bad.xml"));
        QVERIFY(platform::utf8::isValid(repaired));
        QVERIFY(repaired.startsWith(engine::kFullExportMarker));
        QCOMPARE(readFile(path("bad (Original).xml")), text);
    }

    void onlyControlCharacters_data()
    {
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<engine::ResultCode>("code");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("export") << false << engine::kResultNotFullExport << QByteArray("\x01\x02\x1F\t");
        QTest::newRow("any file") << true << engine::kResultDone << QByteArray("");
    }
    void onlyControlCharacters()
    {
        QFETCH(bool, anyFile);
        QFETCH(engine::ResultCode, code);
        QFETCH(QByteArray, after);
        writeFile(path("c.xml"), "\x01\x02\x1F\t");
        QCOMPARE(repair(path("c.xml"), anyFile), code);
        QCOMPARE(readFile(path("c.xml")), after);
    }

    // Something already has the kept copy's name, or takes it while the
    // repair runs: it is never replaced; the next name is taken.
    void keptNameTaken_data()
    {
        QTest::addColumn<QString>("by");
        QTest::newRow("folder") << "folder";
        QTest::newRow("symbolic link") << "link";
        QTest::newRow("dangling symbolic link") << "dangling";
        QTest::newRow("a file created during the repair") << "during";
    }
    void keptNameTaken()
    {
        QFETCH(QString, by);
        writeFile(path("show.xml"), kDirty);
        writeFile(path("other.txt"), "other");
        const QString kept = path("show (Original).xml");
        if (by == "folder")
            QVERIFY(QDir().mkdir(kept));
        else if (by == "link")
            QVERIFY(QFile::link(path("other.txt"), kept));
        else if (by == "dangling")
            QVERIFY(QFile::link(path("nowhere"), kept));
        const auto takeTheName = [&] {
            if (by == "during" && !QFileInfo::exists(kept))
                writeFile(kept, "theirs");
        };
        QCOMPARE(repair(path("show.xml"), false, true, takeTheName), engine::kResultDone);
        QCOMPARE(readFile(path("show.xml")), kClean);
        QCOMPARE(readFile(path("show (Original 2).xml")), kDirty);
        QCOMPARE(readFile(path("other.txt")), QByteArray("other"));
        if (by == "during")
            QCOMPARE(readFile(kept), QByteArray("theirs"));
        else
            QVERIFY(QFileInfo(kept).isSymLink() || QFileInfo(kept).isDir());
    }

    // Another program replaces the file, or opens it to save it, while the
    // repair runs: nothing is replaced, and the kept copy never becomes what
    // was put in its place.
    void fileReplacedDuringRepair_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("another file renamed over it") << "rename";
        QTest::newRow("swapped for a link to itself") << "link";
        QTest::newRow("opened to be saved before the replacement") << "save";
    }
    void fileReplacedDuringRepair()
    {
        QFETCH(QString, how);
        writeFile(path("show.xml"), kDirty);
        writeFile(path("newer.xml"), kDirty);
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
        QCOMPARE(repair(path("show.xml"), false, true, replace), engine::kResultError);
        QVERIFY(replaced);
        QCOMPARE(folderContents(m_dir.path()),
                 how == "rename" ? (Contents{{"show.xml", kDirty}, {"away", {}}})
                                 : (Contents{{"show.xml", kDirty}, {"newer.xml", kDirty}, {"away", {}}}));
    }

    // What a killed repair left goes; nothing else does, whatever its name,
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
        const QString temporaryForm = ".quillmend-abcdefghij.tmp";
        QTest::newRow("a killed repair's leftover") << "show.xml" << kDirty << "show.xml" << false << Contents()
                                                    << engine::kResultDone
                                                    << Contents{{"show.xml", kClean}, {"show (Original).xml", kDirty}};
        QTest::newRow("the user's file of that form, beside a refusal")
            << "notexport.xml" << QByteArray("<a>\x01</a>") << "notexport.xml" << false
            << Contents{{".quillmend-mynotes123.tmp", "my notes"}} << engine::kResultNotFullExport
            << Contents{{"notexport.xml", "<a>\x01</a>"}, {".quillmend-mynotes123.tmp", "my notes"}};
        QTest::newRow("the file repaired has that form")
            << temporaryForm << kDirty << temporaryForm << false << Contents() << engine::kResultDone
            << Contents{{temporaryForm, kClean}, {".quillmend-abcdefghij (Original).tmp", kDirty}};
        QTest::newRow("the file repaired has that form, through a link")
            << temporaryForm << kDirty << "show-link.xml" << false << Contents() << engine::kResultDone
            << Contents{{temporaryForm, kClean}, {"show-link.xml", kClean}, {".quillmend-abcdefghij (Original).tmp", kDirty}};
        QTest::newRow("the file repaired has that form, any file")
            << temporaryForm << QByteArray("a\x01" "b") << temporaryForm << true << Contents() << engine::kResultDone
            << Contents{{temporaryForm, "ab"}};
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
        writeFile(path(file), content);
        for (auto it = neighbours.cbegin(); it != neighbours.cend(); ++it)
            writeFile(path(it.key()), it.value());
        if (given != file)
            QVERIFY(QFile::link(file, path(given)));
        // A leftover as a repair killed half-way leaves it where the system
        // cannot make a file without a name.
        const int status = waitStatusOfChild([this] {
            FaultInjector injector;
            injector.failAlways(Call::OpenUnnamed, EOPNOTSUPP);
            platform::TemporaryFile leftover = platform::TemporaryFile::create(platform::FileRef(m_dir.path()));
            leftover.descriptor().writeFully("partial", 7);
            ::raise(SIGKILL);
        });
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(folderContents(m_dir.path()).size(), 1 + neighbours.size() + (given != file) + 1);
        QCOMPARE(repair(path(given), anyFile), code);
        QCOMPARE(folderContents(m_dir.path()), after);
    }

    // Ctrl-C, SIGTERM or SIGHUP during a repair: the program ends as the
    // signal asks, the file as it was, its temporary file gone.
    void interruptLeavesNothing_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("Ctrl-C") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGHUP") << SIGHUP;
    }
    void interruptLeavesNothing()
    {
        QFETCH(int, signal);
        writeFile(path("show.xml"), kDirty);
        const int status = waitStatusOfChild([&] {
            ::signal(signal, SIG_DFL); // not the test harness's report
            FaultInjector injector;    // a temporary file with a name, as on FAT
            injector.failAlways(Call::OpenUnnamed, EOPNOTSUPP);
            repair(path("show.xml"), false, true, [signal] { ::raise(signal); });
        });
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signal);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{"show.xml", kDirty}}));
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
        QCOMPARE(::getxattr(QFile::encodeName(path("d/s.xml")).constData(), "system.posix_acl_access", list, sizeof list),
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
        QCOMPARE(after, (Contents{{"show.xml", kDirty}}));
    }

    // A file of 1 GiB: repaired with little memory, every slice right.
    void oneGibibyte()
    {
        QByteArray block;
        for (int line = 0; block.size() < (1 << 20) - 100; ++line)
            block += "<Fixture><AppStamp>Vectorworks</AppStamp><Note>Caf\xC3\xA9 " + QByteArray::number(line % 97)
                + (line % 50 == 0 ? "\x0B" : "") + "</Note></Fixture>\r\n";
        QByteArray repairedBlock = block;
        engine::RemoveControlCharacters(repairedBlock, true, {});
        engine::RewriteAppStamps(repairedBlock);
        const QByteArray head = QByteArray(engine::kFullExportMarker) + "\r\n";
        {
            QFile file(path("huge.xml"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(file.write(head) == head.size());
            for (int i = 0; i < 1024; ++i)
                QVERIFY(file.write(block) == block.size());
        }
        QCOMPARE(repair(path("huge.xml")), engine::kResultDone);
        QFile repaired(path("huge.xml"));
        QVERIFY(repaired.open(QIODevice::ReadOnly));
        QCOMPARE(repaired.size(), qint64(head.size()) + 1024 * qint64(repairedBlock.size()));
        QCOMPARE(repaired.read(head.size()), head);
        for (int i = 0; i < 1024; ++i)
            QVERIFY2(repaired.read(repairedBlock.size()) == repairedBlock, qPrintable(QString::number(i)));
        QCOMPARE(QFileInfo(path("huge (Original).xml")).size(), qint64(head.size()) + 1024 * qint64(block.size()));
    }

    // A full disk, for real: a small file system that the test mounts.
    void fullDisk()
    {
        if (::geteuid() != 0)
            QSKIP("mounting a small file system needs root");
        const QString mountPoint = path("small");
        QVERIFY(QDir().mkdir(mountPoint));
        if (::mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=128k") != 0)
            QSKIP(qPrintable("cannot mount a tmpfs here: " + qt_error_string(errno)));
        const QByteArray big = kDirty.repeated(40 * 1024 / kDirty.size());
        writeFile(mountPoint + "/show.xml", big);
        QFile filler(mountPoint + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly));
        while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) {
        }
        filler.close();
        const engine::ResultCode code = repair(mountPoint + "/show.xml");
        const QByteArray after = readFile(mountPoint + "/show.xml");
        const QStringList entries = QDir(mountPoint).entryList(QDir::Files | QDir::Hidden);
        ::umount(QFile::encodeName(mountPoint).constData());
        QCOMPARE(code, engine::kResultError);
        QVERIFY(after == big);
        QCOMPARE(entries, (QStringList{"filler", "show.xml"}));
    }

    // As another user: refused, before anything is done, where this user may
    // not replace the file, and otherwise repaired with no group gaining access.
    void unprivilegedUser_data()
    {
        QTest::addColumn<uint>("folderMode");
        QTest::addColumn<uint>("fileOwner"); // also the file's group where fileGroup is 0
        QTest::addColumn<uint>("fileGroup");
        QTest::addColumn<uint>("fileMode");
        QTest::addColumn<bool>("memberOfGroup");
        QTest::addColumn<bool>("throughLink");
        QTest::addColumn<QString>("repaired"); // "owner:group mode", or empty for refused
        QTest::newRow("read-only file") << 0777u << 0u << 0u << 0644u << false << false << QString();
        QTest::newRow("read-only folder") << 0755u << 0u << 0u << 0666u << false << false << QString();
        QTest::newRow("sticky folder, another's file") << 01777u << 2000u << 0u << 0666u << false << false << QString();
        QTest::newRow("link into a read-only folder") << 0777u << 0u << 0u << 0666u << false << true << QString();
        QTest::newRow("group kept by a member") << 0777u << 65534u << 4000u << 0660u << true << false
                                                << "65534:4000 660";
        QTest::newRow("group not kept") << 0777u << 65534u << 4000u << 0660u << false << false << "65534:65534 600";
    }
    void unprivilegedUser()
    {
        QFETCH(uint, folderMode);
        QFETCH(uint, fileOwner);
        QFETCH(uint, fileGroup);
        QFETCH(uint, fileMode);
        QFETCH(bool, memberOfGroup);
        QFETCH(bool, throughLink);
        QFETCH(QString, repaired);
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (::geteuid() != 0 || setpriv.isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        QTemporaryDir shared(QDir::tempPath() + "/quillmend-XXXXXX");
        const QString folder = shared.filePath(throughLink ? "ro" : "files");
        QVERIFY(QDir().mkdir(folder));
        const QString file = folder + "/show.xml";
        writeFile(file, kDirty);
        QVERIFY(::chown(QFile::encodeName(file).constData(), fileOwner, fileGroup ? fileGroup : fileOwner) == 0);
        QVERIFY(::chmod(QFile::encodeName(file).constData(), fileMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), throughLink ? 0555 : folderMode) == 0);
        QVERIFY(::chmod(QFile::encodeName(shared.path()).constData(), 0777) == 0);
        QString named = file;
        if (throughLink) {
            QVERIFY(QDir().mkdir(shared.filePath("u")));
            QVERIFY(::chmod(QFile::encodeName(shared.filePath("u")).constData(), folderMode) == 0);
            named = shared.filePath("u/link.xml");
            QVERIFY(QFile::link("../ro/show.xml", named));
        }
        const auto runAsOther = [&](const QStringList& arguments) {
            QProcess cli;
            cli.start(setpriv, QStringList{"--reuid=65534", "--regid=65534"}
                                   + (memberOfGroup ? QStringList{"--groups=4000"} : QStringList{"--clear-groups"})
                                   + QStringList{QStringLiteral(QUILLMEND_CLI)} + arguments);
            cli.waitForFinished(30000);
            return std::make_pair(cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput()));
        };
        const auto [checkExit, report] = runAsOther({"--check", named});
        if (checkExit == 126 || checkExit == 127)
            QSKIP("the other user may not run the tool from where it was built");
        const auto [exitCode, printed] = runAsOther({named});
        if (repaired.isEmpty()) {
            QCOMPARE(checkExit, 1);
            QVERIFY(report.contains("refused, \"You don't have write permission for this file"));
            QCOMPARE(exitCode, 1);
            QVERIFY(printed.contains("You don't have write permission for this file"));
            QCOMPARE(folderContents(folder), (Contents{{"show.xml", kDirty}}));
            return;
        }
        QCOMPARE(checkExit, 3);
        QCOMPARE(exitCode, 0);
        QCOMPARE(folderContents(folder), (Contents{{"show.xml", kClean}, {"show (Original).xml", kDirty}}));
        struct stat status {};
        QVERIFY(::stat(QFile::encodeName(file).constData(), &status) == 0);
        QCOMPARE(QStringLiteral("%1:%2 %3").arg(status.st_uid).arg(status.st_gid).arg(status.st_mode & 07777, 0, 8),
                 repaired);
    }
};

QTEST_GUILESS_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
