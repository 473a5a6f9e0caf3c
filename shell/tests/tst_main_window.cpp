// The main window, the About window and start-up, against the real windows.
#include "engine/request.h"
#include "quillmend/version.h"
#include "shell/about_window.h"
#include "shell/desktop_session.h"
#include "shell/main_window.h"
#include "shell/menu_bar.h"
#include "shell/tests/gui_test_support.h"
#include "tests/support/test_files.h"

#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

using namespace quillmend;
using namespace quillmend::tests;

namespace {

const QString kDone = QStringLiteral("Done! Click back on Vectorworks and let it process the .xml file.");

// Counts the paints of a widget, and what it showed at the last one.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QLabel* label)
        : m_label(label)
    {
        label->installEventFilter(this);
    }
    int paints = 0;
    QString lastPaintedText;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            lastPaintedText = m_label->text();
        }
        return false;
    }

private:
    QLabel* m_label;
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    shell::Window1* window() const { return shell::gMyWnd; }
    // No case waits on a real message box; those that look at them install their own.
    ScriptedDialogs m_quietDialogs;
    QWidget* content() const { return window()->findChild<QWidget*>("Content"); }
    ScratchFolder m_dir;

    // Drags files onto the window and drops them there, as a user would.
    bool drop(const QStringList& names)
    {
        QList<QUrl> urls;
        for (const QString& name : names)
            urls << QUrl::fromLocalFile(m_dir.filePath(name));
        return dropUrls(urls);
    }
    bool dropUrls(const QList<QUrl>& urls)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint where(300, 200);
        QDragEnterEvent enter(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &enter);
        QDropEvent dropped(where, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window(), &dropped);
        return enter.isAccepted();
    }

private slots:
    void initTestCase()
    {
        shell::App::instance()->Event_Open();
        QVERIFY(window());
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        // The state in which the window starts.
        QCOMPARE(window()->ResultsLabel()->text(), QString());
        QVERIFY(!window()->NotJustVWBtn()->isChecked());
        QVERIFY(!window()->PreserveTabsBtn()->isChecked());
        QVERIFY(window()->PreserveTabsBtn()->isEnabled());
    }

    void init()
    {
        window()->SetStatusText(QString());
        window()->NotJustVWBtn()->setChecked(false);
        window()->PreserveTabsBtn()->setChecked(false);
        m_dir.empty();
        for (shell::AboutWnd* about : aboutWindows())
            about->close();
        QTRY_VERIFY(aboutWindows().isEmpty());
    }

    void startsOneMainWindow()
    {
        shell::Window1* first = window();
        shell::App::instance()->Event_Open();
        QCOMPARE(window(), first);
        int mainWindows = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            mainWindows += qobject_cast<shell::Window1*>(widget) ? 1 : 0;
        QCOMPARE(mainWindows, 1);
        QVERIFY(window()->isVisible());
        QVERIFY(!window()->isFullScreen());
    }

    void version()
    {
        QCOMPARE(shell::App::instance()->Version(), QString::fromLatin1(kShortVersion));
        const shell::VersionRecord& record = shell::App::instance()->versionRecord();
        QCOMPARE((QList<int>{record.MajorVersion, record.MinorVersion, record.BugVersion, record.NonReleaseVersion,
                             record.StageCode}),
                 (QList<int>{1, 0, 1, 2, 3}));
        QCOMPARE(record.LongVersion, QString::fromLatin1(kShortVersion));
        QCOMPARE(record.PackageInfo, QStringLiteral("Tallowick"));
    }

    void windowProperties()
    {
        QCOMPARE(window()->windowTitle(), QStringLiteral("Tallowick"));
        QCOMPARE(content()->size(), QSize(600, 405));
        QCOMPARE(window()->centralWidget()->size(), QSize(600, 405));
        QCOMPARE(window()->minimumSize(), window()->maximumSize());
        const Qt::WindowFlags flags = window()->windowFlags();
        QVERIFY(flags & Qt::CustomizeWindowHint);
        QVERIFY(!(flags
                  & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                     | Qt::WindowFullscreenButtonHint)));
        if (shell::MainMenuBar::place() == shell::MenuBarPlace::InWindow)
            QCOMPARE(window()->menuBar(), shell::MainMenuBar::instance());
        QVERIFY(window()->acceptDrops());
    }

    void closeRequestIsTurnedDown()
    {
        QVERIFY(!window()->close());
        QVERIFY(window()->isVisible());
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QString>("text");
        QTest::newRow("InstructLabel") << "InstructLabel" << QRect(20, 20, 560, 185) << QColor(13, 24, 34) << false
                                       << QString();
        QTest::newRow("ResultsLabel") << "ResultsLabel" << QRect(20, 345, 560, 40) << QColor(194, 0, 9) << true << "";
        QTest::newRow("NotJustVWBtn") << "NotJustVWBtn" << QRect(150, 217, 430, 20) << QColor() << false
                                      << "Use on any file, not just Vectorworks .xml files";
        QTest::newRow("Label1") << "Label1" << QRect(20, 217, 100, 20) << QColor(Qt::black) << false << "OPTIONS:";
        QTest::newRow("PreserveTabsBtn") << "PreserveTabsBtn" << QRect(150, 249, 430, 20) << QColor() << false
                                         << "Preserve tab characters";
        QTest::newRow("Label2") << "Label2" << QRect(20, 281, 560, 47) << QColor(Qt::black) << false
                                << "Choosing either of these options just cleans the file of control characters. "
                                   "They are not useful for repairing .xml files made by Vectorworks.";
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QColor, colour);
        QFETCH(bool, bold);
        QFETCH(QString, text);
        auto* control = window()->centralWidget()->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(QRect(control->mapTo(content(), QPoint()), control->size()), geometry);
        QCOMPARE(control->font().bold(), bold);
        QVERIFY(control->isEnabled() && control->isVisible());
        if (colour.isValid())
            QCOMPARE(control->palette().color(QPalette::WindowText), colour);
        if (auto* label = qobject_cast<QLabel*>(control)) {
            if (!text.isNull())
                QCOMPARE(label->text(), text);
            QCOMPARE(label->textInteractionFlags() & Qt::TextSelectableByMouse, Qt::TextInteractionFlags());
        } else {
            auto* box = qobject_cast<QCheckBox*>(control);
            QVERIFY(box);
            QCOMPARE(box->text(), text);
            QVERIFY(!box->isTristate());
        }
    }

    void controlsInCreationOrder()
    {
        QStringList names;
        for (const QObject* child : content()->findChildren<QWidget*>())
            names << child->objectName();
        QCOMPARE(names,
                 (QStringList{"InstructLabel", "ResultsLabel", "Label1", "Options", "NotJustVWBtn", "PreserveTabsBtn",
                              "Label2"}));
    }

    void instructionsAreThreeParagraphs()
    {
        const QStringList paragraphs = window()->InstructLabel()->text().split("\n\n");
        QCOMPARE(paragraphs.size(), 3);
        QVERIFY(!window()->InstructLabel()->text().contains('\r'));
        QVERIFY(paragraphs[0].startsWith("This utility processes a Vectorworks .xml file"));
        QVERIFY(paragraphs[0].endsWith("changing the AppStamp entries to \"Marlowbrook\", which forces Vectorworks to "
                                       "import the clean data."));
        QCOMPARE(paragraphs[1],
                 QStringLiteral("To begin, do a \"Full Export on Exit\" in Vectorworks' Document "
                                "Preferences/Marlowbrook Data Exchange, which creates an .xml file."));
        QCOMPARE(paragraphs[2],
                 QStringLiteral("In this app, choose File/Open to select the .xml file, or drag and "
                                "drop the .xml file onto this window."));
    }

    void dropOfOtherFilesIsRefused()
    {
        writeFile(m_dir.filePath("notes.txt"), "a\x01");
        window()->SetStatusText("earlier");
        QVERIFY(!drop({"notes.txt"}));
        QCOMPARE(window()->ResultsLabel()->text(), QStringLiteral("earlier"));
        QCOMPARE(readFile(m_dir.filePath("notes.txt")), QByteArray("a\x01"));
    }

    void dropOfThreeFilesRepairsTheFirst()
    {
        for (const char* name : {"first.xml", "second.XML", "third.xml"})
            writeFile(m_dir.filePath(name), sampleExport());
        QVERIFY(drop({"first.xml", "second.XML", "third.xml"}));
        QCOMPARE(window()->ResultsLabel()->text(), kDone);
        QCOMPARE(folderContents(m_dir.path()),
                 (QMap<QString, QByteArray>{{"first.xml", repairedSampleExport()},
                                            {"first (Original).xml", sampleExport()},
                                            {"second.XML", sampleExport()},
                                            {"third.xml", sampleExport()}}));
    }

    void dropSkipsFilesOfOtherTypes()
    {
        writeFile(m_dir.filePath("notes.txt"), "a\x01");
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        drop({"notes.txt", "show.xml"});
        QCOMPARE(readFile(m_dir.filePath("show.xml")), repairedSampleExport());
        QCOMPARE(readFile(m_dir.filePath("notes.txt")), QByteArray("a\x01"));
    }

    void dropOfAVanishedFileIsReported()
    {
        ScriptedDialogs dialogs;
        drop({"gone.xml"});
        QCOMPARE(dialogs.messages.size(), 1);
        QVERIFY(dialogs.messages[0].startsWith("This file cannot be repaired: "));
    }

    // A name that is not text reaches the file it names, never its sibling
    // that reads alike; where two read alike in the open dialog, neither is
    // taken for the other.
    void namesThatAreNotText_data()
    {
        QTest::addColumn<bool>("byDrop");
        QTest::addColumn<bool>("siblingReadsAlike");
        QTest::addColumn<QString>("message");
        QTest::newRow("dropped, beside a sibling") << true << true << QString();
        QTest::newRow("chosen, alone") << false << false << QString();
        QTest::newRow("chosen, beside a sibling")
            << false << true
            << "This file cannot be repaired: its name reads the same as another file's in its folder.";
    }
    void namesThatAreNotText()
    {
#ifdef Q_OS_WIN
        QSKIP("Linux and macOS names are bytes; Windows names are UTF-16 and come whole");
#else
        QFETCH(bool, byDrop);
        QFETCH(bool, siblingReadsAlike);
        QFETCH(QString, message);
        ScriptedDialogs dialogs;
        const QByteArray name("bad\xFF.xml");
        const QByteArray sibling("bad\xEF\xBF\xBD.xml");
        writeFile(m_dir.path(), name, sampleExport());
        if (siblingReadsAlike)
            writeFile(m_dir.path(), sibling, sampleExport());
        if (byDrop) {
            QVERIFY(dropUrls({QUrl::fromEncoded("file://" + QFile::encodeName(m_dir.path()).toPercentEncoding("/")
                                                + "/bad%FF.xml")}));
        } else {
            dialogs.fileToChoose = m_dir.filePath(QString::fromUtf8("bad\xEF\xBF\xBD.xml"));
            QVERIFY(window()->FileOpenItem_Action());
        }
        QCOMPARE(dialogs.messages, message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(readFile(m_dir.path(), name), message.isEmpty() ? repairedSampleExport() : sampleExport());
        if (siblingReadsAlike)
            QCOMPARE(readFile(m_dir.path(), sibling), sampleExport());
#endif
    }

    void refusalIsAModalMessage()
    {
        ScriptedDialogs dialogs;
        writeFile(m_dir.filePath("empty.xml"), "");
        window()->SetStatusText("earlier");
        drop({"empty.xml"});
        QCOMPARE(dialogs.messages, QStringList{"The file is empty, it cannot be repaired."});
        QCOMPARE(window()->ResultsLabel()->text(), QStringLiteral("earlier"));
    }

    // A failed repair: the status as designed, then the reason, in words a
    // user can act on.
    void failureIsExplained()
    {
        ScriptedDialogs dialogs;
        QVERIFY(QDir(m_dir.path()).mkdir("folder.xml"));
        drop({"folder.xml"});
        QCOMPARE(window()->ResultsLabel()->text(), QStringLiteral("Sorry! An error occurred."));
        QCOMPARE(dialogs.messages, QStringList{"This file cannot be repaired: it is a folder, not a file."});
    }

    // A repaired export that is still not XML: the status as always, then a
    // note of where and why, and what to do; a well-formed one shows nothing.
    void notWellFormedIsNoted()
    {
        ScriptedDialogs dialogs;
        writeFile(m_dir.filePath("cut.xml"), sampleExport().first(168));
        writeFile(m_dir.filePath("whole.xml"), sampleExport());
        drop({"whole.xml"});
        QVERIFY(dialogs.messages.isEmpty());
        drop({"cut.xml"});
        QCOMPARE(window()->ResultsLabel()->text(), kDone);
        QCOMPARE(dialogs.messages,
                 QStringList{"The repaired file is still not well-formed XML at line 4 column 38: the file ends inside "
                             "<Purpose>: the export is incomplete, export it again.\n\nMarlowbrook cannot read it as "
                             "it is: export the file again from Vectorworks, with a \"Full Export on Exit\"."});
    }

    // What arrives while a repair runs (here from a timer, which the repair
    // lets run) starts no second repair.
    void noSecondRepairWhileOneRuns()
    {
        ScriptedDialogs dialogs;
        dialogs.fileToChoose = m_dir.filePath("second.xml");
        writeFile(m_dir.filePath("first.xml"), sampleExport());
        writeFile(m_dir.filePath("second.xml"), sampleExport());
        bool ran = false;
        QTimer::singleShot(0, window(), [&] {
            ran = true;
            window()->FileOpenItem_Action();
            drop({"second.xml"});
        });
        drop({"first.xml"});
        QVERIFY(ran);
        QVERIFY(dialogs.fileDialogs.isEmpty());
        QCOMPARE(readFile(m_dir.filePath("first.xml")), repairedSampleExport());
        QCOMPARE(readFile(m_dir.filePath("second.xml")), sampleExport());
    }

    // Clicks, keys and key sequences (a menu's, Quit's) made while a repair
    // runs are not carried out, neither then nor once it is over, and a busy
    // cursor shows meanwhile.
    void inputDuringARepairIsDiscarded()
    {
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        bool ran = false;
        Qt::CursorShape cursor = Qt::ArrowCursor;
        QSignalSpy quit(shell::MainMenuBar::instance()->item("FileQuit"), &QAction::triggered);
        bool menuOpened = false;
        QTimer::singleShot(0, window(), [&] {
            ran = true;
            if (const QCursor* shown = QGuiApplication::overrideCursor())
                cursor = shown->shape();
            QTest::mouseClick(window()->NotJustVWBtn(), Qt::LeftButton, {}, QPoint(8, 10));
            window()->PreserveTabsBtn()->setFocus();
            QTest::keyClick(window()->PreserveTabsBtn(), Qt::Key_Space);
            QTest::keyClick(window(), Qt::Key_Q, Qt::ControlModifier);
            QTest::keyClick(window(), Qt::Key_F, Qt::AltModifier);
            menuOpened = QApplication::activePopupWidget() != nullptr;
        });
        drop({"show.xml"});
        QVERIFY(ran);
        QCOMPARE(quit.size(), 0);
        QVERIFY(!menuOpened);
        QVERIFY(!QApplication::activePopupWidget());
        QCOMPARE(cursor, Qt::WaitCursor);
        QCOMPARE(QGuiApplication::overrideCursor(), nullptr);
        QCoreApplication::processEvents();
        QVERIFY(!window()->NotJustVWBtn()->isChecked());
        QVERIFY(!window()->PreserveTabsBtn()->isChecked());
        QCOMPARE(readFile(m_dir.filePath("show.xml")), repairedSampleExport());
        // Once it is over, the same click counts again.
        QTest::mouseClick(window()->NotJustVWBtn(), Qt::LeftButton, {}, QPoint(8, 10));
        QVERIFY(window()->NotJustVWBtn()->isChecked());
    }

    void statusIsPaintedBeforeTheRepairStarts()
    {
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        PaintCounter counter(window()->ResultsLabel());
        QStringList seenByThePass;
        engine::DoIt(platform::FileRef(m_dir.filePath("show.xml")), false, false, *window(), {},
                     [&](const std::optional<platform::FileRef>&, bool, bool, const engine::YieldCallback&) {
                         seenByThePass << QString::number(counter.paints) << counter.lastPaintedText;
                         return engine::kResultDone;
                     });
        QCOMPARE(seenByThePass, (QStringList{"1", "Processing the file data..."}));
        QCOMPARE(window()->ResultsLabel()->text(), kDone);
    }

    void cancelledOpenDialogChangesNothing()
    {
        ScriptedDialogs dialogs;
        window()->SetStatusText("earlier");
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        QVERIFY(window()->FileOpenItem_Action());
        QCOMPARE(dialogs.fileDialogs, QStringList{"Select an .xml file | XML (*.xml *.[xX][mM][lL])"});
        QCOMPARE(window()->ResultsLabel()->text(), QStringLiteral("earlier"));
        QCOMPARE(readFile(m_dir.filePath("show.xml")), sampleExport());
    }

    void openMenuItemRepairsTheChosenFile()
    {
        ScriptedDialogs dialogs;
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        dialogs.fileToChoose = m_dir.filePath("show.xml");
        shell::MainMenuBar::instance()->item("FileOpenItem")->trigger();
        QCOMPARE(dialogs.fileDialogs.size(), 1);
        QCOMPARE(window()->ResultsLabel()->text(), kDone);
        QCOMPARE(readFile(m_dir.filePath("show.xml")), repairedSampleExport());
    }

    void optionsFromTheCheckboxes_data()
    {
        QTest::addColumn<bool>("anyFile");
        QTest::addColumn<bool>("preserveTabs");
        QTest::addColumn<QByteArray>("repaired");
        QTest::addColumn<bool>("keptCopy");
        const QByteArray stamped = "<AppStamp>Marlowbrook</AppStamp>";
        QTest::newRow("neither") << false << false << QByteArray("<Action>Entire Plot</Action>ab") + stamped << true;
        QTest::newRow("only preserve tabs")
            << false << true << QByteArray("<Action>Entire Plot</Action>ab") + stamped << true;
        QTest::newRow("only any file") << true << false
                                       << QByteArray("<Action>Entire Plot</Action>ab<AppStamp>Vectorworks</AppStamp>")
                                       << false;
        QTest::newRow("both") << true << true
                              << QByteArray("<Action>Entire Plot</Action>a\tb<AppStamp>Vectorworks</AppStamp>")
                              << false;
    }
    void optionsFromTheCheckboxes()
    {
        QFETCH(bool, anyFile);
        QFETCH(bool, preserveTabs);
        QFETCH(QByteArray, repaired);
        QFETCH(bool, keptCopy);
        const QByteArray original("<Action>Entire Plot</Action>a\tb\x01<AppStamp>Vectorworks</AppStamp>");
        writeFile(m_dir.filePath("options.xml"), original);
        // Ticking and clearing a box between requests counts only as its last state.
        const QPoint onTheBox(8, 10);
        QTest::mouseClick(window()->PreserveTabsBtn(), Qt::LeftButton, {}, onTheBox);
        if (!preserveTabs)
            QTest::mouseClick(window()->PreserveTabsBtn(), Qt::LeftButton, {}, onTheBox);
        QCOMPARE(window()->PreserveTabsBtn()->isChecked(), preserveTabs);
        window()->NotJustVWBtn()->setChecked(anyFile);
        drop({"options.xml"});
        QCOMPARE(readFile(m_dir.filePath("options.xml")), repaired);
        QCOMPARE(QFile::exists(m_dir.filePath("options (Original).xml")), keptCopy);
    }

    void aboutWindow()
    {
        shell::MainMenuBar::instance()->item("AboutThisApplication")->trigger();
        const QList<shell::AboutWnd*> windows = aboutWindows();
        QCOMPARE(windows.size(), 1);
        shell::AboutWnd* about = windows[0];
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillmend"));
        QCOMPARE(about->size(), QSize(750, 640));
        QVERIFY(about->windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(about->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        const QString text = about->AboutLabel()->text();
        QVERIFY(text.startsWith(
            QStringLiteral("64 bit Version %1, requires Marlowbrook 5 or later and Vectorworks 2009 "
                           "or later.\n\nSystem Requirements: macOS 10.10.5 or later or Windows 7 SP1 or later.")
                .arg(kShortVersion)));
        QVERIFY(!text.contains("xxxx") && !text.contains('\r'));
        QVERIFY(text.contains("copies  and pastes"));
        QVERIFY(text.contains("\n \nThe legal part:\n\n"));
        // Who disclaims what, and that a state may not allow it.
        QVERIFY(
            text.contains("\n\nIts maker accepts no liability for any loss or damage caused directly or indirectly by "
                          "this software. Some states do not allow such exclusions, so they may not apply to "
                          "you.\n\n"));
        // The installer shows the same terms before it installs.
        QFile terms(QStringLiteral(QUILLMEND_FREEWARE_TERMS));
        QVERIFY(terms.open(QIODevice::ReadOnly));
        QCOMPARE("The legal part:\n\n" + QString::fromUtf8(terms.readAll()).replace("\r\n", "\n").trimmed(),
                 text.mid(text.indexOf("The legal part:")));
        QCOMPARE(about->AboutLabel()->geometry(), QRect(20, 67, 710, 553));
        QCOMPARE(about->AboutLabelHeading()->geometry(), QRect(20, 20, 710, 35));
        QVERIFY(about->AboutLabelHeading()->text().startsWith("Quillmend"));
        QVERIFY(about->AboutLabelHeading()->font().bold());
        QCOMPARE(about->AboutLabelHeading()->font().pointSize(), 14);
        about->close();
        QTRY_VERIFY(aboutWindows().isEmpty());
    }

    // The desktop's font may be larger than Qt's own 9 pt; up to 12 pt, the
    // whole text shows: in the designed labels up to 11 pt, and at 12 pt with
    // the body a line taller, for the two lines of the liability terms.
    void aboutTextFitsItsLabels_data()
    {
        QTest::addColumn<int>("points");
        QTest::newRow("9 pt") << 9;
        QTest::newRow("11 pt") << 11;
        QTest::newRow("12 pt") << 12;
    }
    void aboutTextFitsItsLabels()
    {
        QFETCH(int, points);
        const QFont before = QApplication::font();
        QFont font = before;
        font.setPointSize(points);
        QApplication::setFont(font);
        window()->AboutThisApplication_Action();
        const QList<shell::AboutWnd*> windows = aboutWindows();
        QCOMPARE(windows.size(), 1);
        QVERIFY(QTest::qWaitForWindowExposed(windows[0]));
        QApplication::setFont(before);
        if (points < 12)
            QCOMPARE(windows[0]->height(), 640);
        const QLabel* body = windows[0]->AboutLabel();
        const QLabel* heading = windows[0]->AboutLabelHeading();
        QCOMPARE(body->font().pointSize(), points);
        QTRY_VERIFY2(body->heightForWidth(body->width()) <= body->height(),
                     qPrintable(QString::number(body->heightForWidth(body->width()))));
        QVERIFY2(heading->heightForWidth(heading->width()) <= heading->height(),
                 qPrintable(QString::number(heading->heightForWidth(heading->width()))));
        windows[0]->close();
        QTRY_VERIFY(aboutWindows().isEmpty());
    }

    void quitShortcutWorksFromAnAboutWindow()
    {
        window()->AboutThisApplication_Action();
        shell::AboutWnd* about = aboutWindows().value(0);
        QVERIFY(about);
        about->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(about));
        QSignalSpy quit(shell::MainMenuBar::instance()->item("FileQuit"), &QAction::triggered);
        QTest::keyClick(about, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(quit.size(), 1);
    }

    // In a menu bar drawn in the window, the captionless fourth menu is
    // neither drawn nor read out: the bar's items, as a screen reader sees
    // them, are File, Edit and Help.
    void fourthMenuTakesNoRoom()
    {
        if (shell::MainMenuBar::place() != shell::MenuBarPlace::InWindow)
            QSKIP("the menu bar is not in the window on this desktop");
        const QMenuBar* bar = window()->menuBar();
        QVERIFY(shell::MainMenuBar::instance()->item("Menu"));
        QVERIFY(!bar->actions().contains(shell::MainMenuBar::instance()->item("Menu")));
        const QRect help = bar->actionGeometry(shell::MainMenuBar::instance()->item("HelpMenu"));
        QCOMPARE(bar->actionAt(QPoint(help.right() + 3, help.center().y())), nullptr);
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(const_cast<QMenuBar*>(bar));
        QStringList names;
        for (int i = 0; i < read->childCount(); ++i)
            names << read->child(i)->text(QAccessible::Name);
        QCOMPARE(names, (QStringList{"File", "Edit", "Help"}));
    }

    // Where the desktop shows the menu bar at the top of the screen, no
    // window takes it in, and the fourth menu is there as on macOS.
    void menuBarAtTheTopOfTheScreenStaysApart()
    {
        const shell::MenuBarPlace desktop = shell::MainMenuBar::place();
        shell::MainMenuBar::setPlace(shell::MenuBarPlace::TopOfScreen);
        {
            const shell::Window1 other;
            QVERIFY(other.menuBar() != shell::MainMenuBar::instance());
            QVERIFY(other.menuBar()->actions().isEmpty());
            QCOMPARE(shell::MainMenuBar::instance()->actions().last(), shell::MainMenuBar::instance()->item("Menu"));
        }
        shell::MainMenuBar::setPlace(desktop);
        QCOMPARE(shell::MainMenuBar::instance()->actions().contains(shell::MainMenuBar::instance()->item("Menu")),
                 desktop == shell::MenuBarPlace::TopOfScreen);
        QCOMPARE(shell::MainMenuBar::instance()->parent() == window(), desktop == shell::MenuBarPlace::InWindow);
    }

    // Where no window can be opened, the program says so plainly and names
    // the command-line tool, rather than aborting with Qt's advice.
    void noDesktopIsSaidPlainly_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::newRow("no X display") << "xcb";
        QTest::newRow("no platform plugin to draw with") << "nonesuch";
    }
    void noDesktopIsSaidPlainly()
    {
#ifdef Q_OS_WIN
        // A Windows program starts on a desktop; under Wine a program whose
        // platform plugin is missing does not end (seen, not understood).
        QSKIP("every Windows session has a desktop");
#endif
        QFETCH(QString, platform);
        QProcess app;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", platform);
        app.setProcessEnvironment(environment);
        app.start(QStringLiteral(QUILLMEND_APP), {});
        QVERIFY(app.waitForFinished(30000));
        const QString said = QString::fromLocal8Bit(app.readAllStandardError());
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 1);
        QVERIFY2(said.startsWith(shell::NoDesktopMessage()), qPrintable(said));
        QVERIFY(said.contains("quillmend-cli FILE.xml"));
        QVERIFY(!said.contains("Reinstalling"));
    }

    void twoAboutWindowsAndAClickClosesOne()
    {
        QVERIFY(window()->AboutThisApplication_Action());
        QVERIFY(window()->AboutThisApplication_Action());
        const QList<shell::AboutWnd*> windows = aboutWindows();
        QCOMPARE(windows.size(), 2);
        QCOMPARE(windows[0]->AboutLabel()->text(), windows[1]->AboutLabel()->text());
        QPointer<shell::AboutWnd> clicked = windows[0];
        QTest::mouseClick(clicked->AboutLabel(), Qt::LeftButton, {}, QPoint(100, 100));
        QTRY_VERIFY(clicked.isNull());
        QCOMPARE(aboutWindows().size(), 1);
        QTest::mouseClick(aboutWindows()[0], Qt::LeftButton, {}, QPoint(5, 5));
        QTRY_VERIFY(aboutWindows().isEmpty());
        QVERIFY(window()->isVisible());
    }
};

QUILLMEND_GUI_TEST_MAIN(MainWindowTest)
#include "tst_main_window.moc"
