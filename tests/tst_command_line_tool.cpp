// quillmend-cli run as a separate process: what it prints and its exit status.
#include "test_files.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace quillmend::tests;

class CommandLineToolTest : public QObject {
    Q_OBJECT

private:
    struct Run {
        int exitCode;
        QString out;
        QString err;
    };
    Run run(const QStringList& arguments, const QString& folder)
    {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral(QUILLMEND_CLI), arguments);
        process.waitForFinished(60000);
        return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
                QString::fromLocal8Bit(process.readAllStandardError())};
    }

private slots:
    void exitStatus_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("repaired") << QStringList{"dirty.xml"} << 0
                                  << "dirty.xml: Done! Click back on Vectorworks and let it process the .xml file.\n";
        QTest::newRow("nothing to do") << QStringList{"clean.xml"} << 0
                                       << "clean.xml: The data in the file is OK, no changes were made.\n";
        QTest::newRow("not a full export") << QStringList{"partial.xml"} << 1
                                           << "partial.xml: The file is not a 'full export on exit', please try again.\n";
        QTest::newRow("empty") << QStringList{"empty.xml"} << 1
                               << "empty.xml: The file is empty, it cannot be repaired.\n";
        QTest::newRow("read-only") << QStringList{"readonly.xml"} << 1
                                   << "readonly.xml: You don't have write permission for this file, it cannot be repaired.\n";
        QTest::newRow("folder") << QStringList{"folder.xml"} << 2 << "folder.xml: Sorry! An error occurred.\n";
        QTest::newRow("missing") << QStringList{"missing.xml"} << 2 << QString();
        QTest::newRow("refused and failed") << QStringList{"empty.xml", "folder.xml", "dirty.xml"} << 2
                                            << "empty.xml: The file is empty, it cannot be repaired.\n"
                                               "folder.xml: Sorry! An error occurred.\n"
                                               "dirty.xml: Done! Click back on Vectorworks and let it process the .xml file.\n";
        QTest::newRow("any file") << QStringList{"--any-file", "partial.xml"} << 0
                                  << "partial.xml: Done! Click back on Vectorworks and let it process the .xml file.\n";
        QTest::newRow("leading dash after --") << QStringList{"--", "-dash.xml"} << 0
                                               << "-dash.xml: Done! Click back on Vectorworks and let it process the .xml file.\n";
        QTest::newRow("no file") << QStringList{"--any-file"} << 64 << QString();
        QTest::newRow("unknown option") << QStringList{"--frobnicate", "dirty.xml"} << 64 << QString();
    }
    void exitStatus()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QTemporaryDir dir;
        writeFile(dir.filePath("dirty.xml"), sampleExport());
        writeFile(dir.filePath("-dash.xml"), sampleExport());
        writeFile(dir.filePath("clean.xml"), repairedSampleExport());
        writeFile(dir.filePath("partial.xml"), "<AppStamp>Vectorworks</AppStamp>\x01");
        writeFile(dir.filePath("empty.xml"), "");
        writeFile(dir.filePath("readonly.xml"), sampleExport());
        ::chmod(QFile::encodeName(dir.filePath("readonly.xml")).constData(), 0444);
        QVERIFY(QDir(dir.path()).mkdir("folder.xml"));

        const Run result = run(arguments, dir.path());
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, printed);
        if (exitCode == 64 || arguments.contains("missing.xml"))
            QVERIFY(!result.err.isEmpty());
    }

    void optionsReachTheRepair()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("notes"), "a\tb\x01");
        QCOMPARE(run({"--any-file", "--preserve-tabs", "notes"}, dir.path()).exitCode, 0);
        QCOMPARE(readFile(dir.filePath("notes")), QByteArray("a\tb"));
        QCOMPARE(readFile(dir.filePath("notes.")), QByteArray("a\tb\x01"));
    }

    void helpAndVersion()
    {
        const Run version = run({"--version"}, QDir::tempPath());
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("quillmend-cli 1.0.1 build 2\n"));
        const Run help = run({"--help"}, QDir::tempPath());
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Usage: quillmend-cli"));
    }
};

QTEST_GUILESS_MAIN(CommandLineToolTest)
#include "tst_command_line_tool.moc"
