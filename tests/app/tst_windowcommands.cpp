// SPDX-License-Identifier: MIT
// The window's one table of commands: every key of it acts in the real window, the More
// menu and the shortcuts list show what the table holds, and an action follows its button.
#include "app/mainformfixture.h"
#include "app/windowcommands.h"
#include "dialogs/formshortcuts.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolButton>

#include <map>
#include <set>
#include <string>

namespace vdm::test {
namespace {

TEST(CommandTable, KeysFindTheirCommand)
{
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, none = Qt::NoModifier;
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        std::optional<Command> command;
    } rows[] = {
        {Qt::Key_Equal, ctrl, Command::ZoomIn},
        {Qt::Key_Plus, ctrl, Command::ZoomIn},
        {Qt::Key_Plus, ctrl | Qt::ShiftModifier, Command::ZoomIn},
        {Qt::Key_Minus, ctrl, Command::ZoomOut},
        {Qt::Key_0, ctrl, Command::ActualSize},
        {Qt::Key_Left, none, Command::ScrollLeft},
        {Qt::Key_Down, Qt::KeypadModifier, Command::ScrollDown},
        {Qt::Key_Right, ctrl, Command::QuarterRight},
        {Qt::Key_PageDown, none, Command::PageDown},
        {Qt::Key_F11, none, Command::FullScreen},
        {Qt::Key_C, ctrl, Command::Copy},
        {Qt::Key_Q, ctrl, Command::Close},
        {Qt::Key_F1, none, Command::About},
        {Qt::Key_F, ctrl, Command::Find},
        {Qt::Key_O, ctrl, Command::OpenWorld},
        {Qt::Key_Z, ctrl, Command::Undo},
        {Qt::Key_Z, ctrl | Qt::ShiftModifier, Command::Redo},
        {Qt::Key_Y, ctrl, Command::Redo},
        {Qt::Key_F10, none, Command::OpenMenu},
        {Qt::Key_Menu, none, Command::OpenMenu},
        // The keypad's own zoom keys stay the window's described keys.
        {Qt::Key_Plus, Qt::KeypadModifier, std::nullopt},
        {Qt::Key_Minus, ctrl | Qt::KeypadModifier, std::nullopt},
        {Qt::Key_Plus, none, std::nullopt},
        {Qt::Key_0, none, std::nullopt},
        {Qt::Key_C, none, std::nullopt},
        {Qt::Key_Left, Qt::ShiftModifier, std::nullopt},
        {Qt::Key_Q, ctrl | Qt::AltModifier, std::nullopt},
    };
    for (const auto& r : rows)
        EXPECT_EQ(commandForKey(QKeyCombination(r.modifiers, Qt::Key(r.key))), r.command)
            << r.key << " " << r.modifiers.toInt();
}

TEST(CommandTable, EveryCommandHasOneRowOneWayToRunAndKeysOfItsOwn)
{
    std::set<Command> seen;
    std::set<std::string> names;
    std::map<int, Command> keys;
    for (const CommandRow& row : commandRows()) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(seen.insert(row.command).second) << "two rows";
        EXPECT_TRUE(names.insert(row.name).second) << "two rows of one name";
        EXPECT_NE(row.button == nullptr, row.run == nullptr) << "a button to press or a handler, not both";
        EXPECT_FALSE(plainText(row).isEmpty());
        for (QKeyCombination key : row.keys) {
            const auto [at, fresh] = keys.emplace(key.toCombined(), row.command);
            EXPECT_TRUE(fresh) << "a key of two commands: " << keyText(key).toStdString();
        }
        EXPECT_EQ(&commandRow(row.command), &row);
    }
    EXPECT_EQ(seen.size(), std::size_t(Command::Count));
}

class WindowCommandsTest : public MainFormTest {
protected:
    TMainForm& openWorld()
    {
        TMainForm& f = openAlphaAndBeta();
        focusMap();
        return f;
    }
    void focusMap()
    {
        panel()->setFocus();
        EXPECT_TRUE(QTest::qWaitFor([&] { return panel()->hasFocus(); }, 2000));
    }
    static bool isKeypadZoom(QKeyCombination key) { return key.keyboardModifiers() & Qt::KeypadModifier; }
};

TEST_F(WindowCommandsTest, EveryKeyOfTheTableRunsItsCommand)
{
    TMainForm& f = openWorld();
    // A step to undo and redo: those commands are enabled only while there is one.
    doubleClickAt(f.view().mapToPanel(0, 0));
    QTest::mouseClick(ui().SBV, Qt::LeftButton);
    ASSERT_TRUE(f.command(Command::Undo)->isEnabled());
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton); // somewhere to scroll and zoom both ways
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    int pressed = 0;
    for (const CommandRow& row : commandRows()) {
        if (row.command == Command::Close)
            continue; // last, below
        for (QKeyCombination key : row.keys) {
            SCOPED_TRACE(std::string(row.name) + " " + keyText(key).toStdString());
            if (row.command == Command::Redo && !f.command(Command::Redo)->isEnabled())
                f.command(Command::Undo)->trigger();
            focusMap();
            QSignalSpy ran(f.command(row.command), &QAction::triggered);
            const int zoom = f.view().zoomIndex();
            QTest::keyClick(panel(), key.key(), key.keyboardModifiers());
            if (isKeypadZoom(key)) // the window's own zoom keys, which run no action
                EXPECT_EQ(f.view().zoomIndex() - zoom, row.command == Command::ZoomIn ? 1 : -1);
            else
                EXPECT_EQ(ran.count(), 1);
            ++pressed;
            if (QWidget* popup = QApplication::activePopupWidget())
                popup->close();
        }
    }
    EXPECT_GE(pressed, 20);
    focusMap();
    QTest::keyClick(panel(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(f.isVisible());
}

TEST_F(WindowCommandsTest, AKeyTheFocusedTextFieldWantsStaysThere)
{
    TMainForm& f = openWorld();
    doubleClickAt(f.view().mapToPanel(60000, 100000)); // Beta's box opens, the note has the focus
    ASSERT_TRUE(ui().MemoNotes->hasFocus());
    for (Command command : {Command::Copy, Command::ScrollLeft, Command::PageDown}) {
        QSignalSpy ran(f.command(command), &QAction::triggered);
        const QKeyCombination key = commandRow(command).keys.first();
        QTest::keyClick(ui().MemoNotes, key.key(), key.keyboardModifiers());
        EXPECT_EQ(ran.count(), 0) << keyText(key).toStdString();
    }
    // What the editor does not want still acts there.
    QSignalSpy find(f.command(Command::Find), &QAction::triggered);
    QTest::keyClick(ui().MemoNotes, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(find.count(), 1);
}

TEST_F(WindowCommandsTest, TheMoreMenuHoldsEveryCommandByBandWithItsKeys)
{
    TMainForm& f = openWorld();
    QMenu* menu = f.commands().menu();
    ASSERT_EQ(ui().ToolButtonMore->menu(), menu);
    QStringList bands;
    std::set<Command> listed;
    for (QAction* entry : menu->actions()) {
        ASSERT_NE(entry->menu(), nullptr) << entry->text().toStdString();
        bands << entry->text();
        std::set<QChar> mnemonics;
        for (QAction* a : entry->menu()->actions()) {
            const QString text = a->text();
            const qsizetype amp = text.indexOf(QLatin1Char('&'));
            ASSERT_GE(amp, 0) << text.toStdString();
            EXPECT_TRUE(mnemonics.insert(text.at(amp + 1).toLower()).second)
                << "mnemonic twice: " << text.toStdString();
            for (const CommandRow& row : commandRows())
                if (f.command(row.command) == a) {
                    listed.insert(row.command);
                    EXPECT_EQ(a->shortcut(), row.keys.isEmpty() ? QKeySequence() : QKeySequence(row.keys.first()));
                    EXPECT_EQ(a->isCheckable(), row.checkable);
                }
        }
    }
    EXPECT_EQ(bands, (QStringList{QStringLiteral("&Map"), QStringLiteral("&Location"), QStringLiteral("Mar&ker"),
                                  QStringLiteral("&Tools")}));
    for (const CommandRow& row : commandRows())
        EXPECT_EQ(listed.count(row.command), row.group == CommandGroup::KeysOnly ? 0u : 1u) << row.name;

    // F10 opens it; an entry runs its command.
    focusMap();
    QTest::keyClick(panel(), Qt::Key_F10);
    EXPECT_TRUE(menu->isVisible());
    menu->close();
    f.command(Command::Find)->trigger();
    EXPECT_TRUE(f.findChild<QWidget*>(QStringLiteral("FindBar"))->isVisible());
}

TEST_F(WindowCommandsTest, ACheckableCommandFollowsItsButtonAndPressesIt)
{
    TMainForm& f = openWorld();
    QAction* ships = f.command(Command::ShowShips);
    const bool before = f.session().settings().ShowShips;
    ASSERT_EQ(ships->isChecked(), before);
    QTest::mouseClick(ui().ToolButtonSS, Qt::LeftButton);
    EXPECT_EQ(ships->isChecked(), !before);
    ships->trigger(); // as the menu entry does
    EXPECT_EQ(f.session().settings().ShowShips, before);
    EXPECT_EQ(ui().ToolButtonSS->isChecked(), before);
    EXPECT_EQ(ships->isChecked(), before);

    // A disabled tool disables its command: the marker tools at the lowest zoom.
    ASSERT_FALSE(ui().ToolButtonAddM->isEnabled());
    EXPECT_FALSE(f.command(Command::AddMarker)->isEnabled());
    QTest::mouseClick(ui().ToolButtonZoomIn, Qt::LeftButton);
    ASSERT_TRUE(ui().ToolButtonAddM->isEnabled());
    EXPECT_TRUE(f.command(Command::AddMarker)->isEnabled());
    f.command(Command::AddMarker)->trigger();
    EXPECT_TRUE(f.editor().AddMarkerMode());
    EXPECT_TRUE(ui().ToolButtonAddM->isChecked());
}

TEST_F(WindowCommandsTest, ButtonsShowTheirHintAndTheShortcutOfTheirCommand)
{
    openWorld();
    for (const CommandRow& row : commandRows()) {
        if (!row.button)
            continue;
        SCOPED_TRACE(row.name);
        QToolButton* button = ui().*row.button;
        EXPECT_EQ(button->toolTip(), QString::fromUtf8(row.hint ? row.hint : ""));
        EXPECT_EQ(button->property("shortcutText").toString(),
                  row.keys.isEmpty() ? QString() : keyText(row.keys.first()));
        EXPECT_EQ(button->isCheckable(), row.checkable);
    }
    // The described hints.
    EXPECT_EQ(ui().ToolButtonZoomIn->property("shortcutText").toString(), QStringLiteral("Ctrl++"));
    EXPECT_EQ(ui().ToolButtonSM->toolTip(), QStringLiteral("Show magic routes"));
    EXPECT_EQ(ui().ToolButtonClip->toolTip(), QStringLiteral("Copy map to clipboard"));
}

TEST_F(WindowCommandsTest, TheShortcutsListShowsTheKeysOfTheTable)
{
    TMainForm& f = openWorld();
    f.command(Command::Shortcuts)->trigger();
    auto* dialog = f.findChild<TFormShortcuts*>();
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->isVisible());
    auto* table = dialog->findChild<QTableWidget*>(QStringLiteral("TableShortcuts"));
    std::map<QString, QString> shown;
    for (int row = 0; row < table->rowCount(); ++row)
        shown[table->item(row, 1)->text()] = table->item(row, 0)->text();
    int withKeys = 0;
    for (const CommandRow& row : commandRows()) {
        if (row.keys.isEmpty())
            continue;
        ++withKeys;
        SCOPED_TRACE(row.name);
        ASSERT_EQ(shown.count(plainText(row)), 1u);
        for (QKeyCombination key : row.keys)
            EXPECT_TRUE(shown[plainText(row)].split(QStringLiteral("  or  ")).contains(keyText(key)));
    }
    EXPECT_EQ(table->rowCount(), withKeys);
    EXPECT_EQ(shown[QStringLiteral("Zoom in")], keyText(QKeyCombination(Qt::ControlModifier, Qt::Key_Plus))
                                                    + QStringLiteral("  or  Ctrl+=  or  ")
                                                    + keyText(QKeyCombination(Qt::KeypadModifier, Qt::Key_Plus)));
    dialog->reject();
}

} // namespace
} // namespace vdm::test
