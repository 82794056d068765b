// SPDX-License-Identifier: MIT
#include "x11/xserver.h"

#include <QGuiApplication>

#include <xcb/shape.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <memory>

#include <X11/Xlib.h> // last: its macros clash with the toolkit's headers

namespace vdm::test {
namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T> Reply<T> reply(T* r)
{
    return Reply<T>(r, &std::free);
}

} // namespace

XServer::XServer()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return;
    m_connection = x11->connection();
    m_display = x11->display();
    m_screen = DefaultScreen(x11->display());
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < m_screen && it.rem; ++i)
        xcb_screen_next(&it);
    m_root = it.data->root;
}

XServer::~XServer()
{
    if (m_selectionOwner)
        ownCompositingSelection(false);
}

uint32_t XServer::windowOf(QWidget* w) const
{
    return uint32_t(w->winId());
}

std::vector<QRect> XServer::shape(uint32_t window, int kind) const
{
    std::vector<QRect> rects;
    auto r = reply(xcb_shape_get_rectangles_reply(
        m_connection, xcb_shape_get_rectangles(m_connection, window, xcb_shape_kind_t(kind)), nullptr));
    if (!r)
        return rects;
    const xcb_rectangle_t* rs = xcb_shape_get_rectangles_rectangles(r.get());
    for (int i = 0; i < xcb_shape_get_rectangles_rectangles_length(r.get()); ++i)
        rects.emplace_back(rs[i].x, rs[i].y, rs[i].width, rs[i].height);
    return rects;
}

std::vector<QRect> XServer::inputShape(uint32_t window) const
{
    return shape(window, XCB_SHAPE_SK_INPUT);
}

std::vector<QRect> XServer::boundingShape(uint32_t window) const
{
    return shape(window, XCB_SHAPE_SK_BOUNDING);
}

QRect XServer::geometry(uint32_t window) const
{
    auto g = reply(xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
    auto t = reply(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, window, m_root, 0, 0), nullptr));
    if (!g || !t)
        return {};
    return QRect(t->dst_x, t->dst_y, g->width, g->height);
}

uint32_t XServer::windowTakingPointerAt(QPoint global) const
{
    // The server's own lookup of the point, with every window's input shape applied.
    auto t = reply(xcb_translate_coordinates_reply(
        m_connection, xcb_translate_coordinates(m_connection, m_root, m_root, int16_t(global.x()), int16_t(global.y())),
        nullptr));
    return t ? t->child : 0;
}

QImage XServer::grab(QRect rect) const
{
    auto img = reply(
        xcb_get_image_reply(m_connection,
                            xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(rect.x()),
                                          int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), ~0u),
                            nullptr));
    if (!img || img->depth != 24 || xcb_get_image_data_length(img.get()) < rect.width() * rect.height() * 4)
        return {};
    // A 24-bit screen sends 32 bits per pixel, blue in the lowest byte: RGB32's layout.
    QImage copy(xcb_get_image_data(img.get()), rect.width(), rect.height(), rect.width() * 4, QImage::Format_RGB32);
    return copy.copy();
}

void XServer::fake(uint8_t type, uint8_t detail, QPoint at) const
{
    xcb_test_fake_input(m_connection, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? m_root : XCB_NONE,
                        int16_t(at.x()), int16_t(at.y()), 0);
    xcb_flush(m_connection);
}

uint32_t XServer::atom(const char* name) const
{
    auto a = reply(
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(qstrlen(name)), name), nullptr));
    return a ? a->atom : XCB_NONE;
}

uint32_t XServer::topLevelTitled(const std::function<bool(const QString&)>& matches) const
{
    auto tree = reply(xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return 0;
    const xcb_window_t* children = xcb_query_tree_children(tree.get());
    // Stacking order, bottom first: the topmost match is the last one.
    for (int i = xcb_query_tree_children_length(tree.get()) - 1; i >= 0; --i) {
        auto attributes = reply(xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, children[i]), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        auto name = reply(xcb_get_property_reply(
            m_connection,
            xcb_get_property(m_connection, 0, children[i], XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr));
        if (!name)
            continue;
        const QString title = QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(name.get())),
                                                xcb_get_property_value_length(name.get()));
        if (matches(title))
            return children[i];
    }
    return 0;
}

void XServer::askToClose(uint32_t window) const
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&event));
    xcb_flush(m_connection);
}

void XServer::typeKey(uint32_t keysym, uint32_t modifier) const
{
    auto* display = static_cast<Display*>(m_display);
    const auto code = uint8_t(XKeysymToKeycode(display, KeySym(keysym)));
    const auto held = modifier ? uint8_t(XKeysymToKeycode(display, KeySym(modifier))) : uint8_t(0);
    if (held)
        fake(XCB_KEY_PRESS, held);
    fake(XCB_KEY_PRESS, code);
    fake(XCB_KEY_RELEASE, code);
    if (held)
        fake(XCB_KEY_RELEASE, held);
}

bool XServer::keyboardFree() const
{
    auto r = reply(xcb_grab_keyboard_reply(
        m_connection,
        xcb_grab_keyboard(m_connection, 0, m_root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr));
    if (!r || r->status != XCB_GRAB_STATUS_SUCCESS)
        return false;
    xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    xcb_flush(m_connection);
    return true;
}

void XServer::movePointer(QPoint global) const
{
    fake(XCB_MOTION_NOTIFY, 0, global);
}

void XServer::press(int button) const
{
    fake(XCB_BUTTON_PRESS, uint8_t(button));
}

void XServer::release(int button) const
{
    fake(XCB_BUTTON_RELEASE, uint8_t(button));
}

void XServer::ownCompositingSelection(bool own)
{
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(m_screen);
    auto atom = reply(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData()), nullptr));
    if (!atom)
        return;
    if (own && !m_selectionOwner) {
        m_selectionOwner = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_selectionOwner, m_root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(m_connection, m_selectionOwner, atom->atom, XCB_CURRENT_TIME);
    } else if (!own && m_selectionOwner) {
        xcb_set_selection_owner(m_connection, XCB_NONE, atom->atom, XCB_CURRENT_TIME);
        xcb_destroy_window(m_connection, m_selectionOwner);
        m_selectionOwner = 0;
    }
    // Round trip: the change is made before anyone asks again.
    reply(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
}

} // namespace vdm::test
