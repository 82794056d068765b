// SPDX-License-Identifier: MIT
#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Widget tests run headless whatever the caller's environment says.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Files that fall back to the user's own folders land in a folder of the run, never
    // in the home of whoever runs the tests. Static: a death test's child ends by exit(),
    // which still removes it.
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    QApplication app(argc, argv);
    // Whatever the machine's language: the location list sorts by the locale's rules.
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication::setApplicationName(QStringLiteral("Veldamar Interactive Map"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
