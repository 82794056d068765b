// SPDX-License-Identifier: MIT
// Texts in shared blocks: each reads back as copied, ends with '\0', outlives the arena,
// and a change to one never reaches another.
#include "data/textarena.h"

#include <gtest/gtest.h>

#include <vector>

namespace vdm {
namespace {

TEST(TextArena, EveryTextReadsBackAsCopiedAcrossBlocks)
{
    const QByteArray cases[] = {
        QByteArray("a"),
        QByteArray("Falelvorfalgard"),
        QByteArray("with\0zero", 9),
        QByteArray("\xE9t\xE9 \x80 \xFF"),
        QByteArray(TextArena::kBlockSize / 16 - 1, 'x'), // the longest that shares a block
        QByteArray(TextArena::kBlockSize / 16, 'y'),     // one of its own
        QByteArray(3 * TextArena::kBlockSize, 'z'),
    };
    std::vector<QByteArray> kept;
    {
        TextArena arena;
        // Enough rounds that the texts fill many blocks.
        for (int round = 0; round < 200; ++round)
            for (const QByteArray& text : cases)
                kept.push_back(arena.copy(text));
    } // the arena is gone; its blocks live on in the texts
    for (std::size_t i = 0; i < kept.size(); ++i) {
        const QByteArray& expected = cases[i % std::size(cases)];
        ASSERT_EQ(kept[i], expected) << i;
        ASSERT_EQ(kept[i].constData()[kept[i].size()], '\0') << i;
    }
}

TEST(TextArena, AnEmptyTextIsAnEmptyArray)
{
    TextArena arena;
    EXPECT_TRUE(arena.copy(QByteArrayView()).isEmpty());
    EXPECT_TRUE(arena.copy("").isEmpty());
}

TEST(TextArena, AChangeToOneTextNeverReachesItsNeighbours)
{
    TextArena arena;
    QByteArray first = arena.copy("first");
    QByteArray second = arena.copy("second");
    QByteArray copyOfSecond = second;
    first.append(" grown well beyond its place in the block");
    first[0] = 'F';
    second.data()[0] = 'S';
    EXPECT_EQ(first, QByteArray("First grown well beyond its place in the block"));
    EXPECT_EQ(second, QByteArray("Second"));
    EXPECT_EQ(copyOfSecond, QByteArray("second"));
}

TEST(TextArena, TheLastTextOfABlockMayGrowInPlace)
{
    QByteArray survivor;
    {
        TextArena arena;
        QByteArray gone = arena.copy("gone");
        survivor = arena.copy("survivor");
    } // only the survivor holds the block now
    survivor.append(QByteArray(100, '!'));
    survivor.prepend("a ");
    EXPECT_EQ(survivor, "a survivor" + QByteArray(100, '!'));
    EXPECT_EQ(survivor.constData()[survivor.size()], '\0');
}

} // namespace
} // namespace vdm
