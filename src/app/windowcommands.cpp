// SPDX-License-Identifier: MIT
#include "app/windowcommands.h"

#include "app/editcontrols.h"
#include "app/findcommands.h"
#include "app/imagecommand.h"
#include "app/journeycommands.h"
#include "app/mappanel.h"
#include "app/orientationcommands.h"
#include "app/progresscommands.h"
#include "app/worldcommand.h"
#include "dialogs/errorguard.h"
#include "dialogs/formshortcuts.h"
#include "ui_mainform.h"

#include <QAction>
#include <QEvent>
#include <QKeySequence>
#include <QMenu>
#include <QToolButton>

#include <stdexcept>

namespace vdm {
namespace {

using UiForm = Ui::TMainForm;
using G = CommandGroup;
using T = CommandTargets;

constexpr QKeyCombination ctrl(Qt::Key key)
{
    return QKeyCombination(Qt::ControlModifier, key);
}
constexpr QKeyCombination alt(Qt::Key key)
{
    return QKeyCombination(Qt::AltModifier, key);
}
constexpr QKeyCombination ctrlShift(Qt::Key key)
{
    return QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, key);
}
constexpr QKeyCombination plain(Qt::Key key)
{
    return QKeyCombination(key);
}
constexpr QKeyCombination keypad(Qt::Key key)
{
    return QKeyCombination(Qt::KeypadModifier, key);
}

template <int Digit> void storeBookmark(const CommandTargets& t)
{
    t.orientation.storeBookmark(Digit);
}
template <int Digit> void returnToBookmark(const CommandTargets& t)
{
    t.orientation.returnToBookmark(Digit);
}

ScrollStep step(Qt::Orientation direction, bool back, int parts)
{
    return ScrollStep{direction, back, parts};
}

// The rows, in menu order within each group. A row with a button presses it and has no
// handler of its own; the button's click runs the described handler.
const CommandRow kCommands[] = {
    {Command::ZoomIn,
     "ActionZoomIn",
     "Zoom &in",
     "Zoom In",
     {ctrl(Qt::Key_Plus), ctrl(Qt::Key_Equal), keypad(Qt::Key_Plus)},
     &UiForm::ToolButtonZoomIn,
     false,
     G::Map,
     nullptr},
    {Command::ZoomOut,
     "ActionZoomOut",
     "Zoom &out",
     "Zoom Out",
     {ctrl(Qt::Key_Minus), keypad(Qt::Key_Minus)},
     &UiForm::ToolButtonZoomOut,
     false,
     G::Map,
     nullptr},
    {Command::ActualSize,
     "ActionActualSize",
     "&Actual size",
     "Actual Size",
     {ctrl(Qt::Key_0)},
     &UiForm::ToolButtonZoomActual,
     false,
     G::Map,
     nullptr},
    {Command::ShowSkarnels,
     "ActionShowSkarnels",
     "Show s&karnel routes",
     "Show skarnel routes",
     {},
     &UiForm::ToolButtonSR,
     true,
     G::Map,
     nullptr},
    {Command::ShowShips,
     "ActionShowShips",
     "Show s&hip routes",
     "Show ship routes",
     {},
     &UiForm::ToolButtonSS,
     true,
     G::Map,
     nullptr},
    {Command::ShowMagic,
     "ActionShowMagic",
     "Show &magic routes",
     "Show magic routes",
     {},
     &UiForm::ToolButtonSM,
     true,
     G::Map,
     nullptr},
    {Command::ShowText,
     "ActionShowText",
     "Show &text",
     "Show text",
     {},
     &UiForm::ToolButtonText,
     true,
     G::Map,
     nullptr},
    {Command::ShowHints,
     "ActionShowHints",
     "Show pop-up hi&nts",
     "Show pop-up hints",
     {},
     &UiForm::ToolButtonHint,
     true,
     G::Map,
     nullptr},
    {Command::ShowUnvisited,
     "ActionShowUnvisited",
     "Show &unvisited locations",
     "Show unvisited locations",
     {},
     &UiForm::ToolButtonSU,
     true,
     G::Map,
     nullptr},
    {Command::ShowActive,
     "ActionShowActive",
     "Show a&ctive locations",
     "Show active locations",
     {},
     &UiForm::ToolButtonSA,
     true,
     G::Map,
     nullptr},
    {Command::ShowVisited,
     "ActionShowVisited",
     "Show &visited locations",
     "Show visited locations",
     {},
     &UiForm::ToolButtonSV,
     true,
     G::Map,
     nullptr},
    {Command::Filter,
     "ActionFilter",
     "Filte&r places...",
     nullptr,
     {ctrlShift(Qt::Key_F)},
     nullptr,
     false,
     G::Map,
     [](const T& t) { t.orientation.toggleFilterBar(); }},
    {Command::Navigator,
     "ActionNavigator",
     "Show or hide the navi&gator",
     nullptr,
     {plain(Qt::Key_N)},
     nullptr,
     false,
     G::Map,
     [](const T& t) { t.orientation.toggleNavigator(); }},
    {Command::FullScreen,
     "ActionFullScreen",
     "&Full screen",
     nullptr,
     {plain(Qt::Key_F11)},
     nullptr,
     false,
     G::Map,
     [](const T& t) { t.window.setWindowState(t.window.windowState() ^ Qt::WindowFullScreen); }},

    {Command::Find,
     "ActionFind",
     "&Find...",
     nullptr,
     {ctrl(Qt::Key_F)},
     nullptr,
     false,
     G::Location,
     [](const T& t) { t.find.openBar(); }},
    {Command::Go,
     "ActionGo",
     "&Go to the selected location",
     nullptr,
     {},
     &UiForm::ToolButtonGo,
     false,
     G::Location,
     nullptr},
    {Command::PlanRoute,
     "ActionPlanRoute",
     "Plan &route...",
     nullptr,
     {ctrl(Qt::Key_R)},
     nullptr,
     false,
     G::Location,
     [](const T& t) { t.journey.openRoute(); }},
    {Command::PlanTour,
     "ActionPlanTour",
     "Plan &tour...",
     nullptr,
     {},
     nullptr,
     false,
     G::Location,
     [](const T& t) { t.journey.openTour(); }},
    {Command::OpenBox,
     "ActionOpenBox",
     "&Open the location box",
     nullptr,
     {plain(Qt::Key_F2)},
     nullptr,
     false,
     G::Location,
     [](const T& t) { t.edit.openSelected(); }},
    // The status buttons' captions keep their text (no mnemonic), so their keys are Alt and a
    // digit in the buttons' order; Ctrl and a digit return to a bookmark.
    {Command::MarkUnvisited,
     "ActionMarkUnvisited",
     "Mark &unvisited",
     nullptr,
     {alt(Qt::Key_1)},
     &UiForm::SBU,
     true,
     G::Location,
     nullptr},
    {Command::MarkActive,
     "ActionMarkActive",
     "Mark &active",
     nullptr,
     {alt(Qt::Key_2)},
     &UiForm::SBA,
     true,
     G::Location,
     nullptr},
    {Command::MarkVisited,
     "ActionMarkVisited",
     "Mark &visited",
     nullptr,
     {alt(Qt::Key_3)},
     &UiForm::SBV,
     true,
     G::Location,
     nullptr},
    {Command::AddBookmark,
     "ActionAddBookmark",
     "Add boo&kmark...",
     nullptr,
     {},
     nullptr,
     false,
     G::Location,
     [](const T& t) { t.orientation.addBookmark(); }},
    {Command::DeleteBookmark,
     "ActionDeleteBookmark",
     "&Delete bookmark...",
     nullptr,
     {},
     nullptr,
     false,
     G::Location,
     [](const T& t) { t.orientation.deleteBookmark(); }},

    {Command::AddMarker,
     "ActionAddMarker",
     "&Add marker",
     "Add marker",
     {},
     &UiForm::ToolButtonAddM,
     true,
     G::Marker,
     nullptr},
    {Command::DeleteMarker,
     "ActionDeleteMarker",
     "&Delete marker",
     "Delete marker",
     {},
     &UiForm::ToolButtonDelM,
     true,
     G::Marker,
     nullptr},
    {Command::DeleteAllMarkers,
     "ActionDeleteAllMarkers",
     "Delete a&ll markers",
     "Delete all markers",
     {},
     &UiForm::ToolButtonClearM,
     false,
     G::Marker,
     nullptr},

    // Their texts follow the history ("&Undo Set status of Falgard"), see HistoryActions.
    {Command::Undo,
     "ActionUndo",
     "&Undo",
     nullptr,
     {ctrl(Qt::Key_Z)},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.edit.walkHistory(true); }},
    {Command::Redo,
     "ActionRedo",
     "&Redo",
     nullptr,
     {QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z), ctrl(Qt::Key_Y)},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.edit.walkHistory(false); }},
    {Command::Options,
     "ActionOptions",
     "&Options...",
     "Options",
     {},
     &UiForm::ToolButtonOptions,
     false,
     G::Tools,
     nullptr},
    {Command::Copy,
     "ActionCopy",
     "&Copy map to clipboard",
     "Copy map to clipboard",
     {ctrl(Qt::Key_C)},
     &UiForm::ToolButtonClip,
     false,
     G::Tools,
     nullptr},
    {Command::SaveImage,
     "ActionSaveImage",
     "&Save view as image...",
     nullptr,
     {},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.image.saveViewAsImage(); }},
    {Command::ExportProgress,
     "ActionExportProgress",
     "&Export progress...",
     nullptr,
     {},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.progress.exportProgress(); }},
    {Command::ImportProgress,
     "ActionImportProgress",
     "&Import progress...",
     nullptr,
     {},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.progress.importProgress(); }},
    {Command::OpenWorld,
     "ActionOpenWorld",
     "Open &world...",
     nullptr,
     {ctrl(Qt::Key_O)},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.world.openWorld(); }},
    {Command::Shortcuts,
     "ActionShortcuts",
     "&Keyboard shortcuts",
     nullptr,
     {},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { TFormShortcuts::showFor(&t.window, t.commands.shortcutList()); }},
    {Command::About,
     "ActionAbout",
     "A&bout",
     "About",
     {plain(Qt::Key_F1)},
     &UiForm::ToolButtonAbout,
     false,
     G::Tools,
     nullptr},
    {Command::Close,
     "ActionClose",
     "C&lose",
     nullptr,
     {ctrl(Qt::Key_Q)},
     nullptr,
     false,
     G::Tools,
     [](const T& t) { t.window.close(); }},

    // Ctrl+Shift+digit keeps the view, Ctrl+digit returns to it. With Shift most layouts
    // type a sign on the digit's key ("!" over "1"): that key is listed beside the digit.
    {Command::StoreBookmark1,
     "ActionStoreBookmark1",
     "Keep this view as bookmark 1",
     nullptr,
     {ctrlShift(Qt::Key_1), ctrlShift(Qt::Key_Exclam)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<1>},
    {Command::StoreBookmark2,
     "ActionStoreBookmark2",
     "Keep this view as bookmark 2",
     nullptr,
     {ctrlShift(Qt::Key_2), ctrlShift(Qt::Key_At)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<2>},
    {Command::StoreBookmark3,
     "ActionStoreBookmark3",
     "Keep this view as bookmark 3",
     nullptr,
     {ctrlShift(Qt::Key_3), ctrlShift(Qt::Key_NumberSign)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<3>},
    {Command::StoreBookmark4,
     "ActionStoreBookmark4",
     "Keep this view as bookmark 4",
     nullptr,
     {ctrlShift(Qt::Key_4), ctrlShift(Qt::Key_Dollar)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<4>},
    {Command::StoreBookmark5,
     "ActionStoreBookmark5",
     "Keep this view as bookmark 5",
     nullptr,
     {ctrlShift(Qt::Key_5), ctrlShift(Qt::Key_Percent)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<5>},
    {Command::StoreBookmark6,
     "ActionStoreBookmark6",
     "Keep this view as bookmark 6",
     nullptr,
     {ctrlShift(Qt::Key_6), ctrlShift(Qt::Key_AsciiCircum)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<6>},
    {Command::StoreBookmark7,
     "ActionStoreBookmark7",
     "Keep this view as bookmark 7",
     nullptr,
     {ctrlShift(Qt::Key_7), ctrlShift(Qt::Key_Ampersand)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<7>},
    {Command::StoreBookmark8,
     "ActionStoreBookmark8",
     "Keep this view as bookmark 8",
     nullptr,
     {ctrlShift(Qt::Key_8), ctrlShift(Qt::Key_Asterisk)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<8>},
    {Command::StoreBookmark9,
     "ActionStoreBookmark9",
     "Keep this view as bookmark 9",
     nullptr,
     {ctrlShift(Qt::Key_9), ctrlShift(Qt::Key_ParenLeft)},
     nullptr,
     false,
     G::KeysOnly,
     &storeBookmark<9>},
    {Command::ReturnBookmark1,
     "ActionReturnBookmark1",
     "Return to bookmark 1",
     nullptr,
     {ctrl(Qt::Key_1)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<1>},
    {Command::ReturnBookmark2,
     "ActionReturnBookmark2",
     "Return to bookmark 2",
     nullptr,
     {ctrl(Qt::Key_2)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<2>},
    {Command::ReturnBookmark3,
     "ActionReturnBookmark3",
     "Return to bookmark 3",
     nullptr,
     {ctrl(Qt::Key_3)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<3>},
    {Command::ReturnBookmark4,
     "ActionReturnBookmark4",
     "Return to bookmark 4",
     nullptr,
     {ctrl(Qt::Key_4)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<4>},
    {Command::ReturnBookmark5,
     "ActionReturnBookmark5",
     "Return to bookmark 5",
     nullptr,
     {ctrl(Qt::Key_5)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<5>},
    {Command::ReturnBookmark6,
     "ActionReturnBookmark6",
     "Return to bookmark 6",
     nullptr,
     {ctrl(Qt::Key_6)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<6>},
    {Command::ReturnBookmark7,
     "ActionReturnBookmark7",
     "Return to bookmark 7",
     nullptr,
     {ctrl(Qt::Key_7)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<7>},
    {Command::ReturnBookmark8,
     "ActionReturnBookmark8",
     "Return to bookmark 8",
     nullptr,
     {ctrl(Qt::Key_8)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<8>},
    {Command::ReturnBookmark9,
     "ActionReturnBookmark9",
     "Return to bookmark 9",
     nullptr,
     {ctrl(Qt::Key_9)},
     nullptr,
     false,
     G::KeysOnly,
     &returnToBookmark<9>},

    // The wheel's step and the panel's parts; back is towards the start.
    {Command::ScrollLeft,
     "ActionScrollLeft",
     "Scroll left",
     nullptr,
     {plain(Qt::Key_Left)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Horizontal, true, 0)); }},
    {Command::ScrollRight,
     "ActionScrollRight",
     "Scroll right",
     nullptr,
     {plain(Qt::Key_Right)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Horizontal, false, 0)); }},
    {Command::ScrollUp,
     "ActionScrollUp",
     "Scroll up",
     nullptr,
     {plain(Qt::Key_Up)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Vertical, true, 0)); }},
    {Command::ScrollDown,
     "ActionScrollDown",
     "Scroll down",
     nullptr,
     {plain(Qt::Key_Down)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Vertical, false, 0)); }},
    {Command::QuarterLeft,
     "ActionQuarterLeft",
     "Scroll left by a quarter of the map",
     nullptr,
     {ctrl(Qt::Key_Left)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Horizontal, true, 4)); }},
    {Command::QuarterRight,
     "ActionQuarterRight",
     "Scroll right by a quarter of the map",
     nullptr,
     {ctrl(Qt::Key_Right)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Horizontal, false, 4)); }},
    {Command::QuarterUp,
     "ActionQuarterUp",
     "Scroll up by a quarter of the map",
     nullptr,
     {ctrl(Qt::Key_Up)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Vertical, true, 4)); }},
    {Command::QuarterDown,
     "ActionQuarterDown",
     "Scroll down by a quarter of the map",
     nullptr,
     {ctrl(Qt::Key_Down)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Vertical, false, 4)); }},
    {Command::PageUp,
     "ActionPageUp",
     "Scroll up by the map's height",
     nullptr,
     {plain(Qt::Key_PageUp)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Vertical, true, 1)); }},
    {Command::PageDown,
     "ActionPageDown",
     "Scroll down by the map's height",
     nullptr,
     {plain(Qt::Key_PageDown)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.map.scroll(step(Qt::Vertical, false, 1)); }},
    {Command::OpenMenu,
     "ActionOpenMenu",
     "Open the menu",
     nullptr,
     {plain(Qt::Key_F10), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10), plain(Qt::Key_Menu)},
     nullptr,
     false,
     G::KeysOnly,
     [](const T& t) { t.commands.openMenu(); }},
};

/** The More menu's submenus, in order, with their mnemonics. */
const struct {
    CommandGroup group;
    const char* title;
} kGroups[] = {
    {G::Map, "&Map"},
    {G::Location, "&Location"},
    {G::Marker, "Mar&ker"},
    {G::Tools, "&Tools"},
};

bool isKeypadZoom(QKeyCombination key)
{
    return (key.keyboardModifiers() & Qt::KeypadModifier) && (key.key() == Qt::Key_Plus || key.key() == Qt::Key_Minus);
}

/** A key as the table holds it: the keypad's other keys as the main ones, Ctrl++ without Shift. */
QKeyCombination normalised(QKeyCombination key)
{
    Qt::KeyboardModifiers modifiers = key.keyboardModifiers();
    if (!isKeypadZoom(key))
        modifiers &= ~Qt::KeypadModifier;
    if (key.key() == Qt::Key_Plus && (modifiers & Qt::ControlModifier))
        modifiers &= ~Qt::ShiftModifier;
    return QKeyCombination(modifiers, key.key());
}

QList<QKeySequence> sequences(const CommandRow& row)
{
    QList<QKeySequence> keys;
    for (QKeyCombination key : row.keys)
        keys << QKeySequence(key);
    return keys;
}

} // namespace

std::span<const CommandRow> commandRows()
{
    return kCommands;
}

const CommandRow& commandRow(Command command)
{
    for (const CommandRow& row : kCommands)
        if (row.command == command)
            return row;
    throw std::logic_error("a command without a row");
}

std::optional<Command> commandForKey(QKeyCombination key)
{
    if (isKeypadZoom(key))
        return std::nullopt;
    const QKeyCombination wanted = normalised(key);
    for (const CommandRow& row : kCommands)
        for (QKeyCombination bound : row.keys)
            if (bound == wanted)
                return row.command;
    return std::nullopt;
}

QString keyText(QKeyCombination key)
{
    return QKeySequence(key).toString(QKeySequence::NativeText);
}

QString plainText(const CommandRow& row)
{
    QString text = QString::fromUtf8(row.text).remove(QLatin1Char('&'));
    if (text.endsWith(QLatin1String("...")))
        text.chop(3);
    return text;
}

CommandButtons commandButtons(const Ui::TMainForm& ui)
{
    CommandButtons buttons;
    for (const CommandRow& row : kCommands)
        if (row.button)
            buttons.pressed[std::size_t(row.command)] = ui.*row.button;
    buttons.more = ui.ToolButtonMore;
    return buttons;
}

WindowCommands::WindowCommands(QWidget& window, const CommandButtons& buttons, Prompts& prompts)
    : QObject(&window), m_window(window), m_buttons(buttons)
{
    for (const CommandRow& row : kCommands) {
        auto* action = new QAction(QString::fromUtf8(row.text), this);
        action->setObjectName(QLatin1String(row.name));
        // The keys show in the menu; they run through the window's key handling, and only
        // from the menu's own widgets through Qt's shortcuts (where they act the same).
        action->setShortcuts(sequences(row));
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setCheckable(row.checkable);
        action->setToolTip(row.hint ? QString::fromUtf8(row.hint) : plainText(row));
        if (QToolButton* button = m_buttons.pressed[std::size_t(row.command)]) {
            button->setToolTip(row.hint ? action->toolTip() : QString());
            // The hint window adds the shortcut to the tooltip, which stays as described.
            button->setProperty("shortcutText", row.keys.isEmpty() ? QString() : keyText(row.keys.first()));
            action->setIcon(button->icon());
            action->setChecked(button->isChecked());
            action->setEnabled(button->isEnabled());
            connect(button, &QAbstractButton::toggled, action, &QAction::setChecked);
            button->installEventFilter(this);
        }
        connectGuarded(prompts, &window, action, &QAction::triggered, [this, &row] { run(row); });
        m_actions[std::size_t(row.command)] = action;
    }
    buildMenu();
}

void WindowCommands::buildMenu()
{
    m_menu = new QMenu(m_buttons.more);
    m_menu->setObjectName(QStringLiteral("MenuMore"));
    m_menu->setTitle(QStringLiteral("More"));
    m_menu->setAccessibleName(QStringLiteral("More"));
    for (const auto& g : kGroups) {
        QMenu* sub = m_menu->addMenu(QString::fromUtf8(g.title));
        sub->setAccessibleName(QString::fromUtf8(g.title).remove(QLatin1Char('&')));
        for (const CommandRow& row : kCommands)
            if (row.group == g.group)
                sub->addAction(action(row.command));
    }
    m_buttons.more->setMenu(m_menu);
}

void WindowCommands::insertSubmenu(Command after, QMenu* submenu) const
{
    const QAction* entry = action(after);
    for (QAction* band : m_menu->actions()) {
        QMenu* sub = band->menu();
        const QList<QAction*> entries = sub ? sub->actions() : QList<QAction*>();
        const qsizetype at = entries.indexOf(entry);
        if (at >= 0) {
            sub->insertMenu(at + 1 < entries.size() ? entries[at + 1] : nullptr, submenu);
            return;
        }
    }
}

void WindowCommands::run(const CommandRow& row) const
{
    QToolButton* button = m_buttons.pressed[std::size_t(row.command)];
    if (!button) {
        emit handlerWanted(row.command);
        return;
    }
    // As a click: a disabled button refuses it, an exclusive button stays pressed.
    button->click();
    if (row.checkable)
        action(row.command)->setChecked(button->isChecked());
}

bool WindowCommands::trigger(Command command) const
{
    QAction* a = action(command);
    if (!a->isEnabled())
        return false;
    a->trigger();
    return true;
}

void WindowCommands::openMenu() const
{
    QToolButton* more = m_buttons.more;
    const QPoint at
        = more->isVisible() ? more->mapToGlobal(QPoint(0, more->height())) : m_window.mapToGlobal(QPoint(0, 0));
    // Popped up, not executed: the key handler returns at once. Its mnemonics and arrows
    // work at once; an active entry would open its band's submenu before the user asks.
    m_menu->popup(at);
}

QList<ShortcutEntry> WindowCommands::shortcutList() const
{
    QList<ShortcutEntry> list;
    for (const CommandRow& row : kCommands) {
        if (row.keys.isEmpty())
            continue;
        QStringList keys;
        for (QKeyCombination key : row.keys)
            keys << keyText(key);
        list.push_back({keys.join(QStringLiteral("  or  ")), plainText(row)});
    }
    return list;
}

bool WindowCommands::eventFilter(QObject* watched, QEvent* event)
{
    // A button enabled or disabled (also through its box) takes its command with it.
    if (event->type() == QEvent::EnabledChange) {
        for (const CommandRow& row : kCommands)
            if (m_buttons.pressed[std::size_t(row.command)] == watched)
                action(row.command)->setEnabled(static_cast<QWidget*>(watched)->isEnabled());
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vdm
