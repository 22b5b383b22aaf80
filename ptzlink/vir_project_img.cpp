// QN_VIR_PROJECT_IMG: lens-correction records and the maps and transforms of
// the locked one.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "lens_projection.h"
#include "lens_record.h"
#include "lens_table.h"
#include "qn_ptzlink.h"

struct qnpl_vpi_context {
    int64_t locked_entry = 0;
    bool locked = false;
    __tag_size map_source{0, 0};
    __tag_size map_destination{0, 0};
    uint32_t count = 0;
    qnpl::LensGeometry geometry;
    std::unique_ptr<__tag_point[]> map;

    void unlock()
    {
        locked = false;
        locked_entry = -1;
    }
};

namespace {

using qnpl::LensGeometry;

void load_locked_record(qnpl_vpi_context& ctx, const qnpl::LensTableHit& hit)
{
    const qnpl::LensRecord r = qnpl::decode_lens_record(hit.record.data());
    LensGeometry& g = ctx.geometry;
    g.input_width = static_cast<int32_t>(r.input_width);
    g.input_height = static_cast<int32_t>(r.input_height);
    g.scale = static_cast<int32_t>(r.scale);
    g.output_width = static_cast<int32_t>(r.output_width);
    g.output_height = static_cast<int32_t>(r.output_height);
    ctx.count = std::min<uint32_t>(r.count, qnpl::kLensCoefficients);
    // Coefficients past the record's count keep what the last locked record left.
    for (uint32_t i = 0; i < ctx.count; ++i) {
        g.a[i] = static_cast<float>(r.a[i]) * qnpl::kCoefficientUnit;
        g.b[i] = static_cast<float>(r.b[i]) * qnpl::kCoefficientUnit;
    }
    ctx.locked_entry = hit.index;
    ctx.locked = true;
}

uint8_t sample_bilinear(const uint8_t* plane, int32_t stride, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                        int32_t wx, int32_t wy)
{
    const uint8_t* top = plane + int64_t(y0) * stride;
    const uint8_t* bottom = plane + int64_t(y1) * stride;
    const int32_t t = (top[x0] * (1024 - wx) + top[x1] * wx) >> 10;
    const int32_t b = (bottom[x0] * (1024 - wx) + bottom[x1] * wx) >> 10;
    return static_cast<uint8_t>((b * wy + t * (1024 - wy)) >> 10);
}

bool planes_present(const _vm_screen* s)
{
    for (int p = 0; p < 3; ++p)
        if (!s->planar.plane[p] || s->planar.stride[p] <= 0) return false;
    return true;
}

}  // namespace

QN_VIR_PROJECT_IMG::QN_VIR_PROJECT_IMG() : m_context(nullptr) {}

QN_VIR_PROJECT_IMG::~QN_VIR_PROJECT_IMG() { m_context = nullptr; }

int QN_VIR_PROJECT_IMG::Create()
{
    if (m_context) {
        *m_context = qnpl_vpi_context{};
        return 1;
    }
    m_context = new (std::nothrow) qnpl_vpi_context{};
    return m_context ? 1 : 0;
}

int QN_VIR_PROJECT_IMG::Destory()
{
    if (!m_context) return 0;
    delete m_context;
    m_context = nullptr;
    return 1;
}

int QN_VIR_PROJECT_IMG::AddCorrectPara(const unsigned char* record, int length, uint64_t pano_type)
{
    if (!record || length != qnpl::kLensRecordBytes) return QN_VPI_ERR_LENGTH;
    if (!qnpl::pano_type_accepted(pano_type)) return QN_VPI_ERR_TYPE;
    const qnpl::LensRecord r = qnpl::decode_lens_record(record);
    const uint32_t lens_id = qnpl::pano_type_lens_id(pano_type);
    if (r.kind != 0 || r.lens_id != lens_id || !qnpl::lens_record_usable(r)) return QN_VPI_ERR_RECORD;
    qnpl::LensRecordBytes copy;
    std::memcpy(copy.data(), record, copy.size());
    return qnpl::lens_table_store(copy, lens_id, pano_type);
}

int QN_VIR_PROJECT_IMG::LockPro(uint64_t pano_type)
{
    if (!m_context) return QN_VPI_ERR_CONTEXT;
    m_context->unlock();
    if (!qnpl::pano_type_accepted(pano_type)) return QN_VPI_ERR_TYPE;
    qnpl::LensTableHit hit;
    if (!qnpl::lens_table_find(qnpl::pano_type_lens_id(pano_type), &hit)) return QN_VPI_ERR_NO_LENS;
    load_locked_record(*m_context, hit);
    return 0;
}

uint64_t QN_VIR_PROJECT_IMG::UpdatePanoType(uint64_t pano_type)
{
    if (m_context) m_context->unlock();
    if (!qnpl::pano_type_accepted(pano_type)) return pano_type;
    qnpl::LensTableHit hit;
    if (!qnpl::lens_table_find(qnpl::pano_type_lens_id(pano_type), &hit)) return pano_type;
    return hit.pano_type;
}

int QN_VIR_PROJECT_IMG::TextureCordTrans(__tag_fpoint* in, __tag_fpoint* out)
{
    if (!m_context || !in || !out || !m_context->locked) return 0;
    const LensGeometry& g = m_context->geometry;
    float ox, oy;
    qnpl::lens_project(g, (in->x - 0.5f) * static_cast<float>(g.input_width),
                       (in->y - 0.5f) * static_cast<float>(g.input_height), &ox, &oy);
    out->x = ox / static_cast<float>(g.output_width) + 0.5f;
    out->y = oy / static_cast<float>(g.output_height) + 0.5f;
    return 1;
}

int QN_VIR_PROJECT_IMG::PixelCordTrans(_qnfspinsex* in, __tag_size* out_size, __tag_fpoint* out)
{
    if (!m_context || !in || !out_size || !out || !m_context->locked) return 0;
    if (in->width <= 0 || in->height <= 0) return 0;
    const LensGeometry& g = m_context->geometry;
    const float px =
        static_cast<float>(g.input_width) * (in->x - static_cast<float>(in->width / 2)) / static_cast<float>(in->width);
    const float py = static_cast<float>(g.input_height) * (in->y - static_cast<float>(in->height / 2)) /
                     static_cast<float>(in->height);
    float ox, oy;
    qnpl::lens_project(g, px, py, &ox, &oy);
    out->x = static_cast<float>(out_size->width) * (ox / static_cast<float>(g.output_width) + 0.5f);
    out->y = static_cast<float>(out_size->height) * (oy / static_cast<float>(g.output_height) + 0.5f);
    return 1;
}

int QN_VIR_PROJECT_IMG::GenerateMap(__tag_size* source, __tag_size* destination, __tag_point** map)
{
    if (!m_context || !source || !destination || !m_context->locked) return 0;
    qnpl_vpi_context& ctx = *m_context;
    ctx.map.reset();
    qnpl::LensMapFactors f;
    if (!qnpl::lens_map_factors(ctx.geometry, source->width, source->height, destination->width,
                                destination->height, &f))
        return 0;
    ctx.map_source = *source;
    ctx.map_destination = *destination;
    const size_t points = size_t(f.dw) * size_t(f.dh);
    ctx.map.reset(new (std::nothrow) __tag_point[points]);
    if (!ctx.map) return 0;
    __tag_point* p = ctx.map.get();
    for (int32_t r = 0; r < f.dh; ++r) {
        for (int32_t c = 0; c < f.dw; ++c, ++p) {
            int32_t sx, sy;
            if (qnpl::lens_source_position(ctx.geometry, f, c, r, &sx, &sy)) {
                p->x = sx;
                p->y = sy;
            } else {
                p->x = p->y = -1;
            }
        }
    }
    if (map) *map = ctx.map.get();
    return 1;
}

int QN_VIR_PROJECT_IMG::ImageTrans_YUV420P(_vm_screen* source, _vm_screen* destination)
{
    if (!m_context || !source || !destination || !m_context->locked) return 0;
    if (!planes_present(source) || !planes_present(destination)) return 0;
    qnpl::LensMapFactors f;
    if (!qnpl::lens_map_factors(m_context->geometry, source->width, source->height, destination->width,
                                destination->height, &f))
        return 0;
    const int32_t chroma_w = std::max(f.sw / 2, 1), chroma_h = std::max(f.sh / 2, 1);
    uint8_t* const* dst = destination->planar.plane;
    const int32_t* dstride = destination->planar.stride;
    uint8_t* const* src = source->planar.plane;
    const int32_t* sstride = source->planar.stride;
    for (int32_t r = 0; r < f.dh; ++r) {
        for (int32_t c = 0; c < f.dw; ++c) {
            int32_t sx, sy;
            const bool inside = qnpl::lens_source_position(m_context->geometry, f, c, r, &sx, &sy);
            const bool chroma_site = (c & 1) && (r & 1);
            uint8_t* y_out = dst[0] + int64_t(r) * dstride[0] + c;
            const int64_t chroma_at_u = int64_t(r / 2) * dstride[1] + c / 2;
            const int64_t chroma_at_v = int64_t(r / 2) * dstride[2] + c / 2;
            if (!inside) {
                *y_out = 0;
                if (chroma_site) dst[1][chroma_at_u] = dst[2][chroma_at_v] = 128;
                continue;
            }
            const int32_t ix = sx >> 10, iy = sy >> 10;
            const int32_t wx = sx - ix * 1024, wy = sy - iy * 1024;
            *y_out = sample_bilinear(src[0], sstride[0], ix, iy, ix + 1, iy + 1, wx, wy);
            if (!chroma_site) continue;
            // The luma test keeps the chroma base inside; its right and lower
            // neighbours can fall one past an even-sized chroma plane.
            const int32_t cx = sx >> 11, cy = sy >> 11;
            const int32_t cx1 = std::min(cx + 1, chroma_w - 1), cy1 = std::min(cy + 1, chroma_h - 1);
            dst[1][chroma_at_u] = sample_bilinear(src[1], sstride[1], cx, cy, cx1, cy1, wx / 2, wy / 2);
            dst[2][chroma_at_v] = sample_bilinear(src[2], sstride[2], cx, cy, cx1, cy1, wx / 2, wy / 2);
        }
    }
    return 1;
}

int QN_VIR_PROJECT_IMG::ReleaseMap()
{
    if (!m_context || !m_context->locked) return 0;
    m_context->map_source = __tag_size{0, 0};
    m_context->map_destination = __tag_size{0, 0};
    m_context->map.reset();
    return 1;
}
