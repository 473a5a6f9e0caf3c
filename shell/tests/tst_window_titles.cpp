// What each window is called on a real X server: the title that the window
// system is given, which Qt may have changed from the widget's own.
#include "shell/about_window.h"
#include "shell/main_window.h"
#include "shell/tests/gui_test_support.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QTimer>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace quillmend;

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The window's _NET_WM_NAME as the X server holds it.
QString titleOnTheServer(QWidget* window)
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    xcb_flush(connection);
    const xcb_get_property_cookie_t cookie
        = xcb_get_property(connection, 0, xcb_window_t(window->winId()), atom(connection, "_NET_WM_NAME"),
                           atom(connection, "UTF8_STRING"), 0, 1024);
    const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply)
        return QStringLiteral("(no reply)");
    return QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
}

} // namespace

class WindowTitlesTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
        shell::App::instance()->Event_Open();
        QVERIFY(QTest::qWaitForWindowExposed(shell::gMyWnd));
    }

    void mainWindow() { QTRY_COMPARE(titleOnTheServer(shell::gMyWnd), QStringLiteral("Tallowick")); }

    void aboutWindow()
    {
        shell::gMyWnd->AboutThisApplication_Action();
        QWidget* about = tests::aboutWindows().value(0);
        QVERIFY(about);
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QTRY_COMPARE(titleOnTheServer(about), QStringLiteral("About Quillmend"));
        about->close();
    }

    void openDialog()
    {
        QString title;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            title = titleOnTheServer(dialog);
            if (title == QLatin1String("Select an .xml file"))
                static_cast<QDialog*>(dialog)->reject();
        });
        poll.start(50);
        QTimer::singleShot(5000, this, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        shell::Dialogs::current().chooseFile(shell::gMyWnd, QStringLiteral("Select an .xml file"),
                                             QStringLiteral("XML (*.xml)"));
        QCOMPARE(title, QStringLiteral("Select an .xml file"));
    }
};

QUILLMEND_GUI_TEST_MAIN(WindowTitlesTest)
#include "tst_window_titles.moc"
