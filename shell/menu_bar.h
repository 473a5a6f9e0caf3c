// The menu bar.
#pragma once

#include <QAction>
#include <QMenuBar>

namespace quillmend::shell {

/// Where the desktop shows an application's menu bar.
enum class MenuBarPlace {
    InWindow, ///< under the main window's title bar (Windows, Linux)
    TopOfScreen, ///< one bar at the top of the screen, the active application's (macOS)
};

/// The program's one menu bar: File, Edit, Help and a captionless fourth menu.
/// Every menu and item carries its name as its objectName, by which windows
/// find the items whose commands they handle.
class MainMenuBar : public QMenuBar {
    Q_OBJECT

public:
    /// The shared instance, created on first use.
    static MainMenuBar* instance();

    /// Where this desktop shows the menu bar: at the top of the screen on
    /// macOS (Qt's "cocoa" platform), elsewhere in the main window.
    static MenuBarPlace place();
    /// Makes the menu bar, and main windows made from now on, behave as on
    /// a desktop that shows it at `place`, so that one desktop can show
    /// both.
    static void setPlace(MenuBarPlace place);

    /// The menu item (or menu's own action) called `name`, or nullptr.
    QAction* item(const QString& name) const;

private:
    MainMenuBar();

    void Untitled0();
    void Untitled1();
    void Untitled2();
    void Untitled3();
    void showFourthMenu();

    QMenu* addNamedMenu(const QString& name, const QString& caption);
    /// `storedShortcut` is written as "Cmd+Q": Cmd is the desktop's primary
    /// command key (Ctrl, or Command on macOS).
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, const QString& storedShortcut,
                     QAction::MenuRole role = QAction::NoRole);
    void addSeparator(QMenu* menu, const QString& name);
};

} // namespace quillmend::shell
