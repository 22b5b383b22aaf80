#include "coordinate_model.h"

#include <cmath>
#include <cstring>

#include "fixed_point.h"

namespace qn_dewarp {

namespace {

uint64_t bits(uint64_t code, int first, int count) { return (code >> first) & ((1ull << count) - 1); }

struct Preset {
    float radius[4];
    float elevation[4];
    float lowest, highest;
};

// Indexed by family * 3 + variant.
constexpr Preset kPresets[6] = {
    {{9.47303f, -1.05217f, -9e-05f, 1e-05f}, {90.00085f, -9.50146f, 0.00051f, -5e-05f}, -20, 70},
    {{8.1816f, -0.90887f, -5e-05f, 0}, {90.00099f, -11.00169f, 0.00059f, -5e-05f}, -20, 70},
    {{8.1816f, -0.90887f, -5e-05f, 0}, {90.00099f, -11.00169f, 0.00059f, -5e-05f}, -20, 45},
    {{9.72896f, -1.08056f, -0.0001f, 1e-05f}, {90.00083f, -9.25142f, 0.00049f, -4e-05f}, -2.5f, 90},
    {{9.99909f, -1.11052f, -0.00011f, 1e-05f}, {90.0008f, -9.00137f, 0.00048f, -4e-05f}, 0, 90},
    {{9.99864f, -1.11076f, 0, 0}, {89.99766f, -8.99722f, -0.00058f, 2e-05f}, 0, 90},
};

}  // namespace

int camera_code_version(uint64_t code) { return static_cast<int>(bits(code, 0, 4)); }

int camera_code_lens_type(uint64_t code, int* family, int* variant)
{
    if (camera_code_version(code) != 1) return 0;
    if (family) *family = static_cast<int>(bits(code, 36, 3));
    if (variant) *variant = static_cast<int>(bits(code, 39, 6));
    return 1;
}

int camera_code_frame(uint64_t code, FrameSize* size)
{
    if (camera_code_version(code) != 1 || !size) return 0;
    int denominator = static_cast<int>(bits(code, 4, 5));
    int numerator = static_cast<int>(bits(code, 9, 5));
    if (denominator == 0 || numerator == 0) {
        *size = {0, 0};
        return 0;
    }
    int width = 8 * static_cast<int>(bits(code, 14, 11));
    *size = {width, width * numerator / denominator};
    return 1;
}

int camera_code_is_valid(uint64_t code)
{
    int family = 0, variant = 0;
    if (!camera_code_lens_type(code, &family, &variant)) return 0;
    return (family == 0 || family == 1) && variant >= 0 && variant <= 2;
}

void matrix_product_clamped(const double* left, const double* right, double* out, int rows,
                            int inner, int columns)
{
    if (rows <= 0 || columns <= 0) return;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            double sum = 0;
            for (int k = 0; k < inner; ++k) sum += left[r * inner + k] * right[k * columns + c];
            out[r * columns + c] = std::fabs(sum) < 1e-7 ? 0.0 : sum;
        }
    }
}

float QN_COORDINATE_EX01::Polynomial::evaluate(float d) const
{
    if (count <= 0) return 0.0f;
    float sum = coefs[0];
    float power = d;
    for (int k = 1; k < count; ++k) {
        sum = sum + coefs[k] * power;
        power = power * d;
    }
    return sum;
}

QN_COORDINATE_EX01::QN_COORDINATE_EX01() { load_preset(); }

void QN_COORDINATE_EX01::load_preset()
{
    if (camera_code_version(code_) != 1) return;
    if (family_ < 0 || family_ > 1 || variant_ < 0 || variant_ > 2) return;
    const Preset& p = kPresets[family_ * 3 + variant_];
    lowest_ = p.lowest;
    highest_ = p.highest;
    inner_ = 0;
    outer_ = 1;
    radius_.count = elevation_.count = 4;
    std::memcpy(radius_.coefs, p.radius, sizeof p.radius);
    std::memcpy(elevation_.coefs, p.elevation, sizeof p.elevation);
    inner_ = RadiusOfElevation(highest_);
    outer_ = RadiusOfElevation(lowest_);
}

int QN_COORDINATE_EX01::InitByCode(uint64_t code)
{
    int family = 0, variant = 0;
    FrameSize frame{};
    if (camera_code_version(code) != 1) return 0;
    if (!camera_code_lens_type(code, &family, &variant) || !camera_code_frame(code, &frame)) return 0;
    code_ = code;
    frame_ = frame;
    family_ = family;
    variant_ = variant;
    load_preset();
    return 1;
}

int QN_COORDINATE_EX01::SetFrameSize(int width, int height)
{
    frame_ = {width, height};
    return 1;
}

int QN_COORDINATE_EX01::SetLensType(int family, int variant)
{
    family_ = family;
    variant_ = variant;
    return 1;
}

int QN_COORDINATE_EX01::SetElevationRange(float lowest, float highest)
{
    if (!(highest > lowest)) return 0;
    lowest_ = lowest;
    highest_ = highest;
    return 1;
}

int QN_COORDINATE_EX01::SetRadiusCoefs(int count, const float* values)
{
    if (count < 0 || count > kMaxCoefs || !values) return 0;
    radius_.count = count;
    std::memcpy(radius_.coefs, values, sizeof(float) * count);
    return 1;
}

int QN_COORDINATE_EX01::SetElevationCoefs(int count, const float* values)
{
    if (count < 0 || count > kMaxCoefs || !values) return 0;
    elevation_.count = count;
    std::memcpy(elevation_.coefs, values, sizeof(float) * count);
    return 1;
}

int QN_COORDINATE_EX01::GetLensType(int* family, int* variant) const
{
    if (family) *family = family_;
    if (variant) *variant = variant_;
    return 1;
}

int QN_COORDINATE_EX01::GetFrameSize(FrameSize* size) const
{
    if (!size || frame_.width <= 0 || frame_.height <= 0) return 0;
    *size = frame_;
    return 1;
}

int QN_COORDINATE_EX01::GetRadiusRange(float* outer, float* inner) const
{
    if (!(inner_ < outer_)) return 0;
    if (outer) *outer = outer_;
    if (inner) *inner = inner_;
    return 1;
}

// Every count that can be stored can be read back (1..8).
int QN_COORDINATE_EX01::GetRadiusCoefs(int* count, float* values) const
{
    if (radius_.count < 1 || radius_.count > kMaxCoefs) return 0;
    if (count) *count = radius_.count;
    if (values) std::memcpy(values, radius_.coefs, sizeof(float) * radius_.count);
    return 1;
}

int QN_COORDINATE_EX01::GetElevationCoefs(int* count, float* values) const
{
    if (elevation_.count < 1 || elevation_.count > kMaxCoefs) return 0;
    if (count) *count = elevation_.count;
    if (values) std::memcpy(values, elevation_.coefs, sizeof(float) * elevation_.count);
    return 1;
}

float QN_COORDINATE_EX01::RadiusOfElevation(float degrees) const
{
    if (!has_model()) return kNoLens;
    float d = static_cast<float>(0.1f * degrees);
    return static_cast<float>(0.1f * radius_.evaluate(d));
}

float QN_COORDINATE_EX01::RadiusOfTan(float t) const
{
    if (!has_model()) return kNoLens;
    float radians = static_cast<float>(std::atan(t));
    float degrees = static_cast<float>(radians * 57.29578f);
    return RadiusOfElevation(degrees);
}

float QN_COORDINATE_EX01::ElevationOfRadius(float r) const
{
    if (!has_model()) return 0.0f;
    float d = static_cast<float>(10.0f * r);
    return static_cast<float>(elevation_.evaluate(d) * 0.01745329f);
}

int QN_COORDINATE_HOLDER::Attach(uint64_t code)
{
    // Whatever the old object's code, it is never leaked.
    object_.reset();
    code_ = 0;
    if (camera_code_version(code) != 1) return 0;
    object_ = std::make_unique<QN_COORDINATE_EX01>();
    code_ = code;
    return object_->InitByCode(code);
}

void QN_COORDINATE_HOLDER::Release()
{
    object_.reset();
}

int QN_COORDINATE_HOLDER::SetFrameSize(int width, int height)
{
    return usable() ? object_->SetFrameSize(width, height) : 0;
}
int QN_COORDINATE_HOLDER::SetElevationRange(float lowest, float highest)
{
    return usable() ? object_->SetElevationRange(lowest, highest) : 0;
}
int QN_COORDINATE_HOLDER::SetRadiusCoefs(int count, const float* values)
{
    return usable() ? object_->SetRadiusCoefs(count, values) : 0;
}
int QN_COORDINATE_HOLDER::SetElevationCoefs(int count, const float* values)
{
    return usable() ? object_->SetElevationCoefs(count, values) : 0;
}
int QN_COORDINATE_HOLDER::GetLensType(int* family, int* variant) const
{
    return usable() ? object_->GetLensType(family, variant) : 0;
}
int QN_COORDINATE_HOLDER::GetFrameSize(FrameSize* size) const
{
    return usable() ? object_->GetFrameSize(size) : 0;
}
int QN_COORDINATE_HOLDER::GetRadiusRange(float* outer, float* inner) const
{
    return usable() ? object_->GetRadiusRange(outer, inner) : 0;
}
float QN_COORDINATE_HOLDER::RadiusOfElevation(float degrees) const
{
    return usable() ? object_->RadiusOfElevation(degrees) : 0.0f;
}
float QN_COORDINATE_HOLDER::RadiusOfTan(float t) const
{
    return usable() ? object_->RadiusOfTan(t) : 0.0f;
}

}  // namespace qn_dewarp
