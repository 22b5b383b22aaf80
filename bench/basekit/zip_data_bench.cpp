#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "basekit/zip_data.h"

namespace {

// Half text-like runs, half noise: neither best nor worst case for LZW.
std::vector<unsigned char> mixedInput(size_t length) {
    std::mt19937 gen(42);
    std::vector<unsigned char> data(length);
    for (size_t i = 0; i < length; ++i)
        data[i] = (i / 4096) % 2 == 0 ? static_cast<unsigned char>("log line 0123456789 "[i % 20])
                                      : static_cast<unsigned char>(gen());
    return data;
}

void CompressMixed(benchmark::State &state) {
    const auto input = mixedInput(static_cast<size_t>(state.range(0)));
    ZipData zip;
    unsigned char *out = nullptr;
    int outLength = 0;
    for (auto _ : state) {
        zip.CompressData(input.data(), static_cast<int>(input.size()), &out, &outLength);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void ExpandMixed(benchmark::State &state) {
    const auto input = mixedInput(static_cast<size_t>(state.range(0)));
    ZipData packer;
    unsigned char *packed = nullptr;
    int packedLength = 0;
    packer.CompressData(input.data(), static_cast<int>(input.size()), &packed, &packedLength);
    ZipData zip;
    unsigned char *out = nullptr;
    int outLength = 0;
    for (auto _ : state) {
        zip.ExpandData(packed, packedLength, &out, &outLength);
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(CompressMixed)->Arg(4096)->Arg(1 << 20);
BENCHMARK(ExpandMixed)->Arg(4096)->Arg(1 << 20);
