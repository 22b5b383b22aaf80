// Luminance statistics of the high-dynamic engine, and its run.
#include <algorithm>

#include "hd_engine.h"

namespace qnpl {
namespace {

void add_sample(HDStatRecord& r, uint32_t lum)
{
    ++r.count;
    r.sum += lum;
    r.minimum = std::min(r.minimum, lum);
    r.maximum = std::max(r.maximum, lum);
}

// Zones whose centre lies within `reach` of `v` along one axis.
void zone_span(int32_t v, int32_t origin, int32_t spacing, int32_t zones, int32_t reach, int32_t* first, int32_t* last)
{
    const int64_t lo = int64_t(v) - reach - origin, hi = int64_t(v) + reach - origin;
    int64_t f = lo <= 0 ? 0 : (lo + spacing - 1) / spacing;
    int64_t l = hi < 0 ? -1 : hi / spacing;
    *first = static_cast<int32_t>(std::max<int64_t>(f, 0));
    *last = static_cast<int32_t>(std::min<int64_t>(l, zones - 1));
}

bool picture_fits(const HDRecord& rec, const HDPicture& p)
{
    return p.pixels && p.width() == rec.width && p.height() == rec.height;
}

}  // namespace

void HDResetStatistics(HDRecord& rec)
{
    rec.histogram.fill(0);
    rec.valid_pixels = 0;
    const int32_t n = std::min<int32_t>(rec.records_to_reset, static_cast<int32_t>(rec.stats.size()));
    for (int32_t i = 0; i < n; ++i) {
        HDStatRecord& r = rec.stats[i];
        r.count = 0;
        r.sum = 0;
        r.minimum = 65535;
        r.maximum = 0;
        r.exponent = 0.0f;
    }
}

int HDGatherStatistics(HDRecord& rec, const HDPicture& source)
{
    if (rec.first_row >= rec.end_row || !picture_fits(rec, source)) {
        rec.valid_pixels = 0;
        return 0;
    }
    int32_t reach = 0;
    while (int64_t(reach + 1) * (reach + 1) <= rec.zone_radius) ++reach;
    HDStatRecord& global = rec.global();
    HDStatRecord* zones = rec.zones();
    const int32_t width = source.width();
    for (int32_t y = rec.first_row; y < rec.end_row; ++y) {
        int32_t zr0, zr1;
        zone_span(y, rec.origin_y, rec.spacing, rec.zone_rows, reach, &zr0, &zr1);
        const uint16_t* px = source.pixels + (int64_t(y) * width + rec.first_column) * 3;
        for (int32_t x = rec.first_column; x < rec.end_column; ++x, px += 3) {
            const uint32_t lum12 = uint32_t(px[1]) * 2404 + uint32_t(px[2]) * 1225 + uint32_t(px[0]) * 467;
            const uint32_t lum = lum12 >> 12;
            if (lum == 0) continue;
            ++rec.valid_pixels;
            add_sample(global, lum);
            int32_t zc0, zc1;
            zone_span(x, rec.origin_x, rec.spacing, rec.zone_columns, reach, &zc0, &zc1);
            for (int32_t j = zr0; j <= zr1; ++j) {
                for (int32_t i = zc0; i <= zc1; ++i) {
                    HDStatRecord& z = zones[j * rec.zone_columns + i];
                    const int64_t dy = int64_t(y) - z.centre_y, dx = int64_t(x) - z.centre_x;
                    if (dy * dy + dx * dx <= int64_t(rec.zone_radius)) add_sample(z, lum);
                }
            }
            ++rec.histogram[std::min<uint32_t>(lum12 >> 16, 255)];
        }
    }
    return 0;
}

int HDProcess(HDRecord& rec, const HDPicture& source, const HDPicture& result)
{
    if (!picture_fits(rec, source) || !picture_fits(rec, result) || rec.stats.empty()) return 0;
    auto report = [&](const char* text) {
        if (rec.progress) rec.progress(0, text, rec.user);
    };
    HDResetStatistics(rec);
    HDGatherStatistics(rec, source);
    report("HD static OK");
    HDPrepareCurves(rec);
    report("HD prepare OK");
    HDGenerateResult(rec, source, result);
    return 1;
}

}  // namespace qnpl
