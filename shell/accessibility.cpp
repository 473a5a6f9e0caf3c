// Roles that Qt's accessible interfaces do not give.
#include "shell/accessibility.h"

#include <QAccessibleWidget>

namespace quillmend::shell {

namespace {

const char kRole[] = "quillmendAccessibleRole";

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
// own factory would answer for a QLabel or a QWidget.
QAccessibleInterface* interfaceFor(const QString& className, QObject* object)
{
    if (className != QLatin1String(object->metaObject()->className()) || !object->isWidgetType())
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
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

// The interface Qt made for `widget` before it had its role (while a screen
// reader listens, a widget's first change has it made) is made again, by
// the factory above.
void forgetInterface(QWidget* widget)
{
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace

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
