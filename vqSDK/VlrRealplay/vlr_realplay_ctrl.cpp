// The live play module's text commands.
#include <cstring>

#include "Depend/qn_log.h"
#include "vqSDK/VlrRealplay/vlr_realplay.h"

namespace {

constexpr int kUser = RES_PACK_USER_REALPLAY;

bool Is(const char* command, const char* name)
{
    return std::strcmp(command, name) == 0;
}

bool IsOwnerCommand(const char* command)
{
    for (const char* name : {"set_quality", "start", "stop", "start_record", "stop_record"}) {
        if (Is(command, name)) return true;
    }
    return false;
}

} // namespace

int VLR_REALPLAY::SendCtrl(const char* command, const char* value, void* argument)
{
    if (command == nullptr) command = "";
    if (!HavePack()) return 0;
    if (IsOwnerCommand(command)) {
        const int32_t owner = Pack()->owner;
        if (owner != kUser) {
            callbacks_.MessageF("pstrCommand:%s eUserID:%d errmsg=(eUserID != RES_PACK_USER_REALPLAY)", command, owner);
            return 0;
        }
        return OwnerCommand(command, value, argument);
    }
    if (IsSwitchCommand(command)) return SwitchCommand(command, value);
    if (Is(command, "security_default") || Is(command, "security_default_old") || Is(command, "security_custom") ||
        Is(command, "no_security")) {
        return KeyCommand(command, value);
    }
    callbacks_.MessageF("Non-support command:%s", command);
    return 0;
}

int VLR_REALPLAY::OwnerCommand(const char* command, const char* value, void* argument)
{
    bool done = true;
    if (Is(command, "set_quality")) {
        PausePacing();
        done = Model<VLR_MODEL_SET_QUALITY>(37)(kUser, value) == 1;
        ResumePacing();
        state_.fetch_and(~static_cast<uint32_t>(REALPLAY_QUALITY_MARKS));
    } else if (Is(command, "start")) {
        // The new stream's frames may arrive before the start returns: the
        // heads and the output step are made ready for them first.
        // The channel plays before the model starts, so that the first key
        // frame finds its head; a failed start puts the state back. A
        // recording started before keeps being fed.
        heads_.Reset();
        output_.Reset();
        const uint32_t before = state_.exchange((state_.load() & ~static_cast<uint32_t>(REALPLAY_MARKS)) | REALPLAY_PLAYING);
        done = Model<VLR_MODEL_START>(36)(kUser, static_cast<int32_t*>(argument)) == 1;
        if (!done) state_.store(before);
    } else if (Is(command, "stop")) {
        done = Model<VLR_MODEL_PLAIN>(38)(kUser) == 1;
        if (done) {
            state_.fetch_and(~static_cast<uint32_t>(REALPLAY_PLAYING));
            output_.ClearSeiSeen();
            QNConsoleTrace("[%s %s %d], QueueStartstop  Idle\n", __FILE__, __FUNCTION__, __LINE__);
        }
    } else if (Is(command, "start_record")) {
        done = Model<VLR_MODEL_RECORD_CONTROL>(39)(kUser, value, 1, nullptr) == 1;
        if (done) state_.fetch_or(REALPLAY_RECORDING);
    } else if (Is(command, "stop_record")) {
        // No frame is handed to the recorder once it is told to stop.
        state_.fetch_and(~static_cast<uint32_t>(REALPLAY_RECORDING));
        done = Model<VLR_MODEL_RECORD_CONTROL>(39)(kUser, nullptr, 0, static_cast<int64_t*>(argument)) == 1;
    }
    return done ? 1 : CommandFailed(command);
}


int VLR_REALPLAY::KeyCommand(const char* command, const char* value)
{
    int done;
    if (Is(command, "no_security")) {
        done = streams::qnSetSecurityKey(keys_, "no_security", "no_security");
    } else {
        const char* slot = command + std::strlen("security_");
        done = streams::qnSetSecurityKey(keys_, value, slot);
    }
    return done == 1 ? 1 : CommandFailed(command);
}
