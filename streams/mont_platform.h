// Inside the stream platform: the process-wide table of platforms, their
// sources and the lens fields each source keeps.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Depend/qn_thread.h"
#include "streams/input_cache.h"
#include "streams/lens_blocks.h"
#include "streams/mont_processor.h"
#include "streams/montage.h"

namespace streams {

struct MontPlatform;

// Lens, panorama and PTZ fields of a source; 60001 means unknown.
struct LensState {
    uint16_t width, height, lensType, lensNumber;
    uint32_t panoType;
    uint64_t panoTypeEx;
    float centerX, centerY, radius;
    float tilt, rotate, tiltOverride, rotateOverride;
    float ptzPan, ptzTilt, ptzRotate, ptzZoom, panRange, tiltRange;
    uint16_t topTilt, bottomTilt; // hundredths of a degree plus 180 degrees
    uint32_t frameTime;           // packed date; 0 none
    uint16_t osdX, osdY, osdWidth, osdHeight;
    uint16_t oriWidth, oriHeight;
    bool timeFlag;

    void Clear();
};

enum class PlayState : int { Stopped = 0, Paused = 1, Playing = 2 };
enum class CacheThreadState : int { None = 0, Paused = 1, Running = 2 };

struct MontSource {
    MontPlatform* platform = nullptr;
    std::string name;
    int kind = 10;
    int id = 0;

    std::mutex lensMutex;
    LensState lens{};
    std::atomic<bool> lastInputFailed{false};
    bool unionNal = false;
    int audioSampleRate = 0;

    // The cache's existence: "buff_cache_size" and removal against the cache
    // thread; recursive, as a frame callback on that thread may send "clear".
    std::recursive_mutex cacheMutex;
    std::unique_ptr<InputCache> cache;
    std::atomic<int> playState{0};
    std::atomic<int> cacheState{0};
    QNThread cacheThread;

    std::unique_ptr<MontProcessor> processor;
    uint8_t panoramaBlock[kPanoramaBlockSize] = {};
    uint8_t ptzBlock[kPtzBlockSize] = {};

    MontSource() { QNThreadInit(&cacheThread); }
};

struct MontPlatform {
    int mode = 0;
    int handle = -1;
    std::mutex errorMutex;
    std::string lastError;
    MontModuleCallback moduleCallback = nullptr;
    void* moduleValue1 = nullptr;
    void* moduleValue2 = nullptr;
    MontEventCallback eventCallback = nullptr;
    void* eventValue1 = nullptr;
    void* eventValue2 = nullptr;
    int sourceCount = 0;
    std::unique_ptr<MontSource> sources[kMontSources];

    // Clears the error text at the start of an operation.
    void BeginOperation();
    // Appends `text` to the error text and reports it with `kind`.
    void Report(const char* text, int kind = 4);
    void Notify(int kind, const char* text);
    void Event(int kind, uint64_t value, const char* item);
    MontSource* Source(int id);
};

MontPlatform* LookupPlatform(int handle);

// The source `id` of the platform `handle`, with an operation begun on that
// platform (`platform` set); null when either is missing, an unknown source
// reported as " Illegal source ID.".
MontSource* EnterSource(int handle, int id, MontPlatform*& platform);

// A copy of a source's lens fields and its input cache size (0 without a
// cache), for the platform's own checks; false for no such source.
bool InspectSource(int handle, int id, LensState* lens, std::size_t* cacheSize);

// Lens take-over of the processor's information (lens_takeover.cpp).
void TakeOverInfo(void* source, int sourceId, MontInfo code, const void* data);
// The source's lens block for recording, refreshed.
int RefreshLensBlock(MontSource& source, const uint8_t** block, int* size);

} // namespace streams
