#include "access_units.h"

#include <cstddef>

namespace player_test {

using std::size_t;
namespace {

// Offsets of every start code (3 or 4 bytes) and where its NAL begins.
struct NalStart {
    size_t code;
    size_t nal;
};

std::vector<NalStart> FindNals(const std::vector<uint8_t>& s)
{
    std::vector<NalStart> starts;
    for (size_t i = 0; i + 3 <= s.size(); ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
            const size_t code = (i > 0 && s[i - 1] == 0) ? i - 1 : i;
            starts.push_back({code, i + 3});
            i += 2;
        }
    }
    return starts;
}

}  // namespace

std::vector<std::vector<uint8_t>> SplitAccessUnits(const std::vector<uint8_t>& stream)
{
    std::vector<std::vector<uint8_t>> units;
    const auto nals = FindNals(stream);
    size_t unit_start = nals.empty() ? 0 : nals[0].code;
    bool has_picture = false;
    for (size_t n = 0; n < nals.size(); ++n) {
        const size_t at = nals[n].nal;
        if (at >= stream.size()) break;
        const int type = stream[at] & 0x1f;
        const bool slice = type == 1 || type == 5;
        // A slice whose first_mb_in_slice is 0 (its first bit set) starts a picture.
        const bool new_picture = slice && at + 1 < stream.size() && (stream[at + 1] & 0x80);
        const bool prefix = type >= 6 && type <= 9;
        if (has_picture && (new_picture || prefix)) {
            units.emplace_back(stream.begin() + long(unit_start), stream.begin() + long(nals[n].code));
            unit_start = nals[n].code;
            has_picture = false;
        }
        has_picture = has_picture || slice;
    }
    if (unit_start < stream.size()) units.emplace_back(stream.begin() + long(unit_start), stream.end());
    return units;
}

}  // namespace player_test
