// The menu bar and the XML file type.
#include "shell/menu_bar.h"
#include "shell/tests/gui_test_support.h"

#include <QMenu>
#include <QRegularExpression>

#include <algorithm>

using namespace quillmend;

class MenuBarTest : public QObject {
    Q_OBJECT

private slots:
    void menusInOrder()
    {
        QStringList names;
        QStringList captions;
        for (const QAction* action : shell::MainMenuBar::instance()->actions()) {
            names << action->objectName();
            captions << action->text();
        }
        // The captionless fourth menu stands in the bar where the bar is the
        // application's, at the top of the screen; in a window it would be
        // a blank patch, and stays out.
        const bool fourth = shell::MainMenuBar::place() == shell::MenuBarPlace::TopOfScreen;
        QCOMPARE(names,
                 (QStringList{"FileMenu", "EditMenu", "HelpMenu"} + (fourth ? QStringList{"Menu"} : QStringList())));
        QCOMPARE(captions, (QStringList{"&File", "&Edit", "Help"} + (fourth ? QStringList{""} : QStringList())));
        QVERIFY(shell::MainMenuBar::instance()->item("Menu")->menu()->actions().isEmpty());
        QCOMPARE(shell::MainMenuBar::instance()->item("Menu")->text(), QString());
    }

    void items_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<int>("role");
        const int none = QAction::NoRole;
        QTest::newRow("FileOpenItem") << "FileMenu"
                                      << "FileOpenItem"
                                      << "Open..."
                                      << "" << none;
        QTest::newRow("UntitledSeparator") << "FileMenu"
                                           << "UntitledSeparator"
                                           << "-"
                                           << "" << none;
        QTest::newRow("FileQuit") << "FileMenu"
                                  << "FileQuit"
                                  << "&Quit"
                                  << "Ctrl+Q" << int(QAction::QuitRole);
        QTest::newRow("EditUndo") << "EditMenu"
                                  << "EditUndo"
                                  << "&Undo"
                                  << "Ctrl+Z" << none;
        QTest::newRow("EditSeparator1") << "EditMenu"
                                        << "EditSeparator1"
                                        << "-"
                                        << "" << none;
        QTest::newRow("EditCut") << "EditMenu"
                                 << "EditCut"
                                 << "Cu&t"
                                 << "Ctrl+X" << none;
        QTest::newRow("EditCopy") << "EditMenu"
                                  << "EditCopy"
                                  << "&Copy"
                                  << "Ctrl+C" << none;
        QTest::newRow("EditPaste") << "EditMenu"
                                   << "EditPaste"
                                   << "&Paste"
                                   << "Ctrl+V" << none;
        QTest::newRow("EditClear") << "EditMenu"
                                   << "EditClear"
                                   << "&Delete"
                                   << "" << none;
        QTest::newRow("EditSeparator2") << "EditMenu"
                                        << "EditSeparator2"
                                        << "-"
                                        << "" << none;
        QTest::newRow("EditSelectAll") << "EditMenu"
                                       << "EditSelectAll"
                                       << "Select &All"
                                       << "Ctrl+A" << none;
        QTest::newRow("AboutThisApplication") << "HelpMenu"
                                              << "AboutThisApplication"
                                              << "About Quillmend..."
                                              << "" << int(QAction::AboutRole);
    }
    void items()
    {
        QFETCH(QString, menu);
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, shortcut);
        QFETCH(int, role);
        const QAction* item = shell::MainMenuBar::instance()->item(name);
        QVERIFY(item);
        QCOMPARE(item->parent()->objectName(), menu);
        QCOMPARE(item->isSeparator() ? QStringLiteral("-") : item->text(), caption);
        QCOMPARE(item->shortcut().toString(QKeySequence::PortableText), shortcut);
        QCOMPARE(int(item->menuRole()), role);
        QVERIFY(item->isEnabled());
        QVERIFY(item->isVisible());
    }

    void itemsStandInTableOrder()
    {
        QStringList names;
        for (const char* menu : {"FileMenu", "EditMenu", "HelpMenu"}) {
            for (const QAction* action : shell::MainMenuBar::instance()->item(menu)->menu()->actions())
                names << action->objectName();
        }
        QCOMPARE(names,
                 (QStringList{"FileOpenItem", "UntitledSeparator", "FileQuit", "EditUndo", "EditSeparator1", "EditCut",
                              "EditCopy", "EditPaste", "EditClear", "EditSeparator2", "EditSelectAll",
                              "AboutThisApplication"}));
    }

    void sharedInstance() { QCOMPARE(shell::MainMenuBar::instance(), shell::MainMenuBar::instance()); }

    void xmlFileType()
    {
        const shell::FileType& xml = shell::FileTypeXML::XML();
        QCOMPARE(xml.toString(), QStringLiteral("XML"));
        QCOMPARE(xml.MacType, QStringLiteral("TEXT"));
        QCOMPARE(xml.UTI, QStringLiteral("public.xml"));
        QCOMPARE(xml.ConformsTo, QStringLiteral("public.data"));
        QVERIFY(xml.Imported);
        QVERIFY(xml.Extensions.isEmpty() && xml.MacCreator.isEmpty() && xml.MimeType.isEmpty());
        QCOMPARE(shell::FileType::registered("XML"), &xml);
        QCOMPARE(shell::FileTypeXML::AllFileTypes(), QList<const shell::FileType*>{&xml});
        QCOMPARE(xml.nameFilter(), QStringLiteral("XML (*.xml *.[xX][mM][lL])"));
    }

    void xmlFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("show.xml") << "show.xml" << true;
        QTest::newRow("SHOW.XML") << "SHOW.XML" << true;
        QTest::newRow("show.Xml") << "show.Xml" << true;
        QTest::newRow(".xml") << ".xml" << true;
        QTest::newRow("show.xml.txt") << "show.xml.txt" << false;
        QTest::newRow("show.xmlx") << "show.xmlx" << false;
        QTest::newRow("xml") << "xml" << false;
        QTest::newRow("showxml") << "showxml" << false;
    }
    void xmlFileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(shell::FileTypeXML::XML().matchesFileName(name), matches);
        // The open dialog's filter takes the same names, also where the
        // dialog matches its patterns case-sensitively (GTK's).
        const QString filter = shell::FileTypeXML::XML().nameFilter();
        const QStringList patterns = filter.mid(filter.indexOf('(') + 1).chopped(1).split(' ', Qt::SkipEmptyParts);
        const bool dialogMatches = std::any_of(patterns.cbegin(), patterns.cend(), [&](const QString& pattern) {
            return QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern)).match(name).hasMatch();
        });
        QCOMPARE(dialogMatches, matches);
    }
};

QUILLMEND_GUI_TEST_MAIN(MenuBarTest)
#include "tst_menu_bar.moc"
