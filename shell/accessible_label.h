// A label that names a group of controls for a screen reader.
#pragma once

#include <QLabel>
#include <QList>
#include <QPointer>

namespace quillmend::shell {

/// A label of several controls ("OPTIONS:" for two checkboxes). Assistive
/// technology learns it as the label of each (its "label for" relation),
/// where Qt's own relation, the buddy, names only one; the first control is
/// its buddy as well.
///
///     auto* label = new GroupLabel(parent);
///     label->setLabelledControls({firstBox, secondBox});
class GroupLabel : public QLabel {
    Q_OBJECT

public:
    explicit GroupLabel(QWidget* parent = nullptr);

    void setLabelledControls(const QList<QWidget*>& controls);
    QList<QWidget*> labelledControls() const;

private:
    QList<QPointer<QWidget>> m_controls;
};

} // namespace quillmend::shell
