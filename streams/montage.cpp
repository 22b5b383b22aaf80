#include "streams/montage.h"

#include <cstring>
#include <mutex>
#include <new>

#include "Depend/qn_log.h"
#include "platform/clock.h"
#include "streams/mont_platform.h"
#include "streams/stream_text.h"

namespace streams {
namespace {

constexpr int kKindInfo = 0;
constexpr int kKindWarning = 2;
constexpr std::size_t kMaxError = 127;
constexpr std::size_t kMaxSourceName = 15;
constexpr int kCacheStopMs = 3000;

std::mutex& TableMutex()
{
    static std::mutex mutex;
    return mutex;
}

MontPlatform* g_platforms[kMontPlatforms] = {};

struct SourceKindName {
    const char* text;
    int kind;
};

constexpr SourceKindName kSourceKinds[] = {
    {"h264&g711a", 0}, {"h264/avc", 1},    {"g711a", 2},      {"mutiscale_stream_1", 3}, {"jpeg", 4},
    {"gvm_screen", 5}, {"camera_01", 6},   {"camera_02", 7},  {"h264&audio", 8},         {"h264&audio&jpg", 9},
};

int SourceKindOf(const char* text)
{
    std::string lowered = text == nullptr ? "" : text;
    LowerAscii(lowered.data());
    for (const SourceKindName& entry : kSourceKinds) {
        if (lowered == entry.text) return entry.kind;
    }
    return 10;
}

void OnProcessorMessage(void* owner, int kind, const char* text)
{
    static_cast<MontSource*>(owner)->platform->Notify(kind, text);
}

void StopCacheThread(MontSource& source)
{
    source.playState = static_cast<int>(PlayState::Stopped);
    source.cacheState = static_cast<int>(CacheThreadState::None);
    // Joined, never abandoned: the thread works on the cache and processor
    // that removing the source frees.
    QNThreadStop(&source.cacheThread, kCacheStopMs);
}

// One round of the "buff_cache" thread; true when a piece was passed on.
bool PassCachePiece(MontSource& source)
{
    std::lock_guard<std::recursive_mutex> exists(source.cacheMutex);
    InputCache* cache = source.cache.get();
    if (cache == nullptr) return false;
    std::lock_guard<std::recursive_mutex> busy(cache->ProcessingLock());
    if (source.lastInputFailed) {
        // Let the processor work off what it holds before the next piece.
        if (source.processor->Input(cache->CachedType(), nullptr, 0) == 1) source.lastInputFailed = false;
        return false;
    }
    InputCache::Piece piece;
    if (!cache->NextPiece(&piece)) return false;
    if (source.processor->Input(piece.type, piece.data, piece.length) == 1) {
        cache->Consumed(piece);
        return true;
    }
    source.lastInputFailed = true;
    return false;
}

void CacheThreadProc(void* parameter)
{
    auto& source = *static_cast<MontSource*>(parameter);
    while (source.cacheThread.run.load() != 0 && source.cacheState.load() != 0) {
        bool passed = source.cacheState.load() == static_cast<int>(CacheThreadState::Running) && PassCachePiece(source);
        platform::SleepMs(passed ? 1 : 5);
    }
}

void FreeSource(MontPlatform& platform, int id)
{
    std::unique_ptr<MontSource>& slot = platform.sources[id];
    if (!slot) return;
    StopCacheThread(*slot);
    slot.reset();
    --platform.sourceCount;
}

} // namespace

MontPlatform* LookupPlatform(int handle)
{
    if (handle < 0 || handle >= kMontPlatforms) return nullptr;
    std::lock_guard<std::mutex> hold(TableMutex());
    return g_platforms[handle];
}

MontSource* EnterSource(int handle, int id, MontPlatform*& platform)
{
    platform = LookupPlatform(handle);
    if (platform == nullptr) return nullptr;
    platform->BeginOperation();
    MontSource* source = platform->Source(id);
    if (source == nullptr) platform->Report(" Illegal source ID.");
    return source;
}

bool InspectSource(int handle, int id, LensState* lens, std::size_t* cacheSize)
{
    MontPlatform* platform = LookupPlatform(handle);
    MontSource* source = platform == nullptr ? nullptr : platform->Source(id);
    if (source == nullptr) return false;
    {
        std::lock_guard<std::mutex> hold(source->lensMutex);
        *lens = source->lens;
    }
    std::lock_guard<std::recursive_mutex> exists(source->cacheMutex);
    *cacheSize = source->cache ? source->cache->Size() : 0;
    return true;
}

void LensState::Clear()
{
    width = height = lensType = lensNumber = kUnknown16;
    panoType = kUnknown32;
    panoTypeEx = kUnknown32;
    centerX = centerY = radius = 0;
    tilt = rotate = tiltOverride = rotateOverride = kUnknownValue;
    ptzPan = ptzTilt = ptzRotate = ptzZoom = panRange = tiltRange = kUnknownValue;
    topTilt = bottomTilt = kUnknown16;
    frameTime = 0;
    osdX = osdY = osdWidth = osdHeight = 0;
    oriWidth = oriHeight = kUnknown16;
    timeFlag = false;
}

void MontPlatform::BeginOperation()
{
    std::lock_guard<std::mutex> hold(errorMutex);
    lastError.clear();
}

void MontPlatform::Report(const char* text, int kind)
{
    std::string copy;
    {
        std::lock_guard<std::mutex> hold(errorMutex);
        lastError += text;
        if (lastError.size() > kMaxError) lastError.resize(kMaxError);
        copy = lastError;
    }
    Notify(kind, copy.c_str());
}

void MontPlatform::Notify(int kind, const char* text)
{
    QNConsoleTrace("[%s %s %d], %s\n", "Montage", "notify", kind, text);
    if (moduleCallback != nullptr) moduleCallback(handle, kind, text, moduleValue1, moduleValue2);
}

void MontPlatform::Event(int kind, uint64_t value, const char* item)
{
    if (eventCallback == nullptr) return;
    eventCallback(handle, kind, static_cast<uint32_t>(value), static_cast<uint32_t>(value >> 32), item, eventValue1,
                  eventValue2);
}

MontSource* MontPlatform::Source(int id)
{
    if (id < 0 || id >= kMontSources) return nullptr;
    return sources[id].get();
}

Montage::~Montage()
{
    if (handle_ >= 0) qn_mp_Destroy();
}

int Montage::qn_mp_Create()
{
    if (handle_ >= 0 && LookupPlatform(handle_) != nullptr) return 1;
    std::lock_guard<std::mutex> hold(TableMutex());
    for (int slot = 0; slot < kMontPlatforms; ++slot) {
        if (g_platforms[slot] != nullptr) continue;
        auto* created = new (std::nothrow) MontPlatform;
        if (created == nullptr) {
            handle_ = -2;
            return 0;
        }
        created->handle = slot;
        g_platforms[slot] = created;
        handle_ = slot;
        return 1;
    }
    handle_ = -1;
    return 0;
}

int Montage::qn_mp_Destroy()
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return 0;
    for (int id = 0; id < kMontSources; ++id) FreeSource(*platform, id);
    {
        std::lock_guard<std::mutex> hold(TableMutex());
        g_platforms[handle_] = nullptr;
    }
    delete platform;
    handle_ = -1;
    return 1;
}

int Montage::qn_mp_AddSource(const char* name, const char* kind)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return -1;
    platform->BeginOperation();
    if (platform->mode != 0 && platform->mode != 1) {
        platform->Report(" Working mode not support.");
        return -1;
    }
    int id = 0;
    while (id < kMontSources && platform->sources[id]) ++id;
    if (id == kMontSources) {
        platform->Report(" Add to the limit on the number of data source.");
        return -1;
    }
    auto source = std::make_unique<MontSource>();
    source->platform = platform;
    source->id = id;
    source->kind = SourceKindOf(kind);
    source->lens.Clear();
    source->processor = std::make_unique<MontProcessor>(handle_, id);
    source->processor->SetUnionNal(source->unionNal);
    source->processor->SetInfoHandler(&TakeOverInfo, source.get());
    source->processor->SetMessageHandler(&OnProcessorMessage, source.get());
    source->name = name == nullptr ? "" : std::string(name).substr(0, kMaxSourceName);
    platform->sources[id] = std::move(source);
    ++platform->sourceCount;
    platform->mode = 1;
    return id;
}

int Montage::qn_mp_RemoveSource(int id)
{
    MontPlatform* platform = nullptr;
    if (EnterSource(handle_, id, platform) == nullptr) return 0;
    FreeSource(*platform, id);
    return 1;
}

int Montage::qn_mp_FindSource(const char* name)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr || name == nullptr) return -1;
    for (int id = 0; id < kMontSources; ++id) {
        if (platform->sources[id] && platform->sources[id]->name == name) return id;
    }
    return -1;
}

const char* Montage::qn_mp_GetSourceName(int id)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return nullptr;
    platform->BeginOperation();
    if (id < 0 || id >= kMontSources) {
        platform->Report(" Illegal source ID.");
        return nullptr;
    }
    MontSource* source = platform->Source(id);
    return source == nullptr ? nullptr : source->name.c_str();
}

int Montage::qn_mp_SetCallBack(MontModuleCallback callback, void* value1, void* value2)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return 0;
    platform->moduleCallback = callback;
    platform->moduleValue1 = value1;
    platform->moduleValue2 = value2;
    return 1;
}

int Montage::qn_mp_SetEventCallBack(MontEventCallback callback, void* value1, void* value2)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return 0;
    platform->eventCallback = callback;
    platform->eventValue1 = value1;
    platform->eventValue2 = value2;
    return 1;
}

int Montage::qn_mp_SetStreamCallBack(int id, MontFrameCallback callback, void* user, int userValue)
{
    MontPlatform* platform = nullptr;
    MontSource* source = EnterSource(handle_, id, platform);
    if (source == nullptr) return 0;
    if (!source->processor) {
        platform->Report(" There is no platform .");
        return 0;
    }
    source->processor->SetFrameCallback(callback, user, userValue);
    return 1;
}

int Montage::qn_mp_InputData(int id, const uint8_t* data, int length, const char* bufferType)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return 0;
    platform->BeginOperation();
    if (data == nullptr || length <= 0) {
        platform->Report(" No input data.");
        return 0;
    }
    MontSource* source = platform->Source(id);
    if (source == nullptr) {
        platform->Report(" Illegal source ID.");
        return 0;
    }
    if (!source->processor) return 0; // " There is no platform.", not reported
    if (source->playState.load() != static_cast<int>(PlayState::Playing)) {
        platform->Report(" Engine has been paused.");
        return 0;
    }
    BufferType type = BufferTypeFromName(bufferType);
    if (type == BufferType::Unknown || (type == BufferType::Pcm && source->lastInputFailed)) {
        platform->Report(" Illegal buff type.");
        return 0;
    }
    const auto length64 = static_cast<std::size_t>(length);
    int result = 0;
    std::unique_lock<std::recursive_mutex> exists(source->cacheMutex);
    if (source->cache && IsCacheable(type)) {
        if (source->cacheState.load() == static_cast<int>(CacheThreadState::None)) return 0;
        if (source->lastInputFailed) {
            platform->Report("Input blocked, wait for queue.", kKindWarning);
            return 0;
        }
        switch (source->cache->Store(data, length64, type)) {
        case InputCache::StoreResult::Stored: return 1;
        case InputCache::StoreResult::TooLarge: platform->Report("Size of buffer poor is not enough.", kKindWarning); break;
        case InputCache::StoreResult::Blocked: platform->Report("Input blocked, wait for output.", kKindWarning); break;
        }
        return 0;
    }
    exists.unlock();
    if (source->lastInputFailed && IsCacheable(type)) {
        // While the processor is behind, a new cacheable buffer is dropped
        // and what it holds is worked off instead.
        result = source->processor->Input(type, nullptr, 0);
    } else {
        result = source->processor->Input(type, data, length64);
    }
    if (result == 1) {
        source->lastInputFailed = false;
        return 1;
    }
    source->lastInputFailed = true;
    platform->Report(" Input buff failed.");
    return 0;
}

int Montage::qn_mp_Play(int id)
{
    MontPlatform* platform = nullptr;
    MontSource* source = EnterSource(handle_, id, platform);
    if (source == nullptr) return 0;
    bool cacheOn;
    {
        std::lock_guard<std::recursive_mutex> exists(source->cacheMutex);
        cacheOn = source->cache != nullptr;
    }
    if (cacheOn) {
        source->cacheState = static_cast<int>(CacheThreadState::Running);
        if (source->cacheThread.exited.load() != 0) {
            QNThreadStop(&source->cacheThread, 0); // joins a thread that ended by itself
            if (QNThreadStart(&source->cacheThread, &CacheThreadProc, source) == 0) {
                source->cacheState = 0;
                source->playState = 0;
                platform->Report(" Thread create failed.");
                return 0;
            }
        }
    }
    source->playState = static_cast<int>(PlayState::Playing);
    platform->Notify(kKindInfo, "Engine played.");
    return 1;
}

int Montage::qn_mp_Pause(int id)
{
    MontPlatform* platform = nullptr;
    MontSource* source = EnterSource(handle_, id, platform);
    if (source == nullptr) return 0;
    if (source->playState.load() != static_cast<int>(PlayState::Playing)) return 1;
    platform->Notify(kKindInfo, "Engine paused");
    source->playState = static_cast<int>(PlayState::Paused);
    int running = static_cast<int>(CacheThreadState::Running);
    source->cacheState.compare_exchange_strong(running, static_cast<int>(CacheThreadState::Paused));
    return 1;
}

int Montage::qn_mp_Stop(int id)
{
    MontPlatform* platform = nullptr;
    MontSource* source = EnterSource(handle_, id, platform);
    if (source == nullptr) return 0;
    StopCacheThread(*source);
    return 1;
}

int Montage::qn_mp_ParseSEI(const uint8_t* unit, int length, MontSeiInfo* out)
{
    if (unit == nullptr || length <= 0) return 0;
    return ParseSeiPacked(unit, static_cast<std::size_t>(length), out);
}

int Montage::qn_mp_SetSeiValues(uint8_t* unit, int length, uint32_t value1, uint32_t value2)
{
    if (unit == nullptr || length <= 0) return 0;
    return WriteSeiSecurity(unit, static_cast<std::size_t>(length), value1, value2);
}

int Montage::qn_mp_GetLensBlock(int id, const uint8_t** block, int* size)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr || block == nullptr || size == nullptr) return 0;
    MontSource* source = platform->Source(id);
    if (source == nullptr) return 0;
    return RefreshLensBlock(*source, block, size);
}

int Montage::SetSyncId(int id, bool audio, uint64_t value)
{
    MontPlatform* platform = LookupPlatform(handle_);
    if (platform == nullptr) return 0;
    MontSource* source = platform->Source(id);
    if (source == nullptr || !source->processor) return 0;
    if (audio) {
        source->processor->SetAudioFrameNumber(static_cast<uint32_t>(value));
    } else {
        source->processor->SetVideoFrameNumber(static_cast<uint32_t>(value));
    }
    return 1;
}

} // namespace streams
