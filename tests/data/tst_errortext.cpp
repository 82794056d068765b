// SPDX-License-Identifier: MIT
#include "data/errors.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace vdm {
namespace {

TEST(ErrorText, EveryExceptionGetsAText)
{
    const auto text = [](auto&& thrower) {
        try {
            thrower();
        } catch (...) {
            return errorText(std::current_exception());
        }
        return QString();
    };
    EXPECT_EQ(text([] { throwCannotOpen("/w/user.gdb"); }), "Cannot open file /w/user.gdb");
    EXPECT_EQ(text([] { throw std::bad_alloc(); }), "Out of memory");
    EXPECT_EQ(text([] { throw std::runtime_error("disk on fire"); }), "disk on fire");
    EXPECT_EQ(text([] { throw 42; }), "Unknown error");
}

} // namespace
} // namespace vdm
