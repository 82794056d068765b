// SPDX-License-Identifier: MIT
#include "app/accessibility.h"

#include <QAccessibleWidget>
#include <QToolButton>

namespace vdm {
namespace {

/** A checkable tool button as assistive technology sees it; every action on it is a click. */
class CheckToolButtonAccessible : public QAccessibleWidget {
public:
    explicit CheckToolButtonAccessible(QToolButton* button) : QAccessibleWidget(button, QAccessible::CheckBox) {}

    QAccessible::Role role() const override
    {
        return button()->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        QString s;
        if (t == QAccessible::Name) {
            s = button()->accessibleName();
            if (s.isEmpty())
                s = QString(button()->text()).remove(QLatin1Char('&')).trimmed();
        }
        return s.isEmpty() ? QAccessibleWidget::text(t) : s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button()->isEnabled())
            names << toggleAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action == toggleAction() || action == pressAction()) {
            // A click changes the state as the button's own rules say (an exclusive group
            // keeps its pressed button) and runs the handler, as the pointer's click does;
            // a disabled button refuses it.
            button()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }

private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

QAccessibleInterface* checkToolButtonFactory(const QString& className, QObject* object)
{
    if (className != QLatin1String("QToolButton") || !object || !object->isWidgetType())
        return nullptr;
    auto* button = static_cast<QToolButton*>(object);
    // Only check buttons without a menu: every other button keeps the toolkit's interface.
    if (!button->isCheckable() || button->menu() || button->popupMode() == QToolButton::MenuButtonPopup)
        return nullptr;
    return new CheckToolButtonAccessible(button);
}

} // namespace

void installCheckButtonAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Factories installed later are asked first, so ours comes before the toolkit's.
    QAccessible::installFactory(&checkToolButtonFactory);
}

} // namespace vdm
