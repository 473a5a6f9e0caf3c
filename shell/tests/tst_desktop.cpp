// The windows on a desktop as a user has it: a real X server with the
// openbox window manager, the GTK platform theme on a dark desktop, and the
// accessibility bus read by a separate client as a screen reader reads it.
// What is checked is what the X server holds and shows, and what the client
// hears: titles, frames, allowed actions, pixels, events. Run by desktop.sh.
#include "shell/about_window.h"
#include "shell/main_window.h"
#include "shell/tests/gui_test_support.h"
#include "tests/support/test_files.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

using namespace quillmend;
using namespace quillmend::tests;

namespace {

template <typename Reply>
using XReply = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_connection_t* connection()
{
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

xcb_window_t root()
{
    return xcb_setup_roots_iterator(xcb_get_setup(connection())).data->root;
}

xcb_atom_t atom(const char* name)
{
    const XReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(connection(), xcb_intern_atom(connection(), 0, uint16_t(qstrlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A property of `window` as the X server holds it.
QByteArray serverProperty(xcb_window_t window, const char* name)
{
    xcb_flush(connection());
    const XReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(
            connection(), xcb_get_property(connection(), 0, window, atom(name), XCB_GET_PROPERTY_TYPE_ANY, 0, 4096),
            nullptr),
        &std::free);
    if (!reply)
        return {};
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

QList<quint32> numbers(const QByteArray& property)
{
    QList<quint32> values(property.size() / 4);
    memcpy(values.data(), property.constData(), values.size() * 4);
    return values;
}

QStringList atomNames(const QByteArray& property)
{
    QStringList names;
    for (quint32 value : numbers(property)) {
        const XReply<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(connection(), xcb_get_atom_name(connection(), value), nullptr), &std::free);
        if (reply)
            names << QString::fromLatin1(xcb_get_atom_name_name(reply.get()),
                                         xcb_get_atom_name_name_length(reply.get()));
    }
    return names;
}

xcb_window_t native(QWidget* window)
{
    return xcb_window_t(window->winId());
}

// The window with its frame, in the X server's pixels: where the user sees it.
QRect frameOnTheServer(QWidget* window)
{
    xcb_flush(connection());
    const XReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection(), xcb_get_geometry(connection(), native(window)), nullptr), &std::free);
    const XReply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(connection(),
                                        xcb_translate_coordinates(connection(), native(window), root(), 0, 0), nullptr),
        &std::free);
    const QList<quint32> frame
        = numbers(serverProperty(native(window), "_NET_FRAME_EXTENTS")); // left, right, top, bottom
    if (!geometry || !origin || frame.size() != 4)
        return {};
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height)
        .adjusted(-int(frame[0]), -int(frame[2]), int(frame[1]), int(frame[3]));
}

// What the user may ask of a window through its window manager.
enum class Request { Minimise, FullScreen, Close };

void ask(QWidget* window, Request request)
{
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = native(window);
    switch (request) {
    case Request::Minimise:
        message.type = atom("WM_CHANGE_STATE");
        message.data.data32[0] = 3; // IconicState
        break;
    case Request::FullScreen:
        message.type = atom("_NET_WM_STATE");
        message.data.data32[0] = 1; // add
        message.data.data32[1] = atom("_NET_WM_STATE_FULLSCREEN");
        break;
    case Request::Close:
        message.type = atom("_NET_CLOSE_WINDOW");
        break;
    }
    xcb_send_event(connection(), 0, root(), XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection());
}

// A screen reader's client on the accessibility bus (atspi_client.py).
class ScreenReader {
public:
    /// The program's tree, a line for each object: depth, role, name, states, relations.
    static QStringList tree()
    {
        QProcess client;
        start(client, QStringLiteral("tree"));
        // The client asks, the program answers: its event loop must run.
        if (!QTest::qWaitFor([&] { return client.state() == QProcess::NotRunning; }, 20000) || client.exitCode() != 0)
            qWarning("%s", client.readAllStandardError().constData());
        return QString::fromUtf8(client.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    /// Starts listening to every event of the program.
    bool listen()
    {
        start(m_client, QStringLiteral("watch"));
        return QTest::qWaitFor([this] { return heard().contains(QLatin1String("ready")); }, 20000);
    }
    /// Every line heard so far: "event", type, detail, role and name, tab-separated.
    QStringList heard()
    {
        m_heard += QString::fromUtf8(m_client.readAllStandardOutput());
        return m_heard.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    ~ScreenReader()
    {
        m_client.kill();
        m_client.waitForFinished();
    }

private:
    // Debian's Python, which has the libatspi bindings (python3-gi).
    static void start(QProcess& client, const QString& mode)
    {
        client.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(QUILLMEND_ATSPI_CLIENT), mode, QString::number(QCoreApplication::applicationPid())});
    }

    QProcess m_client;
    QString m_heard;
};

// The darkest-to-lightest contrast within `area` of the screen as shown:
// a control's text against its background.
double contrastShown(const QImage& screen, const QRect& area)
{
    QMap<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[screen.pixel(x, y)];
    QRgb background = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        background = it.value() > counts.value(background) ? it.key() : background;
    double strongest = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        strongest = std::max(strongest, ContrastRatio(QColor(it.key()), QColor(background)));
    return strongest;
}

// Waits until `window` is framed by the window manager and fitted again with
// its frame: where it stays.
bool settled(QWidget* window)
{
    QRect frame;
    QElapsedTimer unchanged;
    unchanged.start();
    const auto still = [&] {
        const QRect now = frameOnTheServer(window);
        if (now != frame)
            unchanged.restart();
        frame = now;
        return frame.isValid() && unchanged.elapsed() > 200;
    };
    if (QTest::qWaitFor(still, 20000))
        return true;
    qWarning("the frame was still %d,%d %dx%d", frame.x(), frame.y(), frame.width(), frame.height());
    return false;
}

shell::AboutWnd* openAbout()
{
    shell::gMyWnd->AboutThisApplication_Action();
    shell::AboutWnd* about = aboutWindows().value(0);
    return about && QTest::qWaitForWindowActive(about) && settled(about) ? about : nullptr;
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private:
    ScratchFolder m_dir;

private slots:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs an X server (run by desktop.sh)");
        shell::App::instance()->Event_Open();
        // A window manager may leave a new window unfocused until asked.
        QVERIFY(QTest::qWaitForWindowExposed(shell::gMyWnd));
        shell::gMyWnd->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shell::gMyWnd));
        QVERIFY(settled(shell::gMyWnd));
    }

    // The titles the window system is given, which Qt may change from the widgets' own.
    void titles()
    {
        QTRY_COMPARE(serverProperty(native(shell::gMyWnd), "_NET_WM_NAME"), QByteArray("Tallowick"));
        shell::AboutWnd* about = openAbout();
        QVERIFY(about);
        QTRY_COMPARE(serverProperty(native(about), "_NET_WM_NAME"), QByteArray("About Quillmend"));
        about->close();
        QByteArray dialogTitle;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            dialogTitle = serverProperty(native(dialog), "_NET_WM_NAME");
            if (!dialogTitle.isEmpty())
                dialog->reject();
        });
        poll.start(50);
        shell::Dialogs::current().chooseFile(shell::gMyWnd, QStringLiteral("Select an .xml file"),
                                             QStringLiteral("XML (*.xml)"));
        QCOMPARE(dialogTitle, QByteArray("Select an .xml file"));
    }

    // On a dark desktop through the GTK theme, every text of both windows
    // reads at 4.5:1 or more, measured on the screen's pixels.
    void textIsReadableOnTheDarkDesktop()
    {
        const QPalette themes = QApplication::style()->standardPalette();
        QVERIFY2(themes.color(QPalette::Window).lightness() < themes.color(QPalette::WindowText).lightness(),
                 "not a dark desktop: run with QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark");
        shell::gMyWnd->SetStatusText(QStringLiteral("Processing the file data..."));
        QStringList unreadable;
        const auto measure = [&](QWidget* window) {
            QTest::qWait(200);
            QScreen* screen = window->screen();
            const QImage shown = screen->grabWindow(0).toImage();
            const qreal scale = qreal(shown.width()) / screen->geometry().width();
            for (QWidget* control : window->findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(control);
                if (!control->isVisible() || !(label || qobject_cast<QCheckBox*>(control))
                    || (label && label->text().isEmpty()))
                    continue;
                const QRect area(control->mapToGlobal(QPoint(0, 0)) * scale, control->size() * scale);
                const double ratio = contrastShown(shown, area & shown.rect());
                qInfo("%s: %.2f:1", qPrintable(control->objectName()), ratio);
                if (ratio < 4.5)
                    unreadable << control->objectName();
            }
        };
        measure(shell::gMyWnd);
        shell::AboutWnd* about = openAbout();
        QVERIFY(about);
        measure(about);
        about->close();
        shell::gMyWnd->SetStatusText(QString());
        QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(", ")));
    }

    // The window manager lets the user move the main window and nothing
    // else; the About window, move and close.
    void windowManagerKeepsTheWindowsAsDesigned_data()
    {
        QTest::addColumn<bool>("about");
        QTest::addColumn<quint32>("functions"); // Motif's: move 4, close 32
        QTest::newRow("main window") << false << 4u;
        QTest::newRow("About") << true << 4u + 32u;
    }
    void windowManagerKeepsTheWindowsAsDesigned()
    {
        QFETCH(bool, about);
        QFETCH(quint32, functions);
        QWidget* window = about ? static_cast<QWidget*>(openAbout()) : shell::gMyWnd;
        QVERIFY(window);
        QCOMPARE(numbers(serverProperty(native(window), "_MOTIF_WM_HINTS")).value(1), functions);
        qInfo("allowed actions: %s",
              qPrintable(atomNames(serverProperty(native(window), "_NET_WM_ALLOWED_ACTIONS")).join(QLatin1Char(' '))));
        const QRect framed = frameOnTheServer(window);
        // openbox offers these whatever the hints say: the window stays as it is.
        for (Request request : {Request::Minimise, Request::FullScreen}) {
            ask(window, request);
            QTest::qWait(300);
            QTRY_COMPARE(serverProperty(native(window), "_NET_WM_STATE"), QByteArray());
            QTRY_VERIFY(window->isVisible() && window->windowState() == Qt::WindowNoState);
            QTRY_COMPARE(frameOnTheServer(window), framed);
        }
        ask(window, Request::Close);
        if (about) {
            QTRY_VERIFY(aboutWindows().isEmpty());
        } else {
            QTest::qWait(300);
            QVERIFY(window->isVisible());
        }
    }

    // Each window with its frame lies inside the screen's work area; the
    // main window in its middle.
    void framedWindowsLieInsideTheScreen()
    {
        const QList<quint32> area = numbers(serverProperty(root(), "_NET_WORKAREA"));
        QVERIFY(area.size() >= 4);
        const QRect workArea(area[0], area[1], area[2], area[3]);
        const QRect main = frameOnTheServer(shell::gMyWnd);
        shell::AboutWnd* about = openAbout();
        QVERIFY(about);
        const QRect aboutFrame = frameOnTheServer(about);
        about->close();
        qInfo("work area %d,%d %dx%d; main window %d,%d %dx%d; About %d,%d %dx%d", workArea.x(), workArea.y(),
              workArea.width(), workArea.height(), main.x(), main.y(), main.width(), main.height(), aboutFrame.x(),
              aboutFrame.y(), aboutFrame.width(), aboutFrame.height());
        QVERIFY(workArea.contains(main));
        QVERIFY(workArea.contains(aboutFrame));
        QVERIFY((main.center() - workArea.center()).manhattanLength() <= 2);
    }

    // A screen reader presents each status text by itself, as a
    // notification shown, and each message box as an alert.
    void screenReaderPresentsTheOutcome()
    {
        ScreenReader reader;
        QVERIFY(reader.listen());
        const auto heardShown = [&](const QString& role, const QString& name) {
            return reader.heard().contains(
                QStringLiteral("event\tobject:state-changed:showing\t1\t%1\t%2").arg(role, name));
        };
        shell::gMyWnd->SetStatusText(QStringLiteral("Processing the file data..."));
        QTRY_VERIFY(heardShown(QStringLiteral("notification"), QStringLiteral("Processing the file data...")));
        writeFile(m_dir.filePath("show.xml"), sampleExport());
        QMimeData dropped;
        dropped.setUrls({QUrl::fromLocalFile(m_dir.filePath("show.xml"))});
        shell::gMyWnd->Event_DropObject(&dropped);
        QTRY_VERIFY(heardShown(QStringLiteral("notification"),
                               QStringLiteral("Done! Click back on Vectorworks and let it process the .xml file.")));
        bool alerted = false;
        QTimer::singleShot(0, [&] {
            alerted = QTest::qWaitFor([&] {
                return reader.heard().filter(QStringLiteral("event\twindow:activate\t0\talert\t")).size() == 1;
            });
            QApplication::activeModalWidget()->close();
        });
        shell::gMyWnd->ShowModalMessage(QStringLiteral("A message"));
        QVERIFY(alerted);
    }

    // What a screen reader finds: "OPTIONS:" labels both checkboxes; About is
    // a dialog named by its title, with a heading, its focus on something named.
    void screenReaderFindsTheWindowsParts()
    {
        ScreenReader reader;
        QVERIFY(reader.listen());
        shell::AboutWnd* about = openAbout();
        QVERIFY(about);
        QTRY_VERIFY(!reader.heard().filter(QRegularExpression(QStringLiteral("^event\tfocus:.*\tfiller\t"))).isEmpty());
        const QStringList focus = reader.heard().filter(QRegularExpression(QStringLiteral("^event\tfocus:")));
        QCOMPARE(focus.last().section(QLatin1Char('\t'), 4), QStringLiteral("About Quillmend"));
        const QStringList tree = ScreenReader::tree();
        about->close();
        const auto find = [&](const QString& role, const QString& name) {
            for (const QString& line : tree) {
                const QStringList fields = line.split(QLatin1Char('\t'));
                if (fields.value(1) == role && fields.value(2).startsWith(name))
                    return fields;
            }
            return QStringList();
        };
        QCOMPARE(find(QStringLiteral("check box"), QStringLiteral("Use on any file")).value(4),
                 QStringLiteral("labelled-by:OPTIONS:"));
        QCOMPARE(find(QStringLiteral("check box"), QStringLiteral("Preserve tab")).value(4),
                 QStringLiteral("labelled-by:OPTIONS:"));
        QVERIFY(!find(QStringLiteral("dialog"), QStringLiteral("About Quillmend")).isEmpty());
        QVERIFY(!find(QStringLiteral("heading"), QStringLiteral("Quillmend \u00A9 2026")).isEmpty());
    }
};

QUILLMEND_GUI_TEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
