// SPDX-License-Identifier: MIT
#include "data/codepage.h"

#include <QSet>
#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(CodePage, EveryByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = CodePage::decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(CodePage::encode(text), all);
    for (int b = 0; b < 256; ++b) {
        EXPECT_TRUE(CodePage::canEncode(text[b])) << b;
        EXPECT_EQ(CodePage::toUnicode(uchar(b)), text[b]) << b;
    }
    // Every byte decodes to its own character: no two bytes share one.
    EXPECT_EQ(QSet<QChar>(text.begin(), text.end()).size(), 256);
}

TEST(CodePage, KnownCharacters)
{
    struct Case {
        uchar byte;
        char16_t unicode;
    } cases[] = {{0x41, u'A'},   {0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090},
                 {0x9D, 0x009D}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xD6, 0x00D6}, {0xFF, 0x00FF}, {0x00, 0x0000}};
    for (const Case& c : cases)
        EXPECT_EQ(CodePage::toUnicode(c.byte).unicode(), c.unicode) << int(c.byte);
}

TEST(CodePage, CharactersOutsideAreRefusedOrReplaced)
{
    const QString text = QStringLiteral("a\u0100b\u20ACc\u4E2D");
    EXPECT_FALSE(CodePage::canEncode(QChar(0x0100)));
    EXPECT_FALSE(CodePage::canEncode(QChar(0x0080))); // its byte stands for the euro sign
    EXPECT_EQ(CodePage::encode(text), QByteArray("a?b\x80"
                                                 "c?"));
    EXPECT_EQ(CodePage::filter(text), QStringLiteral("ab\u20ACc"));
}

} // namespace
} // namespace vdm
