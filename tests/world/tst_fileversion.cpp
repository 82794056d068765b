// SPDX-License-Identifier: MIT
// A file's version tells its bytes apart from any other bytes: every byte counts, at every
// place of the hash's strides, whatever the length.
#include "world/fileversion.h"

#include <gtest/gtest.h>

#include <string>

namespace vdm {
namespace {

FileVersion versionOf(const QByteArray& bytes)
{
    return FileVersion(FileStamp{}, bytes);
}

QByteArray pattern(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char('a' + i % 23);
    return bytes;
}

TEST(FileVersionTest, EqualBytesAreOneVersionAndAnyChangedByteAnother)
{
    // Lengths around the strides of 8 and 32 bytes, and one long enough for many strides.
    for (const qsizetype size : {0, 1, 7, 8, 9, 31, 32, 33, 63, 64, 65, 100, 4099}) {
        SCOPED_TRACE(std::to_string(size));
        const QByteArray bytes = pattern(size);
        EXPECT_TRUE(versionOf(bytes).sameBytes(versionOf(pattern(size))));
        for (qsizetype at = 0; at < size; ++at) {
            QByteArray changed = bytes;
            changed[at] = char(changed[at] ^ 0x01);
            ASSERT_FALSE(versionOf(bytes).sameBytes(versionOf(changed))) << "byte " << at;
        }
        // The same bytes, one longer or shorter: a zero byte added or the last one cut.
        EXPECT_FALSE(versionOf(bytes).sameBytes(versionOf(bytes + QByteArray(1, '\0'))));
        if (size > 0) {
            EXPECT_FALSE(versionOf(bytes).sameBytes(versionOf(bytes.first(size - 1))));
        }
    }
    // Two bytes swapped between lanes leave every byte's value in place but not its order.
    const QByteArray a = pattern(64);
    QByteArray swapped = a;
    std::swap(swapped[3], swapped[40]);
    EXPECT_FALSE(versionOf(a).sameBytes(versionOf(swapped)));
}

} // namespace
} // namespace vdm
