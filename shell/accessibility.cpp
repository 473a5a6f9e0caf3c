// Roles and relations that Qt's accessible interfaces do not give.
#include "shell/accessibility.h"

#include <QAccessibleWidget>
#include <QCheckBox>

#include <algorithm>

namespace quillmend::shell {

namespace {

const char kRole[] = "quillmendAccessibleRole";
const char kGroupLabel[] = "quillmendGroupLabel";

using Relations = QList<QPair<QAccessibleInterface*, QAccessible::Relation>>;

// Adds `widget` to `related` as `relation`, where Qt does not relate it already.
void relate(Relations& related, QWidget* widget, QAccessible::Relation relation)
{
    QAccessibleInterface* other = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    if (other
        && std::none_of(related.cbegin(), related.cend(), [&](const auto& known) { return known.first == other; }))
        related.append({other, relation});
}

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

    Relations relations(QAccessible::Relation match) const override
    {
        Relations related = QAccessibleWidget::relations(match);
        if (match & QAccessible::Labelled) {
            for (QWidget* control : label()->labelledControls())
                relate(related, control, QAccessible::Labelled);
        }
        return related;
    }

private:
    GroupLabel* label() const { return static_cast<GroupLabel*>(widget()); }
};

// A checkbox of a group label: what Qt tells of a checkbox (name, checked
// state, toggling), and its label. Qt finds a checkbox's label only where
// the checkbox is the label's buddy.
class GroupedCheckBoxInterface : public QAccessibleWidget {
public:
    explicit GroupedCheckBoxInterface(QCheckBox* box)
        : QAccessibleWidget(box, QAccessible::CheckBox)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && box()->accessibleName().isEmpty())
            return QString(box()->text()).remove(QLatin1Char('&'));
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = box()->checkState() == Qt::Checked;
        state.checkStateMixed = box()->checkState() == Qt::PartiallyChecked;
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (!box()->isEnabled())
            return;
        if (action == toggleAction() || action == pressAction())
            box()->click();
        else
            QAccessibleWidget::doAction(action);
    }

    Relations relations(QAccessible::Relation match) const override
    {
        // The first checkbox is the label's buddy, which Qt relates already.
        Relations related = QAccessibleWidget::relations(match);
        if (match & QAccessible::Label)
            relate(related, qobject_cast<QWidget*>(box()->property(kGroupLabel).value<QObject*>()), QAccessible::Label);
        return related;
    }

private:
    QCheckBox* box() const { return static_cast<QCheckBox*>(widget()); }
};

class RoleInterface : public QAccessibleWidget {
public:
    RoleInterface(QWidget* widget, QAccessible::Role role)
        : QAccessibleWidget(widget, role)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty()) {
            if (const auto* label = qobject_cast<const QLabel*>(widget()))
                return label->text();
        }
        return QAccessibleWidget::text(kind);
    }
};

// Asked for the most derived class first, so that it answers before Qt's
// own factory would answer for a QLabel, a QCheckBox or a QWidget.
QAccessibleInterface* interfaceFor(const QString& className, QObject* object)
{
    if (className != QLatin1String(object->metaObject()->className()) || !object->isWidgetType())
        return nullptr;
    if (auto* label = qobject_cast<GroupLabel*>(object))
        return new GroupLabelInterface(label);
    auto* widget = static_cast<QWidget*>(object);
    if (auto* box = qobject_cast<QCheckBox*>(object); box && box->property(kGroupLabel).isValid())
        return new GroupedCheckBoxInterface(box);
    const QVariant role = widget->property(kRole);
    if (role.isValid())
        return new RoleInterface(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}

void installFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
}

// The interface Qt made for `widget` before it had its role or label (a
// checkbox's setChecked() has it made, while a screen reader listens) is
// made again, by the factory above.
void forgetInterface(QWidget* widget)
{
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace

GroupLabel::GroupLabel(QWidget* parent)
    : QLabel(parent)
{
    installFactory();
}

void GroupLabel::setLabelledControls(const QList<QCheckBox*>& controls)
{
    m_controls.clear();
    for (QCheckBox* control : controls) {
        m_controls.append(control);
        control->setProperty(kGroupLabel, QVariant::fromValue<QObject*>(this));
        forgetInterface(control);
    }
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

void SetAccessibleRole(QWidget* widget, QAccessible::Role role)
{
    installFactory();
    widget->setProperty(kRole, int(role));
    forgetInterface(widget);
}

void ShowNotification(QLabel* line, const QString& text)
{
    line->setText(text);
    if (text.isEmpty() || !line->isVisible())
        return;
    // Hidden and shown again within one pass of the event loop: nothing to
    // see, and a notification "showing" anew on the accessibility bus.
    line->hide();
    line->show();
}

} // namespace quillmend::shell
