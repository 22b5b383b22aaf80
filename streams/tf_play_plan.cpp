#include "streams/tf_play_plan.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "streams/private_sei.h"
#include "streams/record_stream.h"

namespace streams {

namespace {
constexpr float kDefaultRate = 25.0f;
constexpr std::size_t kScanWindow = 256;

float RateOr25(float rate)
{
    return rate > 0 ? rate : kDefaultRate;
}
} // namespace

TfSpan RepairTfSpan(TfSpan s)
{
    const bool bad = s.startHour > 23 || s.endHour > 23 || s.startMinute > 59 || s.endMinute > 59 ||
                     s.endHour * 60 + s.endMinute < s.startHour * 60 + s.startMinute;
    if (bad) {
        s.startHour = 0;
        s.startMinute = 0;
        s.endHour = 23;
        s.endMinute = 59;
    }
    return s;
}

int NearestTfStartMinute(const VQ_TF_DAY_MAP& map, int minute)
{
    if (minute < 0 || minute >= 24 * 60) return -1;
    int back = -1;
    for (int slot = minute * 6; slot >= 0; --slot) {
        if (map.slots[slot] != 0) {
            back = slot / 6;
            break;
        }
    }
    if (back == minute) return minute;
    int forward = -1;
    for (int slot = minute * 6; slot < static_cast<int>(kTfDaySlots); ++slot) {
        if (map.slots[slot] != 0) {
            forward = slot / 6;
            break;
        }
    }
    if (back < 0) return forward;
    if (forward < 0) return back;
    return forward - minute <= minute - back ? forward : back;
}

int CountTfMinuteFiles(const VQ_TF_DAY_MAP& map, int startMinute, int endMinute)
{
    int count = 0;
    for (int minute = std::max(startMinute, 0); minute < std::min(endMinute, 24 * 60); ++minute) {
        count += map.slots[minute * 6] != 0;
    }
    return count;
}

std::string TfConvertFileName(const std::string& folder, const std::string& deviceId, const std::string& timeText,
                              const std::function<bool(const std::string&)>& exists)
{
    const std::string stem = folder + "/" + SafeTfDeviceId(deviceId) + "_" + timeText;
    std::string name = stem + ".mp4";
    for (int n = 1; exists && exists(name); ++n) name = stem + "_" + std::to_string(n) + ".mp4";
    return name;
}

TfFrameScan ScanTfFrame(const uint8_t* payload, std::size_t length, VQ_PANO_PARAM* pano, RecordSeiSizes sizes)
{
    TfFrameScan scan;
    if (payload == nullptr) return scan;
    // Short payloads lose their last 16 bytes from the window, never below 0.
    const std::size_t window = length >= kScanWindow + 16 ? kScanWindow : (length > 16 ? length - 16 : 0);
    bool frameStartSet = false;
    for (std::size_t at = 0; at + 3 <= window; ++at) {
        if (payload[at] != 0 || payload[at + 1] != 0 || payload[at + 2] != 1) continue;
        const std::size_t begin = at > 0 && payload[at - 1] == 0 ? at - 1 : at;
        const std::size_t header = at + 3;
        const int type = payload[header] & 0x1F;
        if (type == 6 && begin + 6 < length && payload[begin + 5] == 0xF0) {
            const SeiKind kind = ClassifyRecordSei(payload + begin, length - begin, sizes);
            QnLensSeiInfo info;
            if (kind != SeiKind::None && ParseLensSei(payload + begin, length - begin, &info) == 1 && info.Valid()) {
                if (info.HasTime()) {
                    tfUnpackTime(&scan.time, info.frameTime);
                    scan.timeWord = info.frameTime;
                    scan.haveTime = true;
                }
                scan.ptz[0] = static_cast<uint16_t>(std::lround(info.ptzPan * 10));
                scan.ptz[1] = static_cast<uint16_t>(std::lround(info.ptzTilt * 10));
                scan.frameRate = info.rate2 > 0 ? info.rate2 : info.rate1;
                if (kind == SeiKind::PanoramaCode || kind == SeiKind::Ptz) {
                    scan.securityLow = info.securityLow;
                    scan.securityHigh = info.securityHigh;
                    scan.secure = (info.securityLow | info.securityHigh) != 0;
                    scan.protectionInterval = info.protectionInterval;
                    scan.keyClearHeader = info.KeyClearHeader();
                    scan.otherClearHeader = info.OtherClearHeader();
                }
                if (pano != nullptr && kind == SeiKind::PanoramaCode && !pano->valid) {
                    std::memset(pano, 0, sizeof *pano);
                    std::snprintf(pano->type, sizeof pano->type, "%" PRIu64, info.panoTypeEx);
                    pano->centerX = static_cast<int32_t>(info.centerX);
                    pano->centerY = static_cast<int32_t>(info.centerY);
                    pano->radius = static_cast<int32_t>(info.radius);
                    pano->sourceWidth = static_cast<int32_t>(info.width);
                    pano->sourceHeight = static_cast<int32_t>(info.height);
                    pano->tilt = static_cast<int32_t>(info.tilt);
                    pano->rotate = static_cast<int32_t>(info.rotate);
                    pano->panorama = 1;
                    pano->frameRate = static_cast<int32_t>(scan.frameRate);
                    pano->valid = 1;
                } else if (pano != nullptr && kind == SeiKind::Ptz) {
                    pano->frameRate = static_cast<int32_t>(scan.frameRate);
                    const int angle = static_cast<int>(std::lround(info.rotate)) % 360;
                    pano->ptzAngle90 = angle == 90 || angle == 270;
                    pano->panorama = 0;
                    pano->valid = 1;
                }
            }
            continue;
        }
        if (!frameStartSet) {
            scan.frameStart = begin;
            frameStartSet = true;
        }
        if (type == 1 || type == 5) {
            scan.slice = true;
            break;
        }
    }
    return scan;
}

int TfFrameIntervalMs(float frameRate)
{
    return static_cast<int>(1000 / RateOr25(frameRate));
}

int TfLagMs(uint32_t lastAudioValue, uint32_t videoValue, float frameRate)
{
    if (lastAudioValue <= videoValue) return 0;
    return static_cast<int>((lastAudioValue - videoValue) * 1000.0f / RateOr25(frameRate));
}

float TfPaceFactor(int lagMs)
{
    if (lagMs > 3000) return 20.0f;
    return std::min(lagMs / 600.0f + 1.0f, 2.0f);
}

int TfAudioDurationMs(int length, float rate)
{
    if (rate <= 0) rate = 1.0f;
    return static_cast<int>(length * 1000.0f / (rate * rate * 8000.0f));
}

} // namespace streams
