// SPDX-License-Identifier: MIT
#include "data/dbprinters.h"
#include "data/errors.h"
#include "data/textconv.h"

#include <gtest/gtest.h>

namespace vdm {
namespace {

TEST(TextConv, StrToIntAccepts)
{
    const std::pair<QByteArray, std::int32_t> cases[] = {
        {"0", 0},
        {"7", 7},
        {"-7", -7},
        {"+7", 7},
        {"   42", 42},
        {"  -0", 0},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"+2147483647", INT32_MAX},
        {"000000000000000000001", 1},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(StrToInt(text), value) << text.constData();
        std::int32_t v = -99;
        EXPECT_TRUE(tryStrToInt(text, &v));
        EXPECT_EQ(v, value);
    }
}

TEST(TextConv, StrToIntRejectsWithTheWholeText)
{
    const QByteArray cases[] = {
        "",
        " ",
        "-",
        "+",
        "+-1",
        "--1",
        "1 ",
        "1\n",
        "\t1",
        "1,2",
        "1.0",
        "0x10",
        "$10",
        "1e3",
        "2147483648",
        "-2147483649",
        "99999999999999999999",
        "- 1",
        "١",
        "\xb9",
    };
    for (const QByteArray& text : cases) {
        std::int32_t v = -99;
        EXPECT_FALSE(tryStrToInt(text, &v)) << text.constData();
        EXPECT_EQ(v, -99);
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted " << text.constData();
        } catch (const Error& e) {
            EXPECT_EQ(e.message(), QStringLiteral("'%1' is not a valid integer value").arg(QString::fromLatin1(text)))
                << text.constData();
        }
    }
}

TEST(TextConv, ErrorTextDecodedFromCodePage)
{
    try {
        StrToInt("\x80");
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'\u20AC' is not a valid integer value"));
    }
}

TEST(TextConv, IntToStr)
{
    EXPECT_EQ(IntToStr(0), "0");
    EXPECT_EQ(IntToStr(-125000), "-125000");
    EXPECT_EQ(IntToStr(INT32_MIN), "-2147483648");
    EXPECT_EQ(IntToStr(INT32_MAX), "2147483647");
}

TEST(TextConv, TrimRemovesControlsAndBlanks)
{
    EXPECT_EQ(Trim(" \t\r\n\x01 a b \x1f\x20"), "a b");
    EXPECT_EQ(Trim("\x7f"
                   "a"
                   "\xa0"),
              "\x7f"
              "a"
              "\xa0"); // only codes of 32 or less
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(Trim(""), "");
    EXPECT_EQ(Trim(QByteArrayView("\0x\0", 3)), "x");
}

} // namespace
} // namespace vdm
