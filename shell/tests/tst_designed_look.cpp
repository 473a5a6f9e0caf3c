// The windows' colours on light and dark desktops, and the keyboard focus:
// readable text (4.5:1) and a visible focus (3:1), as computed from the
// palettes the widgets are drawn with.
#include "shell/about_window.h"
#include "shell/designed_look.h"
#include "shell/main_window.h"
#include "shell/tests/gui_test_support.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>

using namespace quillmend;
using quillmend::tests::ContrastRatio;

class DesignedLookTest : public QObject {
    Q_OBJECT

private:
    QPalette m_lightDesktop;

private slots:
    void initTestCase()
    {
        m_lightDesktop = QApplication::palette();
        shell::App::instance()->Event_Open();
        QVERIFY(QTest::qWaitForWindowExposed(shell::gMyWnd));
    }
    void cleanup() { QApplication::setPalette(m_lightDesktop); }

    // The keyboard focus starts on the first option and Tab goes from option
    // to option, never to the window's body, which shows no focus.
    void focusStartsOnTheFirstOption()
    {
        shell::Window1* window = shell::gMyWnd;
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QList<QWidget*> stops{QApplication::focusWidget()};
        for (int tab = 0; tab < 2; ++tab) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            stops << QApplication::focusWidget();
        }
        QCOMPARE(stops, (QList<QWidget*>{window->NotJustVWBtn(), window->PreserveTabsBtn(), window->NotJustVWBtn()}));
    }

    void textIsReadable_data()
    {
        QTest::addColumn<QPalette>("desktop");
        QTest::addColumn<bool>("designedColours"); // the windows keep the desktop's own palette
        QTest::newRow("light desktop") << m_lightDesktop << true;
        // Adwaita-dark's window background and text.
        QPalette dark(QColor(0x32, 0x32, 0x32));
        dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEC));
        dark.setColor(QPalette::Text, QColor(0xEE, 0xEE, 0xEC));
        QTest::newRow("dark desktop") << dark << false;
    }
    void textIsReadable()
    {
        QFETCH(QPalette, desktop);
        QFETCH(bool, designedColours);
        QApplication::setPalette(desktop);
        shell::UseDesignedLook(*qApp);
        QCoreApplication::processEvents(); // the windows take the new palette
        shell::gMyWnd->AboutThisApplication_Action();
        shell::AboutWnd* about = tests::aboutWindows().value(0);
        QVERIFY(about);
        QStringList unreadable;
        for (const QWidget* window : {static_cast<QWidget*>(shell::gMyWnd), static_cast<QWidget*>(about)}) {
            const QColor background = window->palette().color(QPalette::Window);
            for (const QWidget* control : window->findChildren<QWidget*>()) {
                if (!qobject_cast<const QLabel*>(control) && !qobject_cast<const QCheckBox*>(control))
                    continue;
                const double ratio = ContrastRatio(control->palette().color(QPalette::WindowText), background);
                qInfo("%s: %.2f:1", qPrintable(control->objectName()), ratio);
                if (ratio < 4.5)
                    unreadable << control->objectName();
            }
        }
        about->close();
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(", ")));
        QCOMPARE(shell::gMyWnd->palette().color(QPalette::Window) == desktop.color(QPalette::Window), designedColours);
        // The designed colours stay whatever the desktop.
        QCOMPARE(shell::gMyWnd->InstructLabel()->palette().color(QPalette::WindowText), QColor(13, 24, 34));
        QCOMPARE(shell::gMyWnd->ResultsLabel()->palette().color(QPalette::WindowText), QColor(194, 0, 9));
    }

    // The focused control shows it from the start, not only after the user
    // has moved the focus with the keyboard, at 3:1 or more: an option, and
    // About's text, which scrolls with the arrow keys.
    void focusIsVisible_data()
    {
        QTest::addColumn<bool>("about");
        QTest::newRow("option") << false;
        QTest::newRow("About's text") << true;
    }
    void focusIsVisible()
    {
        QFETCH(bool, about);
        QWidget* window = shell::gMyWnd;
        if (about) {
            shell::gMyWnd->AboutThisApplication_Action();
            window = tests::aboutWindows().value(0);
            QVERIFY(window);
        }
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QWidget* focusable = about ? window->findChild<QWidget*>("Body") : shell::gMyWnd->NotJustVWBtn();
        QWidget* elsewhere = about ? nullptr : shell::gMyWnd->PreserveTabsBtn();
        if (elsewhere)
            elsewhere->setFocus(Qt::OtherFocusReason);
        else
            focusable->clearFocus();
        const QImage unfocused = window->grab().toImage();
        focusable->setFocus(Qt::OtherFocusReason);
        QVERIFY(focusable->hasFocus());
        const QImage focused = window->grab().toImage();
        if (about)
            window->close();
        QCOMPARE(focused.size(), unfocused.size());
        const QColor background = window->palette().color(QPalette::Window);
        const QRect around(focusable->mapTo(window, QPoint()) * focused.devicePixelRatio(),
                           focusable->size() * focused.devicePixelRatio());
        double strongest = 1;
        for (int y = around.top(); y <= around.bottom(); ++y) {
            for (int x = around.left(); x <= around.right(); ++x) {
                if (focused.pixel(x, y) != unfocused.pixel(x, y))
                    strongest = std::max(strongest, ContrastRatio(focused.pixelColor(x, y), background));
            }
        }
        qInfo("focus indicator: %.2f:1", strongest);
        QVERIFY2(strongest >= 3, qPrintable(QString::number(strongest)));
    }
};

QUILLMEND_GUI_TEST_MAIN(DesignedLookTest)
#include "tst_designed_look.moc"
