// SPDX-License-Identifier: MIT
#include "dialogs/platform.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

// Last: Xlib's macros (None, Bool, Status) would clash with the toolkit's headers.
#include <X11/Xlib.h>

namespace vdm {
namespace {

QNativeInterface::QX11Application* x11()
{
    return qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
}

xcb_connection_t* x11Connection()
{
    QNativeInterface::QX11Application* x = x11();
    return x ? x->connection() : nullptr;
}

// The X screen the application runs on, as the display connection chose it.
int x11ScreenNumber()
{
    QNativeInterface::QX11Application* x = x11();
    Display* display = x ? x->display() : nullptr;
    return display ? DefaultScreen(display) : 0;
}

bool x11CompositingManagerRunning(xcb_connection_t* c)
{
    // The atom never changes while the connection lives; the owner is asked every time.
    static xcb_connection_t* atomConnection = nullptr;
    static xcb_atom_t selection = XCB_ATOM_NONE;
    if (atomConnection != c || selection == XCB_ATOM_NONE) {
        const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(x11ScreenNumber());
        std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
            xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr),
            &std::free);
        if (!atom)
            return false;
        selection = atom->atom;
        atomConnection = c;
    }
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr), &std::free);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

} // namespace

bool TranslucencySupported()
{
    if (xcb_connection_t* c = x11Connection())
        return x11CompositingManagerRunning(c);
    return true;
}

bool ExtendedGraphicsSupported()
{
    return true;
}

bool WindowPositionsKnown(const QString& platformName)
{
    // "wayland", "wayland-egl", "wayland-brcm": every Wayland plugin of Qt.
    return !platformName.startsWith(QLatin1String("wayland"), Qt::CaseInsensitive);
}

bool WindowPositionsKnown()
{
    return WindowPositionsKnown(QGuiApplication::platformName());
}

} // namespace vdm
