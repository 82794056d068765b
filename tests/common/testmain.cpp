// SPDX-License-Identifier: MIT
#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Widget tests run headless whatever the caller's environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veldamar Interactive Map"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
