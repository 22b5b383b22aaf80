// Tone curves of the high-dynamic engine: levels and zone exponents from the
// statistics, local adaptation between zones, and the mapped result.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "hd_engine.h"

namespace qnpl {
namespace {

constexpr uint32_t kMaxChannel = 4095;

// A float table index, truncated toward zero and held to 0 ... last; not a
// number and infinities land on the nearest end.
uint32_t table_index(float e, uint32_t last)
{
    if (!(e > 0.0f)) return 0;
    if (e >= static_cast<float>(last)) return last;
    return static_cast<uint32_t>(e);
}

// Q(v): exponent-table entry for -128 x ln(v / N) / gamma.
uint32_t curve(const HDRecord& rec, int64_t v, float gamma)
{
    const int64_t i = std::clamp<int64_t>(v, 0, rec.log_length - 1);
    const float e = -128.0f * (rec.log_table[i] / gamma);
    return rec.exponent_table[table_index(e, rec.exponent_length - 1)];
}

uint32_t mean_or_half(const HDStatRecord& r, uint32_t n_levels)
{
    return r.count ? static_cast<uint32_t>(r.sum / r.count) : n_levels / 2;
}

}  // namespace

float hd_power_p1() { return std::log(0.35483873f) / std::log(0.33333334f); }
float hd_power_p2() { return std::log(0.35483873f) / std::log(0.64705884f); }

uint32_t hd_table_power(const HDRecord& rec, int64_t v, float p) { return curve(rec, v, p); }

void HDPrepareCurves(HDRecord& rec)
{
    const float total = static_cast<float>(rec.valid_pixels);
    float running = 0.0f;
    for (int bin = 0; bin < 256; ++bin) {
        const uint32_t count = rec.histogram[bin];
        running += static_cast<float>(count);
        if (running < 0.03f * total) {
            rec.dark_sum += uint64_t(bin) * count;
            rec.dark_count += count;
        }
        if (running > 0.97f * total) {
            rec.bright_sum += uint64_t(bin) * count;
            rec.bright_count += count;
        }
    }
    rec.black_level = rec.dark_count ? static_cast<uint32_t>(rec.dark_sum / rec.dark_count) * 16 : 0;
    rec.white_level = rec.bright_count ? static_cast<uint32_t>(rec.bright_sum / rec.bright_count) * 16 : kMaxChannel;
    // Every pixel in the lowest bin would give a white level of 0, a divisor.
    rec.white_level = std::max<uint32_t>(rec.white_level, 1);

    HDStatRecord& global = rec.global();
    global.sum = mean_or_half(global, rec.log_length);

    const float p1 = hd_power_p1(), p2 = hd_power_p2();
    const float n_levels = static_cast<float>(rec.log_length);
    HDStatRecord* zones = rec.zones();
    for (int32_t z = 0; z < rec.zone_count; ++z) {
        HDStatRecord& r = zones[z];
        const uint32_t mean = mean_or_half(r, rec.log_length);
        // A zone without measured pixels has no maximum; its curve is the p1 one.
        const float ratio = r.maximum ? static_cast<float>(mean) / static_cast<float>(r.maximum) : 1.0f;
        const float z1 = 1.55f * static_cast<float>(curve(rec, mean, p1)) / n_levels;
        const float z2 = 1.55f * static_cast<float>(curve(rec, mean, p2)) / n_levels;
        r.exponent = ratio * z1 + (1.0f - ratio) * z2 + 0.45f;
        r.sum = mean;
    }
}

HDLocal HDLocalAdaptation(const HDRecord& rec, const HDStatRecord* zones, int32_t x, int32_t y)
{
    const int32_t a = rec.spacing, X = rec.zone_columns, Y = rec.zone_rows;
    const int32_t dx = std::clamp(x - rec.origin_x, 0, std::max(rec.width - 2 * rec.origin_x, 0));
    const int32_t dy = std::clamp(y - rec.origin_y, 0, std::max(rec.height - 2 * rec.origin_y, 0));
    const float gx = static_cast<float>(dx) / static_cast<float>(a);
    const float gy = static_cast<float>(dy) / static_cast<float>(a);
    const int32_t cx = std::min(static_cast<int32_t>(gx), X - 1);
    const int32_t cy = std::min(static_cast<int32_t>(gy), Y - 1);
    const int32_t ux = std::clamp(static_cast<int32_t>(100.0f * (gx - static_cast<float>(static_cast<int32_t>(gx))) + 0.5f), 0, 100);
    const int32_t uy = std::clamp(static_cast<int32_t>(100.0f * (gy - static_cast<float>(static_cast<int32_t>(gy))) + 0.5f), 0, 100);

    struct Quadrant {
        int32_t row0, row1, col0, col1, corner_row, corner_col, weight_index;
    };
    const Quadrant quadrants[4] = {
        {std::max(cy - 3, 0), cy, std::max(cx - 3, 0), cx, cy, cx, ux + uy},
        {std::max(cy - 3, 0), cy, cx + 1, std::min(cx + 4, X - 1), cy, cx + 1, 100 + uy - ux},
        {cy + 1, std::min(cy + 4, Y - 1), std::max(cx - 3, 0), cx, cy + 1, cx, 100 + ux - uy},
        {cy + 1, std::min(cy + 4, Y - 1), cx + 1, std::min(cx + 4, X - 1), cy + 1, cx + 1, 200 - ux - uy},
    };
    int64_t norm_sum = 0;
    float sum_v = 0.0f, sum_min = 0.0f, sum_max = 0.0f;
    for (const Quadrant& q : quadrants) {
        int32_t sw = 0, smin = 0, smax = 0;
        float sv = 0.0f;
        for (int32_t r = q.row0; r <= q.row1; ++r) {
            for (int32_t c = q.col0; c <= q.col1; ++c) {
                const HDStatRecord& z = zones[r * X + c];
                const int32_t w = static_cast<int32_t>(
                    rec.weights[std::min(100 * (std::abs(r - q.corner_row) + std::abs(c - q.corner_col)), 800)]);
                sw += w;
                smin += w * static_cast<int32_t>(z.minimum);
                smax += w * static_cast<int32_t>(z.maximum);
                sv += static_cast<float>(w) * z.exponent;
            }
        }
        const int32_t wq = static_cast<int32_t>(rec.weights[q.weight_index]);
        norm_sum += (int64_t(sw) * wq) >> 4;
        sum_v += sv * 0.0625f * static_cast<float>(wq);
        sum_min += static_cast<float>(smin) * 0.0625f * static_cast<float>(wq);
        sum_max += static_cast<float>(smax) * 0.0625f * static_cast<float>(wq);
    }
    if (norm_sum <= 0) return {1.0f, 0.0f, static_cast<float>(rec.log_length - 1)};
    const float norm = 1.0f / static_cast<float>(norm_sum);
    return {norm * sum_v, norm * sum_min, norm * sum_max};
}

void HDGenerateResult(HDRecord& rec, const HDPicture& source, const HDPicture& result)
{
    const int bits = source.channel_bits();
    const int32_t D = int32_t(1) << std::clamp(bits, 1, 16);
    const uint32_t black = rec.black_override ? rec.black_override : rec.black_level;
    const uint32_t white = std::max<uint32_t>(rec.white_override ? rec.white_override : rec.white_level, 1);
    const HDStatRecord& global = rec.global();
    const float mu = static_cast<float>(global.sum);
    const float A = 2.5f * mu / 1000.0f + 1.5f;
    const float u0 = 1.1f - 0.10000002f * mu / 1000.0f;
    const float slope = (1.1f - u0) / static_cast<float>(white);
    // No measured pixel, or all of one luminance: the range terms drop out.
    const int32_t span = global.count ? static_cast<int32_t>(global.maximum) - static_cast<int32_t>(global.minimum) : 0;
    const int32_t K = D / static_cast<int32_t>(white);
    const float t = span > 0 ? (A - 1.0f) / static_cast<float>(span) : 0.0f;
    const HDStatRecord* zones = rec.zones();
    const int32_t width = source.width();
    const int32_t rows = rec.end_row - rec.first_row;

    for (int32_t y = rec.first_row; y < rec.end_row; ++y) {
        for (int32_t x = rec.first_column; x < rec.end_column; ++x) {
            const int64_t at = (int64_t(y) * width + x) * 3;
            const int32_t src[3] = {source.pixels[at], source.pixels[at + 1], source.pixels[at + 2]};  // B, G, R
            const int32_t L = (1225 * src[2] + 2404 * src[1] + 467 * src[0]) >> 12;
            const HDLocal local = HDLocalAdaptation(rec, zones, x, y);
            const float u = u0 + static_cast<float>(L) * slope;
            const int32_t e1 = static_cast<int32_t>(curve(rec, static_cast<int64_t>(std::max(local.black, 0.0f)), local.gamma));
            const int32_t e2 = static_cast<int32_t>(curve(rec, static_cast<int64_t>(std::max(local.white, 0.0f)), local.gamma));
            const int32_t dE = e2 - e1;
            const float g1 = span > 0 ? u - static_cast<float>(L) * (u - 1.0f) / static_cast<float>(span) : u;
            const float g2 = A - static_cast<float>(dE) * t;
            const float gain =
                (g1 * static_cast<float>(dE) + g2 * static_cast<float>(D - dE)) / static_cast<float>(D);
            for (int ch = 0; ch < 3; ++ch) {
                const int32_t shifted = std::clamp((src[ch] - static_cast<int32_t>(black)) * K, 0, int32_t(kMaxChannel));
                const float m = static_cast<float>(static_cast<int32_t>(curve(rec, shifted, local.gamma)) - e1) * gain;
                const int32_t mapped = std::isfinite(m) ? static_cast<int32_t>(std::clamp(m, -1.0e9f, 1.0e9f)) : 0;
                result.pixels[at + ch] =
                    static_cast<uint16_t>(std::min<int32_t>(std::max(src[ch], mapped), int32_t(kMaxChannel)));
            }
        }
        const int32_t done = y - rec.first_row + 1;
        if (rec.progress && (y % 16 == 0 || y == rec.end_row - 1))
            rec.progress(static_cast<uint64_t>(1000 * done / rows), "Generate result", rec.user);
    }
}

}  // namespace qnpl
