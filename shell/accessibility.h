// What assistive technology learns of the windows beyond Qt's own account.
#pragma once

#include <QAccessible>
#include <QLabel>
#include <QList>
#include <QPointer>

class QCheckBox;

namespace quillmend::shell {

/// A label of several checkboxes ("OPTIONS:" for two). Assistive technology
/// learns it as the label of each: its "label for" relation names them all,
/// and each one's "labelled by" names it (Qt's own relation, the buddy,
/// names only one; the first checkbox is its buddy as well).
///
///     auto* label = new GroupLabel(parent);
///     label->setLabelledControls({firstBox, secondBox});
class GroupLabel : public QLabel {
    Q_OBJECT

public:
    explicit GroupLabel(QWidget* parent = nullptr);

    void setLabelledControls(const QList<QCheckBox*>& controls);
    QList<QWidget*> labelledControls() const;

private:
    QList<QPointer<QWidget>> m_controls;
};

/// Gives `widget` the role `role` for assistive technology, named by its
/// accessible name where it has one, else by its text (a label) or title
/// (a window).
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
