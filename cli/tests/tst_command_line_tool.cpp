// quillmend-cli run as a separate process: what it prints and its exit status.
#include "quillmend/version.h"
#include "tests/support/test_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

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
        // A console program's lines end in CR LF on Windows.
        const auto text = [](const QByteArray& bytes) { return QString::fromUtf8(bytes).replace("\r\n", "\n"); };
        return {process.exitCode(), text(process.readAllStandardOutput()), text(process.readAllStandardError())};
    }

#ifndef Q_OS_WIN
    // As run() with arguments that need not be text: each comes to the tool
    // spelt byte for byte, as a shell would give it.
    Run runWithBytes(const QByteArrayList& arguments, const QString& folder)
    {
        QString script = QStringLiteral("exec \"$0\"");
        for (const QByteArray& argument : arguments) {
            script += QStringLiteral(" \"$(printf '%b' '");
            for (const char c : argument)
                script += QStringLiteral("\\0%1").arg(uint(static_cast<unsigned char>(c)), 3, 8, QLatin1Char('0'));
            script += QStringLiteral("')\"");
        }
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(QUILLMEND_CLI)});
        process.waitForFinished(60000);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

#endif

    // One file of each kind that the tool tells apart.
    static void makeFixtures(const QTemporaryDir& dir)
    {
        writeFile(dir.filePath("dirty.xml"), sampleExport());
        writeFile(dir.filePath("-dash.xml"), sampleExport());
        writeFile(dir.filePath("clean.xml"), repairedSampleExport());
        // An export that the CAD program left cut short: repaired, but still not XML.
        writeFile(dir.filePath("cut.xml"), sampleExport().first(168));
        writeFile(dir.filePath("partial.xml"), "<AppStamp>Vectorworks</AppStamp>\x01");
        writeFile(dir.filePath("empty.xml"), "");
        writeFile(dir.filePath("readonly.xml"), sampleExport());
        makeReadOnly(dir.filePath("readonly.xml"));
        QVERIFY(QDir(dir.path()).mkdir("folder.xml"));
#ifndef Q_OS_WIN
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("fifo.xml")).constData(), 0644), 0);
#endif
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
        QTest::newRow("repaired, still not XML")
            << QStringList{"cut.xml"} << 0
            << "cut.xml: Done! Click back on Vectorworks and let it process the .xml file.\n"
               "cut.xml: note: the repaired file is still not well-formed XML at line 4 column 38: the file ends "
               "inside <Purpose>: the export is incomplete, export it again\n";
        QTest::newRow("not a full export")
            << QStringList{"partial.xml"} << 1
            << "partial.xml: The file is not a 'full export on exit', please try again.\n";
        QTest::newRow("empty") << QStringList{"empty.xml"} << 1
                               << "empty.xml: The file is empty, it cannot be repaired.\n";
        QTest::newRow("read-only")
            << QStringList{"readonly.xml"} << 1
            << "readonly.xml: You don't have write permission for this file, it cannot be repaired.\n";
        QTest::newRow("folder") << QStringList{"folder.xml"} << 2
                                << "folder.xml: Sorry! An error occurred. (it is a folder, not a file)\n";
#ifndef Q_OS_WIN
        QTest::newRow("fifo") << QStringList{"fifo.xml"} << 2
                              << "fifo.xml: Sorry! An error occurred. (it is not a regular file)\n";
#endif
        QTest::newRow("missing") << QStringList{"missing.xml"} << 2 << QString();
        QTest::newRow("refused and failed")
            << QStringList{"empty.xml", "folder.xml", "dirty.xml"} << 2
            << "empty.xml: The file is empty, it cannot be repaired.\n"
               "folder.xml: Sorry! An error occurred. (it is a folder, not a file)\n"
               "dirty.xml: Done! Click back on Vectorworks and let it process the .xml file.\n";
        QTest::newRow("any file") << QStringList{"--any-file", "partial.xml"} << 0
                                  << "partial.xml: Done! Click back on Vectorworks and let it process the .xml file.\n";
        QTest::newRow("leading dash after --")
            << QStringList{"--", "-dash.xml"} << 0
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
        makeFixtures(dir);

        const Run result = run(arguments, dir.path());
        QCOMPARE(result.exitCode, exitCode);
        QCOMPARE(result.out, printed);
        if (exitCode == 64 || arguments.contains("missing.xml"))
            QVERIFY(!result.err.isEmpty());
    }

    // A check writes nothing, and its exit status says what a repair would do.
    void check_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("printed");
        QTest::newRow("would repair") << QStringList{"--check", "dirty.xml"} << 3
                                      << "dirty.xml\n"
                                         "  encoding: UTF-8\n"
                                         "  full-export marker: present\n"
                                         "  control characters to remove: 4\n"
                                         "    U+0002 STX: 1 at line 5 column 35\n"
                                         "    U+0009 HT: 1 at line 5 column 62\n"
                                         "    U+000B VT: 1 at line 4 column 36\n"
                                         "    U+001F US: 1 at line 5 column 66\n"
                                         "  AppStamp entries to rewrite: 3\n"
                                         "  XML declaration: stays as it is\n"
                                         "  original kept as: dirty (Original).xml\n"
                                         "  a repair would give: 1, \"Done! Click back on Vectorworks and let it "
                                         "process the .xml file.\"\n"
                                         "  well-formed XML after repair: yes\n";
        QTest::newRow("would repair, still not XML")
            << QStringList{"--check", "cut.xml"} << 3
            << "cut.xml\n"
               "  encoding: UTF-8\n"
               "  full-export marker: present\n"
               "  control characters to remove: 1\n"
               "    U+000B VT: 1 at line 4 column 36\n"
               "  AppStamp entries to rewrite: 1\n"
               "  XML declaration: stays as it is\n"
               "  original kept as: cut (Original).xml\n"
               "  a repair would give: 1, \"Done! Click back on Vectorworks and let it process the .xml file.\"\n"
               "  well-formed XML after repair: no, line 4 column 38: the file ends inside <Purpose>: the export is "
               "incomplete, export it again\n";
        QTest::newRow("nothing to do") << QStringList{"--check", "clean.xml"} << 0 << QString();
        QTest::newRow("not a full export") << QStringList{"--check", "partial.xml"} << 1 << QString();
        QTest::newRow("empty") << QStringList{"--check", "empty.xml"} << 1
                               << "empty.xml\n  a repair would give: refused, \"The file is empty, it cannot be "
                                  "repaired.\"\n";
        QTest::newRow("read-only") << QStringList{"--check", "readonly.xml"} << 1 << QString();
        QTest::newRow("folder") << QStringList{"--check", "folder.xml"} << 2 << QString();
        QTest::newRow("missing") << QStringList{"--check", "missing.xml"} << 2 << QString();
        QTest::newRow("refusal outweighs a repair")
            << QStringList{"--check", "dirty.xml", "partial.xml"} << 1 << QString();
        QTest::newRow("error outweighs all")
            << QStringList{"--check", "folder.xml", "empty.xml", "dirty.xml"} << 2 << QString();
        QTest::newRow("any file") << QStringList{"--check", "--any-file", "partial.xml"} << 3 << QString();
        QTest::newRow("json alone") << QStringList{"--json", "dirty.xml"} << 64 << QString();
    }
    void check()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, printed);
        QTemporaryDir dir;
        makeFixtures(dir);
        const QMap<QString, QByteArray> before = folderContents(dir.path());

        const Run result = run(arguments, dir.path());
        QCOMPARE(result.exitCode, exitCode);
        if (!printed.isEmpty())
            QCOMPARE(result.out, printed);
        QCOMPARE(folderContents(dir.path()), before);
    }

    // One JSON object per file and line, errors among them.
    void checkAsJson()
    {
        QTemporaryDir dir;
        makeFixtures(dir);
        writeFile(dir.filePath("dirty (Original).xml"), "an earlier original");
        const Run result
            = run({"--check", "--json", "dirty.xml", "readonly.xml", "missing.xml", "cut.xml"}, dir.path());
        QCOMPARE(result.exitCode, 2);
        const QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const QJsonObject cut = QJsonDocument::fromJson(lines[3].toUtf8()).object();
        QCOMPARE(cut["wellFormed"].toBool(true), false);
        QCOMPARE(
            cut["xmlError"].toObject(),
            (QJsonObject{{"line", 4},
                         {"column", 38},
                         {"reason", "the file ends inside <Purpose>: the export is incomplete, export it again"}}));

        const QJsonObject dirty = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(dirty["file"].toString(), "dirty.xml");
        QCOMPARE(dirty["resultCode"].toInt(), 1);
        QCOMPARE(dirty["keptCopyName"].toString(), "dirty (Original 2).xml");
        QCOMPARE(dirty["appStampsToRewrite"].toInt(), 3);
        QCOMPARE(dirty["fullExportMarker"].toBool(), true);
        QCOMPARE(dirty["wellFormed"].toBool(false), true);
        QVERIFY(!dirty.contains("xmlError"));
        const QJsonArray controls = dirty["controlCharacters"].toArray();
        QCOMPARE(controls.size(), 4);
        QCOMPARE(controls[0].toObject()["name"].toString(), "STX");
        QCOMPARE(controls[0].toObject()["firstPlaces"].toArray()[0].toObject()["line"].toInt(), 5);

        const QJsonObject readOnly = QJsonDocument::fromJson(lines[1].toUtf8()).object();
        QVERIFY(readOnly["resultCode"].isNull());
        QCOMPARE(readOnly["refused"].toString(),
                 "You don't have write permission for this file, it cannot be repaired.");

        const QJsonObject missing = QJsonDocument::fromJson(lines[2].toUtf8()).object();
        QCOMPARE(missing["file"].toString(), "missing.xml");
        QVERIFY(!missing["error"].toString().isEmpty());
    }

    // Names that are not text reach the file they name, beside a sibling that
    // reads alike, and are printed so that no byte speaks to the terminal.
    void namesAsTheSystemSpellsThem_data()
    {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        QTest::addColumn<QByteArrayList>("repaired");
        QTest::newRow("not UTF-8")
            << QByteArrayList{"bad\xFF.xml"} << 0
            << "bad\\xFF.xml: Done! Click back on Vectorworks and let it process the .xml file.\n"
            << "" << QByteArrayList{"bad\xFF.xml"};
        QTest::newRow("folder, not UTF-8") << QByteArrayList{"dir\xFF.xml"} << 2
                                           << "dir\\xFF.xml: Sorry! An error occurred. (it is a folder, not a file)\n"
                                           << "" << QByteArrayList{};
        QTest::newRow("escape sequence")
            << QByteArrayList{"esc\x1B[2J\\.xml"} << 0
            << "esc\\x1B[2J\\\\.xml: Done! Click back on Vectorworks and let it process the .xml file.\n"
            << "" << QByteArrayList{"esc\x1B[2J\\.xml"};
        QTest::newRow("C1 control, missing") << QByteArrayList{"c1\xC2\x9B.xml"} << 2 << ""
                                             << "c1\\xC2\\x9B.xml: it does not exist\n"
                                             << QByteArrayList{};
        QTest::newRow("check, JSON") << QByteArrayList{"--check", "--json", "bad\xFF.xml"} << 3
                                     << "626164ff2e786d6c 626164ff20284f726967696e616c292e786d6c"
                                     << "" << QByteArrayList{};
    }
    void namesAsTheSystemSpellsThem()
    {
#ifdef Q_OS_WIN
        QSKIP("Linux and macOS names are bytes; Windows names are UTF-16 and come whole");
#else
        QFETCH(QByteArrayList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QFETCH(QByteArrayList, repaired);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        const QByteArrayList names{"bad\xFF.xml", "bad\xEF\xBF\xBD.xml", "esc\x1B[2J\\.xml"};
        for (const QByteArray& name : names)
            writeFile(QFile::decodeName(folder), name, sampleExport());
        QVERIFY(::mkdir((folder + "dir\xFF.xml").constData(), 0755) == 0);

        const Run result = runWithBytes(arguments, dir.path());
        QCOMPARE(result.exitCode, exitCode);
        if (arguments.contains("--json")) {
            const QJsonObject report = QJsonDocument::fromJson(result.out.toUtf8()).object();
            QCOMPARE(report["fileHex"].toString() + ' ' + report["keptCopyNameHex"].toString(), out);
        } else {
            QCOMPARE(result.out, out);
        }
        QCOMPARE(result.err, err);
        for (const QByteArray& name : names)
            QCOMPARE(readFile(QFile::decodeName(folder), name),
                     repaired.contains(name) ? repairedSampleExport() : sampleExport());
        // QTemporaryDir, which reads names as text, could not remove them.
        for (const QByteArray& name : names + QByteArrayList{"bad\xFF (Original).xml", "esc\x1B[2J\\ (Original).xml"})
            ::unlink((folder + name).constData());
        ::rmdir((folder + "dir\xFF.xml").constData());
#endif
    }

    // Where the kept copy's name would be too long, the report says what the
    // repair does: an error, with the reason, and nothing changed.
    void keptNameTooLong_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("taken");
        const QString longest = QString(251, 'a') + ".xml";
        const QString almost = QString(239, 'b') + ".xml";
        const QString plain = QString(255, 'c');
        for (const bool check : {false, true}) {
            const QStringList mode = check ? QStringList{"--check"} : QStringList{};
            const char* const how = check ? "check" : "repair";
            QTest::addRow("%s: 255 bytes", how) << mode << longest << QString();
            QTest::addRow("%s: (Original 2) too long", how) << mode << almost << QString(239, 'b') + " (Original).xml";
            QTest::addRow("%s: any file, no dot", how) << mode + QStringList{"--any-file"} << plain << QString();
        }
    }
    void keptNameTooLong()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, name);
        QFETCH(QString, taken);
        QTemporaryDir dir;
        writeFile(dir.filePath(name), sampleExport());
        if (!taken.isEmpty())
            writeFile(dir.filePath(taken), "an earlier original");
        const QMap<QString, QByteArray> before = folderContents(dir.path());
        const Run result = run(options + QStringList{name}, dir.path());
        QCOMPARE(result.exitCode, 2);
        QVERIFY2((result.out + result.err).contains("the name for a copy of the original would be too long"),
                 qPrintable(result.out + result.err));
        QCOMPARE(folderContents(dir.path()), before);
    }

    // Repairs side by side in one folder, as `xargs -P` runs them, each leave
    // the others' temporary files alone.
    void repairsSideBySide()
    {
        QTemporaryDir dir;
        // Bulk in a comment after the root element: still well-formed.
        const QByteArray big = sampleExport() + "<!--" + QByteArray(4 << 20, 'x') + "-->\r\n";
        for (int round = 0; round < 5; ++round) {
            QList<QProcess*> runs;
            for (int i = 0; i < 4; ++i) {
                const QString name = QStringLiteral("show%1.xml").arg(i);
                writeFile(dir.filePath(name), big);
                QFile::remove(dir.filePath(QStringLiteral("show%1 (Original).xml").arg(i)));
                auto* process = new QProcess(this);
                process->setWorkingDirectory(dir.path());
                process->start(QStringLiteral(QUILLMEND_CLI), {name});
                runs << process;
            }
            for (QProcess* process : runs) {
                QVERIFY(process->waitForFinished(60000));
                QCOMPARE(process->readAllStandardOutput().replace("\r\n", "\n").right(30),
                         QByteArray("let it process the .xml file.\n"));
                QCOMPARE(process->exitCode(), 0);
                delete process;
            }
        }
        QCOMPARE(folderContents(dir.path()).size(), 8);
    }

    void optionsReachTheRepair()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath("notes"), "a\tb\x01");
        QCOMPARE(run({"--any-file", "--preserve-tabs", "notes"}, dir.path()).exitCode, 0);
        QCOMPARE(readFile(dir.filePath("notes")), QByteArray("a\tb"));
#ifdef Q_OS_WIN
        // Windows drops a name's final ".", and "notes." would be "notes" itself.
        QCOMPARE(readFile(dir.filePath("notes 2")), QByteArray("a\tb\x01"));
#else
        QCOMPARE(readFile(dir.filePath("notes.")), QByteArray("a\tb\x01"));
#endif
    }

    void helpAndVersion()
    {
        const Run version = run({"--version"}, QDir::tempPath());
        QCOMPARE(version.exitCode, 0);
        QCOMPARE(version.out, QStringLiteral("quillmend-cli %1\n").arg(quillmend::kShortVersion));
        const Run help = run({"--help"}, QDir::tempPath());
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.startsWith("Usage: quillmend-cli"));
    }
};

QTEST_GUILESS_MAIN(CommandLineToolTest)
#include "tst_command_line_tool.moc"
