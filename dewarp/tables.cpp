#include "tables.h"

#include <cmath>
#include <memory>
#include <mutex>
#include <new>

#include "fixed_point.h"
#include "lens_model.h"

namespace qn_dewarp {

namespace {

template <typename T>
std::unique_ptr<T[]> allocate(size_t count)
{
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

struct CoreStorage {
    std::unique_ptr<int32_t[]> root, reciprocal, sine;
    std::unique_ptr<float[]> arctangent;
    CoreTables view{};
    bool ok = false;
};

void build_core(CoreStorage& s)
{
    s.root = allocate<int32_t>(kRootSize * kRootSize);
    s.reciprocal = allocate<int32_t>(kRootSize * kRootSize);
    s.arctangent = allocate<float>(size_t{kArctanSize} * kArctanSize);
    s.sine = allocate<int32_t>(kSineEntries);
    if (!s.root || !s.reciprocal || !s.arctangent || !s.sine) return;
    for (int a = 0; a < kRootSize; ++a) {
        for (int i = 0; i < kRootSize; ++i) {
            double length = std::sqrt(double(i) * i + double(a) * a);
            s.root[a * kRootSize + i] = rnd(length * 1024);
            // The centre has no finite reciprocal: it keeps that of length 1.
            s.reciprocal[a * kRootSize + i] = length > 0 ? rnd(1048576.0 / length) : 1048576;
        }
    }
    for (int i = 0; i < kArctanSize; ++i) s.arctangent[i] = 0.0f;
    for (int a = 1; a < kArctanSize; ++a) {
        float* row = &s.arctangent[size_t(a) * kArctanSize];
        for (int i = 0; i < kArctanSize; ++i)
            row[i] = static_cast<float>(std::atan(double(i) / a) * kDegreesPerRadian);
    }
    for (int i = 0; i < kSineEntries; ++i)
        s.sine[i] = rnd(std::sin(i / 1024.0 * kPi / 180.0) * 32768);
    s.view = {s.root.get(), s.reciprocal.get(), s.arctangent.get(), s.sine.get()};
    s.ok = true;
}

struct ProjectionSlot {
    std::once_flag once;
    std::unique_ptr<int32_t[]> table;
};

ProjectionSlot g_projection[kLensSlots];

float builtin_radius_of_ray(const void* model, int height, int planar)
{
    int lens = *static_cast<const int*>(model);
    return lens_radius_of_angle(static_cast<float>(std::atan(double(height) / planar)), lens);
}

void draw_ring_marks(uint8_t* ring)
{
    constexpr int kCentre = 252;
    for (int y = 0; y < kRingSize; ++y) {
        for (int x = 0; x < kRingSize; ++x) {
            double dx = x - kCentre, dy = y - kCentre;
            double radius = std::sqrt(dx * dx + dy * dy);
            if (radius < 236 || radius > 253) continue;
            double degrees = std::atan2(dy, dx) * 180.0 / kPi;
            if (degrees < 0) degrees += 360;
            double nearest = std::round(degrees / 5) * 5;
            bool long_mark = static_cast<int>(nearest) % 60 == 0;
            if (!long_mark && radius < 244) continue;
            // Marks are about three pixels wide, fading at their sides.
            double arc = std::fabs(degrees - nearest) * kPi / 180.0 * radius;
            if (arc >= 1.5) continue;
            int t = static_cast<int>(255 * (1.0 - arc / 1.5));
            uint8_t& old = ring[y * kRingStride + x];
            old = clamp_u8((230 * t - (t - 255) * old) >> 8);
        }
    }
    for (int y = 0; y < kRingSize; ++y) {
        for (int x = 0; x < kRingSize; ++x) {
            int dx = x - kCentre, dy = y - kCentre;
            uint8_t& v = ring[y * kRingStride + x];
            if (dx * dx + dy * dy <= 222 * 222 && v < 30) v = 255;
        }
    }
}

}  // namespace

const CoreTables* core_tables()
{
    static CoreStorage storage;
    static std::once_flag once;
    std::call_once(once, [] { build_core(storage); });
    return storage.ok ? &storage.view : nullptr;
}

int32_t* build_projection_table(RadiusOfRay radius_of_ray, const void* model)
{
    auto table = allocate<int32_t>(size_t{kProjectionSize} * kProjectionSize);
    if (!table) return nullptr;
    for (int i = 0; i < kProjectionSize; ++i) table[i] = 0;
    for (int a = 1; a < kProjectionSize; ++a) {
        int32_t* row = &table[size_t(a) * kProjectionSize];
        for (int i = 0; i < kProjectionSize; ++i)
            row[i] = rnd_checked(double(radius_of_ray(model, i, a)) * 8192, 10 * 8192);
    }
    return table.release();
}

const int32_t* projection_table(int lens)
{
    if (lens_code_of_camera(lens << 4) != lens) return nullptr;
    ProjectionSlot& slot = g_projection[lens];
    std::call_once(slot.once, [&slot, lens] {
        slot.table.reset(build_projection_table(builtin_radius_of_ray, &lens));
    });
    return slot.table.get();
}

const uint8_t* colour_ring()
{
    static std::unique_ptr<uint8_t[]> ring;
    static std::once_flag once;
    std::call_once(once, [] {
        ring = allocate<uint8_t>(size_t{kRingStride} * kRingSize);
        if (!ring) return;
        for (int i = 0; i < kRingStride * kRingSize; ++i) ring[i] = 0;
        draw_ring_marks(ring.get());
    });
    return ring.get();
}

}  // namespace qn_dewarp
