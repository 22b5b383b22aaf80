// The facade's fixed rules, apart from any state: which features a
// connection kind allows, how module states and hub events become the
// controller's states and message ids, the PTZ bounds, the sign-in name and
// the result-code texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace facade {

// Connection kinds of a camera.
enum ConnectionKind : int32_t { kKindNoServer = 0, kKindShared = 1, kKindOwn = 2 };

enum Feature : uint32_t {
    kFeatureRecordPlay = 0x02, // TF-card record play, seeking and stopping it
    kFeatureTalk = 0x10,       // talk, talk state and data, quality
};

bool IsFeatureSupported(uint32_t feature, int32_t kind);

// The play-state callback's state of a live or TF-card module state.
int32_t PlayStateOf(int32_t moduleState, int32_t second);
// The file-state callback's state of a file-play module event.
int32_t FileStateOf(int32_t moduleEvent, int32_t second);

// The controller's message id of a hub network event; none for the events
// that are dropped or handled inside the facade.
std::optional<int32_t> MessageOfNetEvent(int32_t kind);

// A "ptz_goto" pan within 0..360.
float GotoPan(float pan);
// The position a mode-1 PTZ request may ask for.
struct PtzAngles {
    int32_t pan;
    int32_t tilt;
};
PtzAngles ClampPtzPosition(int32_t mode, int32_t pan, int32_t tilt);

// The name the hub signs in with: "#key#account" with an SDK key, else the
// account alone; none when it does not fit the SDK's 64-byte field.
std::optional<std::string> LoginName(std::string_view sdkKey, std::string_view account);
// The first six characters of `name`, lower-cased.
std::string AccountKey(std::string_view name);

// The region code the web server answered, without surrounding white space;
// none unless it is 1 to 15 letters, digits or hyphens, because it becomes
// the first label of the login server's host name.
std::optional<std::string> RegionCodeOf(std::string_view reply);

// The text of a result code; "default" for a code not listed.
const char* ErrorText(int32_t code);

} // namespace facade
