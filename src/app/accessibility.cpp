// SPDX-License-Identifier: MIT
#include "app/accessibility.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QWindow>
#include <QToolButton>

#include <optional>

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

/**
 * The application as assistive technology sees it: its windows, an open pop-up menu among
 * them. (The toolkit's own leaves every pop-up out, so an open menu was nowhere in the
 * tree and a screen reader could not read its entries.)
 */
class ApplicationAccessible : public QAccessibleObject {
public:
    ApplicationAccessible() : QAccessibleObject(qApp) {}

    QWindow* window() const override { return nullptr; }
    QAccessibleInterface* parent() const override { return nullptr; }
    int childCount() const override { return int(windows().size()); }
    QAccessibleInterface* child(int index) const override
    {
        const QObjectList all = windows();
        return index >= 0 && index < all.size() ? QAccessible::queryAccessibleInterface(all[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child ? int(windows().indexOf(child->object())) : -1;
    }
    QAccessibleInterface* focusChild() const override
    {
        QWidget* popup = QApplication::activePopupWidget();
        QWidget* focus = popup ? popup : QApplication::focusWidget();
        return focus ? QAccessible::queryAccessibleInterface(focus) : nullptr;
    }
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? QGuiApplication::applicationDisplayName() : QString();
    }
    QAccessible::Role role() const override { return QAccessible::Application; }
    QAccessible::State state() const override { return {}; }

private:
    /** The top-level windows as the toolkit lists them, and the pop-ups that are open. */
    static QObjectList windows()
    {
        QObjectList list;
        for (QWindow* w : QGuiApplication::topLevelWindows()) {
            if (w->type() == Qt::Desktop || (w->type() == Qt::Popup && !w->isVisible()))
                continue;
            if (QAccessibleInterface* root = w->accessibleRoot(); root && root->object())
                list.append(root->object());
        }
        return list;
    }
};

/**
 * The role of a plain widget or frame whose class does not say it: the main window (a
 * top-level widget), a tool bar of the cool bar's bands, a tool bar's separator. None for
 * any other, which keeps the toolkit's own interface.
 */
std::optional<QAccessible::Role> structuralRole(const QString& className, const QWidget& widget)
{
    if (className == QLatin1String("QWidget")) {
        if (widget.isWindow() && widget.windowType() == Qt::Window)
            return QAccessible::Window;
        if (widget.parentWidget() && widget.parentWidget()->inherits("vdm::CoolBar"))
            return QAccessible::ToolBar;
    }
    if (className == QLatin1String("QFrame")) {
        const auto& frame = static_cast<const QFrame&>(widget);
        if (frame.frameShape() == QFrame::VLine || frame.frameShape() == QFrame::HLine)
            return QAccessible::Separator;
    }
    return std::nullopt;
}

QAccessibleInterface* programFactory(const QString& className, QObject* object)
{
    if (object && object == qApp && className == QLatin1String("QApplication"))
        return new ApplicationAccessible;
    if (object && object->isWidgetType())
        if (const std::optional<QAccessible::Role> role = structuralRole(className, *static_cast<QWidget*>(object)))
            return new QAccessibleWidget(static_cast<QWidget*>(object), *role);
    if (className != QLatin1String("QToolButton") || !object || !object->isWidgetType())
        return nullptr;
    auto* button = static_cast<QToolButton*>(object);
    // Only check buttons without a menu: every other button keeps the toolkit's interface.
    if (!button->isCheckable() || button->menu() || button->popupMode() == QToolButton::MenuButtonPopup)
        return nullptr;
    return new CheckToolButtonAccessible(button);
}

} // namespace

void setAccessibleNameIfChanged(QWidget& widget, const QString& text)
{
    if (widget.accessibleName() != text)
        widget.setAccessibleName(text);
}

void setAccessibleDescriptionIfChanged(QWidget& widget, const QString& text)
{
    if (widget.accessibleDescription() != text)
        widget.setAccessibleDescription(text);
}

void nameClearButton(QLineEdit& field, const QString& name)
{
    for (QToolButton* clear : field.findChildren<QToolButton*>())
        clear->setAccessibleName(name);
}

void installCheckButtonAccessibility()
{
    // Factories installed later are asked first. The application installs the toolkit's
    // own widget factory as it starts: ours, installed before for the application's
    // interface, would come after it and never be asked for a widget. So it goes (again)
    // to the end of the list.
    QAccessible::removeFactory(&programFactory);
    QAccessible::installFactory(&programFactory);
}

} // namespace vdm
