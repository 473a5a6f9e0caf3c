// What assistive technology learns of the windows beyond Qt's own account.
#pragma once

#include <QAccessible>
#include <QLabel>

namespace quillmend::shell {

/// Gives `widget` the role `role` for assistive technology, named by its
/// accessible name where it has one, else by its text (a label), title (a
/// window) or the label whose buddy it is (a group of controls).
///
///     SetAccessibleRole(aboutWindow, QAccessible::Dialog);
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

/// Shows `text` in `line` and has a screen reader present it by itself, as
/// a sighted user sees it at once: the line is a notification (see
/// SetAccessibleRole()), shown anew with each text. A screen reader speaks
/// a changed name only on the focused control, but a notification that
/// appears wherever it is.
void ShowNotification(QLabel* line, const QString& text);

} // namespace quillmend::shell
