// A stream platform with the file play module's two sources, lent to the
// module in a pack as the hub lends it, and what the module hands back.
#pragma once

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "streams/montage.h"
#include "vqSDK/VlrFilePlay/vlr_fileplay.h"
#include "vqSDK/VlrSystem/resource_pack.h"

namespace fileplay_test {

class FilePlayPlatform {
public:
    FilePlayPlatform()
    {
        montage_.qn_mp_Create();
        for (const char* name : {"single", "streamparse", "streamfileid"}) {
            const int id = montage_.qn_mp_AddSource(name, "h264&audio&jpg");
            montage_.qn_mp_Ctrl(id, "buff_cache_size", "0");
        }
        pack_.platform = &montage_;
    }
    ~FilePlayPlatform() { montage_.qn_mp_Destroy(); }
    RESPACK* Pack() { return &pack_; }

private:
    streams::Montage montage_;
    RESPACK pack_{"RESPACK", RES_PACK_USER_NONE, nullptr, nullptr, -1, 0, nullptr};
};

// Everything the module reports, kept for the test thread.
struct Received {
    std::mutex lock;
    std::vector<uint8_t> video;   // the frames in order, key frames behind the head's SPS and PPS
    int videoFrames = 0, keyFrames = 0, pcmBytes = 0;
    std::vector<uint32_t> numbers;
    std::vector<int32_t> events;
    std::vector<int64_t> eventValues;
    std::vector<std::string> messages;
    std::vector<uint8_t> picture;
    std::string picturePath;
    VLR_FILEPLAY* module = nullptr;
    // Called on the reporting thread after each event is kept, outside the lock.
    std::function<void(int32_t event)> afterEvent;

    int Count(int32_t event)
    {
        std::lock_guard<std::mutex> hold(lock);
        int count = 0;
        for (int32_t e : events) count += e == event;
        return count;
    }

    void Attach(VLR_FILEPLAY& play)
    {
        module = &play;
        play.SetFrameCallBack(&Received::OnFrame, this, 0);
        play.SetStateCallBack(&Received::OnEvent, this, 0);
        play.SetMsgCallBack(&Received::OnMessage, this, 0);
        play.SetPictureCallBack(&Received::OnPicture, this, 0);
    }

    static int OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        std::lock_guard<std::mutex> hold(self->lock);
        if (std::strcmp(info->kind, "linear_PCM") == 0) {
            self->pcmBytes += length;
            return 1;
        }
        if (info->flags & realplay::kFrameKey) {
            ++self->keyFrames;
            const MontStreamHead* head = self->module->GetStreamHead();
            if (head != nullptr) {
                self->video.insert(self->video.end(), head->sps, head->sps + realplay::HeadSpsLength(*head));
                self->video.insert(self->video.end(), head->pps, head->pps + realplay::HeadPpsLength(*head));
            }
        }
        ++self->videoFrames;
        self->numbers.push_back(info->frameNumber);
        self->video.insert(self->video.end(), data, data + length);
        return 1;
    }
    static void OnEvent(int32_t event, int32_t, int64_t value, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        {
            std::lock_guard<std::mutex> hold(self->lock);
            self->events.push_back(event);
            self->eventValues.push_back(value);
        }
        if (self->afterEvent) self->afterEvent(event);
    }
    static void OnMessage(int32_t, int32_t, const char* text, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        std::lock_guard<std::mutex> hold(self->lock);
        self->messages.emplace_back(text != nullptr ? text : "");
    }
    static void OnPicture(const uint8_t* data, int32_t length, int32_t kind, void* user, int32_t)
    {
        auto* self = static_cast<Received*>(user);
        std::lock_guard<std::mutex> hold(self->lock);
        if (kind == 1) self->picturePath.assign(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        if (kind == 0) self->picture.assign(data, data + length);
    }
};

} // namespace fileplay_test
