// The video windows' three-slot picture ring. The writer and the drawer only
// try-lock a slot and pass over a taken one, so neither waits for the other;
// a slot's busy flag marks it while it is written or drawn. The newest
// picture wins: a frame that finds no free slot is dropped.
#ifndef OSTRELS_PLAYER_PICTURE_RING_H
#define OSTRELS_PLAYER_PICTURE_RING_H

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>

#include "vm_screen.h"

class PictureRing {
public:
    static constexpr int kSlots = 3;

    PictureRing();
    ~PictureRing();
    PictureRing(const PictureRing&) = delete;
    PictureRing& operator=(const PictureRing&) = delete;

    // Copies the picture into a free slot; a size other than the ring's
    // (once known) clears the ring first, through `clearRing` when the owner
    // has more to do with a clear than `clear()`. A slot whose picture is of
    // another size or format gets a new one. False when the frame was dropped.
    bool put(const _vm_screen& picture, const std::function<void()>& clearRing = {});
    // Takes the newest undrawn slot, locked and busy, or -1 when there is none.
    int takeForDrawing();
    // Hands a slot taken for drawing back.
    void releaseDrawn(int slot);
    // Waits for each slot in turn and releases every picture.
    void clear();

    _vm_screen* picture(int slot) const { return slots_[slot].picture; }
    int lastWritten() const { return lastWritten_; }
    int lastDrawn() const { return lastDrawn_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void forgetSize()
    {
        width_ = 0;
        height_ = 0;
    }

private:
    struct Slot {
        _vm_screen* picture = nullptr;
        std::mutex lock;
        int sequence = 0;
        bool busy = false;
    };
    Slot slots_[kSlots];
    // A clear from the owner's thread may meet a put on the stream's thread:
    // the ring's own state is atomic, so that neither reads a torn value.
    std::atomic<int> lastWritten_{-1};
    std::atomic<int> lastDrawn_{-1};
    std::atomic<int> nextSequence_{0};
    std::atomic<int> lastDrawnSequence_{0};
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
};

// A picture that carries nothing yet: every fourth byte of the lower half of
// its Y plane is 0.
bool PictureLooksEmpty(const _vm_screen& picture);

#endif
