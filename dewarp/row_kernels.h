// The per-row work of the bilinear render, behind a table chosen once per
// process from what the processor can do. Every kernel gives the plain C
// kernel's bytes exactly.
//
// Kept free of inline functions and templates: the SIMD variants include it
// from files built for wider instruction sets, and nothing from those files
// may end up shared with code that runs on any processor.
#ifndef QN_DEWARP_ROW_KERNELS_H
#define QN_DEWARP_ROW_KERNELS_H

#include <cstdint>

namespace qn_dewarp {

// Offset of a sample with no source: it renders as 128.
inline constexpr int32_t kGreyOffset = -1;

// The plane a row reads from.
struct RowSource {
    const uint8_t* pixels;
    int32_t stride;
    // Taps at offsets up to this one may be read four bytes wide on their row
    // and on the row below without leaving the plane (a kernel reads wide only
    // where this allows it).
    int32_t wide_limit;
};

// One row: out[x] blends the tap pairs at pixels + offsets[x] and one stride
// below with phase[x] (horizontal 0..128 in the low byte, vertical in the
// high one), each step (d x phase) >> 7; kGreyOffset gives 128.
using BilinearRow = void (*)(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out,
                             int n);

struct RowKernels {
    const char* name;
    BilinearRow bilinear_row;
};

// The wide_limit of a plane of `rows` rows of `width` samples.
int32_t wide_read_limit(int rows, int width, int32_t stride);

// The fastest kernels this processor runs, chosen on first use.
const RowKernels& row_kernels();

// Every kernel this processor runs, the plain C one first.
struct RowKernelList {
    static constexpr int kCapacity = 4;
    RowKernels items[kCapacity];
    int count;
};
RowKernelList available_row_kernels();

// The variants, each in its own file built with its own instruction set.
void bilinear_row_c(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out, int n);
#ifdef QN_DEWARP_X86_KERNELS
void bilinear_row_sse2(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out, int n);
void bilinear_row_avx2(const RowSource& source, const int32_t* offsets, const uint16_t* phase, uint8_t* out, int n);
#endif

}  // namespace qn_dewarp

#endif
