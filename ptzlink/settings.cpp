// QN_PTZLINK::SetInfo: the engine's settings by name, with text values.
#include <cmath>
#include <cstring>

#include "engine_context.h"
#include "engine_instance.h"
#include "lens_record.h"
#include "qn_ptzlink.h"
#include "value_parser.h"

namespace qnpl {
namespace {

// Largest pixel_per_degree: the pyramid, sub-image and result sizes of a run
// are 16-bit and must not overflow.
constexpr float kMaxPixelPerDegree = 40.0f;
constexpr uint32_t kMaxCorrectRange = 100;
constexpr uint32_t kMaxTiltInterval = 63;
// Tenths of a degree must fit the 32-bit arithmetic before the 11-bit field.
constexpr float kMaxViewAngle = 100000.0f;

bool parse_u32(const char* text, uint32_t* v) { return qnpl_parse_value(v, text, kParseInteger, kParseUnsigned, 32); }
bool parse_float(const char* text, float* v)
{
    return qnpl_parse_value(v, text, kParseFloat, kParseSigned, 32) && std::isfinite(*v);
}

bool set_flag(qnpl_context& ctx, int bit, const char* value)
{
    ctx.flags.assign(bit, std::strcmp(value, "y") == 0);
    return true;
}

bool set_field_u32(qnpl_context& ctx, BitField field, const char* value, uint32_t modulo)
{
    uint32_t v;
    if (!parse_u32(value, &v)) return false;
    ctx.flags.put(field, v % modulo);
    return true;
}

bool set_range(qnpl_context& ctx, CorrectRange which, const char* value)
{
    uint32_t v;
    if (!parse_u32(value, &v)) return false;
    ctx.correct_range[which] = static_cast<uint8_t>(v < kMaxCorrectRange ? v : kMaxCorrectRange);
    return true;
}

bool set_view_angle(qnpl_context& ctx, const char* value)
{
    float v;
    if (!parse_float(value, &v) || v < 0.0f || v > kMaxViewAngle) return false;
    ctx.flags.put(flag::kViewAngle, static_cast<uint32_t>(v * 10.0f + 0.5f));
    return true;
}

bool set_pixel_per_degree(qnpl_context& ctx, const char* value)
{
    float v;
    if (!parse_float(value, &v) || v < 0.0f || v > kMaxPixelPerDegree) return false;
    ctx.pixel_per_degree = v;
    return true;
}

bool set_def_size(uint16_t* field, const char* value)
{
    uint32_t v;
    if (!parse_u32(value, &v)) return false;
    *field = static_cast<uint16_t>(v & 0xffff);
    return true;
}

bool set_pixel_move_regis(qnpl_context& ctx, const char* value)
{
    uint32_t v;
    if (!parse_u32(value, &v) || v >= 8) return false;
    ctx.progress.put(progress::kPixelMoveRegis, v);
    return true;
}

bool set_trust_rate(qnpl_context& ctx, const char* value)
{
    float v;
    if (!parse_float(value, &v)) return false;
    ctx.trust_rate = v > 0.0f ? 1.0f + v : 1.0f;
    return true;
}

bool set_res_range_enlarge(qnpl_context& ctx, const char* value)
{
    float v;
    if (!parse_float(value, &v)) return false;
    ctx.res_range_enlarge = v;
    return true;
}

bool set_trust_start(qnpl_context& ctx, const char* value)
{
    if (value[0] == '\0') {
        ctx.flags.put(flag::kTiltInterval, 0);
        return true;
    }
    int16_t v;
    if (!qnpl_parse_value(&v, value, kParseInteger, kParseSigned, 16)) return false;
    ctx.start_tilt = v;
    return true;
}

bool set_tilt_interval(qnpl_context& ctx, const char* value)
{
    if (value[0] == '\0') {
        ctx.flags.put(flag::kTiltInterval, 0);
        return true;
    }
    uint32_t v;
    if (!parse_u32(value, &v)) return false;
    ctx.flags.put(flag::kTiltInterval, v < 1 ? 1 : (v > kMaxTiltInterval ? kMaxTiltInterval : v));
    return true;
}

uint32_t type_bits(uint64_t t, int first, int count) { return static_cast<uint32_t>((t >> first) & ((uint64_t(1) << count) - 1)); }

bool set_pano_type(qnpl_context& ctx, const char* value)
{
    uint64_t given;
    if (!qnpl_parse_value(&given, value, kParseInteger, kParseUnsigned, 64)) return false;
    const uint64_t t = ctx.projection.UpdatePanoType(given);
    uint32_t angle, width, num, den;
    switch (t & 0xf) {
    case 3:
        angle = type_bits(t, 44, 11);
        width = type_bits(t, 33, 11) * 8;
        num = type_bits(t, 28, 5);
        den = type_bits(t, 23, 5);
        break;
    case 4:
        angle = type_bits(t, 34, 11);
        width = type_bits(t, 23, 11) * 8;
        num = type_bits(t, 18, 5);
        den = type_bits(t, 13, 5);
        break;
    default:
        return false;
    }
    if (den == 0) return false;
    ctx.flags.put(flag::kViewAngle, angle);
    ctx.def_width = static_cast<uint16_t>(width);
    ctx.def_height = static_cast<uint16_t>((width * num / den) & 0xffff);
    ctx.pano_type = given;
    return true;
}

bool set_high_dynamic(qnpl_context& ctx, const char* value)
{
    const bool full = std::strcmp(value, "y") == 0;
    const bool plain = std::strcmp(value, "h") == 0;
    ctx.flags.assign(flag::kHighDynamic, full || plain);
    ctx.flags.assign(flag::kHighDynamicFull, full);
    return true;
}

using Setter = bool (*)(qnpl_context&, const char*);

struct Setting {
    const char* key;
    Setter apply;
};

const Setting kSettings[] = {
    {"hon_count", [](qnpl_context& c, const char* v) { return set_field_u32(c, flag::kColumns, v, 64); }},
    {"row_count", [](qnpl_context& c, const char* v) { return set_field_u32(c, flag::kColumns, v, 64); }},
    {"ver_count", [](qnpl_context& c, const char* v) { return set_field_u32(c, flag::kRows, v, 8); }},
    {"line_count", [](qnpl_context& c, const char* v) { return set_field_u32(c, flag::kRows, v, 8); }},
    {"tilt_down", [](qnpl_context& c, const char* v) { return set_flag(c, flag::kTiltDown, v); }},
    {"hon_view_angle", set_view_angle},
    {"def_width", [](qnpl_context& c, const char* v) { return set_def_size(&c.def_width, v); }},
    {"def_height", [](qnpl_context& c, const char* v) { return set_def_size(&c.def_height, v); }},
    {"pixel_per_degree", set_pixel_per_degree},
    {"pixel_move_regis", set_pixel_move_regis},
    {"trust_pan", [](qnpl_context& c, const char* v) { return set_flag(c, flag::kTrustPan, v); }},
    {"trust_tilt", [](qnpl_context& c, const char* v) { return set_flag(c, flag::kTrustTilt, v); }},
    {"correct_range_pan_line", [](qnpl_context& c, const char* v) { return set_range(c, kPanLine, v); }},
    {"correct_range_tilt_line", [](qnpl_context& c, const char* v) { return set_range(c, kTiltLine, v); }},
    {"correct_range_pan_row", [](qnpl_context& c, const char* v) { return set_range(c, kPanRow, v); }},
    {"correct_range_tilt_row", [](qnpl_context& c, const char* v) { return set_range(c, kTiltRow, v); }},
    {"trust_rate", set_trust_rate},
    {"res_range_enlarge", set_res_range_enlarge},
    {"trust_start", set_trust_start},
    {"tilt_inter", set_tilt_interval},
    {"panotype_ex", set_pano_type},
    {"last_error_enlarge", [](qnpl_context& c, const char* v) { return set_flag(c, flag::kLastErrorEnlarge, v); }},
    {"end_error_enlarge", [](qnpl_context& c, const char* v) { return set_flag(c, flag::kLastErrorEnlarge, v); }},
    {"start_error_enlarge", [](qnpl_context& c, const char* v) { return set_flag(c, flag::kStartErrorEnlarge, v); }},
    {"high_dynamic", set_high_dynamic},
};

}  // namespace
}  // namespace qnpl

int QN_PTZLINK::SetInfo(const char* key, const char* value)
{
    if (m_handle == -1 || !key || !value) return 0;
    qnpl_context* ctx = qnpl::engine_instance();
    if (!ctx || !ctx->flags.test(qnpl::flag::kCreated)) return 0;
    // The worker threads read the settings while a run lasts.
    if (ctx->running()) return 0;
    for (const qnpl::Setting& s : qnpl::kSettings)
        if (std::strcmp(key, s.key) == 0) return s.apply(*ctx, value) ? 1 : 0;
    return 0;
}
