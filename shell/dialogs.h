// The dialogs the window shows, replaceable for tests.
#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace quillmend::shell {

/// The modal dialogs that the windows show, behind one seam so that tests can
/// answer them.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// Shows `text` in a modal message box over `parent`; returns once dismissed.
    virtual void showMessage(QWidget* parent, const QString& text);
    /// Lets the user choose one existing file; nothing when cancelled.
    virtual std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& nameFilter);

    /// The instance that the windows use.
    static Dialogs& current();
    /// Makes `dialogs` current (nullptr restores the real ones) and returns
    /// the one it replaces. The caller keeps ownership.
    static Dialogs* install(Dialogs* dialogs);
};

} // namespace quillmend::shell
