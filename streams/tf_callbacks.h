// The TF-card module's frame and conversion callbacks, as its owner registers
// them.
#pragma once

#include <mutex>

#include "streams/qn_tf.h"

namespace streams {

// The owner's frame and conversion callbacks. They may be replaced from any
// thread while the play and conversion threads call them: a call always uses
// one whole registration, and runs outside the lock.
class TfCallbacks {
public:
    struct Frames {
        vqFrameCallback function = nullptr;
        void* user = nullptr;
        int value = 0;
    };
    struct Messages {
        vqTfConvertCallback convert = nullptr;
        vqTfProgressCallback progress = nullptr;
        void* user = nullptr;
        int value = 0;
    };

    void SetVideo(const Frames& video) { Replace(video_, video); }
    void SetAudio(const Frames& audio) { Replace(audio_, audio); }
    void SetMessages(const Messages& messages) { Replace(messages_, messages); }

    // The callback's answer, 0 without one.
    int Video(VQ_FRAME_INFO* frame) const { return Call(Take(video_), frame); }
    int Audio(VQ_FRAME_INFO* frame) const { return Call(Take(audio_), frame); }
    void Progress(int done, int total) const
    {
        const Messages messages = Take(messages_);
        if (messages.progress != nullptr) messages.progress(done, total, messages.user, messages.value);
    }
    void Converted(int code) const
    {
        const Messages messages = Take(messages_);
        if (messages.convert != nullptr) messages.convert(code, messages.user, messages.value);
    }

private:
    template <typename Registration>
    void Replace(Registration& slot, const Registration& value)
    {
        std::lock_guard<std::mutex> hold(lock_);
        slot = value;
    }
    template <typename Registration>
    Registration Take(const Registration& slot) const
    {
        std::lock_guard<std::mutex> hold(lock_);
        return slot;
    }
    static int Call(const Frames& frames, VQ_FRAME_INFO* frame)
    {
        return frames.function != nullptr ? frames.function(frame, frames.user, frames.value) : 0;
    }

    mutable std::mutex lock_;
    Frames video_;
    Frames audio_;
    Messages messages_;
};

} // namespace streams
