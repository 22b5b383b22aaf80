#include "x11_display_impl.h"

#include <xcb/shm.h>

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>

namespace ostrels::x11 {

std::unique_ptr<ShmImage> Display::createShmImage(int width, int height)
{
    xcb_connection_t* c = impl_->connection;
    if (!impl_->shm || width <= 0 || height <= 0 || xcb_connection_has_error(c)) return nullptr;
    const size_t bytes = size_t(width) * size_t(height) * 4;
    int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0) return nullptr;
    void* address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return nullptr;
    }
    xcb_shm_seg_t segment = xcb_generate_id(c);
    xcb_generic_error_t* error =
        xcb_request_check(c, xcb_shm_attach_checked(c, segment, uint32_t(id), 1 /* the server only reads */));
    // Marked for removal at once: the segment lives while we and the server are
    // attached and vanishes with the last detach, even if the process dies.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        std::free(error);
        shmdt(address);
        return nullptr;
    }
    std::unique_ptr<ShmImage> image(new ShmImage());
    image->owner_ = impl_.get();
    image->segment_ = segment;
    image->bits_ = static_cast<uint8_t*>(address);
    image->width_ = width;
    image->height_ = height;
    return image;
}

bool Display::putShmImage(WindowId window, int depth, const ShmImage& image, int x, int y)
{
    xcb_connection_t* c = impl_->connection;
    if (image.owner_ != impl_.get() || xcb_connection_has_error(c)) return false;
    impl_->drainEvents();
    xcb_gcontext_t gc = xcb_generate_id(c);
    xcb_void_cookie_t gcCookie = xcb_create_gc_checked(c, gc, window, 0, nullptr);
    xcb_void_cookie_t put = xcb_shm_put_image_checked(
        c, window, gc, uint16_t(image.width_), uint16_t(image.height_), 0, 0, uint16_t(image.width_),
        uint16_t(image.height_), int16_t(x), int16_t(y), uint8_t(depth), XCB_IMAGE_FORMAT_Z_PIXMAP, 0, image.segment_, 0);
    xcb_free_gc(c, gc);
    // Checking the put costs a round trip; when its answer is back the server
    // has copied the pixels, so the caller may write the next frame.
    xcb_generic_error_t* gcError = xcb_request_check(c, gcCookie);
    xcb_generic_error_t* putError = xcb_request_check(c, put);
    const bool ok = !gcError && !putError;
    std::free(gcError);
    std::free(putError);
    return ok;
}

ShmImage::~ShmImage()
{
    if (owner_ && !xcb_connection_has_error(owner_->connection)) {
        xcb_generic_error_t* error = xcb_request_check(owner_->connection,
                                                       xcb_shm_detach_checked(owner_->connection, segment_));
        std::free(error);
    }
    if (bits_) shmdt(bits_);
}

} // namespace ostrels::x11
