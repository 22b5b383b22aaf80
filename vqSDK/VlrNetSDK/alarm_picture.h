// The download of an alarm picture (or of the panorama picture a PTZ move
// fetches): the picture comes in numbered blocks of reply 20323, which must
// arrive in order; progress goes out as event 1003 and the whole picture as
// event 1005.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/clock.h"

namespace qn_net {

class alarm_picture_download {
public:
    static constexpr int kMaxBlocks = 512;
    static constexpr std::size_t kBlockData = 972;
    static constexpr uint16_t kPictureBlock = 61;

    explicit alarm_picture_download(const platform::Clock& clock = platform::Clock::System()) : clock_(clock) {}

    // Forgets any download in progress.
    void reset();
    // Arms a new download: resets and notes the time, flag clear.
    void arm();
    // Takes one block (the body of a 20323 reply).
    void take_block(const uint8_t* body, std::size_t length);
    // The download flag: set while blocks come in.
    bool downloading() const;
    void set_idle();
    int64_t last_block_ms() const;

private:
    void reset_locked();

    const platform::Clock& clock_;
    mutable std::mutex mutex_;
    bool started_ = false;
    bool downloading_ = false;
    int total_ = 0;
    int received_ = 0;
    int lastReport_ = 0;
    std::size_t bytes_ = 0;
    int64_t lastBlockMs_ = 0;
    std::vector<bool> got_;
    std::unique_ptr<uint8_t[]> picture_;
};

} // namespace qn_net
