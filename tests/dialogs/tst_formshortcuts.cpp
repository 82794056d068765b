// SPDX-License-Identifier: MIT
// The keyboard shortcuts dialog: what it lists and how it closes.
#include "dialogs/formshortcuts.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(FormShortcutsTest, ListsEveryKeyReadOnlyAndCloses)
{
    QList<ShortcutEntry> entries;
    for (int i = 0; i < 13; ++i)
        entries.push_back({QStringLiteral("F%1").arg(i + 1), QStringLiteral("Command %1").arg(i)});
    entries.front() = {QStringLiteral("Ctrl+F"), QStringLiteral("Find")};
    entries.back() = {QStringLiteral("Ctrl+Q"), QStringLiteral("Close")};
    TFormShortcuts dialog(entries);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Keyboard shortcuts"));
    EXPECT_EQ(dialog.accessibleName(), QStringLiteral("Keyboard shortcuts"));
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("TableShortcuts"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->accessibleName(), QStringLiteral("Keyboard shortcuts"));
    ASSERT_EQ(table->columnCount(), 2);
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Keys"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Command"));
    ASSERT_EQ(table->rowCount(), 13);
    EXPECT_EQ(table->item(0, 0)->text(), QStringLiteral("Ctrl+F"));
    EXPECT_EQ(table->item(12, 1)->text(), QStringLiteral("Close"));
    EXPECT_EQ(table->editTriggers(), QAbstractItemView::NoEditTriggers);

    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_EQ(buttons->accessibleName(), QStringLiteral("Close"));
    QTest::mouseClick(buttons->button(QDialogButtonBox::Close), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST(FormShortcutsTest, TabGoesFromTheListToCloseAndBackAndTheArrowsMoveInIt)
{
    QList<ShortcutEntry> entries;
    for (int i = 0; i < 40; ++i)
        entries.push_back({QStringLiteral("F%1").arg(i + 1), QStringLiteral("Command %1").arg(i)});
    TFormShortcuts dialog(entries);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("TableShortcuts"));
    QPushButton* close = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
    table->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return table->hasFocus(); }));
    table->setCurrentCell(0, 0);
    QTest::keyClick(table, Qt::Key_Down);
    EXPECT_EQ(table->currentRow(), 1);
    QTest::keyClick(table, Qt::Key_Tab);
    EXPECT_TRUE(close->hasFocus());
    EXPECT_EQ(table->currentRow(), 1);
    QTest::keyClick(close, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(table->hasFocus());
    QTest::keyClick(table, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(FormShortcutsTest, ShowsEveryColumnWholeAndEveryRowTheScreenHasRoomFor)
{
    QList<ShortcutEntry> entries;
    for (int i = 0; i < 14; ++i)
        entries.push_back({QStringLiteral("Ctrl+Shift+F%1  or  Num++").arg(i + 1),
                           QStringLiteral("Scroll down by the map's height, command %1").arg(i)});
    for (const double scale : {1.0, 1.5}) {
        SCOPED_TRACE(scale);
        TFormShortcuts dialog(entries);
        QFont font = dialog.font();
        font.setPointSizeF(font.pointSizeF() * scale);
        dialog.setFont(font);
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* table = dialog.findChild<QTableWidget*>(QStringLiteral("TableShortcuts"));
        for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->metaObject()->className();
        int columns = 0;
        for (int c = 0; c < table->columnCount(); ++c) {
            columns += table->columnWidth(c);
            EXPECT_GE(table->columnWidth(c), table->horizontalHeader()->sectionSizeHint(c));
        }
        EXPECT_LE(columns, table->viewport()->width());
        const QSize room = dialog.screen()->availableGeometry().size() * 9 / 10;
        if (dialog.height() < room.height()) {
            EXPECT_EQ(table->verticalScrollBar()->maximum(), 0) << "a row cut off";
        }
        EXPECT_EQ(table->horizontalScrollBar()->maximum(), 0) << "a column cut off";
    }
}

} // namespace
} // namespace vdm
