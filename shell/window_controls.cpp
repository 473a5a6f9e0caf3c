// A window that stays as designed, whatever its window manager offers.
#include "shell/window_controls.h"

#include "shell/internal/window_hints.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace quillmend::shell {

namespace {

class ActionLimiter : public QObject {
public:
    ActionLimiter(QWidget* window, Closing closing)
        : QObject(window)
        , m_closing(closing)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = static_cast<QWidget*>(watched);
        if (event->type() == QEvent::Show)
            internal::WriteWindowHints(window, m_closing);
        if (event->type() == QEvent::WindowStateChange && internal::WindowManagerMayOverride()
            && window->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
            // Later, not in the middle of the window system's own change.
            // (The limiter is the window's child: the call goes with it.)
            QTimer::singleShot(0, this, [window] {
                window->setWindowState(Qt::WindowNoState);
                window->show();
                window->raise();
                window->activateWindow();
            });
        }
        return false;
    }

private:
    Closing m_closing;
};

} // namespace

void LimitWindowActions(QWidget* window, Closing closing)
{
    new ActionLimiter(window, closing);
}

} // namespace quillmend::shell
