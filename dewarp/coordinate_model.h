// The packed 64-bit camera-type code and the polynomial lens model of the
// engines made from it.
#ifndef QN_DEWARP_COORDINATE_MODEL_H
#define QN_DEWARP_COORDINATE_MODEL_H

#include <cstdint>
#include <memory>

#include "lens_model.h"

namespace qn_dewarp {

int camera_code_version(uint64_t code);
int camera_code_lens_type(uint64_t code, int* family, int* variant);
int camera_code_frame(uint64_t code, FrameSize* size);
int camera_code_is_valid(uint64_t code);

// out = left x right for row-major matrices; elements below 1e-7 in
// magnitude become 0. Nothing happens unless rows and columns are positive.
void matrix_product_clamped(const double* left, const double* right, double* out, int rows,
                            int inner, int columns);

class QN_COORDINATE_EX {
public:
    virtual ~QN_COORDINATE_EX() = default;
    virtual int InitByCode(uint64_t code) = 0;
    virtual int SetFrameSize(int width, int height) = 0;
    virtual int SetLensType(int family, int variant) = 0;
    virtual int SetElevationRange(float lowest, float highest) = 0;
    virtual int SetRadiusCoefs(int count, const float* values) = 0;
    virtual int SetElevationCoefs(int count, const float* values) = 0;
    virtual int GetLensType(int* family, int* variant) const = 0;
    virtual int GetFrameSize(FrameSize* size) const = 0;
    virtual int GetRadiusRange(float* outer, float* inner) const = 0;
    virtual int GetRadiusCoefs(int* count, float* values) const = 0;
    virtual int GetElevationCoefs(int* count, float* values) const = 0;
    virtual float RadiusOfElevation(float degrees) const = 0;
    virtual float RadiusOfTan(float t) const = 0;
    virtual float ElevationOfRadius(float r) const = 0;
};

class QN_COORDINATE_EX01 final : public QN_COORDINATE_EX {
public:
    static constexpr int kMaxCoefs = 8;

    QN_COORDINATE_EX01();
    int InitByCode(uint64_t code) override;
    int SetFrameSize(int width, int height) override;
    int SetLensType(int family, int variant) override;
    int SetElevationRange(float lowest, float highest) override;
    int SetRadiusCoefs(int count, const float* values) override;
    int SetElevationCoefs(int count, const float* values) override;
    int GetLensType(int* family, int* variant) const override;
    int GetFrameSize(FrameSize* size) const override;
    int GetRadiusRange(float* outer, float* inner) const override;
    int GetRadiusCoefs(int* count, float* values) const override;
    int GetElevationCoefs(int* count, float* values) const override;
    float RadiusOfElevation(float degrees) const override;
    float RadiusOfTan(float t) const override;
    float ElevationOfRadius(float r) const override;

    // Only lens families 0 and 1 have a radius curve.
    bool has_lens_curve() const { return has_model(); }
    float lowest_elevation() const { return lowest_; }
    float highest_elevation() const { return highest_; }

private:
    struct Polynomial {
        int count = 0;
        float coefs[kMaxCoefs] = {};
        float evaluate(float d) const;
    };
    void load_preset();
    bool has_model() const { return family_ == 0 || family_ == 1; }

    uint64_t code_ = 0;
    FrameSize frame_{0, 0};
    int family_ = 1;
    int variant_ = 0;
    float lowest_ = 0, highest_ = 90;
    float inner_ = 0, outer_ = 1;
    Polynomial radius_;    // 10 x radius = P1(degrees / 10)
    Polynomial elevation_; // degrees = P2(10 x radius)
};

class QN_COORDINATE_HOLDER {
public:
    int Attach(uint64_t code);
    void Release();
    int SetFrameSize(int width, int height);
    int SetElevationRange(float lowest, float highest);
    int SetRadiusCoefs(int count, const float* values);
    int SetElevationCoefs(int count, const float* values);
    int GetLensType(int* family, int* variant) const;
    int GetFrameSize(FrameSize* size) const;
    int GetRadiusRange(float* outer, float* inner) const;
    float RadiusOfElevation(float degrees) const;
    float RadiusOfTan(float t) const;
    const QN_COORDINATE_EX01* model() const { return usable() ? object_.get() : nullptr; }

private:
    bool usable() const { return object_ && camera_code_version(code_) == 1; }
    std::unique_ptr<QN_COORDINATE_EX01> object_;
    uint64_t code_ = 0;
};

}  // namespace qn_dewarp

#endif
