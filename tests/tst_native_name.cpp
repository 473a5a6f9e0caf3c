// Names spelt as the system spells them, however odd, from the request
// down to the system calls and back in the kept copy's name.
#include "engine/repair_pass.h"
#include "tests/support/folder_suite.h"
#include "tests/support/test_files.h"

#include <QTest>

using namespace quillmend;
using namespace quillmend::tests;

class NativeNameTest : public FolderSuite {
    Q_OBJECT

private slots:
    void oddNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kept");
        QTest::newRow("spaces") << "my show.xml"
                                << "my show (Original).xml";
        QTest::newRow("quotes") << "it's \"the\" show.xml"
                                << "it's \"the\" show (Original).xml";
        QTest::newRow("newline") << "two\nlines.xml"
                                 << "two\nlines (Original).xml";
        QTest::newRow("leading dash") << "-rf.xml"
                                      << "-rf (Original).xml";
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
};

QTEST_GUILESS_MAIN(NativeNameTest)
#include "tst_native_name.moc"
