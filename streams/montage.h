// The stream platform's flat interface. A caller creates a platform, adds up
// to four named data sources, feeds each source buffers of a named type and
// gets parsed frames through the source's frame callback, panorama and PTZ
// parameters through the event callback and status and error texts through
// the module callback. Up to 16 platforms exist in a process.
//
// Operations return 1 for success and 0 for failure unless stated; a failure
// with a text reports it to the module callback with kind 4.
#pragma once

#include <cstddef>
#include <cstdint>

#include "streams/mont_processor.h"
#include "streams/private_sei.h"

namespace streams {

// (handle, kind, text, value 1, value 2): kind 0 information ("Engine
// paused", "Engine played."), 2 input warning, 4 error and processor messages.
using MontModuleCallback = void (*)(int handle, int kind, const char* text, void* value1, void* value2);
// (handle, kind, value low word, value high word, item name, value 1, value 2):
// kind 2 panorama items, 3 PTZ items, 5 the frame time of a PTZ position. The
// value is a number or the address of a small record valid during the call.
using MontEventCallback = void (*)(int handle, int kind, uint32_t low, uint32_t high, const char* item, void* value1,
                                   void* value2);

constexpr int kMontPlatforms = 16;
constexpr int kMontSources = 4;

class Montage {
public:
    Montage() = default;
    ~Montage();
    Montage(const Montage&) = delete;
    Montage& operator=(const Montage&) = delete;

    // 1 with a handle; 0 when all 16 slots are in use (handle -1).
    int qn_mp_Create();
    int qn_mp_Destroy();
    // The new source's id 0-3, or -1.
    int qn_mp_AddSource(const char* name, const char* kind);
    int qn_mp_RemoveSource(int id);
    int qn_mp_FindSource(const char* name);
    const char* qn_mp_GetSourceName(int id);
    int qn_mp_SetCallBack(MontModuleCallback callback, void* value1, void* value2);
    int qn_mp_SetEventCallBack(MontEventCallback callback, void* value1, void* value2);
    int qn_mp_SetStreamCallBack(int id, MontFrameCallback callback, void* user, int userValue);
    int qn_mp_InputData(int id, const uint8_t* data, int length, const char* bufferType);
    int qn_mp_Ctrl(int id, const char* name, const char* value);
    int qn_mp_GetInfo(int id, const char* name, char* out, int size);
    int qn_mp_Play(int id);
    int qn_mp_Pause(int id);
    int qn_mp_Stop(int id);

    // The private SEI of a single unit of `length` bytes (the units callers
    // hold always know their length).
    int qn_mp_ParseSEI(const uint8_t* unit, int length, MontSeiInfo* out);
    int qn_mp_SetSeiValues(uint8_t* unit, int length, uint32_t value1, uint32_t value2);
    // The source's lens block for recording, refreshed from its fields: the
    // 48-byte panorama block for a panorama lens, the 32-byte PTZ block for a
    // PTZ lens. The address stays valid until the next query of the source.
    int qn_mp_GetLensBlock(int id, const uint8_t** block, int* size);

    // "audio_synid_qn2" and "video_synid_qn2" for callers holding the value
    // itself; only its low 32 bits are kept.
    int SetSyncId(int id, bool audio, uint64_t value);

    int Handle() const { return handle_; }

private:
    int handle_ = -1;
};

} // namespace streams
