// The facade's plays: live, TF-card record and local file, the bound video
// window and its requests, recording and capture.
#include <string>

#include "Depend/qn_log.h"
#include "app/facade_rules.h"
#include "app/qnNetAPI.h"
#include "player/QNPlayer.h"
#include "player/qnTouchPoints.h"

void qnNetAPI::Bind(QNPlayer* player)
{
    std::lock_guard<std::recursive_mutex> hold(playerMutex_);
    if (player_ != nullptr && player_ != player) player_->setMsgCallback(nullptr, nullptr);
    player_ = player;
    if (player_ != nullptr) player_->setMsgCallback(&qnNetAPI::vqPlayerWidgetMsgCB, this);
}

void qnNetAPI::Unbind()
{
    std::lock_guard<std::recursive_mutex> hold(playerMutex_);
    if (player_ != nullptr) player_->setMsgCallback(nullptr, nullptr);
    player_ = nullptr;
}

void qnNetAPI::StopBoundPlayer()
{
    // A plain lock: every caller holds no lock of its own here, and a
    // try-lock would leave the window playing whenever a frame is being
    // handed over at that moment.
    std::lock_guard<std::recursive_mutex> hold(playerMutex_);
    if (player_ != nullptr) player_->stop();
}

bool qnNetAPI::StartBoundPlayer(QNPlayer* player)
{
    return player == nullptr || player->play();
}

void qnNetAPI::SetPlayUser(int32_t value)
{
    std::lock_guard<std::mutex> hold(userValueMutex_);
    playUser_ = value;
}

int32_t qnNetAPI::PlayUser()
{
    std::lock_guard<std::mutex> hold(userValueMutex_);
    return playUser_;
}

void qnNetAPI::ClearPanoInfo()
{
    if (hub_.SetInfo("play_info_set", "clear", "pano_info") == 1) hub_.SetInfo("opengl", "pano_info_ready", "n");
}

int qnNetAPI::StartRealPlay(int32_t camera, int32_t playUser, QNPlayer* player)
{
    playType_ = VQ_PLAY_LIVE;
    const bool changed = camera != previousCamera_;
    previousCamera_ = camera;
    playingCamera_ = camera;
    Bind(player);
    bool ready = true;
    {
        std::lock_guard<std::recursive_mutex> hold(playerMutex_);
        ready = StartBoundPlayer(player);
    }
    // The module's commands go without the player lock: the module's own
    // threads take that lock to hand over frames, so holding it while
    // waiting on the module would put the two locks in both orders.
    if (ready && changed) realplay_.SendCtrl("no_security", nullptr, nullptr);
    if (ready && !noAccount_.load()) ready = InstallDefaultKey(camera, 0, true) && InstallDefaultKey(camera, 0, false);
    if (ready) {
        const std::string id = std::to_string(camera);
        if (realplay_.LockCamera(id.c_str()) == 1) {
            realplay_.SetFrameCallBack(&qnNetAPI::OnFrame, this, VQ_PLAY_LIVE);
            int32_t route = 0;
            if (realplay_.SendCtrl("start", nullptr, &route) == 1) {
                hub_.SetInfo("enable_ptz_ctrl", "y", "");
                SetPlayUser(playUser);
                playType_ = VQ_PLAY_LIVE;
                return 1;
            }
            realplay_.SendCtrl("stop", nullptr, nullptr);
            realplay_.UnlockCamera();
        }
    }
    StopBoundPlayer();
    return 0;
}

int qnNetAPI::StopRealPlay(int32_t)
{
    if (playType_.load() != VQ_PLAY_LIVE) return 0;
    realplay_.SendCtrl("stop", nullptr, nullptr);
    realplay_.UnlockCamera();
    StopBoundPlayer();
    SetPlayUser(0);
    Unbind();
    ClearPanoInfo();
    return 1;
}

int qnNetAPI::StartPlayBack(int32_t camera, const QN_NET_REMOTE_FILE* start, int32_t playUser, QNPlayer* player)
{
    // Without a start time the hub reports a card play that never sends.
    if (start == nullptr || !Allows(camera, facade::kFeatureRecordPlay)) return 0;
    Bind(player);
    playingCamera_ = camera;
    bool ready = false;
    {
        std::lock_guard<std::recursive_mutex> hold(playerMutex_);
        ready = StartBoundPlayer(player);
    }
    if (ready && !noAccount_.load()) {
        ready = InstallDefaultKey(camera, 1, false) && InstallDefaultKey(camera, 1, true);
        if (!ready) ipcRcd_.UnlockCamera();
    }
    if (ready) {
        const std::string id = std::to_string(camera);
        if (ipcRcd_.LockCamera(id.c_str()) == 1) {
            ipcRcd_.SetFrameCallBack(&qnNetAPI::OnFrame, this, VQ_PLAY_RECORD);
            if (ipcRcd_.SendCtrl("start", nullptr, const_cast<QN_NET_REMOTE_FILE*>(start)) == 1) {
                hub_.SetInfo("enable_ptz_ctrl", "n", "");
                SetPlayUser(playUser);
                playType_ = VQ_PLAY_RECORD;
                return 1;
            }
            ipcRcd_.UnlockCamera();
        }
    }
    StopBoundPlayer();
    return 0;
}

int qnNetAPI::StopPlayBack(int32_t camera)
{
    if (!Allows(camera, facade::kFeatureRecordPlay)) return 0;
    if (playType_.load() != VQ_PLAY_RECORD) return 0;
    ipcRcd_.SendCtrl("stop", nullptr, nullptr);
    ClearPanoInfo();
    ipcRcd_.UnlockCamera();
    StopBoundPlayer();
    SetPlayUser(0);
    Unbind();
    return 1;
}

int qnNetAPI::Repos(int32_t camera, int32_t position)
{
    if (!Allows(camera, facade::kFeatureRecordPlay)) return 0;
    return ipcRcd_.SendCtrl("repos", std::to_string(position).c_str(), nullptr);
}

int qnNetAPI::StartPlayFile(const char* path, int32_t playUser, QNPlayer* player)
{
    if (path == nullptr) return 0;
    Bind(player);
    {
        std::lock_guard<std::recursive_mutex> hold(playerMutex_);
        if (!StartBoundPlayer(player)) return 0;
    }
    filePlay_.SetFrameCallBack(&qnNetAPI::OnFrame, this, VQ_PLAY_FILE);
    // The play type changes only with a file that plays: a failed start
    // must leave a live or card play that still runs stoppable. Frames
    // arriving before the start returns are relayed by their own module.
    if (filePlay_.SendCtrl("start_file", path, nullptr) != 1) {
        StopBoundPlayer();
        return 0;
    }
    playType_ = VQ_PLAY_FILE;
    SetPlayUser(playUser);
    return 1;
}

int qnNetAPI::StopPlayFile(QNPlayer* player)
{
    const int result = filePlay_.SendCtrl("stop_file", nullptr, nullptr);
    std::lock_guard<std::recursive_mutex> hold(playerMutex_);
    if (player != nullptr) player->stop();
    if (player == player_) {
        SetPlayUser(0);
        Unbind();
    }
    return result == 1 ? 1 : 0;
}

int qnNetAPI::StartRecordMP4(const char* path)
{
    if (path == nullptr) return 0;
    switch (playType_.load()) {
    case VQ_PLAY_LIVE: return realplay_.SendCtrl("start_record", path, nullptr);
    case VQ_PLAY_FILE: return 0; // a local file is already a recording
    default: return ipcRcd_.SendCtrl("start_record", path, nullptr);
    }
}

int qnNetAPI::StopRecordMP4()
{
    int result = 0;
    switch (playType_.load()) {
    case VQ_PLAY_LIVE: result = realplay_.SendCtrl("stop_record", nullptr, nullptr); break;
    case VQ_PLAY_FILE: break;
    default: result = ipcRcd_.SendCtrl("stop_record", nullptr, nullptr); break;
    }
    return result == 1 ? 0 : -1;
}

int qnNetAPI::Capture(const char* path)
{
    if (path == nullptr) return 0;
    QNPlayer* player = nullptr;
    {
        std::lock_guard<std::recursive_mutex> hold(playerMutex_);
        player = player_;
    }
    // The window writes the picture it decodes next, and it decodes on the
    // frame relay, which takes the player lock: waiting under that lock
    // would hold back the very frame the capture waits for. The window
    // itself stays: the controller captures and closes windows on its one
    // GUI thread.
    return player != nullptr && player->capture(path) ? 1 : 0;
}

int qnNetAPI::SwitchOriModel()
{
    return hub_.SendCtrl("switch_ori_model", nullptr, nullptr);
}

void qnNetAPI::SetLensToPlayer(QNPlayer* player)
{
    if (player == nullptr) return;
    for (const LensBinary& lens : tables_.LensBinaries()) {
        player->addLensRecord(lens.data, static_cast<int>(lens.length), lens.panoType, 0);
    }
}

void qnNetAPI::vqPlayerWidgetMsgCB(int type, int64_t record, void* user)
{
    auto* self = static_cast<qnNetAPI*>(user);
    if (self == nullptr) return;
    switch (type) {
    case 0: {
        // The hub's pack data serves every picture size alike.
        if (record == 0) return;
        *reinterpret_cast<const void**>(record) = self->hub_.GetSourcePackData();
        return;
    }
    case 1: self->hub_.IsSourcePackSet(); return;
    case 4: self->hub_.SetInfo("opengl", "switch_perspect", ""); return;
    case 6: {
        const auto* points = reinterpret_cast<const qnTouchPoints*>(record);
        if (points == nullptr) return;
        self->hub_.CheckInput(points->count, &points->points[0], &points->points[1]);
        const auto slot = self->Take(self->refresh_);
        if (slot.function != nullptr) slot.function(1, slot.user);
        return;
    }
    default: return;
    }
}
