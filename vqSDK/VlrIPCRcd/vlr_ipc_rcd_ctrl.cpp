// The TF-card play module's text commands.
#include <cstring>

#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"

namespace {

constexpr int kUser = RES_PACK_USER_IPCRCD;

bool Is(const char* command, const char* name)
{
    return std::strcmp(command, name) == 0;
}

bool IsOwnerCommand(const char* command)
{
    for (const char* name : {"set_quality", "start", "repos", "stop", "start_record", "stop_record", "out_speed"}) {
        if (Is(command, name)) return true;
    }
    return false;
}

} // namespace

int VlrIPCRcd::SendCtrl(const char* command, const char* value, void* argument)
{
    if (command == nullptr) command = "";
    if (Pack() == nullptr || !channel_) {
        callbacks_.MessageF("Not set source packet(%s)", command);
        return 0;
    }
    if (IsOwnerCommand(command)) {
        if (Pack()->owner != kUser) {
            callbacks_.MessageF("eUserID != RES_PACK_USER_IPCRCD(%s)", command);
            return 0;
        }
        return OwnerCommand(command, value, argument);
    }
    if (IsSwitchCommand(command)) return SwitchCommand(command, value);
    if (Is(command, "security_default") || Is(command, "security_default_old") || Is(command, "security_custom")) {
        return KeyCommand(command, value);
    }
    callbacks_.MessageF("Non-support command(%s)", command);
    return 0;
}

int VlrIPCRcd::OwnerCommand(const char* command, const char* value, void* argument)
{
    bool done = true;
    if (Is(command, "set_quality")) {
        done = Model<VLR_MODEL_SET_QUALITY>(5)(kUser, value) == 1;
    } else if (Is(command, "start")) {
        // The new recording's frames may be released before the start
        // returns: the heads and the output step are made ready first, and a
        // failed start puts the state back.
        {
            std::lock_guard<std::mutex> hold(released_);
            heads_.Reset();
            output_.Reset();
        }
        const uint32_t before =
            state_.exchange((state_.load() & ~static_cast<uint32_t>(IPCRCD_MARKS)) | IPCRCD_PLAYING);
        done = Model<VLR_MODEL_PLAYBACK>(4)(kUser, static_cast<const QN_NET_REMOTE_FILE*>(argument)) == 1;
        if (!done) state_.store(before);
    } else if (Is(command, "repos")) {
        done = Model<VLR_MODEL_SEEK>(10)(kUser, value != nullptr ? value : "0") == 1;
    } else if (Is(command, "stop")) {
        done = Model<VLR_MODEL_PLAIN>(6)(kUser) == 1;
        if (done) {
            state_.fetch_and(~static_cast<uint32_t>(IPCRCD_PLAYING));
            output_.ClearSeiSeen();
        }
    } else if (Is(command, "start_record")) {
        done = Model<VLR_MODEL_RECORD_CONTROL>(8)(kUser, value, 1, nullptr) == 1;
        if (done) state_.fetch_or(IPCRCD_RECORDING);
    } else if (Is(command, "stop_record")) {
        // No frame is handed to the recorder once it is told to stop.
        state_.fetch_and(~static_cast<uint32_t>(IPCRCD_RECORDING));
        done = Model<VLR_MODEL_RECORD_CONTROL>(8)(kUser, nullptr, 0, static_cast<int64_t*>(argument)) == 1;
    } else if (Is(command, "out_speed")) {
        done = pacing_.setinfo("out_speed", value) == 1;
    }
    return done ? 1 : CommandFailed(command);
}


int VlrIPCRcd::KeyCommand(const char* command, const char* value)
{
    const char* slot = command + std::strlen("security_");
    return streams::qnSetSecurityKey(keys_, value, slot) == 1 ? 1 : CommandFailed(command);
}
