#include "row_kernels.h"

#include "fixed_point.h"

namespace qn_dewarp {

void bilinear_row_c(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out, int n)
{
    const int32_t stride = source.stride;
    for (int x = 0; x < n; ++x) {
        if (offsets[x] == kGreyOffset) {
            out[x] = 128;
            continue;
        }
        const uint8_t* a = source.pixels + offsets[x];
        const int fx = phase[x] & 0xff, fy = phase[x] >> 8;
        const int top = a[0] + (((a[1] - a[0]) * fx) >> 7);
        const int bottom = a[stride] + (((a[stride + 1] - a[stride]) * fx) >> 7);
        out[x] = clamp_u8(top + (((bottom - top) * fy) >> 7));
    }
}

int32_t wide_read_limit(int rows, int width, int32_t stride)
{
    // The last byte a wide read of the lower row reaches, offset + stride + 3,
    // must be the plane's last sample or before it.
    return static_cast<int32_t>((int64_t(rows) - 2) * stride + width - 4);
}

RowKernelList available_row_kernels()
{
    RowKernelList list{};
    list.items[list.count++] = {"c", bilinear_row_c};
#ifdef QN_DEWARP_X86_KERNELS
    __builtin_cpu_init();
    if (__builtin_cpu_supports("sse2")) list.items[list.count++] = {"sse2", bilinear_row_sse2};
    if (__builtin_cpu_supports("avx2")) list.items[list.count++] = {"avx2", bilinear_row_avx2};
#endif
    return list;
}

const RowKernels& row_kernels()
{
    static const RowKernels chosen = [] {
        const RowKernelList list = available_row_kernels();
        return list.items[list.count - 1];
    }();
    return chosen;
}

}  // namespace qn_dewarp
