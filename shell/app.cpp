#include "shell/app.h"

#include "quillmend/version.h"
#include "shell/file_types.h"
#include "shell/main_window.h"
#include "shell/menu_bar.h"

#include <QTimer>

namespace quillmend::shell {

Window1* gMyWnd = nullptr;

App::App(int& argc, char** argv)
    : QApplication(argc, argv)
{
    m_version.MajorVersion = 1;
    m_version.MinorVersion = 0;
    m_version.BugVersion = 1;
    m_version.NonReleaseVersion = 2;
    m_version.StageCode = 3;
    m_version.ShortVersion = QString::fromLatin1(kShortVersion);
    m_version.LongVersion = QString::fromLatin1(kShortVersion);
    m_version.PackageInfo = QStringLiteral("Tallowick");
    setApplicationName(QStringLiteral("Quillmend"));
    setApplicationDisplayName(QStringLiteral("Quillmend"));
    setApplicationVersion(m_version.ShortVersion);
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
    App app(argc, argv);
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
