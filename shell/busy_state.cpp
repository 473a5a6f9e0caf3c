// BusyState: a busy cursor, and the user's input discarded meanwhile.
#include "shell/busy_state.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>

namespace quillmend::shell {

namespace {

bool isUserInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}

} // namespace

BusyState::BusyState()
{
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    QCoreApplication::instance()->installEventFilter(this);
}

BusyState::~BusyState()
{
    // Input that came in during the last stretch, when the event loop could
    // not run, is still waiting: it is let in now, and discarded with the rest.
    QCoreApplication::processEvents();
    QCoreApplication::instance()->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

bool BusyState::eventFilter(QObject*, QEvent* event)
{
    // A key sequence reaches menus and actions as a shortcut event that Qt
    // sends itself (not spontaneous), after the key press: Quit or Alt+F
    // would get through. Only the user's keys make those, so they all go.
    if (event->type() == QEvent::Shortcut || event->type() == QEvent::ShortcutOverride)
        return true;
    // Otherwise only what the user did; what the program sends itself goes through.
    return event->spontaneous() && isUserInput(event);
}

} // namespace quillmend::shell
