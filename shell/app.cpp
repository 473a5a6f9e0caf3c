// App: the application, its start, its files opened by the desktop.
#include "shell/app.h"

#include "quillmend/version.h"
#include "shell/designed_look.h"
#include "shell/desktop_session.h"
#include "shell/file_types.h"
#include "shell/main_window.h"
#include "shell/menu_bar.h"

#include <QIcon>
#include <QTimer>

#include <optional>

namespace quillmend::shell {

Window1* gMyWnd = nullptr;

App::App(int& argc, char** argv)
    : QApplication(argc, argv)
{
    m_version.MajorVersion = kMajorVersion;
    m_version.MinorVersion = kMinorVersion;
    m_version.BugVersion = kBugVersion;
    m_version.NonReleaseVersion = kNonReleaseVersion;
    m_version.StageCode = 3;
    m_version.ShortVersion = QString::fromLatin1(kShortVersion);
    m_version.LongVersion = QString::fromLatin1(kShortVersion);
    m_version.PackageInfo = QStringLiteral("Tallowick");
    setApplicationName(QStringLiteral("Quillmend"));
    // No display name: on X11 Qt would append it to every window title.
    setApplicationVersion(m_version.ShortVersion);
    // Lets the desktop match the windows to the installed entry and icon.
    setDesktopFileName(QString::fromLatin1(kApplicationId));
    setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kApplicationId)));
    UseDesignedLook(*this);
}

App* App::instance()
{
    return qobject_cast<App*>(QCoreApplication::instance());
}

int App::run(int& argc, char** argv)
{
    // Qt 6 scales for high-resolution displays by itself; the rounding policy
    // that keeps fractional scale factors is declared here all the same.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    FileTypeXML::Initialize();
    std::optional<DesktopSessionGuard> guard(std::in_place);
    App app(argc, argv);
    guard.reset();
    MainMenuBar::instance();
    QTimer::singleShot(0, &app, &App::Event_Open);
    return app.exec();
}

void App::Event_Open()
{
    if (gMyWnd)
        return;
    gMyWnd = new Window1;
    gMyWnd->show();
}

bool App::event(QEvent* event)
{
    if (event->type() == QEvent::Quit)
        m_quitting = true;
    return QApplication::event(event);
}

} // namespace quillmend::shell
