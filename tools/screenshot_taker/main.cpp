// Takes pictures of the program's real windows: the main window after a
// repair of a copy of the sample export, and an About window; the same at a
// 14 pt desktop font; and the main window on a dark desktop. With --screen,
// instead, the whole screen with the main window, then with an About window
// over it. Meant to run under a virtual X server (tools/screenshots); exits
// by itself.
#include "engine/request.h"
#include "platform/files/file_ref.h"
#include "shell/about_window.h"
#include "shell/app.h"
#include "shell/designed_look.h"
#include "shell/file_types.h"
#include "shell/main_window.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace quillmend::shell;

int main(int argc, char* argv[])
{
    const bool wholeScreen = argc == 4 && argv[3] == QByteArrayLiteral("--screen");
    if (argc != 3 && !wholeScreen) {
        std::fprintf(stderr, "usage: quillmend-screenshots SAMPLE_EXPORT OUTPUT_FOLDER [--screen]\n");
        return 64;
    }
    FileTypeXML::Initialize();
    App app(argc, argv);
    const QString sample = QFile::decodeName(argv[1]);
    const QDir output(QFile::decodeName(argv[2]));

    app.Event_Open();
    if (!QTest::qWaitForWindowExposed(gMyWnd))
        return 1;

    QTemporaryDir work;
    const QString copy = work.filePath(QStringLiteral("show.xml"));
    if (!QFile::copy(sample, copy))
        return 1;
    quillmend::engine::DoIt(quillmend::platform::FileRef(copy), false, false, *gMyWnd);
    QTest::qWait(200);
    if (wholeScreen && !gMyWnd->screen()->grabWindow(0).save(output.filePath(QStringLiteral("screen-main.png"))))
        return 1;
    if (!gMyWnd->grab().save(output.filePath(QStringLiteral("main-window.png"))))
        return 1;

    const auto aboutWindow = [] {
        gMyWnd->AboutThisApplication_Action();
        AboutWnd* about = nullptr;
        for (QWidget* widget : QApplication::topLevelWidgets())
            about = about ? about : qobject_cast<AboutWnd*>(widget);
        if (about && QTest::qWaitForWindowExposed(about))
            QTest::qWait(200);
        return about;
    };
    AboutWnd* about = aboutWindow();
    if (wholeScreen) {
        // The About window over the main window, as they lie on the screen.
        if (!about || !about->screen()->grabWindow(0).save(output.filePath(QStringLiteral("screen-about.png"))))
            return 1;
        std::printf("saved screen-main.png and screen-about.png in %s\n", qPrintable(output.absolutePath()));
        return 0;
    }
    if (!about || !about->grab().save(output.filePath(QStringLiteral("about-window.png"))))
        return 1;
    about->close();

    // The desktop's font at 14 pt: the windows grow to their texts.
    const QFont designedFont = QApplication::font();
    QFont large = designedFont;
    large.setPointSize(14);
    QApplication::setFont(large);
    QTest::qWait(200);
    if (!gMyWnd->grab().save(output.filePath(QStringLiteral("main-window-14pt.png"))))
        return 1;
    about = aboutWindow();
    if (!about || !about->grab().save(output.filePath(QStringLiteral("about-window-14pt.png"))))
        return 1;
    about->close();
    QApplication::setFont(designedFont);

    // A dark desktop (Adwaita-dark's colours) around the window, which keeps
    // the light look it was designed in.
    QPalette dark(QColor(0x32, 0x32, 0x32));
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEC));
    QApplication::setPalette(dark);
    UseDesignedLook(app);
    QTest::qWait(200);
    QWidget desktop(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnBottomHint);
    const QRect around = gMyWnd->frameGeometry().adjusted(-40, -40, 40, 40);
    desktop.setGeometry(around);
    desktop.setAutoFillBackground(true);
    desktop.setPalette(dark);
    desktop.show();
    gMyWnd->raise();
    QTest::qWait(300);
    if (!gMyWnd->screen()
             ->grabWindow(0, around.x(), around.y(), around.width(), around.height())
             .save(output.filePath(QStringLiteral("main-window-dark-desktop.png"))))
        return 1;
    std::printf(
        "saved main-window.png, about-window.png, their 14 pt pictures and main-window-dark-desktop.png in %s\n",
        qPrintable(output.absolutePath()));
    return 0;
}
