// The kept copy's name: how it is made from the file's, and what the
// repair does where that name is taken or cannot be.
#include "engine/kept_copy_name.h"
#include "engine/repair_pass.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace quillmend;
using namespace quillmend::tests;
using engine::KeptCopyName;

class KeptCopyNameTest : public FolderSuite {
    Q_OBJECT

private slots:
    void keptCopyNames_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<int>("attempt");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("show.xml") << QByteArray("show.xml") << false << 1 << QByteArray("show (Original).xml");
        QTest::newRow("show.final.xml") << QByteArray("show.final.xml") << false << 1
                                        << QByteArray("show.final (Original).xml");
        QTest::newRow("show.") << QByteArray("show.") << false << 1 << QByteArray("show (Original).");
        QTest::newRow(".xml") << QByteArray(".xml") << false << 1 << QByteArray(" (Original).xml");
        QTest::newRow("show") << QByteArray("show") << false << 1 << QByteArray("show (Original).");
        QTest::newRow("show.xml, taken") << QByteArray("show.xml") << false << 2 << QByteArray("show (Original 2).xml");
        QTest::newRow("show.xml, taken twice")
            << QByteArray("show.xml") << false << 3 << QByteArray("show (Original 3).xml");
        QTest::newRow("any: show.xml") << QByteArray("show.xml") << true << 1 << QByteArray();
        QTest::newRow("any: show.final.xml") << QByteArray("show.final.xml") << true << 1 << QByteArray();
        QTest::newRow("any: show.") << QByteArray("show.") << true << 1 << QByteArray();
        QTest::newRow("any: .xml") << QByteArray(".xml") << true << 1 << QByteArray();
        QTest::newRow("any: show") << QByteArray("show") << true << 1 << QByteArray("show.");
        QTest::newRow("any: show, taken") << QByteArray("show") << true << 2 << QByteArray("show 2.");
        QTest::newRow("non-ASCII") << QByteArray("B\xC3\xBCro plan.xml") << false << 1
                                   << QByteArray("B\xC3\xBCro plan (Original).xml");
        // Kept byte for byte: read as text, it would name its U+FFFD sibling.
        QTest::newRow("not UTF-8") << QByteArray("bad\xFF.xml") << false << 2 << QByteArray("bad\xFF (Original 2).xml");
    }

    void keptCopyNames()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, anyFile);
        QFETCH(int, attempt);
        QFETCH(QByteArray, expected);
        QCOMPARE(KeptCopyName(quillmend::platform::NativeName::fromSystem(name), anyFile, attempt).units(), expected);
    }

#ifndef Q_OS_WIN
    // Symbolic links, and names as long as a Linux file system takes.

    // The kept copy's name would be longer than a name may be: refused by the
    // file system, so nothing is changed.
    void keptNameTooLong()
    {
        const QString name = QString(245, 'b') + ".xml";
        writeFile(path(name), kDirty);
        QCOMPARE(repair(path(name)), engine::kResultError);
        QCOMPARE(folderContents(m_dir.path()), (Contents{{name, kDirty}}));
    }

    // Any file: the copy that waits meanwhile, where its name would not fit,
    // takes one cut short, the cut whole characters ("é" is two bytes).
    void interimNameFits()
    {
        const QString name = QString(239, 'n') + QStringLiteral("\u00e9") + QString(10, 'n') + ".txt";
        const platform::FileReplacer::KeptCopyNamer namer
            = engine::InterimCopyNamerFor(platform::FileRef(path(name)), true);
        QVERIFY(namer);
        QCOMPARE(namer(1).units(), QByteArray(239, 'n') + " (Original).txt");
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
#endif
};

QTEST_GUILESS_MAIN(KeptCopyNameTest)
#include "tst_kept_copy_name.moc"
