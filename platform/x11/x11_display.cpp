#include "x11_display_impl.h"

#include <xcb/randr.h>
#include <xcb/shm.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace ostrels::x11 {
namespace {

template <typename T>
struct FreeDeleter {
    void operator()(T* p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

bool checkRequest(xcb_connection_t* c, xcb_void_cookie_t cookie)
{
    xcb_generic_error_t* error = xcb_request_check(c, cookie);
    if (!error) return true;
    std::free(error);
    return false;
}

const xcb_visualtype_t* findVisual(const xcb_screen_t* screen, xcb_visualid_t id)
{
    for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
            if (v.data->visual_id == id) return v.data;
        }
    }
    return nullptr;
}

int bitsPerPixelOfDepth(xcb_connection_t* c, uint8_t depth)
{
    const xcb_setup_t* setup = xcb_get_setup(c);
    for (auto f = xcb_setup_pixmap_formats_iterator(setup); f.rem; xcb_format_next(&f)) {
        if (f.data->depth == depth) return f.data->bits_per_pixel;
    }
    return 0;
}

} // namespace

Display::Impl::~Impl()
{
    if (connection) xcb_disconnect(connection);
}

void Display::Impl::drainEvents()
{
    while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) std::free(event);
}

Display::Display(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Display::~Display() = default;

std::unique_ptr<Display> Display::open(const char* name, std::string* error)
{
    auto impl = std::make_unique<Impl>();
    int screenNumber = 0;
    impl->connection = xcb_connect(name, &screenNumber);
    if (xcb_connection_has_error(impl->connection)) {
        if (error) *error = "cannot connect to the X display";
        return nullptr;
    }
    auto it = xcb_setup_roots_iterator(xcb_get_setup(impl->connection));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        if (error) *error = "the X display has no such screen";
        return nullptr;
    }
    impl->screen = it.data;

    const xcb_query_extension_reply_t* shm = xcb_get_extension_data(impl->connection, &xcb_shm_id);
    if (shm && shm->present) {
        Reply<xcb_shm_query_version_reply_t> version(
            xcb_shm_query_version_reply(impl->connection, xcb_shm_query_version(impl->connection), nullptr));
        impl->shm = version != nullptr;
    }
    const xcb_query_extension_reply_t* randr = xcb_get_extension_data(impl->connection, &xcb_randr_id);
    if (randr && randr->present) {
        Reply<xcb_randr_query_version_reply_t> version(xcb_randr_query_version_reply(
            impl->connection, xcb_randr_query_version(impl->connection, 1, 5), nullptr));
        impl->randr = version && (version->major_version > 1 ||
                                  (version->major_version == 1 && version->minor_version >= 5));
    }
    return std::unique_ptr<Display>(new Display(std::move(impl)));
}

bool Display::broken() const { return xcb_connection_has_error(impl_->connection) != 0; }
int Display::screenWidth() const { return impl_->screen->width_in_pixels; }
int Display::screenHeight() const { return impl_->screen->height_in_pixels; }
bool Display::hasShm() const { return impl_->shm; }

size_t Display::maxRequestBytes() const
{
    return size_t(xcb_get_maximum_request_length(impl_->connection)) * 4;
}

QueryResult Display::queryWindow(WindowId window, WindowState& state)
{
    xcb_connection_t* c = impl_->connection;
    if (xcb_connection_has_error(c)) return QueryResult::connectionLost;
    // Send all three requests before waiting, so one frame costs one round trip.
    auto attributesCookie = xcb_get_window_attributes(c, window);
    auto geometryCookie = xcb_get_geometry(c, window);
    auto translateCookie = xcb_translate_coordinates(c, window, impl_->screen->root, 0, 0);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(c, attributesCookie, &error));
    std::free(error);
    error = nullptr;
    Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, geometryCookie, &error));
    std::free(error);
    error = nullptr;
    Reply<xcb_translate_coordinates_reply_t> origin(
        xcb_translate_coordinates_reply(c, translateCookie, &error));
    std::free(error);
    if (!attributes || !geometry || !origin) {
        return xcb_connection_has_error(c) ? QueryResult::connectionLost : QueryResult::noWindow;
    }
    state.screenRect = {origin->dst_x, origin->dst_y, origin->dst_x + geometry->width,
                        origin->dst_y + geometry->height};
    state.depth = geometry->depth;
    state.viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    const xcb_visualtype_t* visual = findVisual(impl_->screen, attributes->visual);
    const xcb_setup_t* setup = xcb_get_setup(c);
    state.takes32Bit = visual && visual->_class == XCB_VISUAL_CLASS_TRUE_COLOR &&
                       visual->red_mask == 0xff0000 && visual->green_mask == 0xff00 &&
                       visual->blue_mask == 0xff && (geometry->depth == 24 || geometry->depth == 32) &&
                       bitsPerPixelOfDepth(c, geometry->depth) == 32 &&
                       setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    return QueryResult::ok;
}

std::vector<Monitor> Display::monitors()
{
    std::vector<Monitor> list;
    xcb_connection_t* c = impl_->connection;
    if (impl_->randr) {
        Reply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
            c, xcb_randr_get_monitors(c, impl_->screen->root, 1), nullptr));
        if (reply) {
            for (auto m = xcb_randr_get_monitors_monitors_iterator(reply.get()); m.rem;
                 xcb_randr_monitor_info_next(&m)) {
                const xcb_randr_monitor_info_t* info = m.data;
                list.push_back({info->name,
                                {info->x, info->y, info->x + info->width, info->y + info->height},
                                info->primary != 0});
            }
        }
    }
    if (list.empty()) list.push_back({0, {0, 0, screenWidth(), screenHeight()}, true});
    return list;
}

bool Display::putImage(WindowId window, int depth, int x, int y, int width, int height,
                       const uint8_t* bits, int stride)
{
    xcb_connection_t* c = impl_->connection;
    if (width <= 0 || height <= 0 || stride < width * 4) return false;
    if (xcb_connection_has_error(c)) return false;
    impl_->drainEvents();
    const size_t header = 6 * 4; // fixed part of a PutImage request
    const size_t rowBytes = size_t(width) * 4;
    const size_t limit = maxRequestBytes();
    if (limit <= header + rowBytes) return false;
    const int bandRows = int(std::min<size_t>((limit - header) / rowBytes, size_t(height)));

    xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_void_cookie_t gcCookie = xcb_create_gc_checked(c, gc, window, 0, nullptr);
    std::vector<uint8_t> packed; // rows must be contiguous in a request
    std::vector<xcb_void_cookie_t> cookies;
    for (int row = 0; row < height; row += bandRows) {
        const int rows = std::min(bandRows, height - row);
        const uint8_t* band = bits + size_t(row) * stride;
        if (size_t(stride) != rowBytes) {
            packed.resize(rowBytes * rows);
            for (int r = 0; r < rows; ++r)
                std::memcpy(packed.data() + r * rowBytes, band + size_t(r) * stride, rowBytes);
            band = packed.data();
        }
        cookies.push_back(xcb_put_image_checked(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, gc, uint16_t(width),
                                                uint16_t(rows), int16_t(x), int16_t(y + row), 0, uint8_t(depth),
                                                uint32_t(rowBytes * rows), band));
    }
    xcb_free_gc(c, gc);
    bool ok = checkRequest(c, gcCookie);
    for (auto cookie : cookies) ok = checkRequest(c, cookie) && ok;
    return ok;
}

WindowId Display::createWindow(int x, int y, int width, int height, const char* title)
{
    xcb_connection_t* c = impl_->connection;
    xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[] = {impl_->screen->black_pixel, 1 /* override redirect */};
    auto cookie = xcb_create_window_checked(c, XCB_COPY_FROM_PARENT, window, impl_->screen->root,
                                            int16_t(x), int16_t(y), uint16_t(width), uint16_t(height), 0,
                                            XCB_WINDOW_CLASS_INPUT_OUTPUT, impl_->screen->root_visual,
                                            XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    if (!checkRequest(c, cookie)) return 0;
    if (title) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            uint32_t(std::strlen(title)), title);
    }
    return window;
}

bool Display::mapWindow(WindowId window, bool visible)
{
    xcb_connection_t* c = impl_->connection;
    auto cookie = visible ? xcb_map_window_checked(c, window) : xcb_unmap_window_checked(c, window);
    return checkRequest(c, cookie);
}

bool Display::moveWindow(WindowId window, int x, int y, int width, int height)
{
    xcb_connection_t* c = impl_->connection;
    const uint32_t values[] = {uint32_t(x), uint32_t(y), uint32_t(width), uint32_t(height)};
    auto cookie = xcb_configure_window_checked(
        c, window,
        XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y | XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT,
        values);
    return checkRequest(c, cookie);
}

void Display::destroyWindow(WindowId window)
{
    checkRequest(impl_->connection, xcb_destroy_window_checked(impl_->connection, window));
}

bool Display::sync()
{
    xcb_connection_t* c = impl_->connection;
    Reply<xcb_get_input_focus_reply_t> reply(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return reply != nullptr;
}

} // namespace ostrels::x11
