// The PTZ-union commands: the linkage library is set up from the facade's
// start record, run, and stopped with a bounded wait for its two workers.
#include <algorithm>
#include <chrono>
#include <iterator>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "Depend/qn_log.h"
#include "ptzlink/qn_ptzlink.h"
#include "streams/montage.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

constexpr auto kWorkersEndBound = std::chrono::seconds(10);
const char kInputError[] = "Input parameter error";
const char kUnknownCommand[] = "Non-support command";
const char kCommandError[] = "Command operate error";

} // namespace

void VLR_SYSTEM::ReportText(const char* text)
{
    std::lock_guard<std::mutex> lock(callbackMutex_);
    if (msgCallback_ != nullptr) msgCallback_(0, 0, text, msgUser_, msgValue_);
}

void VLR_SYSTEM::OnLinkEvent(uint64_t code, const char* text, uint64_t user)
{
    auto* self = reinterpret_cast<VLR_SYSTEM*>(static_cast<uintptr_t>(user));
    if (text == nullptr) return;
    if (std::strcmp(text, "Generate result") == 0) {
        // The code is the address of the three result words.
        const auto* words = reinterpret_cast<const int32_t*>(static_cast<uintptr_t>(code));
        if (words != nullptr) std::printf("GennerateResx:%d y:%d z:%d\n", words[0], words[1], words[2]);
        return;
    }
    std::lock_guard<std::mutex> lock(self->unionMutex_);
    if (std::strcmp(text, "PROJECT_FINISH") == 0 || std::strcmp(text, "STOP_PROJECT") == 0) {
        self->projectionFinished_ = true;
    } else if (std::strcmp(text, "UNION_FINISH") == 0 || std::strcmp(text, "STOP_UNION") == 0) {
        self->unionFinished_ = true;
    } else {
        return;
    }
    self->unionChanged_.notify_all();
}

void VLR_SYSTEM::OnLinkError(uint64_t, const char* text, uint64_t)
{
    std::printf("UnionMSGCBpstrDescrib :%s \n", text != nullptr ? text : "");
}

int VLR_SYSTEM::StartPtzUnion(const VLR_PTZ_UNION_START& start)
{
    if (!ptzLink_) ptzLink_ = std::make_unique<QN_PTZLINK>();
    QN_PTZLINK& link = *ptzLink_;
    const uint64_t self = reinterpret_cast<uintptr_t>(this);
    if (link.Create() != 1 || link.SetErrorCallBack(&VLR_SYSTEM::OnLinkError, self) != 1 ||
        link.SetEventCallBack(&VLR_SYSTEM::OnLinkEvent, self) != 1) {
        return 0;
    }
    char rows[8];
    std::snprintf(rows, sizeof rows, "%u", static_cast<unsigned>(start.rows));
    const char* const first[][2] = {{"hon_count", "15"}, {"ver_count", rows}, {"pixel_per_degree", "10"},
                                    {"pixel_move_regis", "1"}, {"res_range_enlarge", "365"}};
    for (const auto& setting : first) {
        if (link.SetInfo(setting[0], setting[1]) != 1) return 0;
    }
    if (start.correctionLength != 0) {
        const int length = std::min<int>(start.correctionLength, static_cast<int>(sizeof start.correction));
        const int refused = link.AddCorrectPara(start.correction, length, start.panoType);
        if (refused != 0) {
            // Without a stored lens the union runs uncorrected.
            // The code's four letters, lowest byte first.
            const char code[5] = {static_cast<char>(refused), static_cast<char>(refused >> 8),
                                  static_cast<char>(refused >> 16), static_cast<char>(refused >> 24), '\0'};
            QNLogPrint("PTZ union: lens correction refused (%s, %d bytes); running without it\n", code, length);
        }
    }
    char panoType[24];
    std::snprintf(panoType, sizeof panoType, "%" PRIu64, start.panoType);
    const char* const second[][2] = {{"panotype_ex", panoType},        {"correct_range_pan_line", "30"},
                                     {"correct_range_tilt_line", "5"}, {"correct_range_pan_row", "20"},
                                     {"correct_range_tilt_row", "10"}, {"trust_rate", "1"},
                                     {"last_error_enlarge", "y"},      {"tilt_inter", "15"},
                                     {"high_dynamic", start.highDynamic != 0 ? "y" : "n"}};
    for (const auto& setting : second) {
        if (link.SetInfo(setting[0], setting[1]) != 1) return 0;
    }
    {
        std::lock_guard<std::mutex> lock(unionMutex_);
        projectionFinished_ = false;
        unionFinished_ = false;
        std::memset(lastPtzHead_, 0, sizeof lastPtzHead_);
    }
    if (link.LaunchProcess() != 1) {
        std::lock_guard<std::mutex> lock(unionMutex_);
        projectionFinished_ = unionFinished_ = true;
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::StopPtzUnion()
{
    if (!ptzLink_) return 0;
    // The library waits for its workers itself, and their last events take
    // the hub's mutex: it must not be held here.
    const int shutDown = ptzLink_->ShutDownProcess();
    bool ended = true;
    if (shutDown == 1) {
        std::unique_lock<std::mutex> lock(unionMutex_);
        ended = unionChanged_.wait_for(lock, kWorkersEndBound, [&] { return projectionFinished_ && unionFinished_; });
    }
    const int destroyed = ptzLink_->Destory();
    return ended && destroyed == 1 ? 1 : 0;
}

int VLR_SYSTEM::SendCtrl(const char* command, const VLR_PTZ_UNION_START* start, __tag_point3D* point)
{
    if (command == nullptr) {
        ReportText(kInputError);
        return 0;
    }
    int result = 0;
    if (std::strcmp(command, "start_ptz_union") == 0) {
        if (start == nullptr) {
            ReportText(kInputError);
            return 0;
        }
        result = StartPtzUnion(*start);
    } else if (std::strcmp(command, "stop_ptz_union") == 0) {
        result = StopPtzUnion();
    } else if (std::strcmp(command, "get_next_ptz") == 0) {
        if (point == nullptr) {
            ReportText(kInputError);
            return 0;
        }
        const QNPL_GET_NEXT_RES next = ptzLink_ ? ptzLink_->GetNextPTZ("next", point) : QNPL_NEXT_REFUSED;
        result = next == QNPL_NEXT_POSITION ? 1 : next == QNPL_NEXT_ALL_HANDED_OUT ? 2 : 0;
    } else {
        ReportText(kUnknownCommand);
        return 0;
    }
    if (result == 0) ReportText(kCommandError);
    return result;
}

namespace {

const char kNotReady[] = "ready_for_input error";
const char kInputRefused[] = "InputPTZImage err";

uint32_t PanField(uint64_t word0)
{
    return static_cast<uint32_t>(word0 >> 18) & 0xFFF;
}

// What makes two heads the same shot: the pan field, the top two bits of the
// first word and the low ten bits of the second.
bool SamePosition(const _qnpl_ptz_jpg_tail_& a, const _qnpl_ptz_jpg_tail_& b)
{
    return PanField(a.word0) == PanField(b.word0) && (a.word0 >> 62) == (b.word0 >> 62) &&
           (a.word1 & 0x3FF) == (b.word1 & 0x3FF);
}

} // namespace

int VLR_SYSTEM::InputPtzImage(_vm_screen* picture, const _qnpl_ptz_jpg_tail_* head, int32_t* pan, int32_t* tilt)
{
    if (picture == nullptr || head == nullptr) {
        ReportText(kInputError);
        return 0;
    }
    char* ready = nullptr;
    if (!ptzLink_ || ptzLink_->GetInfo("ready_for_input", &ready, nullptr) != 1 || ready == nullptr ||
        std::strcmp(ready, "y") != 0) {
        ReportText(kNotReady);
        return 0;
    }
    _qnpl_ptz_jpg_tail_ tail = *head;
    {
        std::lock_guard<std::mutex> lock(unionMutex_);
        _qnpl_ptz_jpg_tail_ last{};
        std::memcpy(&last, lastPtzHead_, sizeof last);
        const bool anyLast = std::any_of(std::begin(lastPtzHead_), std::end(lastPtzHead_), [](uint8_t b) { return b; });
        if (anyLast && SamePosition(last, tail)) return 2;
        std::memcpy(lastPtzHead_, &tail, sizeof tail);
    }
    if (pan != nullptr) *pan = static_cast<int32_t>(PanField(tail.word0));
    if (tilt != nullptr) *tilt = static_cast<int32_t>((tail.word0 >> 30) & 0xFFF) - 1800;
    if (ptzLink_->InputPTZImage(picture, &tail) == 0) {
        ReportText(kInputRefused);
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::InputJpeg(const uint8_t* data, int32_t length)
{
    if (data == nullptr || length <= 0) {
        ReportText(kInputError);
        return 0;
    }
    if (!(state_.load() & VLR_STATE_PACK_BUILT)) {
        ReportText("Not set source packet");
        return 0;
    }
    if (platform_->qn_mp_InputData(pack_.source, data, length, "jpeg") != 1) {
        ReportError(VLR_REPORT_MONTAGE, "qn_mp_InputData");
        return 0;
    }
    return 1;
}

int VLR_SYSTEM::CheckPtzDuplicate(const _qnpl_ptz_jpg_tail_* head)
{
    if (head == nullptr) {
        ReportText(kInputError);
        return 0;
    }
    if (!ptzLink_) return 0;
    _qnpl_ptz_jpg_tail_ tail = *head;
    return ptzLink_->CheckDuplicate(&tail) >= 5.0f ? 1 : 0;
}

int VLR_SYSTEM::GetUnionImage(UnionImage* image)
{
    if (image == nullptr) {
        ReportText(kInputError);
        return 0;
    }
    if (!ptzLink_) return 0;
    _qnpl_jpg_tail_ptz_pano_ tail{};
    // The engine keeps its picture until Destory: the caller gets a copy.
    const _vm_screen* picture = ptzLink_->GetUnionImage(nullptr, &tail);
    if (picture == nullptr || picture->packed.pixels == nullptr || picture->width <= 0 || picture->height <= 0) {
        return 0;
    }
    image->width = picture->width;
    image->height = picture->height;
    image->pixels.resize(static_cast<std::size_t>(picture->width) * picture->height);
    for (int y = 0; y < picture->height; ++y) {
        std::memcpy(image->pixels.data() + static_cast<std::size_t>(y) * picture->width,
                    picture->packed.pixels + static_cast<std::size_t>(y) * picture->packed.stride,
                    static_cast<std::size_t>(picture->width) * 4);
    }
    image->upperTilt = tail.upper_tilt;
    image->lowerTilt = tail.lower_tilt;
    return 1;
}
