// DesktopSessionGuard: a start without a display, told in plain words.
#include "shell/desktop_session.h"

#include <QList>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace quillmend::shell {

namespace {

QtMessageHandler previousHandler = nullptr;
QList<std::tuple<QtMsgType, QString, QByteArray>> heldBack;

void holdBack(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtFatalMsg) {
        heldBack.append({type, message, QByteArray(context.category ? context.category : "")});
        return;
    }
    // Qt's own lines (the plugin it could not load) help whoever looks into
    // it, after the plain words; its advice to reinstall does not apply.
    std::fprintf(stderr, "%s\n", qPrintable(NoDesktopMessage()));
    for (const auto& [heldType, text, category] : heldBack) {
        if (heldType != QtDebugMsg)
            std::fprintf(stderr, "  (%s: %s)\n", category.constData(), qPrintable(text));
    }
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

QString NoDesktopMessage()
{
    return QStringLiteral("Quillmend needs a desktop session to show its window, and none could be opened here.\n"
                          "Without one, repair files with the command-line tool: quillmend-cli FILE.xml");
}

DesktopSessionGuard::DesktopSessionGuard()
{
    previousHandler = qInstallMessageHandler(holdBack);
}

DesktopSessionGuard::~DesktopSessionGuard()
{
    qInstallMessageHandler(previousHandler);
    for (const auto& [type, text, category] : heldBack) {
        const QMessageLogContext context(nullptr, 0, nullptr, category.constData());
        qt_message_output(type, context, text);
    }
    heldBack.clear();
}

} // namespace quillmend::shell
