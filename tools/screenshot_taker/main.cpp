// Takes pictures of the program's real windows: the main window after a
// repair of a copy of the sample export, and an About window. Meant to run
// under a virtual X server (tools/screenshots); exits by itself.
#include "engine/request.h"
#include "platform/files/file_ref.h"
#include "shell/about_window.h"
#include "shell/app.h"
#include "shell/file_types.h"
#include "shell/main_window.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace quillmend::shell;

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillmend-screenshots SAMPLE_EXPORT OUTPUT_FOLDER\n");
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
    if (!gMyWnd->grab().save(output.filePath(QStringLiteral("main-window.png"))))
        return 1;

    gMyWnd->AboutThisApplication_Action();
    AboutWnd* about = nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets())
        about = about ? about : qobject_cast<AboutWnd*>(widget);
    if (!about || !QTest::qWaitForWindowExposed(about))
        return 1;
    QTest::qWait(200);
    if (!about->grab().save(output.filePath(QStringLiteral("about-window.png"))))
        return 1;
    std::printf("saved main-window.png and about-window.png in %s\n", qPrintable(output.absolutePath()));
    return 0;
}
