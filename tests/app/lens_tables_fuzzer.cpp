// Arbitrary text as a camera-type reply, a lens reply and a model text: the
// parsers keep their bounds, every lens binary fits its record, one entry is
// kept per type code, and the model rule gives 0, 1 or 2.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "app/camera_tables.h"

namespace {

void Require(bool condition)
{
    if (!condition) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CameraTables tables;
    const int kept = tables.ParseCameraTypes(text);
    Require(kept == static_cast<int>(tables.CameraTypes().size()));
    for (const CameraTypeEntry& entry : tables.CameraTypes()) {
        Require(entry.series >= 1 && entry.series <= 9);
        Require(entry.cameraType[sizeof entry.cameraType - 1] == '\0');
    }
    tables.MergeLens(text);
    tables.MergeLens(text); // a second merge replaces, never adds
    std::set<uint64_t> codes;
    for (const LensEntry& entry : tables.LensEntries()) Require(codes.insert(entry.panoType).second);
    tables.BuildLensBinaries();
    for (const LensBinary& binary : tables.LensBinaries()) Require(binary.length <= 128);
    const int type = GetCameraType(text);
    Require(type >= 0 && type <= 2);
    return 0;
}
