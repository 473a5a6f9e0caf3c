// Odd names, odd files, invalid text, real faults and interference from
// other programs: the file is repaired or left as it was, never lost.
#include "engine/repair_pass.h"
#include "engine/text_repair.h"
#include "platform/utf8.h"
#include "test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillmend;
using namespace quillmend::tests;
using Contents = QMap<QString, QByteArray>;

namespace {

const QByteArray kDirty = sampleExport();
const QByteArray kClean = repairedSampleExport();

engine::ResultCode repair(const QString& path, bool anyFile = false, const engine::YieldCallback& yield = {})
{
    return engine::FNProcessTheFile(platform::FileRef(path), anyFile, true, yield);
}

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
        QCOMPARE(repair(path("show.xml"), false, takeTheName), engine::kResultDone);
        QCOMPARE(readFile(path("show.xml")), kClean);
        QCOMPARE(readFile(path("show (Original 2).xml")), kDirty);
        QCOMPARE(readFile(path("other.txt")), QByteArray("other"));
        if (by == "during")
            QCOMPARE(readFile(kept), QByteArray("theirs"));
        else
            QVERIFY(QFileInfo(kept).isSymLink() || QFileInfo(kept).isDir());
    }

    // Another program replaces the file while the repair runs.
    void fileReplacedDuringRepair()
    {
        writeFile(path("show.xml"), kDirty);
        writeFile(path("newer.xml"), kDirty);
        bool replaced = false;
        const auto replace = [&] {
            if (!replaced)
                QVERIFY(::rename(QFile::encodeName(path("newer.xml")).constData(),
                                 QFile::encodeName(path("show.xml")).constData())
                        == 0);
            replaced = true;
        };
        QCOMPARE(repair(path("show.xml"), false, replace), engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{"show.xml", kDirty}}));
    }

    void strayTemporaryFilesAreRemoved()
    {
        writeFile(path("show.xml"), kDirty);
        writeFile(path(".quillmend-abcdefghij.tmp"), "left by a crash");
        writeFile(path(".quillmend-mine.tmp"), "not ours: other form");
        QCOMPARE(repair(path("show.xml")), engine::kResultDone);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{"show.xml", kClean},
                                                          {"show (Original).xml", kDirty},
                                                          {".quillmend-mine.tmp", "not ours: other form"}}));
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

    // As a user without rights to the file or to its folder.
    void unprivilegedUser_data()
    {
        QTest::addColumn<bool>("fileWritable");
        QTest::addColumn<bool>("folderWritable");
        QTest::newRow("read-only file") << false << true;
        QTest::newRow("read-only folder") << true << false;
    }
    void unprivilegedUser()
    {
        QFETCH(bool, fileWritable);
        QFETCH(bool, folderWritable);
        const QString setpriv = QStandardPaths::findExecutable("setpriv");
        if (::geteuid() != 0 || setpriv.isEmpty())
            QSKIP("needs root and setpriv to act as another user");
        QTemporaryDir shared(QDir::tempPath() + "/quillmend-XXXXXX");
        ::chmod(QFile::encodeName(shared.path()).constData(), folderWritable ? 0777 : 0755);
        const QString file = shared.filePath("show.xml");
        writeFile(file, kDirty);
        ::chmod(QFile::encodeName(file).constData(), fileWritable ? 0666 : 0644);
        QProcess cli;
        cli.start(setpriv, {"--reuid=65534", "--regid=65534", "--clear-groups", QStringLiteral(QUILLMEND_CLI), file});
        QVERIFY(cli.waitForFinished(30000));
        if (cli.exitCode() == 126 || cli.exitCode() == 127)
            QSKIP("the other user may not run the tool from where it was built");
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY(cli.readAllStandardOutput().contains("You don't have write permission for this file"));
        QCOMPARE(folderContents(shared.path()), (Contents{{"show.xml", kDirty}}));
    }
};

QTEST_GUILESS_MAIN(HostileInputTest)
#include "tst_hostile_input.moc"
