// Odd files, invalid text and real faults (a loop of links, a full disk, a
// file of 1 GiB, another user's folder): the file is repaired or left as it
// was, never lost.
#include "engine/repair_pass.h"
#include "engine/text_repair.h"
#include "platform/text/utf8.h"
#include "tests/support/folder_suite.h"
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
#include <unistd.h>

using namespace quillmend;
using namespace quillmend::tests;

class HostileInputTest : public FolderSuite {
    Q_OBJECT

private slots:
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
        while (filler.write(QByteArray(4096, 'f')) > 0 && filler.flush()) {}
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
        QTest::newRow("group kept by a member")
            << 0777u << 65534u << 4000u << 0660u << true << false << "65534:4000 660";
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
            cli.start(setpriv,
                      QStringList{"--reuid=65534", "--regid=65534"}
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
