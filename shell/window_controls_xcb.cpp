// Window hints on X11: the Motif hints, as window managers read them, and a
// window rolled up by its window manager unrolled.
#include "shell/internal/window_hints.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QSet>
#include <QWidget>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace quillmend::shell {

namespace {

// The _MOTIF_WM_HINTS property, as Motif's MwmUtil.h lays it out.
enum : std::uint32_t {
    kHintsFunctions = 1u << 0,
    kHintsDecorations = 1u << 1,
    kFunctionMove = 1u << 2,
    kFunctionClose = 1u << 5,
    kDecorBorder = 1u << 1,
    kDecorTitle = 1u << 3,
};

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name),
                              nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A window manager may roll a window up to its title bar ("shade" it:
// xfwm4 does, whatever the hints say), a state Qt does not know: the
// window is unrolled at once, as a minimised one is restored.
class Unroller : public QAbstractNativeEventFilter {
public:
    explicit Unroller(xcb_connection_t* connection)
        : m_connection(connection)
        , m_state(atom(connection, "_NET_WM_STATE"))
        , m_shaded(atom(connection, "_NET_WM_STATE_SHADED"))
    {
    }

    void watch(xcb_window_t window) { m_windows.insert(window); }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->atom == m_state && m_windows.contains(change->window) && QWidget::find(WId(change->window))
            && shaded(change->window))
            unroll(change->window);
        return false;
    }

private:
    bool shaded(xcb_window_t window) const
    {
        const std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 0, window, m_state, XCB_ATOM_ATOM, 0, 64), nullptr),
            &std::free);
        if (!reply)
            return false;
        const auto* states = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
        const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
        return std::find(states, states + count, m_shaded) != states + count;
    }

    // As EWMH has it: a message to the root
    // window, "remove" (0), from an application (1).
    void unroll(xcb_window_t window) const
    {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = m_state;
        message.data.data32[0] = 0;
        message.data.data32[1] = m_shaded;
        message.data.data32[3] = 1;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_send_event(m_connection, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(m_connection);
    }

    xcb_connection_t* m_connection;
    xcb_atom_t m_state;
    xcb_atom_t m_shaded;
    QSet<xcb_window_t> m_windows;
};

} // namespace

namespace internal {

// Qt writes the hints from the window's flags when it makes the native
// window, and a window manager reads them when it maps the window; the
// show event comes between the two. Elsewhere than on X11 (Wayland), the
// window has no such hints.
void WriteWindowHints(QWidget* window, Closing closing)
{
    // On X11 alone: the offscreen platform answers for X11 too, with no connection.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!onX11() || !x11 || !x11->connection() || !window->windowHandle())
        return;
    xcb_connection_t* connection = x11->connection();
    static Unroller* const unroller = [connection] {
        auto* made = new Unroller(connection);
        qGuiApp->installNativeEventFilter(made);
        return made;
    }();
    unroller->watch(xcb_window_t(window->winId()));
    const xcb_atom_t hintsAtom = atom(connection, "_MOTIF_WM_HINTS");
    if (hintsAtom == XCB_ATOM_NONE)
        return;
    const std::uint32_t functions = kFunctionMove | (closing == Closing::Offered ? kFunctionClose : 0u);
    // flags, functions, decorations, input mode, status
    const std::array<std::uint32_t, 5> hints{kHintsFunctions | kHintsDecorations, functions, kDecorBorder | kDecorTitle,
                                             0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), hintsAtom, hintsAtom, 32,
                        hints.size(), hints.data());
    xcb_flush(connection);
}

bool WindowManagerMayOverride()
{
    return onX11();
}

} // namespace internal

} // namespace quillmend::shell
