// Creation of the high-dynamic record: tables, region and zone grid.
#include <algorithm>
#include <cmath>
#include <new>

#include "hd_engine.h"

namespace qnpl {
namespace {

constexpr int kDefaultLogBits = 12;
constexpr int kMaxLogBits = 16;
constexpr uint32_t kMaxBlackThousandths = 990;
constexpr uint32_t kMaxWhiteThousandths = 1000;
// Smallest zone size: smaller pictures would get a zone spacing of 0.
constexpr int32_t kMinZoneSize = 10;

// F(n): the exponent table holds 128 x F(n) entries.
int exponent_table_factor(int n)
{
    static constexpr int kFactor[] = {5, 6, 7, 7, 8, 8, 9, 10, 11};  // n = 8 ... 16
    return kFactor[n - 8];
}

uint32_t override_level(uint32_t thousandths, uint32_t n_levels)
{
    return static_cast<uint32_t>(double(uint64_t(thousandths) * n_levels) * 0.001 + 0.5);
}

// Grid of zones along one side: count, and the centre of the first zone.
void grid_axis(int32_t side, int32_t spacing, int32_t* zones, int32_t* origin)
{
    const int32_t n = static_cast<int32_t>(static_cast<float>(side) / static_cast<float>(spacing) + 0.3f);
    *zones = n + 1;
    const int32_t rest = side - n * spacing;
    *origin = rest >= 0 ? rest / 2 : -((-rest + 1) / 2);
}

}  // namespace

int HDCreate(HDRequest* request, std::unique_ptr<HDRecord>* record)
{
    if (!request || !record) return kHDBadArgument;
    int n = static_cast<int>(request->configuration & 0x3f);
    if (n < 8) {
        n = kDefaultLogBits;
        request->configuration = (request->configuration & ~uint32_t(0x3f)) | uint32_t(n);
    }
    if (n > kMaxLogBits) return kHDBadArgument;

    std::unique_ptr<HDRecord> rec(new (std::nothrow) HDRecord);
    if (!rec) return kHDNoMemory;
    const uint32_t N = uint32_t(1) << n;
    const uint32_t M = 128u * static_cast<uint32_t>(exponent_table_factor(n));
    try {
        rec->log_table.resize(N);
        rec->exponent_table.resize(M);
    } catch (const std::bad_alloc&) {
        return kHDNoMemory;
    }
    rec->progress = request->progress;
    rec->user = request->user;
    rec->log_length = N;
    rec->exponent_length = M;
    rec->n = n;

    uint32_t black = (request->configuration >> 6) & 0x3ff;
    if (black) {
        black = std::min(black, kMaxBlackThousandths);
        request->configuration = (request->configuration & ~(uint32_t(0x3ff) << 6)) | black << 6;
        rec->black_override = override_level(black, N);
    }
    uint32_t white = (request->configuration >> 16) & 0x3ff;
    if (white) {
        white = std::min(white, kMaxWhiteThousandths);
        request->configuration = (request->configuration & ~(uint32_t(0x3ff) << 16)) | white << 16;
        rec->white_override = override_level(white, N);
    }

    rec->log_table[0] = -18.0f;
    for (uint32_t i = 1; i < N; ++i) rec->log_table[i] = static_cast<float>(std::log(double(i) / double(N)));
    for (uint32_t i = 0; i < M; ++i) {
        const float v = static_cast<float>(N) * std::exp(-static_cast<float>(i) / 128.0f);
        rec->exponent_table[i] = v > 0.0f ? static_cast<uint32_t>(v) : 0;
    }
    for (int k = 0; k <= 800; ++k) {
        const float e = std::exp(-(static_cast<float>(k) * 0.01f) / 0.85986f);
        rec->weights[k] = static_cast<uint32_t>(1024.0f * e + 0.5f);
    }

    rec->width = request->width;
    rec->height = request->height;
    if (request->end_column > request->first_column && request->end_row > request->first_row) {
        // A region reaching past the picture is held inside it.
        rec->first_column = std::clamp(request->first_column, 0, rec->width);
        rec->first_row = std::clamp(request->first_row, 0, rec->height);
        rec->end_column = std::clamp(request->end_column, rec->first_column, rec->width);
        rec->end_row = std::clamp(request->end_row, rec->first_row, rec->height);
    } else {
        rec->first_column = rec->first_row = 0;
        rec->end_column = rec->width;
        rec->end_row = rec->height;
    }
    HDSetZoneGrid(*rec);
    if (rec->stats.empty()) return kHDNoMemory;
    *record = std::move(rec);
    return kHDOk;
}

void HDSetZoneGrid(HDRecord& rec)
{
    const int32_t m = std::max(rec.width / 20, rec.height / 20);
    const int32_t t = static_cast<int32_t>(static_cast<float>(m) * 0.1f + 0.5f);
    const int32_t s = std::max(10 * t, kMinZoneSize);
    rec.half_size = s;
    rec.spacing = (3 * s) >> 2;
    grid_axis(rec.width, rec.spacing, &rec.zone_columns, &rec.origin_x);
    grid_axis(rec.height, rec.spacing, &rec.zone_rows, &rec.origin_y);
    rec.zone_count = rec.zone_columns * rec.zone_rows;
    rec.records_to_reset = rec.zone_count + 1;
    rec.zone_radius = static_cast<uint32_t>(s) * static_cast<uint32_t>(s) * 2u;
    // Room for every zone, however many the picture's shape gives.
    rec.stats.clear();
    try {
        rec.stats.resize(size_t(rec.zone_count) + 1);
    } catch (const std::bad_alloc&) {
        rec.stats.clear();
        return;
    }
    HDStatRecord* zone = rec.zones();
    for (int32_t j = 0; j < rec.zone_rows; ++j)
        for (int32_t i = 0; i < rec.zone_columns; ++i, ++zone) {
            zone->centre_x = rec.origin_x + i * rec.spacing;
            zone->centre_y = rec.origin_y + j * rec.spacing;
        }
}

}  // namespace qnpl
