// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

struct xcb_connection_t;

namespace vdm::test {

/**
 * Questions to, and real input through, the X server the application runs on (the xcb
 * platform's own connection): what the server answers is what a user's pointer meets.
 * Pointer input goes through the XTEST extension, so the server decides which window
 * gets it, exactly as for a real device.
 */
class XServer {
public:
    XServer();
    ~XServer();

    /** Whether the application runs on an X server at all. */
    bool connected() const { return m_connection != nullptr; }

    uint32_t windowOf(QWidget* w) const;
    /** The rectangles of a window's input shape and bounding shape (window pixels). */
    std::vector<QRect> inputShape(uint32_t window) const;
    std::vector<QRect> boundingShape(uint32_t window) const;
    /** The window's outer rectangle in root (screen) pixels. */
    QRect geometry(uint32_t window) const;
    /** The top-level window that takes pointer input at `global`, as the server decides. */
    uint32_t windowTakingPointerAt(QPoint global) const;
    /** What the screen shows in `rect` (root pixels). */
    QImage grab(QRect rect) const;

    /**
     * The topmost viewable top-level window whose title `matches`, whoever made it
     * (another process too); 0 for none.
     */
    uint32_t topLevelTitled(const std::function<bool(const QString&)>& matches) const;
    /** Asks a window to close as a window manager's close button does (WM_DELETE_WINDOW). */
    void askToClose(uint32_t window) const;
    /**
     * Presses and releases the key of `keysym` (an X keysym such as XK_Return), with the
     * key of `modifier` (such as XK_Alt_L) held down around it when one is given.
     */
    void typeKey(uint32_t keysym, uint32_t modifier = 0) const;

    void movePointer(QPoint global) const;
    /**
     * Whether no client holds the keyboard (an open menu grabs it): keys typed now reach
     * the window under the pointer. Asked by grabbing it and letting go at once.
     */
    bool keyboardFree() const;
    void press(int button = 1) const;
    void release(int button = 1) const;

    /**
     * Takes or gives up the screen's compositing-manager selection, as a compositing
     * manager does when it starts or stops (nothing is composited for real).
     */
    void ownCompositingSelection(bool own);

private:
    std::vector<QRect> shape(uint32_t window, int kind) const;
    void fake(uint8_t type, uint8_t detail, QPoint at = {}) const;

    uint32_t atom(const char* name) const;

    xcb_connection_t* m_connection = nullptr;
    void* m_display = nullptr; // the platform's Xlib display, for the keyboard map
    uint32_t m_root = 0;
    int m_screen = 0;
    uint32_t m_selectionOwner = 0;
};

} // namespace vdm::test
