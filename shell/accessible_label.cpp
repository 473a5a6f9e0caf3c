// GroupLabel: one label, several controls, as assistive technology sees them.
#include "shell/accessible_label.h"

#include <QAccessibleWidget>

namespace quillmend::shell {

namespace {

class GroupLabelInterface : public QAccessibleWidget {
public:
    explicit GroupLabelInterface(GroupLabel* label)
        : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name)
            return label()->text();
        return QAccessibleWidget::text(kind);
    }

    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation match) const override
    {
        auto related = QAccessibleWidget::relations(match);
        if (!(match & QAccessible::Labelled))
            return related;
        for (QWidget* control : label()->labelledControls()) {
            if (QAccessibleInterface* controlled = QAccessible::queryAccessibleInterface(control))
                related.append({controlled, QAccessible::Labelled});
        }
        return related;
    }

private:
    GroupLabel* label() const { return static_cast<GroupLabel*>(widget()); }
};

// Asked for the most derived class first, so that it answers before Qt's
// own factory would answer for a QLabel.
QAccessibleInterface* groupLabelInterface(const QString& className, QObject* object)
{
    if (className != QLatin1String(GroupLabel::staticMetaObject.className()))
        return nullptr;
    return new GroupLabelInterface(static_cast<GroupLabel*>(object));
}

} // namespace

GroupLabel::GroupLabel(QWidget* parent)
    : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(groupLabelInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

void GroupLabel::setLabelledControls(const QList<QWidget*>& controls)
{
    m_controls.clear();
    for (QWidget* control : controls)
        m_controls.append(control);
    setBuddy(controls.isEmpty() ? nullptr : controls.first());
}

QList<QWidget*> GroupLabel::labelledControls() const
{
    QList<QWidget*> controls;
    for (const QPointer<QWidget>& control : m_controls) {
        if (control)
            controls.append(control);
    }
    return controls;
}

} // namespace quillmend::shell
