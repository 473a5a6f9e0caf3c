// MenuBar: the menus and their shortcuts.
#include "shell/menu_bar.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QPointer>

#include <optional>

namespace quillmend::shell {

namespace {

std::optional<MenuBarPlace>& chosenPlace()
{
    static std::optional<MenuBarPlace> place;
    return place;
}

} // namespace

MenuBarPlace MainMenuBar::place()
{
    if (chosenPlace())
        return *chosenPlace();
    return QGuiApplication::platformName() == QLatin1String("cocoa") ? MenuBarPlace::TopOfScreen
                                                                     : MenuBarPlace::InWindow;
}

void MainMenuBar::setPlace(MenuBarPlace place)
{
    chosenPlace() = place;
    instance()->showFourthMenu();
}

MainMenuBar* MainMenuBar::instance()
{
    // A parentless menu bar is the application's own on macOS; elsewhere the
    // main window takes it in, and with it ownership.
    static QPointer<MainMenuBar> shared;
    if (!shared)
        shared = new MainMenuBar;
    return shared;
}

MainMenuBar::MainMenuBar()
    : QMenuBar(nullptr)
{
    setObjectName(QStringLiteral("MainMenuBar"));
    Untitled0();
    Untitled1();
    Untitled2();
    Untitled3();
}

QAction* MainMenuBar::item(const QString& name) const
{
    return findChild<QAction*>(name);
}

QMenu* MainMenuBar::addNamedMenu(const QString& name, const QString& caption)
{
    QMenu* menu = addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menu->menuAction()->setVisible(true);
    return menu;
}

QAction* MainMenuBar::addItem(QMenu* menu, const QString& name, const QString& caption, const QString& storedShortcut,
                              QAction::MenuRole role)
{
    auto* action = new QAction(caption, menu);
    action->setObjectName(name);
    action->setMenuRole(role);
    action->setVisible(true);
    if (!storedShortcut.isEmpty()) {
        QString portable = storedShortcut;
        portable.replace(QLatin1String("Cmd+"), QLatin1String("Ctrl+"));
        action->setShortcut(QKeySequence(portable, QKeySequence::PortableText));
    }
    menu->addAction(action);
    return action;
}

void MainMenuBar::addSeparator(QMenu* menu, const QString& name)
{
    QAction* separator = menu->addSeparator();
    separator->setObjectName(name);
    separator->setMenuRole(QAction::NoRole);
}

void MainMenuBar::Untitled0()
{
    QMenu* file = addNamedMenu(QStringLiteral("FileMenu"), QStringLiteral("&File"));
    addItem(file, QStringLiteral("FileOpenItem"), QStringLiteral("Open..."), QString());
    addSeparator(file, QStringLiteral("UntitledSeparator"));
    QAction* quit = addItem(file, QStringLiteral("FileQuit"), QStringLiteral("&Quit"), QStringLiteral("Cmd+Q"),
                            QAction::QuitRole);
    // The menu bar lives in the main window, which an About window may cover:
    // the quit shortcut works whichever of the program's windows is active.
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
}

void MainMenuBar::Untitled1()
{
    QMenu* edit = addNamedMenu(QStringLiteral("EditMenu"), QStringLiteral("&Edit"));
    addItem(edit, QStringLiteral("EditUndo"), QStringLiteral("&Undo"), QStringLiteral("Cmd+Z"));
    addSeparator(edit, QStringLiteral("EditSeparator1"));
    addItem(edit, QStringLiteral("EditCut"), QStringLiteral("Cu&t"), QStringLiteral("Cmd+X"));
    addItem(edit, QStringLiteral("EditCopy"), QStringLiteral("&Copy"), QStringLiteral("Cmd+C"));
    addItem(edit, QStringLiteral("EditPaste"), QStringLiteral("&Paste"), QStringLiteral("Cmd+V"));
    addItem(edit, QStringLiteral("EditClear"), QStringLiteral("&Delete"), QString());
    addSeparator(edit, QStringLiteral("EditSeparator2"));
    addItem(edit, QStringLiteral("EditSelectAll"), QStringLiteral("Select &All"), QStringLiteral("Cmd+A"));
}

void MainMenuBar::Untitled2()
{
    QMenu* help = addNamedMenu(QStringLiteral("HelpMenu"), QStringLiteral("Help"));
    addItem(help, QStringLiteral("AboutThisApplication"), QStringLiteral("About Quillmend..."), QString(),
            QAction::AboutRole);
}

void MainMenuBar::Untitled3()
{
    addNamedMenu(QStringLiteral("Menu"), QString());
    showFourthMenu();
}

void MainMenuBar::showFourthMenu()
{
    // In a menu bar drawn in the window, a menu without caption or items is
    // a blank patch that lights up under the mouse and opens nothing, and a
    // nameless entry that a screen reader reads out: it stays the bar's,
    // under its name, but out of the bar's items.
    QAction* fourth = item(QStringLiteral("Menu"));
    if (place() == MenuBarPlace::TopOfScreen) {
        if (!actions().contains(fourth))
            addAction(fourth);
    } else {
        removeAction(fourth);
    }
}

} // namespace quillmend::shell
