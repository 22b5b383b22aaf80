// Controls and information items of the stream platform's sources.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "streams/mont_platform.h"
#include "streams/pano_type.h"
#include "streams/stream_text.h"
#include "streams/value_reader.h"

namespace streams {
namespace {

constexpr std::size_t kMaxName = 31;
constexpr int kMinInfoBuffer = 64;
constexpr uint32_t kAudioSampleRate = 8000;

std::string NormalName(const char* name)
{
    std::string text = std::string(name).substr(0, kMaxName);
    LowerAscii(text.data());
    return text;
}

struct PictureSize {
    uint16_t width, height;
};

// The "pano_type" control's sizes by bits 12-19 of the value.
PictureSize ControlPictureSize(uint32_t code)
{
    switch (code) {
    case 1: return {768, 576};
    case 2: return {1280, 1024};
    case 3: return {2048, 1536};
    case 4: return {1280, 960};
    case 5: return {2448, 2048};
    case 6: return {1920, 1080};
    case 7: return {1024, 1024};
    case 8: return {1536, 1536};
    case 9: return {2560, 1920};
    case 10: return {4000, 3000};
    default: return {640, 480};
    }
}

std::string Nonsupport(const std::string& what)
{
    return "< " + what + " > Nonsupport command.";
}

int PanoControl(MontPlatform& platform, MontSource& source, const std::string& name, const char* value)
{
    std::lock_guard<std::mutex> hold(source.lensMutex);
    LensState& lens = source.lens;
    if (name == "pano_type") {
        uint32_t type = 0;
        if (ReadValue(value, ValueKind::Integer, false, 32, &type) == 0) {
            platform.Report(" Illegal parameter.");
            return 0;
        }
        lens.panoType = type;
        PictureSize size = ControlPictureSize(type >> 12 & 0xFF);
        lens.width = size.width;
        lens.height = size.height;
        return 1;
    }
    if (name == "pano_typeex") {
        uint64_t code = 0;
        if (ReadValue(value, ValueKind::Integer, false, 64, &code) == 0) {
            platform.Report(" Illegal parameter.");
            return 0;
        }
        PanoGeometry geometry = DecodePano(code, PanoLayout::Control);
        if (!geometry.heightKnown) { // a zero aspect denominator
            platform.Report(" Illegal parameter.");
            return 0;
        }
        lens.panoTypeEx = code;
        lens.lensType = static_cast<uint16_t>(geometry.lensType);
        lens.lensNumber = static_cast<uint16_t>(geometry.lensNumber);
        lens.width = static_cast<uint16_t>(geometry.width);
        lens.height = static_cast<uint16_t>(geometry.height);
        if (lens.radius < 1 && lens.radius > -1) {
            lens.radius = static_cast<float>(geometry.radius);
            lens.centerX = static_cast<float>(geometry.width) / 2;
            lens.centerY = static_cast<float>(geometry.height) / 2;
        }
        return 1;
    }
    float* target = name == "pano_tilt"      ? &lens.tiltOverride
                    : name == "pano_rotate"  ? &lens.rotateOverride
                    : name == "pano_centerx" ? &lens.centerX
                    : name == "pano_centery" ? &lens.centerY
                    : name == "pano_radius"  ? &lens.radius
                                             : nullptr;
    float real = 0;
    if (target == nullptr || ReadValue(value, ValueKind::Real, true, 32, &real) == 0) {
        platform.Report(" Illegal parameter.");
        return 0;
    }
    *target = real;
    return 1;
}

int CacheControl(MontPlatform& platform, MontSource& source, const char* value)
{
    uint32_t size = 0;
    if (ReadValue(value, ValueKind::Integer, false, 32, &size) == 0) {
        platform.Report(" Illegal parameter.");
        return 0;
    }
    if (source.playState.load() == static_cast<int>(PlayState::Playing) ||
        source.cacheState.load() == static_cast<int>(CacheThreadState::Running)) {
        return 0;
    }
    std::lock_guard<std::recursive_mutex> exists(source.cacheMutex);
    if (size == 0) {
        source.cache.reset();
    } else if (!source.cache || source.cache->Size() != std::max<std::size_t>(size, InputCache::kMinimumSize)) {
        source.cache = std::make_unique<InputCache>(size);
    } else {
        source.cache->Reset();
    }
    return 1;
}

int ClearControl(MontPlatform& platform, MontSource& source, const std::string& what)
{
    auto has = [&](const char* word) { return what.find(word) != std::string::npos; };
    if (has("pano_info") || has("ptz_info")) {
        std::lock_guard<std::mutex> hold(source.lensMutex);
        source.lens.Clear();
    }
    if (has("all") || has("cache")) {
        std::lock_guard<std::recursive_mutex> exists(source.cacheMutex);
        if (!source.cache) {
            platform.Report("");
            return 0;
        }
        source.cache->Reset();
    }
    if (has("v0_que") || has("au_que") || has("all")) source.processor->ForgetPacket();
    return 1;
}

} // namespace

int Montage::qn_mp_Ctrl(int id, const char* rawName, const char* value)
{
    MontPlatform* platform = nullptr;
    MontSource* source = EnterSource(handle_, id, platform);
    if (source == nullptr) return 0;
    if (rawName == nullptr || value == nullptr) {
        platform->Report(" Illegal parameter.");
        return 0;
    }
    const std::string name = NormalName(rawName);
    if (name.find("pano_") != std::string::npos) return PanoControl(*platform, *source, name, value);
    if (name == "buff_cache_size") return CacheControl(*platform, *source, value);
    if (name == "clear") return ClearControl(*platform, *source, value);
    if (name == "audio_synid_qn2" || name == "video_synid_qn2") {
        // The caller passes the address of its 32-bit value in place of a text.
        uint32_t number = 0;
        std::memcpy(&number, value, sizeof number);
        return SetSyncId(id, name[0] == 'a', number);
    }
    if (name == "union_nal") {
        if (std::strcmp(value, "y") != 0 && std::strcmp(value, "n") != 0) {
            platform->Report(Nonsupport(value).c_str());
            return 0;
        }
        source->unionNal = value[0] == 'y';
        source->processor->SetUnionNal(source->unionNal);
        return 1;
    }
    if (name == "audio_samplerate") {
        source->audioSampleRate = kAudioSampleRate;
        return 1;
    }
    platform->Report(Nonsupport(name).c_str());
    return 0;
}

int Montage::qn_mp_GetInfo(int id, const char* rawName, char* out, int size)
{
    MontPlatform* platform = nullptr;
    MontSource* source = EnterSource(handle_, id, platform);
    if (source == nullptr) return 0;
    if (rawName == nullptr || out == nullptr || size < kMinInfoBuffer) return 0;
    const std::string name = NormalName(rawName);
    const auto capacity = static_cast<std::size_t>(size);
    std::lock_guard<std::mutex> hold(source->lensMutex);
    const LensState& lens = source->lens;
    auto text = [&](const char* format, auto value) {
        std::snprintf(out, capacity, format, value);
        return 1;
    };
    auto chosen = [](float override, float stream) { return override != kUnknownValue ? override : stream; };
    auto positive = [&](float value) { return value == 0 ? 0 : text("%f", static_cast<double>(value)); };
    auto tilt = [&](uint16_t stored) { return text("%.1f", stored * 0.01 - 180); };

    if (name == "pano_type") return text("%u", lens.panoType);
    if (name == "pano_typeex") {
        if (lens.panoTypeEx == kUnknown32) return 0;
        return text("%llu", static_cast<unsigned long long>(lens.panoTypeEx));
    }
    if (name == "pano_tilt") return text("%f", static_cast<double>(chosen(lens.tiltOverride, lens.tilt)));
    if (name == "pano_rotate") return text("%f", static_cast<double>(chosen(lens.rotateOverride, lens.rotate)));
    if (name == "pano_centerx") return positive(lens.centerX);
    if (name == "pano_centery") return positive(lens.centerY);
    if (name == "pano_radius") return positive(lens.radius);
    if (name == "ori_wid") return text("%d", int{lens.oriWidth});
    if (name == "ori_hei") return text("%d", int{lens.oriHeight});
    if (name == "old_velmor") {
        bool old = !(lens.timeFlag || lens.osdWidth == 0 || lens.osdHeight == 0);
        return text("%s", old ? "y" : "n");
    }
    if (name == "time_osd_x") return text("%d", int{lens.osdX});
    if (name == "time_osd_y") return text("%d", int{lens.osdY});
    if (name == "time_osd_wid") return text("%d", int{lens.osdWidth});
    if (name == "time_osd_hei") return text("%d", int{lens.osdHeight});
    if (name == "video_time") {
        std::memcpy(out, &lens.frameTime, sizeof lens.frameTime);
        return 1;
    }
    if (name == "ptz_top_tilt") return tilt(lens.topTilt);
    if (name == "ptz_btm_tilt") return tilt(lens.bottomTilt);
    if (name == "ptz_video_cur_pan") return text("%f", static_cast<double>(lens.ptzPan));
    if (name == "ptz_video_cur_tilt") return text("%f", static_cast<double>(lens.ptzTilt));
    if (name == "ptz_video_cur_rotate") return text("%f", static_cast<double>(lens.ptzRotate));
    if (name == "ptz_video_cur_zoom") return text("%f", static_cast<double>(lens.ptzZoom));
    // An item this platform does not know is not answered with a success.
    out[0] = '\0';
    return 0;
}

} // namespace streams
