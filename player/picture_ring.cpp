#include "picture_ring.h"

#include "qn_imageprocess.h"

PictureRing::PictureRing() = default;

PictureRing::~PictureRing()
{
    clear();
}

bool PictureRing::put(const _vm_screen& picture, const std::function<void()>& clearRing)
{
    // Slots hold the decoder's format; any other picture could not be copied in.
    if (picture.format != VM_FMT_YUV420 || picture.width <= 0 || picture.height <= 0) return false;
    if ((picture.width != width_ || picture.height != height_) && width_ != 0 && height_ != 0) {
        if (clearRing)
            clearRing();
        else
            clear();
    }
    width_ = picture.width;
    height_ = picture.height;
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = slots_[i];
        if (!slot.lock.try_lock()) continue;
        if (slot.busy || i == lastWritten_) {
            slot.lock.unlock();
            continue;
        }
        slot.busy = true;
        // A slot kept from before a forgotten size would take a copy of the wrong size.
        if (slot.picture != nullptr &&
            (slot.picture->width != picture.width || slot.picture->height != picture.height ||
             slot.picture->format != picture.format)) {
            qnReleaseImage(&slot.picture);
            slot.picture = nullptr;
        }
        if (slot.picture == nullptr &&
            qnCreateImage(&slot.picture, picture.width, picture.height, VM_FMT_YUV420) != QN_IMG_OK) {
            // Free again, so that the next frame tries it once more.
            slot.picture = nullptr;
            slot.busy = false;
            slot.lock.unlock();
            continue;
        }
        lastWritten_ = i;
        qnChangeFormat(&picture, slot.picture);
        slot.sequence = nextSequence_++;
        slot.busy = false;
        slot.lock.unlock();
        return true;
    }
    return false;
}

int PictureRing::takeForDrawing()
{
    for (int i = 0; i < kSlots; ++i) {
        Slot& slot = slots_[i];
        if (!slot.lock.try_lock()) continue;
        if (slot.picture != nullptr && !slot.busy && slot.sequence >= lastDrawnSequence_ && i != lastDrawn_) {
            slot.busy = true;
            lastDrawn_ = i;
            lastDrawnSequence_ = slot.sequence;
            return i;
        }
        slot.lock.unlock();
    }
    return -1;
}

void PictureRing::releaseDrawn(int slot)
{
    if (slot < 0 || slot >= kSlots) return;
    slots_[slot].busy = false;
    slots_[slot].lock.unlock();
}

void PictureRing::clear()
{
    for (Slot& slot : slots_) {
        std::lock_guard<std::mutex> hold(slot.lock);
        if (slot.picture != nullptr) {
            qnReleaseImage(&slot.picture);
            slot.picture = nullptr;
        }
        slot.sequence = 0;
        slot.busy = false;
    }
    nextSequence_ = 0;
    lastWritten_ = -1;
    lastDrawn_ = -1;
    lastDrawnSequence_ = 0;
}

bool PictureLooksEmpty(const _vm_screen& picture)
{
    if (!vm_is_planar(picture.format) || picture.planar.plane[0] == nullptr) return false;
    const uint8_t* luma = picture.planar.plane[0];
    size_t end = size_t(picture.planar.stride[0]) * picture.height;
    // A real picture may have bytes that cancel out; only all-zero samples mean "no picture yet".
    for (size_t i = end / 2; i < end; i += 4)
        if (luma[i] != 0) return false;
    return true;
}
