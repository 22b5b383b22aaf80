#include "edge_planes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace qnpl {
namespace {

inline uint8_t luma_at(const PositionCell& c, int x, int y) { return c.pixels[int64_t(y) * c.stride + 4 * x + 3]; }

// The edge map of the detector's X map (direction 1 merges the Y map into it).
bool take_edge_map(const CannyRecord& rec, EdgeMap* map)
{
    if (!rec.x_map.pixels || (rec.canny_direct != 0 && rec.canny_direct != 1)) return false;
    map->width = rec.x_map.width;
    map->height = rec.x_map.height;
    map->stride = rec.x_map.stride;
    map->pixels.assign(rec.x_map.pixels, rec.x_map.pixels + size_t(map->stride) * map->height);
    return true;
}

}  // namespace

void ShrinkLuma(PositionCell& cell, int level)
{
    const int w = cell.width >> level, h = cell.height >> level;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int sum = luma_at(cell, 2 * x, 2 * y) + luma_at(cell, 2 * x + 1, 2 * y) +
                            luma_at(cell, 2 * x, 2 * y + 1) + luma_at(cell, 2 * x + 1, 2 * y + 1);
            cell.pixels[int64_t(y) * cell.stride + 4 * x + 3] = static_cast<uint8_t>(sum >> 2);
        }
}

void GradientPlanes(int level, PositionCell& cell)
{
    const PyramidPlane& px = cell.levels[0][level];
    const PyramidPlane& py = cell.levels[1][level];
    if (!px.plane || !py.plane) return;
    const int w = px.width, h = px.height;
    for (int y = 1; y < h - 1; ++y)
        for (int x = 1; x < w - 1; ++x) {
            auto Y = [&](int dx, int dy) { return int(luma_at(cell, x + dx, y + dy)); };
            const int gx = ((Y(-1, -1) + 2 * Y(-1, 0) + Y(-1, 1)) - (Y(1, -1) + 2 * Y(1, 0) + Y(1, 1))) >> 2;
            const int gy = ((Y(-1, -1) + 2 * Y(0, -1) + Y(1, -1)) - (Y(-1, 1) + 2 * Y(0, 1) + Y(1, 1))) >> 2;
            px.plane[y * px.row_length + x] = static_cast<uint8_t>(std::abs(gx));
            py.plane[y * py.row_length + x] = static_cast<uint8_t>(std::abs(gy));
        }
}

void PoolPlane(const PyramidPlane& finer, const PyramidPlane& coarser)
{
    if (!finer.plane || !coarser.plane) return;
    for (int y = 0; y < coarser.height; ++y)
        for (int x = 0; x < coarser.width; ++x) {
            auto f = [&](int fx, int fy) { return finer.plane[fy * finer.row_length + fx]; };
            uint8_t& c = coarser.plane[y * coarser.row_length + x];
            c = std::max({c, f(2 * x, 2 * y), f(2 * x + 1, 2 * y), f(2 * x, 2 * y + 1), f(2 * x + 1, 2 * y + 1)});
        }
}

void WidenEdges(EdgeMap& map, uint8_t edge, uint8_t widened)
{
    for (int y = 1; y < map.height - 1; ++y)
        for (int x = 1; x < map.width - 1; ++x) {
            if (map.pixels[size_t(y) * map.stride + x] != edge) continue;
            for (const auto& [dx, dy] : {std::pair{0, -1}, {-1, 0}, {1, 0}, {0, 1}}) {
                uint8_t& n = map.pixels[size_t(y + dy) * map.stride + x + dx];
                if (n < widened) n = widened;
            }
        }
}

void MaskPlanes(EdgeMap& map, const qnpl_context& ctx, PositionCell& cell)
{
    const int levels = static_cast<int>(ctx.flags.get(flag::kPyramidLevels));
    const int first = static_cast<int>(ctx.flags.get(flag::kPyramidFirstLevel));
    for (int L = 0; L < levels; ++L) {
        if (L >= first) {
            for (int k = 0; k < 2; ++k) {
                const PyramidPlane& p = cell.levels[k][L];
                if (!p.plane) continue;
                for (int y = 0; y < p.height; ++y)
                    for (int x = 0; x < p.width; ++x) {
                        const bool edge = y < map.height && x < map.width && map.pixels[size_t(y) * map.stride + x];
                        if (!edge) p.plane[y * p.row_length + x] = 0;
                    }
            }
        }
        const int w = map.width / 2, h = map.height / 2, stride = (w + 3) & ~3;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                auto m = [&](int mx, int my) { return map.pixels[size_t(my) * map.stride + mx]; };
                map.pixels[size_t(y) * stride + x] =
                    std::max({m(2 * x, 2 * y), m(2 * x + 1, 2 * y), m(2 * x, 2 * y + 1), m(2 * x + 1, 2 * y + 1)});
            }
        map.width = w;
        map.height = h;
        map.stride = stride;
    }
}

void PrepareEdgePlanes(qnpl_context& ctx, PositionCell& cell)
{
    if (!cell.pixels || cell.width < 1 || cell.height < 1) return;
    uint16_t* work = reinterpret_cast<uint16_t*>(cell.work);
    for (int y = 0; y < cell.height; ++y) {
        uint8_t* p = cell.pixels + int64_t(y) * cell.stride;
        for (int x = 0; x < cell.width; ++x, p += 4, work += 3) {
            const uint8_t b = cell.byte_table[0][p[0]], g = cell.byte_table[1][p[1]], r = cell.byte_table[2][p[2]];
            work[0] = cell.word_table[0][p[0]];
            work[1] = cell.word_table[1][p[1]];
            work[2] = cell.word_table[2][p[2]];
            const int luma = std::clamp((9617 * g + 4899 * r + 1868 * b + 8192) >> 14, 0, 255);
            p[0] = b;
            p[1] = g;
            p[2] = r;
            p[3] = static_cast<uint8_t>(luma);
        }
    }

    CannyRecord& canny = ctx.canny;
    canny.source_mode = kCannySource32;
    EdgeMap map;
    // Without an edge map every plane is masked to 0: nothing to match on.
    const bool ran = !(canny.flags & canny_flag::kBusy) &&
                     CannyDetect(canny, cell.pixels, cell.stride, cell.width, cell.height) == 1;
    if (!ran || !take_edge_map(canny, &map)) {
        map.width = cell.width;
        map.height = cell.height;
        map.stride = cell.width;
        map.pixels.assign(size_t(map.stride) * map.height, 0);
    }
    WidenEdges(map, kCannyEdge, kCannyEdge - 1);

    const int levels = static_cast<int>(ctx.flags.get(flag::kPyramidLevels));
    const int first = static_cast<int>(ctx.flags.get(flag::kPyramidFirstLevel));
    for (int L = 1; L <= first; ++L) ShrinkLuma(cell, L);
    GradientPlanes(first, cell);
    for (int L = first + 1; L < levels; ++L) {
        ShrinkLuma(cell, L);
        GradientPlanes(L, cell);
        PoolPlane(cell.levels[0][L - 1], cell.levels[0][L]);
        PoolPlane(cell.levels[1][L - 1], cell.levels[1][L]);
    }
    MaskPlanes(map, ctx, cell);

    if (levels > 0) {
        const int coarsest = levels - 1;
        for (int k = 0; k < 2; ++k) {
            const PyramidPlane& p = cell.levels[k][coarsest];
            _vm_screen description{};
            description.width = p.width;
            description.height = p.height;
            description.format = VM_FMT_GRAY8;
            description.packed.stride = p.row_length;
            description.packed.pixels = p.plane;
            char text[48];
            std::snprintf(text, sizeof text, k == 0 ? "SAVEBMP8_%02d_%02d_X" : "SAVEBMP8_%02d_%02d_Y", cell.row, cell.column);
            ctx.send(text, reinterpret_cast<uint64_t>(&description));
        }
    }
}

}  // namespace qnpl
