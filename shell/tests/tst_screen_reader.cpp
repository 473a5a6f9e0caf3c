// What a screen reader learns of the main window, through the desktop's
// accessibility bus (AT-SPI): every status text and message box announced,
// the drop area named, "OPTIONS:" as the label of both checkboxes. Run on a
// real X server with the bus running (tests/screen_reader.sh).
#include "shell/main_window.h"
#include "shell/tests/gui_test_support.h"
#include "tests/support/test_files.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLabel>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <functional>

using namespace quillmend;
using namespace quillmend::tests;

class ScreenReaderTest : public QObject {
    Q_OBJECT

private:
    ScratchFolder m_dir;
    shell::Window1* window() const { return shell::gMyWnd; }

private slots:
    void initTestCase()
    {
        shell::App::instance()->Event_Open();
        QVERIFY(QTest::qWaitForWindowExposed(window()));
        QTRY_VERIFY2(QAccessible::isActive(), "the accessibility bus is not running");
    }

    // A screen reader hears every status text and every message box, finds
    // the drop area by its name, and learns that "OPTIONS:" labels both
    // checkboxes.
    void screenReaderLearnsWhatHappens()
    {
        static QStringList heard;
        heard.clear();
        QAccessible::installUpdateHandler([](QAccessibleEvent* event) {
            if (event->type() != QAccessible::Alert)
                return;
            QAccessibleInterface* said = event->accessibleInterface();
            heard << (event->object()->inherits("QMessageBox") ? QStringLiteral("message box")
                                                               : said->text(QAccessible::Name));
        });
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(m_dir.filePath("show.xml"))});
        window()->Event_DropObject(&dropped);
        QTimer::singleShot(0, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        window()->ShowModalMessage(QStringLiteral("A message"));
        QAccessible::installUpdateHandler(nullptr);
        QCOMPARE(heard,
                 (QStringList{"Processing the file data...",
                              QStringLiteral("Done! Click back on Vectorworks and let it process the .xml file."),
                              "message box"}));

        QAccessibleInterface* dropArea = QAccessible::queryAccessibleInterface(window()->centralWidget());
        QCOMPARE(dropArea->text(QAccessible::Name), QStringLiteral("Drop area"));
        QCOMPARE(dropArea->text(QAccessible::Description), QStringLiteral("Drop an .xml file here"));
        QList<QObject*> labelled;
        for (const auto& [control, relation] :
             QAccessible::queryAccessibleInterface(window()->Label1())->relations(QAccessible::Labelled))
            labelled << control->object();
        QCOMPARE(labelled, (QList<QObject*>{window()->NotJustVWBtn(), window()->PreserveTabsBtn()}));
        // The tree as a screen reader walks it, for whoever reads the log.
        const std::function<void(QAccessibleInterface*, int)> show = [&](QAccessibleInterface* node, int depth) {
            qInfo("%s%s \"%s\"", qPrintable(QString(depth * 2, ' ')), qPrintable(QString::number(node->role(), 16)),
                  qPrintable(node->text(QAccessible::Name)));
            for (int i = 0; i < node->childCount(); ++i)
                show(node->child(i), depth + 1);
        };
        show(QAccessible::queryAccessibleInterface(window()), 0);
    }
};

QUILLMEND_GUI_TEST_MAIN(ScreenReaderTest)
#include "tst_screen_reader.moc"
