// SPDX-License-Identifier: MIT
// The X11 tests run on a real X server with the xcb platform (run-on-xvfb.sh starts one).
#include "hint/shadowedhintwindow.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (qgetenv("QT_QPA_PLATFORM") != "xcb" || qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "These tests need an X server: run them through run-on-xvfb.sh\n");
        return 77;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veldamar Interactive Map"));
    // As the program does at start: tool-button tooltips are ours.
    vdm::TShadowedHintWindow::installForApplication();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
