// The model tables through which the live and TF-card play modules reach the
// network SDK and the MP4 coder by entry position.
#include <atomic>
#include <mutex>

#include <cstdlib>

#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

// The hub whose table was last handed out; the entries are plain functions.
std::atomic<VLR_SYSTEM*> g_modelHub{nullptr};

int ModelRelease(int32_t user)
{
    return user == RES_PACK_USER_REALPLAY ? 1 : 0;
}

int CardNothing(int32_t user)
{
    return user == RES_PACK_USER_IPCRCD ? 1 : 0;
}

// A table entry that forwards to the hub's `Method`, or answers 0 while no
// hub has handed out a table.
template <auto Method>
struct ToHub;

template <typename... Args, int (VLR_SYSTEM::*Method)(Args...)>
struct ToHub<Method> {
    static int Call(Args... args)
    {
        VLR_SYSTEM* hub = g_modelHub.load();
        return hub != nullptr ? (hub->*Method)(args...) : 0;
    }
};

// The entry as the table holds it; `Function` is the type the play modules
// call it as.
template <typename Function>
void* Entry(Function function)
{
    return reinterpret_cast<void*>(function);
}

} // namespace

// The tables are filled once: a module reads its entries from its own
// threads while another caller may ask for the table again.
void VLR_SYSTEM::FillLiveModel()
{
    std::call_once(liveModelFilled_, [this] { FillLiveEntries(); });
    g_modelHub.store(this);
}

void VLR_SYSTEM::FillCardModel()
{
    std::call_once(cardModelFilled_, [this] { FillCardEntries(); });
    g_modelHub.store(this);
}

void VLR_SYSTEM::FillLiveEntries()
{
    liveModel_[0] = &pack_;
    liveModel_[34] = Entry<VLR_MODEL_SET_CAMERA>(&ToHub<&VLR_SYSTEM::LiveSetCamera>::Call);
    liveModel_[35] = Entry<VLR_MODEL_PLAIN>(&ModelRelease);
    liveModel_[36] = Entry<VLR_MODEL_START>(&ToHub<&VLR_SYSTEM::LiveStart>::Call);
    liveModel_[37] = Entry<VLR_MODEL_SET_QUALITY>(&ToHub<&VLR_SYSTEM::LiveSetQuality>::Call);
    liveModel_[38] = Entry<VLR_MODEL_PLAIN>(&ToHub<&VLR_SYSTEM::LiveStop>::Call);
    liveModel_[39] = Entry<VLR_MODEL_RECORD_CONTROL>(&ToHub<&VLR_SYSTEM::LiveRecordControl>::Call);
    liveModel_[40] = Entry<VLR_MODEL_WRITE_FRAME>(&ToHub<&VLR_SYSTEM::LiveWriteFrame>::Call);
    liveModel_[41] = Entry<VLR_MODEL_SET_RECORD_END>(&ToHub<&VLR_SYSTEM::LiveSetRecordEnd>::Call);
    liveModel_[42] = Entry<VLR_MODEL_SET_WORDS>(&ToHub<&VLR_SYSTEM::LiveSetWords>::Call);
}

void VLR_SYSTEM::FillCardEntries()
{
    cardModel_[0] = &pack_;
    cardModel_[2] = Entry<VLR_MODEL_SET_CAMERA>(&ToHub<&VLR_SYSTEM::CardSetCamera>::Call);
    cardModel_[3] = Entry<VLR_MODEL_PLAIN>(&CardNothing);
    cardModel_[4] = Entry<VLR_MODEL_PLAYBACK>(&ToHub<&VLR_SYSTEM::CardPlayBack>::Call);
    cardModel_[5] = Entry<VLR_MODEL_PLAIN>(&CardNothing);
    cardModel_[6] = Entry<VLR_MODEL_PLAIN>(&ToHub<&VLR_SYSTEM::CardStop>::Call);
    cardModel_[7] = Entry<VLR_MODEL_SET_SPEED>(&ToHub<&VLR_SYSTEM::CardSetSpeed>::Call);
    cardModel_[8] = Entry<VLR_MODEL_RECORD_CONTROL>(&ToHub<&VLR_SYSTEM::CardRecordControl>::Call);
    cardModel_[9] = Entry<VLR_MODEL_WRITE_FRAME>(&ToHub<&VLR_SYSTEM::CardWriteFrame>::Call);
    cardModel_[10] = Entry<VLR_MODEL_SEEK>(&ToHub<&VLR_SYSTEM::CardSeek>::Call);
    cardModel_[11] = Entry<VLR_MODEL_SET_RECORD_END>(&ToHub<&VLR_SYSTEM::CardSetRecordEnd>::Call);
    cardModel_[12] = Entry<VLR_MODEL_SET_PLAYBACK_DATA>(&ToHub<&VLR_SYSTEM::CardSetPlaybackData>::Call);
}

void VLR_SYSTEM::ForgetModels()
{
    VLR_SYSTEM* self = this;
    g_modelHub.compare_exchange_strong(self, nullptr);
}

int VLR_SYSTEM::LiveSetRecordEnd(int user, VLR_RECORD_END_CALLBACK callback, void* owner, int32_t value)
{
    if (user != RES_PACK_USER_REALPLAY) return 0;
    std::lock_guard<std::mutex> lock(modelMutex_);
    liveRecordEnd_ = RecordEnd{callback, owner, value};
    return 1;
}

int VLR_SYSTEM::LiveSetWords(int user, int32_t first, int32_t second, int32_t third)
{
    if (user != RES_PACK_USER_REALPLAY) return 0;
    std::lock_guard<std::mutex> lock(modelMutex_);
    liveWords_[0] = first;
    liveWords_[1] = second;
    liveWords_[2] = third;
    return 1;
}

void VLR_SYSTEM::OnLiveCoderEvent(int code, int, void* user)
{
    if (code != 0 || user == nullptr) return;
    VLR_SYSTEM* hub = static_cast<VLR_SYSTEM*>(user);
    RecordEnd end;
    {
        std::lock_guard<std::mutex> lock(hub->modelMutex_);
        end = hub->liveRecordEnd_;
    }
    if (end.callback != nullptr) end.callback(1, 0, end.owner, end.value);
}

void VLR_SYSTEM::OnCardCoderEvent(int code, int, void* user)
{
    if (code != 0 || user == nullptr) return;
    VLR_SYSTEM* hub = static_cast<VLR_SYSTEM*>(user);
    RecordEnd end;
    {
        std::lock_guard<std::mutex> lock(hub->modelMutex_);
        end = hub->cardRecordEnd_;
    }
    if (end.callback != nullptr) end.callback(1, 0, end.owner, end.value);
}

int VLR_SYSTEM::CardSetCamera(int user, const char* camera)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    cardCamera_.store(camera != nullptr ? static_cast<int32_t>(std::strtol(camera, nullptr, 10)) : 0);
    return 1;
}

int VLR_SYSTEM::CardPlayBack(int user, const QN_NET_REMOTE_FILE* request)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    if (request == nullptr) return 1;
    if (QN_NET_PlayBack(cardCamera_.load(), request, &VLR_SYSTEM::OnCardData, 1, 0) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_PlayBack");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::CardStop(int user)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    QN_NET_StopPlayBack(cardCamera_.load());
    return 1;
}

int VLR_SYSTEM::CardSetSpeed(int user, float value)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    return QN_NET_PlayBackControl(cardCamera_.load(), 3, static_cast<int32_t>(value)) == 1 ? 1 : 0;
}

int VLR_SYSTEM::CardSeek(int user, const char* percent)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    const int32_t value = percent != nullptr ? static_cast<int32_t>(std::strtol(percent, nullptr, 10)) : 0;
    if (QN_NET_PlayBackControl(cardCamera_.load(), 4, value) != 1) {
        ReportError(VLR_REPORT_NET_SDK, "QN_NET_PlayBack");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::CardSetRecordEnd(int user, VLR_RECORD_END_CALLBACK callback, void* owner, int32_t value)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    std::lock_guard<std::mutex> lock(modelMutex_);
    cardRecordEnd_ = RecordEnd{callback, owner, value};
    return 1;
}

int VLR_SYSTEM::CardSetPlaybackData(int user, VLR_PLAYBACK_DATA_CALLBACK callback, void* owner, int32_t value)
{
    if (user != RES_PACK_USER_IPCRCD) return 0;
    std::unique_lock<std::mutex> lock(modelMutex_);
    cardData_ = callback;
    cardDataOwner_ = owner;
    cardDataValue_ = value;
    // The owner may be destroyed once this returns: a call already under way
    // ends first.
    cardDataDone_.wait(lock, [this] { return cardDataCalls_ == 0; });
    return 1;
}

// Runs on the SDK's thread: the TF-card play module's callback only queues
// the frame for its pacing controller.
int VLR_SYSTEM::OnCardData(char* data, int32_t type, int32_t number, int32_t length, int32_t)
{
    VLR_SYSTEM* hub = g_modelHub.load();
    if (hub != nullptr) {
        VLR_PLAYBACK_DATA_CALLBACK callback;
        void* owner;
        int32_t value;
        {
            std::lock_guard<std::mutex> lock(hub->modelMutex_);
            callback = hub->cardData_;
            owner = hub->cardDataOwner_;
            value = hub->cardDataValue_;
            if (callback != nullptr) ++hub->cardDataCalls_;
        }
        if (callback != nullptr) {
            callback(data, type, number, length, owner, value);
            std::lock_guard<std::mutex> lock(hub->modelMutex_);
            --hub->cardDataCalls_;
            hub->cardDataDone_.notify_all();
        }
    }
    if (type != QN_NET_FRAME_AUDIO_G711A) QN_NET_Free(data);
    return 1;
}
