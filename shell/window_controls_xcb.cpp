// Window hints on X11: the Motif hints, as window managers read them.
#include "shell/internal/window_hints.h"

#include <QGuiApplication>
#include <QWidget>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <cstdlib>
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
    static const char name[] = "_MOTIF_WM_HINTS";
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr), &std::free);
    if (!atom)
        return;
    const std::uint32_t functions = kFunctionMove | (closing == Closing::Offered ? kFunctionClose : 0u);
    // flags, functions, decorations, input mode, status
    const std::array<std::uint32_t, 5> hints{kHintsFunctions | kHintsDecorations, functions, kDecorBorder | kDecorTitle,
                                             0, 0};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), atom->atom, atom->atom, 32,
                        hints.size(), hints.data());
    xcb_flush(connection);
}

bool WindowManagerMayOverride()
{
    return onX11();
}

} // namespace internal

} // namespace quillmend::shell
