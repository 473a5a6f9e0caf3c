#pragma once

#include <QAction>
#include <QMenuBar>

namespace quillmend::shell {

/// The program's one menu bar: File, Edit, Help and a captionless fourth menu.
/// Every menu and item carries its name as its objectName, by which windows
/// find the items whose commands they handle.
class MainMenuBar : public QMenuBar {
    Q_OBJECT

public:
    /// The shared instance, created on first use.
    static MainMenuBar* instance();

    /// The menu item (or menu's own action) called `name`, or nullptr.
    QAction* item(const QString& name) const;

private:
    MainMenuBar();

    void Untitled0();
    void Untitled1();
    void Untitled2();
    void Untitled3();

    QMenu* addNamedMenu(const QString& name, const QString& caption);
    /// `storedShortcut` is written as "Cmd+Q": Cmd is the desktop's primary
    /// command key (Ctrl, or Command on macOS).
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, const QString& storedShortcut,
                     QAction::MenuRole role = QAction::NoRole);
    void addSeparator(QMenu* menu, const QString& name);
};

} // namespace quillmend::shell
