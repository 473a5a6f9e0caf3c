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
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QStyleOption>
#include <QTemporaryDir>
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
    if (!values.isEmpty()) // an empty list has no storage to copy into
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
enum class Request { Minimise, FullScreen, Shade, Close };

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
    case Request::Shade: // xfwm4's "Roll Window Up"
        message.type = atom("_NET_WM_STATE");
        message.data.data32[0] = 1; // add
        message.data.data32[1] = atom(request == Request::Shade ? "_NET_WM_STATE_SHADED" : "_NET_WM_STATE_FULLSCREEN");
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
    /// Starts listening to every event of the program.
    bool listen()
    {
        start(m_client, QStringLiteral("watch"));
        if (!QTest::qWaitFor([this] { return heard().contains(QLatin1String("ready")); }, 20000))
            return false;
        // The program learns of a new listener a moment after the client has
        // registered it, and sends nothing before (seen on a busy machine):
        // a label shown anew until the client hears it.
        QLabel probe(QStringLiteral("listening"), shell::gMyWnd);
        return QTest::qWaitFor(
            [&] {
                probe.hide();
                probe.show();
                QTest::qWait(100);
                return !heard().filter(QStringLiteral("\tlistening")).isEmpty();
            },
            20000);
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

// Orca, the screen reader a blind user runs, on this desktop: what it speaks,
// read from its debug log (there is no sound device), which orca_logged.py
// has it write line by line.
class Orca {
public:
    /// Starts Orca, with the accessibility bus told that a screen reader
    /// runs; false, with the reason in `why`, where it cannot start.
    bool start(QString& why)
    {
        if (QStandardPaths::findExecutable(QStringLiteral("orca")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("gdbus")).isEmpty()) {
            why = QStringLiteral("Orca or gdbus is missing (tools/install-deps installs them)");
            return false;
        }
        QProcess::execute(QStringLiteral("gdbus"),
                          {"call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus", "--method",
                           "org.freedesktop.DBus.Properties.Set", "org.a11y.Status", "ScreenReaderEnabled", "<true>"});
        m_orca.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral(QUILLMEND_ORCA_LOGGED), "-d", "braille", "-d", "braille-monitor", "-u",
                      m_prefs.path(), "--debug-file", log()});
        if (!QTest::qWaitFor([this] { return spoken().contains(QLatin1String("Screen reader on.")); }, 30000)) {
            why = QStringLiteral("Orca did not start: ") + QString::fromUtf8(m_orca.readAllStandardError().right(500));
            return false;
        }
        waitUntilIdle();
        return true;
    }

    /// Waits until Orca has spoken of all that happened: it answers each
    /// event a few tenths of a second later, and it passes over one about
    /// a window that is no longer there when it comes to it. Its log grows
    /// while it works.
    void waitUntilIdle()
    {
        qint64 size = -1;
        QElapsedTimer still;
        still.start();
        (void)QTest::qWaitFor(
            [&] {
                const qint64 now = QFileInfo(log()).size();
                if (now != size)
                    still.restart();
                size = now;
                return still.elapsed() > 1500;
            },
            30000);
    }

    ~Orca()
    {
        m_orca.kill();
        m_orca.waitForFinished();
    }

    /// All that Orca has spoken, each utterance with its white space folded.
    QStringList spoken() const
    {
        QFile file(log());
        file.open(QIODevice::ReadOnly);
        const QString text = QString::fromUtf8(file.readAll());
        QStringList utterances;
        static const QRegularExpression line(QStringLiteral("SPEECH OUTPUT: '(.*?)' ?(\\{|voice=)"),
                                             QRegularExpression::DotMatchesEverythingOption);
        for (const QRegularExpressionMatch& match : line.globalMatch(text))
            utterances << match.captured(1).simplified();
        return utterances;
    }

private:
    QString log() const { return m_prefs.filePath(QStringLiteral("debug.out")); }

    QTemporaryDir m_prefs;
    QProcess m_orca;
};

// Presses keys on the X server, as the user does: each "down:KEY", "up:KEY"
// or a key's name as xdotool spells it, with time between them for the
// program and the screen reader.
void press(const QStringList& keys)
{
    for (const QString& key : keys) {
        if (key.startsWith(QLatin1String("down:")))
            QProcess::execute(QStringLiteral("xdotool"), {"keydown", key.mid(5)});
        else if (key.startsWith(QLatin1String("up:")))
            QProcess::execute(QStringLiteral("xdotool"), {"keyup", key.mid(3)});
        else
            QProcess::execute(QStringLiteral("xdotool"), {"key", key});
        QTest::qWait(700);
    }
}

// The screen as shown, in its own pixels, and where a widget's rectangle
// lies in them.
struct ScreenShot {
    QImage image;
    qreal scale;

    static ScreenShot of(QScreen* screen)
    {
        QImage image = screen->grabWindow(0).toImage();
        return {image, qreal(image.width()) / screen->geometry().width()};
    }
    QRect place(const QWidget* widget, const QRect& rect) const
    {
        return QRect(widget->mapToGlobal(rect.topLeft()) * scale, rect.size() * scale) & image.rect();
    }
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

    // A test that fails half-way leaves no About window to the next.
    void cleanup()
    {
        for (shell::AboutWnd* about : aboutWindows())
            about->close();
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
            const ScreenShot shown = ScreenShot::of(window->screen());
            for (QWidget* control : window->findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(control);
                if (!control->isVisible() || !(label || qobject_cast<QCheckBox*>(control))
                    || (label && label->text().isEmpty()))
                    continue;
                const double ratio = contrastShown(shown.image, shown.place(control, control->rect()));
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

    // Where the user looks for a control, it stands out on the screen's
    // pixels: each checkbox's box against the window at 3:1, the chosen menu
    // item and the open menu's title at 4.5:1.
    void controlsStandOut()
    {
        QTest::qWait(200);
        ScreenShot shown = ScreenShot::of(shell::gMyWnd->screen());
        QStringList faint;
        const QColor window
            = shown.image.pixelColor(shown.place(shell::gMyWnd->centralWidget(), QRect(4, 4, 1, 1)).topLeft());
        for (QCheckBox* box : {shell::gMyWnd->NotJustVWBtn(), shell::gMyWnd->PreserveTabsBtn()}) {
            QStyleOptionButton option;
            option.initFrom(box);
            const QRect indicator
                = shown.place(box, box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box));
            double boundary = 1; // the strongest along the box's outer edge
            for (int x = indicator.left(); x <= indicator.right(); ++x)
                for (int y : {indicator.top(), indicator.top() + 1, indicator.bottom() - 1, indicator.bottom()})
                    boundary = std::max(boundary, ContrastRatio(shown.image.pixelColor(x, y), window));
            qInfo("%s's box: %.2f:1", qPrintable(box->objectName()), boundary);
            if (boundary < 3)
                faint << box->objectName();
        }
        QMenuBar* bar = shell::gMyWnd->menuBar();
        QMenu* file = bar->actions().value(0)->menu();
        bar->setActiveAction(bar->actions().value(0));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        file->setActiveAction(file->actions().value(0));
        QTest::qWait(300);
        shown = ScreenShot::of(shell::gMyWnd->screen());
        const double item
            = contrastShown(shown.image, shown.place(file, file->actionGeometry(file->actions().value(0))));
        const double title = contrastShown(shown.image, shown.place(bar, bar->actionGeometry(bar->actions().value(0))));
        file->close();
        qInfo("chosen item: %.2f:1, open menu's title: %.2f:1", item, title);
        if (item < 4.5)
            faint << QStringLiteral("the chosen menu item");
        if (title < 4.5)
            faint << QStringLiteral("the open menu's title");
        QVERIFY2(faint.isEmpty(), qPrintable(faint.join(", ")));
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
        // openbox offers these whatever the hints say, xfwm4 rolls a window
        // up: the window stays as it is (xfwm4 marks the focused one so).
        for (Request request : {Request::Minimise, Request::FullScreen, Request::Shade}) {
            ask(window, request);
            QTest::qWait(300);
            const auto states = [&] {
                return atomNames(serverProperty(native(window), "_NET_WM_STATE"))
                    .filter(QRegularExpression(QStringLiteral("^(?!_NET_WM_STATE_FOCUSED$)")))
                    .join(QLatin1Char(' '));
            };
            QTRY_COMPARE(states(), QString());
            QTRY_VERIFY(window->isVisible() && window->windowState() == Qt::WindowNoState);
            // Back where it was; at 150 % a logical pixel comes to one or
            // two of the X server's, as Qt rounds the frame's position.
            const int rounding = window->devicePixelRatio() == int(window->devicePixelRatio()) ? 0 : 2;
            const auto offBy = [&](const QRect& frame) {
                return std::max({std::abs(frame.left() - framed.left()), std::abs(frame.top() - framed.top()),
                                 std::abs(frame.right() - framed.right()), std::abs(frame.bottom() - framed.bottom())});
            };
            QTRY_VERIFY2(offBy(frameOnTheServer(window)) <= rounding,
                         qPrintable(QStringLiteral("off by %1 pixels").arg(offBy(frameOnTheServer(window)))));
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

    // What Orca speaks as a blind user goes through the window by keyboard:
    // About's heading before its body; each option by its own caption, in
    // the group "OPTIONS:"; a repair's outcome, once.
    void orcaSpeaksTheWindow()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            QSKIP("xdotool is missing (tools/install-deps installs it)");
        Orca orca;
        QString why;
        if (!orca.start(why))
            QSKIP(qPrintable(why));
        ScriptedDialogs dialogs;
        writeFile(m_dir.filePath("spoken.xml"), sampleExport());
        dialogs.fileToChoose = m_dir.filePath("spoken.xml");
        shell::gMyWnd->NotJustVWBtn()->setFocus(Qt::OtherFocusReason);
        press({"down:alt", "f", "up:alt", "Right", "Right", "Return"}); // Help > About
        QTRY_COMPARE(aboutWindows().size(), 1);
        orca.waitUntilIdle();
        press({"alt+F4"});
        QTRY_VERIFY(aboutWindows().isEmpty() && shell::gMyWnd->isActiveWindow());
        orca.waitUntilIdle();
        press({"Tab"});
        QCOMPARE(QApplication::focusWidget(), shell::gMyWnd->PreserveTabsBtn());
        orca.waitUntilIdle();
        press({"down:alt", "f", "up:alt", "Return"}); // File > Open...
        QTRY_COMPARE(shell::gMyWnd->ResultsLabel()->text(),
                     QStringLiteral("Done! Click back on Vectorworks and let it process the .xml file."));
        orca.waitUntilIdle();
        const QStringList spoken = orca.spoken();
        for (const QString& utterance : spoken)
            qInfo("Orca: %s", qPrintable(utterance.left(120)));
        const auto first = [&](const QString& start, qsizetype from = 0) {
            for (qsizetype i = from; i < spoken.size(); ++i) {
                if (spoken[i].startsWith(start))
                    return i;
            }
            return qsizetype(-1);
        };
        // The dialog, its labels in order, then the focus on its text.
        const qsizetype about
            = first("About Quillmend dialog Quillmend \u00A9 2026 The Quillmend developers 64 bit Version");
        QVERIFY(about >= 0);
        QCOMPARE(spoken.value(about + 1), QStringLiteral("About Quillmend."));
        const qsizetype back = first("Tallowick frame.", about);
        QVERIFY(back >= 0);
        QCOMPARE(spoken.mid(back + 1, 2),
                 (QStringList{"OPTIONS: panel.",
                              "Use on any file, not just Vectorworks .xml files check box not checked."}));
        QVERIFY(first("Preserve tab characters check box not checked.", back) > back);
        QVERIFY(first("OPTIONS: check box") < 0);
        QCOMPARE(spoken.filter(QStringLiteral("Done!")),
                 QStringList{"notification Done! Click back on Vectorworks and let it process the .xml file."});
    }
};

QUILLMEND_GUI_TEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
