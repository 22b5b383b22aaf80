// The high-dynamic engine: tone-maps a 12-bit B, G, R picture in place from
// luminance statistics of zones over the picture. It only ever brightens:
// each result channel is the larger of the source channel and the mapped one.
#ifndef OSTRELS_PTZLINK_HD_ENGINE_H
#define OSTRELS_PTZLINK_HD_ENGINE_H

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "qn_ptzlink.h"

namespace qnpl {

// Three unsigned 16-bit values a pixel (blue, green, red), rows without gap.
struct HDPicture {
    uint64_t layout = 0;  // bits 0-15 width, 16-31 height, 32-37 channel bits
    uint16_t* pixels = nullptr;

    int32_t width() const { return static_cast<int32_t>(layout & 0xffff); }
    int32_t height() const { return static_cast<int32_t>((layout >> 16) & 0xffff); }
    int channel_bits() const { return static_cast<int>((layout >> 32) & 0x3f); }
    static uint64_t make_layout(uint32_t width, uint32_t height, uint32_t bits)
    {
        return uint64_t(width & 0xffff) | uint64_t(height & 0xffff) << 16 | uint64_t(bits & 0x3f) << 32;
    }
};

struct HDRequest {
    uint16_t width = 0, height = 0;
    // bits 0-5 log-table bits n (below 8 means 12), 6-15 black-level override
    // and 16-25 white-level override in thousandths (0 = computed).
    uint32_t configuration = 0;
    int32_t first_column = 0, first_row = 0, end_column = 0, end_row = 0;
    QNPL_CB_FUNC progress = nullptr;
    uint64_t user = 0;
};

struct HDStatRecord {
    int32_t centre_x = 0, centre_y = 0;
    uint32_t count = 0;
    uint64_t sum = 0;  // the preparation replaces it by the mean
    uint32_t minimum = 65535, maximum = 0;
    float exponent = 0.0f;
};

struct HDRecord {
    int32_t first_column = 0, first_row = 0, end_column = 0, end_row = 0;
    int32_t width = 0, height = 0;
    int n = 0;
    uint32_t exponent_length = 0;  // M
    uint32_t log_length = 0;       // N = 2^n
    std::vector<float> log_table;
    std::vector<uint32_t> exponent_table;
    std::array<uint32_t, 801> weights{};
    std::array<uint32_t, 256> histogram{};
    int32_t half_size = 0, spacing = 0;
    int32_t zone_columns = 0, zone_rows = 0;  // X, Y
    int32_t zone_count = 0, records_to_reset = 0;
    uint32_t zone_radius = 0;  // squared, pixels^2
    int32_t origin_x = 0, origin_y = 0;
    std::vector<HDStatRecord> stats;  // global record, then zone (j, i) at 1 + j * X + i
    uint32_t white_level = 0, black_level = 0;
    uint32_t white_override = 0, black_override = 0;
    uint64_t dark_sum = 0, dark_count = 0, bright_sum = 0, bright_count = 0;
    uint32_t valid_pixels = 0;
    QNPL_CB_FUNC progress = nullptr;
    uint64_t user = 0;

    HDStatRecord& global() { return stats[0]; }
    HDStatRecord* zones() { return stats.data() + 1; }
};

inline constexpr int kHDOk = 0;
inline constexpr int kHDBadArgument = 2;
inline constexpr int kHDNoMemory = 4;

// 0 and the record; 2 without a request or for log-table bits above 16;
// 4 when memory runs out. Bits below 8 are written back into the request as 12.
int HDCreate(HDRequest* request, std::unique_ptr<HDRecord>* record);
void HDSetZoneGrid(HDRecord& rec);
void HDResetStatistics(HDRecord& rec);
int HDGatherStatistics(HDRecord& rec, const HDPicture& source);
void HDPrepareCurves(HDRecord& rec);
struct HDLocal {
    float gamma;
    float black;
    float white;
};
HDLocal HDLocalAdaptation(const HDRecord& rec, const HDStatRecord* zones, int32_t x, int32_t y);
void HDGenerateResult(HDRecord& rec, const HDPicture& source, const HDPicture& result);
// Statistics, curves and result, with "HD static OK", "HD prepare OK" and
// "Generate result" (code: thousandths of the rows done) through the
// record's progress function. 1; 0 when a picture does not have the
// record's size.
int HDProcess(HDRecord& rec, const HDPicture& source, const HDPicture& result);

// Table power: N x (v / N)^(1 / p) to the tables' grain.
uint32_t hd_table_power(const HDRecord& rec, int64_t v, float p);
// The two exponents of the zone curves (about 0.9431 and 2.3801).
float hd_power_p1();
float hd_power_p2();

}  // namespace qnpl

#endif
