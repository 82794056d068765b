// SPDX-License-Identifier: MIT
// Texts kept once by number: equal texts share a number whichever thread meets them first,
// different texts never do, and each reads back as given, across the table's chunks.
#include "data/internedtext.h"

#include <gtest/gtest.h>

#include <QThread>
#include <memory>
#include <set>
#include <vector>

namespace vdm {
namespace {

TEST(InternedText, ReadsBackAsGivenAndEqualTextsShareANumber)
{
    const QByteArray cases[] = {
        QByteArray("a"),
        QByteArray("Gr\xFCn Weald"),
        QByteArray("with\0zero", 9),
        QByteArray("with"),     // a prefix of the one before
        QByteArray(" padded "), // blanks are part of the text
        QByteArray(5000, 'x'),  // longer than shares a block of the table's store
        QByteArray("\x80\xFF\x01"),
    };
    std::set<std::uint32_t> ids;
    const QByteArray* before = nullptr;
    for (const QByteArray& text : cases) {
        const InternedText interned(text);
        EXPECT_EQ(interned.view(), QByteArrayView(text)) << text.left(20).toStdString();
        EXPECT_EQ(interned.bytes(), text);
        EXPECT_EQ(interned.size(), text.size());
        EXPECT_FALSE(interned.isEmpty());
        // Met again, by any of its forms, it is the same number.
        EXPECT_EQ(InternedText(QByteArray(text)).id(), interned.id());
        EXPECT_EQ(InternedText(QByteArrayView(text)).id(), interned.id());
        EXPECT_TRUE(interned == text && interned == QByteArrayView(text));
        // Another text, a prefix of it among them, never compares equal.
        if (before) {
            EXPECT_FALSE(interned == *before || interned == InternedText(*before));
        }
        before = &text;
        ids.insert(interned.id());
    }
    EXPECT_EQ(ids.size(), std::size(cases));
}

TEST(InternedText, TheEmptyTextIsNumberZero)
{
    for (const InternedText& empty :
         {InternedText(), InternedText(""), InternedText(QByteArray()), InternedText(QByteArrayView())}) {
        EXPECT_EQ(empty.id(), 0u);
        EXPECT_TRUE(empty.isEmpty());
        EXPECT_TRUE(empty.view().isEmpty());
        EXPECT_TRUE(empty.bytes().isEmpty());
        EXPECT_EQ(empty, InternedText());
    }
    InternedText cleared("something");
    cleared.clear();
    EXPECT_EQ(cleared, InternedText());
    EXPECT_TRUE(cleared == "");
}

TEST(InternedText, ManyTextsFromManyThreadsGetOneNumberEach)
{
    // More texts than one chunk of the table holds, so numbers cross into the next chunks
    // while other threads read and add; each thread meets the texts in its own order.
    constexpr int kTexts = 150000;
    constexpr int kThreads = 4;
    std::vector<std::vector<std::uint32_t>> idsOf(kThreads, std::vector<std::uint32_t>(kTexts));
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(QThread::create([&idsOf, t] {
            for (int n = 0; n < kTexts; ++n) {
                const int i = t % 2 ? kTexts - 1 - n : n;
                const QByteArray text = "many texts " + QByteArray::number(i);
                const InternedText interned(text);
                idsOf[std::size_t(t)][std::size_t(i)] = interned.id();
                if (interned.view() != QByteArrayView(text))
                    idsOf[std::size_t(t)][std::size_t(i)] = 0;
            }
        }));
        threads.back()->start();
    }
    for (auto& thread : threads)
        thread->wait();
    std::set<std::uint32_t> distinct(idsOf[0].begin(), idsOf[0].end());
    EXPECT_EQ(distinct.size(), std::size_t(kTexts));
    EXPECT_EQ(distinct.count(0), 0u);
    for (int t = 1; t < kThreads; ++t)
        EXPECT_EQ(idsOf[std::size_t(t)], idsOf[0]) << t;
    // Read back on this thread, every text is still what it was.
    for (int i = 0; i < kTexts; i += 997)
        EXPECT_EQ(InternedText("many texts " + QByteArray::number(i)).id(), idsOf[0][std::size_t(i)]);
}

} // namespace
} // namespace vdm
