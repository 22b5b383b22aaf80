#include "streams/qn_tf.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "streams/key_slots.h"
#include "Depend/qn_thread.h"
#include "streams/tf_callbacks.h"
#include "streams/tf_card_folder.h"
#include "streams/tf_convert.h"
#include "streams/tf_play_plan.h"
#include "streams/tf_player.h"
#include "vqSDK/QnMp4Helper/qn_mp4_coder.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

namespace streams {

namespace {

// The module's one object; created by vqCamTFInit and kept for the process.
struct QNTf {
    std::mutex lock;
    VQ_TF_SETTINGS settings{};
    // Not under `lock`: a stop that holds it waits for the threads that call them.
    TfCallbacks callbacks;
    std::string logPath; // set by no entry point
    std::string customPassword;
    std::string recordName;
    std::atomic<bool> recording{false}; // read by the play threads
    TfCardFolder card;
    // The played or converted stream's record; the play and conversion
    // threads write it under a lock of its own, as a stop that holds the
    // module's lock waits for them.
    std::mutex panoLock;
    VQ_PANO_PARAM pano{};
    SecurityKeys keys;
    // Conversion: its thread, what it works on and how it ended.
    QNThread convertThread;
    platform::Event convertWake{true, false}; // ends a conversion's wait for a password
    TfConvertRequest convertRequest;
    VQ_TF_DAY_MAP convertMap{};
    TfConvertResult convertResult;
    // Play: the device being played stays recorded until the next card is opened.
    TfPlayer player;
    bool haveDevicePlayed = false;
    uint32_t devicePlayed = 0;
    const platform::Clock* clock = nullptr; // the system clock when null
    std::string lastOutputFolder;           // of the last conversion, for mode "down"
};

constexpr int kStopWaitMs = 4000;

// The first play or conversion of a card makes its device the one being
// played and sets the default key from the account and the device number.
uint32_t TakeDevice(QNTf* tf)
{
    const uint32_t device = tf->card.RecInfo().deviceNumber;
    if (!tf->haveDevicePlayed) {
        TfDeviceRecord record{device, tf->card.RecInfo().deviceId.c_str(), tf->card.Account().c_str(), false};
        tfSetDefaultKeys(record, tf->keys);
    }
    tf->haveDevicePlayed = true;
    tf->devicePlayed = device;
    return device;
}

// Events or errors of `device` to one of the settings' callbacks, which stay
// as vqCamTFInit set them.
std::function<void(int, const char*)> DeviceSender(vqEventCallback callback, void* user, int value, uint32_t device)
{
    return [callback, user, value, device](int code, const char* text) {
        VQ_EVENT_INFO info{code, static_cast<int32_t>(device), text, 0};
        if (callback != nullptr) callback(&info, user, value);
    };
}

std::function<void(int, const char*)> EventSender(QNTf* tf, uint32_t device)
{
    return DeviceSender(tf->settings.eventCallback, tf->settings.eventUser, tf->settings.eventValue, device);
}

std::function<void(int, const char*)> ErrorSender(QNTf* tf, uint32_t device)
{
    return DeviceSender(tf->settings.errorCallback, tf->settings.errorUser, tf->settings.errorValue, device);
}

std::function<void(const VQ_PANO_PARAM&)> PanoramaKeeper(QNTf* tf)
{
    return [tf](const VQ_PANO_PARAM& pano) {
        std::lock_guard<std::mutex> hold(tf->panoLock);
        tf->pano = pano;
    };
}

void ConvertThread(void* parameter)
{
    auto* tf = static_cast<QNTf*>(parameter);
    tf->convertResult = ConvertTfSpan(tf->convertRequest, tf->convertMap, tf->convertThread.run);
}

std::once_flag gCreated;
QNTf* gTf = nullptr;

QNTf* Module()
{
    return gTf;
}

bool Initialised(const QNTf* tf)
{
    return (tf->settings.initFlags & 1) != 0;
}

void FormatAndLog(int code, bool timed, const char* format, va_list values)
{
    QNTf* tf = Module();
    if (tf == nullptr || format == nullptr) return;
    std::string path;
    {
        std::lock_guard<std::mutex> hold(tf->lock);
        path = tf->logPath;
    }
    if (path.empty()) return;
    char text[512];
    int used = 0;
    if (timed) {
        const platform::CivilTime now = platform::LocalNow();
        used = std::snprintf(text, sizeof text, "%04d_%02d_%02d_%02d:%02d:%02d ", now.year, now.month, now.day,
                             now.hour, now.minute, now.second);
    }
    std::vsnprintf(text + used, sizeof text - used, format, values);
    if (!platform::AppendToFile(path, text)) return;
    if (tf->settings.messageCallback != nullptr) {
        VQ_TF_MESSAGE message{code, text};
        tf->settings.messageCallback(&message, tf->settings.messageUser, tf->settings.messageValue);
    }
}

} // namespace

void tfLogTimed(int code, const char* format, ...)
{
    va_list values;
    va_start(values, format);
    FormatAndLog(code, true, format, values);
    va_end(values);
}

void tfLogPlain(int code, const char* format, ...)
{
    va_list values;
    va_start(values, format);
    FormatAndLog(code, false, format, values);
    va_end(values);
}

void tfReportMediaError(int code, int value, const char* text, bool skipSdkCode, bool relogin)
{
    int32_t sdkCode = 0;
    char message[128] = "";
    if (!skipSdkCode) {
        QN_NET_GetLastError(&sdkCode);
        std::snprintf(message, sizeof message, "Media-Err:%lu--%s", static_cast<unsigned long>(sdkCode),
                      text != nullptr ? text : "");
    }
    QNTf* tf = Module();
    if (tf == nullptr) return;
    if (relogin && (sdkCode == 1200 || sdkCode == 1202 || sdkCode == 1203) && tf->settings.eventCallback != nullptr) {
        VQ_EVENT_INFO event{307, 0, "Need relogin.", 0};
        tf->settings.eventCallback(&event, tf->settings.eventUser, tf->settings.eventValue);
    }
    if (tf->settings.errorCallback != nullptr) {
        VQ_EVENT_INFO error{code, value, message, 0};
        tf->settings.errorCallback(&error, tf->settings.errorUser, tf->settings.errorValue);
    }
}

std::string TfDefaultKeyText(const char* account, uint32_t deviceNumber)
{
    std::string text = std::string(account != nullptr ? account : "").substr(0, 6) + std::to_string(deviceNumber);
    return text.substr(0, 31);
}

int tfSetDefaultKeys(const TfDeviceRecord& device, SecurityKeys& keys)
{
    std::string account;
    if (device.shared) {
        account = device.ownerAccount != nullptr ? device.ownerAccount : "";
    } else if (QNTf* tf = Module(); tf != nullptr) {
        account = tf->card.Account();
    }
    const std::string prefix = account.substr(0, 6);
    const std::string old = (prefix + (device.deviceText != nullptr ? device.deviceText : "")).substr(0, 31);
    qnSetSecurityKey(keys, old.c_str(), "default_old");
    qnSetSecurityKey(keys, TfDefaultKeyText(prefix.c_str(), device.deviceNumber).c_str(), "default");
    return 1;
}

} // namespace streams

using streams::kTfNoCard;
using streams::kTfNotInitialised;
using streams::kTfNullArgument;
using streams::kTfNotPlaying;
using streams::kTfOk;

int vqCamTFInit(VQ_TF_SETTINGS settings)
{
    std::call_once(streams::gCreated, [&] {
        auto* tf = new streams::QNTf; // lives as long as the process
        QNThreadInit(&tf->convertThread);
        tf->settings = settings;
        streams::gTf = tf;
    });
    return 1;
}

int vqCamSetTFVideoCallback(vqFrameCallback callback, void* user, int value)
{
    if (streams::QNTf* tf = streams::Module()) tf->callbacks.SetVideo({callback, user, value});
    return 1;
}

int vqCamSetTFAudioCallback(vqFrameCallback callback, void* user, int value)
{
    if (streams::QNTf* tf = streams::Module()) tf->callbacks.SetAudio({callback, user, value});
    return 1;
}

int vqCamSetTFMsgCallback(vqTfConvertCallback convert, vqTfProgressCallback progress, void* user, int value)
{
    if (streams::QNTf* tf = streams::Module()) tf->callbacks.SetMessages({convert, progress, user, value});
    return 1;
}

int vqCamOpenTFCard(const char* folder, streams::VQ_TF_CARD_INFO* info, const char* account)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr) return kTfNoCard;
    if (folder == nullptr || info == nullptr) return kTfNullArgument;
    if (!streams::Initialised(tf)) return kTfNotInitialised;
    std::lock_guard<std::mutex> hold(tf->lock);
    {
        std::lock_guard<std::mutex> holdPano(tf->panoLock);
        tf->pano = {};
    }
    tf->haveDevicePlayed = false;
    return tf->card.Open(folder, info, account);
}

int vqCamSearchTFRecord(const char* date, void* buffer, int size)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr) return kTfNoCard;
    if (date == nullptr || buffer == nullptr) return kTfNullArgument;
    if (!streams::Initialised(tf)) return kTfNotInitialised;
    std::lock_guard<std::mutex> hold(tf->lock);
    return tf->card.Search(date, buffer, size < 0 ? 0 : static_cast<std::size_t>(size));
}

int vqCamStartTFRecord(const char* fileName)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr || fileName == nullptr) return 0;
    std::lock_guard<std::mutex> hold(tf->lock);
    if (!QnMp4Coder::getInstance()->startWrite(fileName)) return 0;
    tf->recordName = fileName;
    tf->recording = true;
    return 1;
}

int vqCamStopTFRecord()
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr) return 0;
    std::lock_guard<std::mutex> hold(tf->lock);
    tf->recording = false;
    // A closed file that reads back is a success, whatever it holds.
    return QnMp4Coder::getInstance()->stopWrite() >= 0 ? 1 : 0;
}

int vqCamGetMP4FileName(char* buffer, int size)
{
    if (buffer == nullptr || size <= 0) return 0;
    return QnMp4Coder::getInstance()->getFileName(buffer, size) ? 1 : 0;
}

int vqCamGetTFPanoParam(VQ_PANO_PARAM* param)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr || param == nullptr) return 0;
    std::lock_guard<std::mutex> hold(tf->panoLock);
    if (!tf->pano.valid) return 0;
    *param = tf->pano;
    return 1;
}

int vqCamGetTFDeviceId(char* buffer, int size)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr || buffer == nullptr || size <= 0) return 0;
    std::lock_guard<std::mutex> hold(tf->lock);
    const std::string& id = tf->card.RecInfo().deviceId;
    if (id.size() <= 10) return 0;
    return platform::CopyBounded(buffer, static_cast<std::size_t>(size), id) ? 1 : 0;
}

int vqCamSetTFCustomPwd(const char* password)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr || password == nullptr) return 0;
    std::lock_guard<std::mutex> hold(tf->lock);
    tf->customPassword = std::string(password).substr(0, 63);
    return streams::qnSetSecurityKey(tf->keys, tf->customPassword.c_str(), "custom");
}

int vqCamTFConvertMP4(int start, VQ_TF_TIME* time, const char* outputFolder)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr || !streams::Initialised(tf)) return 0;
    if (!start) {
        tf->convertThread.run = 0;
        tf->convertWake.Set();
        QNThreadStop(&tf->convertThread, streams::kStopWaitMs);
        const streams::TfConvertResult& result = tf->convertResult;
        return !result.failed && !result.files.empty() ? 1 : 0;
    }
    if (time == nullptr || outputFolder == nullptr || !platform::IsDirectory(outputFolder)) return 0;
    if (tf->convertThread.exited == 0) return 0; // an earlier conversion still runs
    QNThreadStop(&tf->convertThread, streams::kStopWaitMs);
    std::lock_guard<std::mutex> hold(tf->lock);
    if (!tf->card.IsOpen()) return 0;
    streams::TfSpan span = streams::UnpackTfSpan(*time);
    if (span.month < 1 || span.month > 12 || span.day == 0) return 0;
    span = streams::RepairTfSpan(span);
    const streams::VQ_TF_DAY_MAP& map = tf->card.DayMap(span.year, span.month, span.day);
    const int startMinute = streams::NearestTfStartMinute(map, span.startHour * 60 + span.startMinute);
    if (startMinute < 0) return 0;
    streams::TfConvertRequest& request = tf->convertRequest;
    request = {};
    request.cardFolder = tf->card.Folder();
    request.year = span.year;
    request.month = span.month;
    request.day = span.day;
    request.startMinute = startMinute;
    request.endMinute = span.endHour * 60 + span.endMinute;
    request.outputFolder = outputFolder;
    request.deviceId = tf->card.RecInfo().deviceId;
    const uint32_t device = streams::TakeDevice(tf);
    request.keys = &tf->keys;
    request.event = streams::EventSender(tf, device);
    request.error = streams::ErrorSender(tf, device);
    request.panorama = streams::PanoramaKeeper(tf);
    request.clock = tf->clock;
    request.wake = &tf->convertWake;
    tf->convertWake.Reset();
    request.progress = [tf](int done, int total) { tf->callbacks.Progress(done, total); };
    request.recordCallback = [tf](int code) { tf->callbacks.Converted(code); };
    // A conversion takes the place of a play: both would write the one MP4 recording.
    tf->player.Stop();
    tf->convertMap = map;
    tf->lastOutputFolder = outputFolder;
    tf->convertResult = {};
    return QNThreadStart(&tf->convertThread, &streams::ConvertThread, tf) ? 1 : 0;
}

int vqCamStartTFLPlay(const char* mode, VQ_TF_TIME* time)
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr) return kTfNoCard;
    if (time == nullptr || mode == nullptr) return kTfNullArgument;
    if (!streams::Initialised(tf)) return kTfNotInitialised;
    std::string folder;
    {
        std::lock_guard<std::mutex> hold(tf->lock);
        if (!tf->card.IsOpen()) return kTfNoCard;
        folder = tf->lastOutputFolder;
    }
    if (std::strcmp(mode, "down") == 0) {
        // Converting plays nothing: it writes into the last conversion's folder.
        if (folder.empty()) return kTfNoCard;
        return vqCamTFConvertMP4(1, time, folder.c_str()) ? kTfOk : kTfNotPlaying;
    }
    std::lock_guard<std::mutex> hold(tf->lock);
    streams::TfSpan span = streams::UnpackTfSpan(*time);
    if (span.month < 1 || span.month > 12 || span.day == 0) return streams::kTfBadDate;
    const uint32_t device = tf->card.RecInfo().deviceNumber;
    if (tf->haveDevicePlayed && tf->devicePlayed != device) return streams::kTfOtherCard;
    span = streams::RepairTfSpan(span);
    const streams::VQ_TF_DAY_MAP& map = tf->card.DayMap(span.year, span.month, span.day);
    const int startMinute = streams::NearestTfStartMinute(map, span.startHour * 60 + span.startMinute);
    if (startMinute < 0) return kTfNoCard;
    streams::TakeDevice(tf);
    streams::TfPlayRequest request;
    request.cardFolder = tf->card.Folder();
    request.year = span.year;
    request.month = span.month;
    request.day = span.day;
    request.startMinute = startMinute;
    request.endMinute = span.endHour * 60 + span.endMinute;
    request.deviceNumber = static_cast<int>(device);
    request.clock = tf->clock;
    request.video = [tf](VQ_FRAME_INFO* frame) { return tf->callbacks.Video(frame); };
    request.audio = [tf](VQ_FRAME_INFO* frame) { return tf->callbacks.Audio(frame); };
    request.keys = &tf->keys;
    request.event = streams::EventSender(tf, device);
    request.error = streams::ErrorSender(tf, device);
    request.recording = &tf->recording;
    request.panorama = streams::PanoramaKeeper(tf);
    request.recordCallback = [tf](int code) { tf->callbacks.Converted(code); };
    // A new span for a running play stops its threads before the queue is
    // cleared, so no output thread still holds a frame it read.
    return tf->player.Start(request, map) ? kTfOk : kTfNotPlaying;
}

int vqCamStopTF()
{
    streams::QNTf* tf = streams::Module();
    if (tf == nullptr) return kTfNoCard;
    if (!streams::Initialised(tf)) return kTfNotInitialised;
    std::lock_guard<std::mutex> hold(tf->lock);
    tf->player.Stop();
    return kTfOk;
}

namespace streams {

void tfSetClock(const platform::Clock* clock)
{
    if (QNTf* tf = Module()) {
        std::lock_guard<std::mutex> hold(tf->lock);
        tf->clock = clock;
    }
}

} // namespace streams
