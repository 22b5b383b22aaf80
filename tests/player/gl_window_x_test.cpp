// The OpenGL video window on a private Xvfb with Mesa's software rasteriser:
// screenshots of known pictures on flat and lens-corrected models against a
// reference computed here from the colour formula, and the owner's messages.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWheelEvent>
#include <QWidget>

#include "Depend/qn_folders.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "QNOpenGLWidget.h"
#include "qnIPlayerWin.h"
#include "qnPlayerWinImpl.h"
#include "support/qt_test_env.h"
#include "support/this_process.h"
#include "support/x_test_support.h"

namespace {

using ddshow_test::Bgr24Image;
using ddshow_test::YuvPicture;
using qt_test::ProcessUntil;

constexpr int kWidth = 160, kHeight = 120;

// Stands in for the owner that answers the window's questions.
struct StandInOwner {
    const qnGLSceneInfo* scene = nullptr;
    qnVirProjectParam correction{};
    int sceneAsks = 0, correctionAsks = 0, doubleClicks = 0;
    std::vector<qnTouchPoints> pointers;

    static void Callback(int code, int64_t data, int64_t user)
    {
        auto* self = reinterpret_cast<StandInOwner*>(static_cast<intptr_t>(user));
        switch (code) {
        case QN_PLAYER_WIN_MSG_SCENE:
            ++self->sceneAsks;
            *reinterpret_cast<const qnGLSceneInfo**>(static_cast<intptr_t>(data)) = self->scene;
            break;
        case QN_PLAYER_WIN_MSG_CORRECTION:
            ++self->correctionAsks;
            *reinterpret_cast<qnVirProjectParam*>(static_cast<intptr_t>(data)) = self->correction;
            break;
        case QN_PLAYER_WIN_MSG_DOUBLE_CLICK: ++self->doubleClicks; break;
        case QN_PLAYER_WIN_MSG_POINTER:
            self->pointers.push_back(*reinterpret_cast<const qnTouchPoints*>(static_cast<intptr_t>(data)));
            break;
        }
    }
};

// A model over the whole view: a flat rectangle at z = 0 seen by a camera of
// 90 degrees at distance 1, split into cols x rows cells. Vertex (i, j) sits at
// coordinate (i / cols, j / rows), j counted from the top.
struct GridModel {
    int cols, rows;
    std::vector<std::vector<float>> positions, coords;
    std::vector<qnGLPrimGroup> groups;
    qnGLModel model{};

    GridModel(int cols, int rows, bool withDegenerateGroups) : cols(cols), rows(rows)
    {
        const float v = float(kHeight) / kWidth;
        auto vertex = [&](std::vector<float>& p, std::vector<float>& c, int i, int j) {
            float s = float(i) / cols, t = float(j) / rows;
            p.insert(p.end(), {-1 + 2 * s, v - 2 * v * t, 0});
            c.insert(c.end(), {s, t});
        };
        for (int j = 0; j < rows; ++j) {
            positions.emplace_back();
            coords.emplace_back();
            auto& p = positions.back();
            auto& c = coords.back();
            uint32_t kind;
            if (j % 2 == 0) { // a strip: top, bottom, top, bottom ...
                kind = QN_GL_TRIANGLE_STRIP;
                for (int i = 0; i <= cols; ++i) {
                    vertex(p, c, i, j);
                    vertex(p, c, i, j + 1);
                }
            } else { // separate triangles with the strip's diagonals
                kind = QN_GL_TRIANGLES;
                for (int i = 0; i < cols; ++i) {
                    vertex(p, c, i, j);
                    vertex(p, c, i, j + 1);
                    vertex(p, c, i + 1, j);
                    vertex(p, c, i, j + 1);
                    vertex(p, c, i + 1, j);
                    vertex(p, c, i + 1, j + 1);
                }
            }
            addGroup(kind, int(p.size() / 3));
            if (withDegenerateGroups) {
                // Too small for a primitive, or of no kind: they must add nothing.
                static const uint32_t kKinds[] = {QN_GL_TRIANGLE_STRIP, QN_GL_TRIANGLE_FAN, 9, QN_GL_LINE_STRIP};
                static const int kCounts[] = {2, 1, 6, 1};
                int k = j % 4;
                positions.emplace_back(p.begin(), p.end());
                coords.emplace_back(c.begin(), c.end());
                addGroup(kKinds[k], kCounts[k]);
            }
        }
        std::memset(model.source, 0, sizeof model.source);
        model.flags = uint64_t(1) << 17;
        model.groupCount = int(groups.size());
        model.groups = groups.data();
    }

    void addGroup(uint32_t kind, int n)
    {
        qnGLPrimGroup g{};
        g.kind = kind;
        g.packedCount = (1u << 24) | (1u << 12) | uint32_t(n);
        g.positions = positions.back().data();
        g.texCoords[0] = coords.back().data();
        groups.push_back(g);
    }
};

qnGLSceneInfo CameraOver(const qnGLModel* models, int count)
{
    qnGLSceneInfo scene{};
    // The near plane stays short of the model: a model lying on it is clipped
    // away by rounding. The view at the model's distance is the same.
    scene.fieldOfView = 90;
    scene.nearPlane = 0.5f;
    scene.farPlane = 10;
    scene.translateZ = -1;
    scene.modelCount = count;
    scene.models = models;
    return scene;
}

void FillTestPicture(YuvPicture& picture)
{
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            picture.y[size_t(y) * picture.width + x] =
                uint8_t(50 + 120 * x / picture.width + ((x / 10 + y / 10) % 2) * 40);
    for (int y = 0; y < picture.height / 2; ++y)
        for (int x = 0; x < picture.width / 2; ++x) {
            picture.u[size_t(y) * (picture.width / 2) + x] = uint8_t(128 + 60 * std::sin(x / 7.0));
            picture.v[size_t(y) * (picture.width / 2) + x] = uint8_t(128 + 60 * std::cos(y / 5.0));
        }
}

// Linear filtering with edges clamped, as a texture of the plane samples it.
double Sample(const std::vector<uint8_t>& plane, int w, int h, double s, double t)
{
    double u = s * w - 0.5, v = t * h - 0.5;
    int i0 = int(std::floor(u)), j0 = int(std::floor(v));
    double fu = u - i0, fv = v - j0;
    auto at = [&](int i, int j) {
        i = std::clamp(i, 0, w - 1);
        j = std::clamp(j, 0, h - 1);
        return double(plane[size_t(j) * w + i]);
    };
    double top = at(i0, j0) * (1 - fu) + at(i0 + 1, j0) * fu;
    double bottom = at(i0, j0 + 1) * (1 - fu) + at(i0 + 1, j0 + 1) * fu;
    return (top * (1 - fv) + bottom * fv) / 255.0;
}

// The colour formula on the picture at (s, t), before rounding; `luma` is
// the sampled Y the transparency rule compares.
struct ShaderColour {
    double rgb[3];
    double luma;
};

ShaderColour ColourAt(const YuvPicture& picture, double s, double t)
{
    const int cw = picture.width / 2, ch = picture.height / 2;
    double Y = Sample(picture.y, picture.width, picture.height, s, t);
    double U = Sample(picture.u, cw, ch, s, t) - 0.5;
    double V = Sample(picture.v, cw, ch, s, t) - 0.5;
    ShaderColour c{{Y + 1.13983 * V, Y - 0.39465 * U - 0.5806 * V, Y + 2.03211 * U}, Y};
    for (double& channel : c.rgb) channel = std::clamp(channel, 0.0, 1.0);
    return c;
}

// Writes R, G, B fractions as the window's B, G, R bytes.
void PutBgr(const double rgb[3], uint8_t* out)
{
    for (int c = 0; c < 3; ++c) out[2 - c] = uint8_t(std::lround(std::clamp(rgb[c], 0.0, 1.0) * 255));
}

// The window as `paint` gives each pixel from its centre (s, t, in 0..1).
Bgr24Image Painted(const std::function<void(double, double, uint8_t*)>& paint)
{
    Bgr24Image image;
    image.width = kWidth;
    image.height = kHeight;
    image.bytes.resize(size_t(kWidth) * kHeight * 3);
    for (int py = 0; py < kHeight; ++py)
        for (int px = 0; px < kWidth; ++px)
            paint((px + 0.5) / kWidth, (py + 0.5) / kHeight, image.bytes.data() + (size_t(py) * kWidth + px) * 3);
    return image;
}

// The window as the colour formula paints it, sampling each pixel at the
// coordinate `where` gives for its centre.
Bgr24Image Reference(const YuvPicture& picture, const std::function<void(double, double, double&, double&)>& where)
{
    return Painted([&](double s, double t, uint8_t* out) {
        double os = 0, ot = 0;
        where(s, t, os, ot);
        PutBgr(ColourAt(picture, os, ot).rgb, out);
    });
}

// Each pixel samples the picture where the model's coordinate puts it.
void AtTheGivenCoordinate(double s, double t, double& os, double& ot)
{
    os = s;
    ot = t;
}

// A layer's outline: its coordinate within 0.01 of an edge.
bool OnOutline(double s, double t)
{
    return s <= 0.01 || s >= 0.99 || t <= 0.01 || t >= 0.99;
}

const double kOutlineColour[3] = {0, 0.54, 0.54};

// Columns [from, to) of `part` over `whole`.
void PasteColumns(Bgr24Image& whole, const Bgr24Image& part, int from, int to)
{
    for (int y = 0; y < whole.height; ++y)
        std::memcpy(whole.bytes.data() + (size_t(y) * whole.width + from) * 3, part.at(from, y), size_t(to - from) * 3);
}

// A model over the columns [left, right) of the view (fractions of its
// width), the whole height, showing all of its layer 0 source (the ring's
// picture when the source is null).
struct RectangleModel {
    std::vector<float> positions, coords, upperCoords;
    qnGLPrimGroup group{};
    qnGLModel model{};

    RectangleModel(double left, double right, const char* source)
    {
        const float v = float(kHeight) / kWidth;
        const float x0 = float(-1 + 2 * left), x1 = float(-1 + 2 * right);
        positions = {x0, v, 0, x0, -v, 0, x1, v, 0, x1, -v, 0};
        coords = {0, 0, 0, 1, 1, 0, 1, 1};
        group.kind = QN_GL_TRIANGLE_STRIP;
        group.packedCount = (1u << 24) | (1u << 12) | 4u;
        group.positions = positions.data();
        group.texCoords[0] = coords.data();
        if (source != nullptr) std::memcpy(&model.source[0], source, 4);
        model.flags = uint64_t(1) << 17;
        model.groupCount = 1;
        model.groups = &group;
    }

    // A second layer whose coordinate is (a s + b, a t + b) at the model's (s, t).
    void addUpperLayer(const char* source, float a, float b)
    {
        for (float c : coords) upperCoords.push_back(a * c + b);
        group.texCoords[1] = upperCoords.data();
        std::memcpy(&model.source[1], source, 4);
        model.flags = (model.flags & ~(uint64_t(7) << 17)) | (uint64_t(2) << 17);
    }
};

// A copy of a planar picture whose rows are longer than its pixels, as a
// decoder's often are.
struct PaddedPicture {
    std::vector<uint8_t> planes[3];
    _vm_screen screen{};

    PaddedPicture(const YuvPicture& picture, int padding)
    {
        const std::vector<uint8_t>* source[3] = {&picture.y, &picture.u, &picture.v};
        screen.width = picture.width;
        screen.height = picture.height;
        screen.format = VM_FMT_YUV420;
        for (int p = 0; p < 3; ++p) {
            const int width = p == 0 ? picture.width : picture.width / 2;
            const int rows = p == 0 ? picture.height : picture.height / 2;
            const int stride = width + padding;
            planes[p].assign(size_t(stride) * rows, 0xEE);
            for (int r = 0; r < rows; ++r)
                std::memcpy(planes[p].data() + size_t(r) * stride, source[p]->data() + size_t(r) * width, width);
            screen.planar.plane[p] = planes[p].data();
            screen.planar.stride[p] = stride;
        }
    }
};

bool AllBlack(const Bgr24Image& image)
{
    return !image.bytes.empty() &&
           std::all_of(image.bytes.begin(), image.bytes.end(), [](uint8_t b) { return b == 0; });
}

class GLWindowOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qt_test::XDisplay().empty()) GTEST_SKIP() << "no private Xvfb: the window cannot be shown";
        top_.setWindowFlags(Qt::FramelessWindowHint);
        top_.setGeometry(0, 0, kWidth, kHeight);
        host_.createWind(0, 0, kWidth, kHeight, &top_);
        window_ = host_.window();
        window_->setMsgCallback(&StandInOwner::Callback, int64_t(reinterpret_cast<intptr_t>(&owner_)));
        QObject::connect(window_, &OpenGLWindow::frameSwapped, [this] { ++frames_; });
        host_.showWind(true);
        top_.show();
        ASSERT_TRUE(ProcessUntil([&] { return frames_ >= 2; }))
            << "the window rendered no frame: no OpenGL context under Xvfb (Mesa llvmpipe missing?)";
        ASSERT_TRUE(window_->play());
    }

    // Runs the loop until the owner was asked for the correction (a picture
    // was drawn) and a few frames went by since.
    void WaitForDrawnPicture()
    {
        int asked = owner_.correctionAsks;
        ASSERT_TRUE(ProcessUntil([&] { return owner_.correctionAsks > asked; })) << "no picture was drawn";
        waitFrames(2);
    }

    // Draws with a flat grey picture in the ring, which models showing
    // another source must not show.
    void DrawWithGreyRingPicture()
    {
        YuvPicture grey(kWidth, kHeight);
        grey.fill(128, 128, 128);
        host_.setHold(false);
        window_->putFrame(grey.record());
        WaitForDrawnPicture();
    }

    void waitFrames(int count)
    {
        int until = frames_ + count;
        ASSERT_TRUE(ProcessUntil([&] { return frames_ >= until; }));
    }

    Bgr24Image grab(const char* name)
    {
        Bgr24Image shot;
        EXPECT_TRUE(ddshow_test::grabWindow(qt_test::XDisplay(), uint32_t(window_->winId()), temp_.file("shot.xwd"),
                                            shot));
        EXPECT_EQ(shot.width, kWidth);
        EXPECT_EQ(shot.height, kHeight);
        // For looking at: the screenshots go to a folder named by the caller.
        if (auto folder = platform::GetEnv("OSTRELS_SHOT_DIR"))
            ddshow_test::writePpm(*folder + "/" + name + ".ppm", shot);
        return shot;
    }

    void expectClose(const Bgr24Image& shot, const Bgr24Image& reference, const char* name)
    {
        if (auto folder = platform::GetEnv("OSTRELS_SHOT_DIR"))
            ddshow_test::writePpm(*folder + "/" + std::string(name) + "_reference.ppm", reference);
        double quality = ddshow_test::psnr(shot, reference);
        int worst = 0;
        for (size_t i = 0; i < shot.bytes.size() && i < reference.bytes.size(); ++i)
            worst = std::max(worst, std::abs(int(shot.bytes[i]) - int(reference.bytes[i])));
        EXPECT_GT(quality, 40.0) << name << ": largest difference " << worst;
        EXPECT_LE(worst, 8) << name;
        std::printf("%s: PSNR %.1f dB, largest difference %d\n", name, quality, worst);
    }

    ddshow_test::TempDir temp_;
    QWidget top_;
    qnIPlayerWin host_{};
    qnPlayerWinImpl* window_ = nullptr;
    StandInOwner owner_;
    int frames_ = 0;
};

TEST_F(GLWindowOnX, FlatModelShowsThePictureOnlyOnceTheHoldIsCleared)
{
    YuvPicture picture(kWidth, kHeight);
    FillTestPicture(picture);
    GridModel flat(1, 1, false);
    qnGLSceneInfo scene = CameraOver(&flat.model, 1);
    owner_.scene = &scene;
    window_->putFrame(picture.record());

    // Held after play: black, and the owner is not asked for the correction.
    waitFrames(3);
    EXPECT_EQ(owner_.correctionAsks, 0);
    EXPECT_TRUE(AllBlack(grab("held")));

    host_.setHold(false);
    WaitForDrawnPicture();
    expectClose(grab("flat"), Reference(picture, AtTheGivenCoordinate), "flat");

    // Cleared: black until the next play.
    host_.clearWindow();
    waitFrames(3);
    EXPECT_TRUE(AllBlack(grab("cleared")));

    // Stopped and played again: held once more, then drawn from a fresh ring.
    ASSERT_TRUE(window_->stop());
    ASSERT_TRUE(window_->play());
    window_->putFrame(picture.record());
    waitFrames(3);
    EXPECT_TRUE(AllBlack(grab("replayed_held")));
    host_.setHold(false);
    WaitForDrawnPicture();
    expectClose(grab("replayed"), Reference(picture, AtTheGivenCoordinate), "replayed");
}

// Many primitive groups, with degenerate ones between them, draw every cell.
TEST_F(GLWindowOnX, ModelOfManyGroupsRendersWhole)
{
    YuvPicture picture(kWidth, kHeight);
    FillTestPicture(picture);
    GridModel grid(16, 12, true);
    qnGLSceneInfo scene = CameraOver(&grid.model, 1);
    owner_.scene = &scene;
    host_.setHold(false);
    window_->putFrame(picture.record());
    WaitForDrawnPicture();
    expectClose(grab("grid"), Reference(picture, AtTheGivenCoordinate), "grid");
}

TEST_F(GLWindowOnX, LensCorrectedModelSamplesThroughThePolynomial)
{
    YuvPicture picture(kWidth, kHeight);
    FillTestPicture(picture);
    const int cols = 16, rows = 12;
    GridModel grid(cols, rows, false);
    grid.model.correction[0] = 1;
    qnGLSceneInfo scene = CameraOver(&grid.model, 1);
    owner_.scene = &scene;
    // x = (s - 0.5) x 100; s' = (0.8 x + 0.00008 x^3) / 100 + 0.5, and
    // t' = (0.85 y + 0.00006 x^2 y) / 100 + 0.5: a barrel-like pull.
    qnVirProjectParam& p = owner_.correction;
    p.P[0] = p.P[1] = 100;
    p.P[2] = 10;
    p.P[4] = p.P[5] = 100;
    p.X[1] = 0.8f;
    p.X[8] = 0.00008f;
    p.Y[3] = 0.85f;
    p.Y[6] = 0.00006f;
    auto corrected = [](double s, double t, double& os, double& ot) {
        double x = (s - 0.5) * 100, y = (t - 0.5) * 100;
        os = (0.8 * x + 0.00008 * x * x * x) / 100 + 0.5;
        ot = (0.85 * y + 0.00006 * x * x * y) / 100 + 0.5;
    };
    host_.setHold(false);
    window_->putFrame(picture.record());
    WaitForDrawnPicture();
    // The correction is computed at the vertices and interpolated across each
    // triangle (diagonals from bottom-left to top-right), as the reference does.
    expectClose(grab("corrected"),
                Reference(picture,
                          [&](double s, double t, double& os, double& ot) {
                              double gx = s * cols, gy = t * rows;
                              int i = std::min(int(gx), cols - 1), j = std::min(int(gy), rows - 1);
                              double a = gx - i, b = gy - j;
                              double c[4][2]; // TL, TR, BL, BR
                              corrected(double(i) / cols, double(j) / rows, c[0][0], c[0][1]);
                              corrected(double(i + 1) / cols, double(j) / rows, c[1][0], c[1][1]);
                              corrected(double(i) / cols, double(j + 1) / rows, c[2][0], c[2][1]);
                              corrected(double(i + 1) / cols, double(j + 1) / rows, c[3][0], c[3][1]);
                              double out[2];
                              for (int k = 0; k < 2; ++k)
                                  out[k] = a + b <= 1 ? c[0][k] + a * (c[1][k] - c[0][k]) + b * (c[2][k] - c[0][k])
                                                      : c[3][k] + (1 - a) * (c[2][k] - c[3][k]) +
                                                            (1 - b) * (c[1][k] - c[3][k]);
                              os = out[0];
                              ot = out[1];
                          }),
                "corrected");
}

TEST_F(GLWindowOnX, EmptyPictureOrNoSceneDrawsBlackAndTheOwnerIsAskedAgain)
{
    GridModel flat(1, 1, false);
    qnGLSceneInfo scene = CameraOver(&flat.model, 1);
    host_.setHold(false);

    // A picture whose lower Y half is zero is not drawn, and the owner is not
    // asked for the correction.
    YuvPicture empty(kWidth, kHeight);
    FillTestPicture(empty);
    std::fill(empty.y.begin() + empty.y.size() / 2, empty.y.end(), 0);
    owner_.scene = &scene;
    window_->putFrame(empty.record());
    waitFrames(4);
    EXPECT_EQ(owner_.correctionAsks, 0);
    EXPECT_TRUE(AllBlack(grab("empty")));

    // No scene: black, asked again every frame. (A picture put while there is
    // no scene waits in the ring and is drawn once a scene comes.)
    owner_.scene = nullptr;
    int asked = owner_.sceneAsks;
    YuvPicture picture(kWidth, kHeight);
    FillTestPicture(picture);
    window_->putFrame(picture.record());
    waitFrames(3);
    EXPECT_GE(owner_.sceneAsks, asked + 3);
    EXPECT_EQ(owner_.correctionAsks, 0);
    EXPECT_TRUE(AllBlack(grab("no_scene")));
}

TEST_F(GLWindowOnX, PointerAndWheelReachTheOwner)
{
    auto send = [&](QEvent::Type type, QPointF at) {
        QMouseEvent event(type, at, at, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window_, &event);
    };
    send(QEvent::MouseMove, {5, 5}); // no press yet: nothing
    EXPECT_TRUE(owner_.pointers.empty());
    send(QEvent::MouseButtonPress, {10, 20});
    send(QEvent::MouseMove, {30, 40});
    send(QEvent::MouseButtonRelease, {31, 41});
    send(QEvent::MouseMove, {50, 50}); // released: nothing
    ASSERT_EQ(owner_.pointers.size(), 3u);
    const int expected[3][3] = {{10, 20, 1}, {30, 40, 1}, {31, 41, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(owner_.pointers[i].points[0].x, expected[i][0]);
        EXPECT_EQ(owner_.pointers[i].points[0].y, expected[i][1]);
        EXPECT_EQ(owner_.pointers[i].count, expected[i][2]);
        EXPECT_EQ(owner_.pointers[i].points[0].width, kWidth);
        EXPECT_EQ(owner_.pointers[i].points[0].height, kHeight);
    }
    send(QEvent::MouseButtonDblClick, {10, 20});
    EXPECT_EQ(owner_.doubleClicks, 1);

    owner_.pointers.clear();
    QWheelEvent wheel({10, 10}, {10, 10}, {}, {0, 120}, Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    wheel.setTimestamp(5000);
    QCoreApplication::sendEvent(window_, &wheel);
    ASSERT_EQ(owner_.pointers.size(), 2u);
    EXPECT_EQ(owner_.pointers[1].points[0].x, 450);
    EXPECT_EQ(owner_.pointers[1].points[1].x, 550);
}

// The frame picture ("Frame.jpg" beside the program, copied there by the
// build) and a picture shared with the window are drawn by the models whose
// source names them; the ring's picture, flat grey here, is not.
TEST_F(GLWindowOnX, ModelsShowTheFramePictureAndTheOutsidePicture)
{
    // The frame picture as FFmpeg decodes the file on its own.
    YuvPicture frame(166, 122);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(ddshow_test::run("ffmpeg -v error -y -i " + window_->framePicturePath() +
                                 " -f rawvideo -pix_fmt yuv420p " + temp_.file("frame.yuv")));
    ASSERT_TRUE(ddshow_test::readFile(temp_.file("frame.yuv"), bytes));
    ASSERT_EQ(bytes.size(), frame.fileBytes().size()) << "Frame.jpg is not the 166x122 fixture";
    ASSERT_TRUE(frame.loadFile(bytes));

    // Odd chroma width and padded rows: the upload must follow the strides.
    YuvPicture sharedPicture(150, 110);
    FillTestPicture(sharedPicture);
    PaddedPicture padded(sharedPicture, 13);
    qnOutsidePicture outside;
    outside.picture = &padded.screen;
    window_->setOutsidePicture(&outside);

    RectangleModel left(0, 0.5, "FRAM"), right(0.5, 1, "PANO");
    const qnGLModel models[2] = {left.model, right.model};
    qnGLSceneInfo scene = CameraOver(models, 2);
    owner_.scene = &scene;
    DrawWithGreyRingPicture();

    Bgr24Image reference = Reference(frame, [](double s, double t, double& os, double& ot) {
        os = 2 * s;
        ot = t;
    });
    PasteColumns(reference, Reference(sharedPicture, [](double s, double t, double& os, double& ot) {
                     os = 2 * s - 1;
                     ot = t;
                 }),
                 kWidth / 2, kWidth);
    expectClose(grab("frame_and_outside"), reference, "frame_and_outside");
    window_->setOutsidePicture(nullptr);
}

// A packed picture (B, G, R) shared with the window is drawn in its own
// colours. Its rows are not whole pixels apart, so they are packed first.
TEST_F(GLWindowOnX, PackedOutsidePictureKeepsItsColours)
{
    const int w = 150, h = 110, stride = w * 3 + 5;
    std::vector<uint8_t> pixels(size_t(stride) * h, 0xEE);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* bgr = pixels.data() + size_t(y) * stride + x * 3;
            bgr[0] = uint8_t(255 * x / (w - 1));
            bgr[1] = uint8_t(255 * y / (h - 1));
            bgr[2] = uint8_t(((x / 15 + y / 15) % 2) * 200 + 20);
        }
    _vm_screen packed{};
    packed.width = w;
    packed.height = h;
    packed.format = VM_FMT_BGR24_B;
    packed.packed.pixels = pixels.data();
    packed.packed.stride = stride;
    qnOutsidePicture outside;
    outside.picture = &packed;
    window_->setOutsidePicture(&outside);

    RectangleModel whole(0, 1, "PANO");
    qnGLSceneInfo scene = CameraOver(&whole.model, 1);
    owner_.scene = &scene;
    DrawWithGreyRingPicture();

    // Each channel filtered on its own, as the texture samples them.
    std::vector<uint8_t> channels[3];
    for (int c = 0; c < 3; ++c)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) channels[c].push_back(pixels[size_t(y) * stride + x * 3 + c]);
    Bgr24Image reference;
    reference.width = kWidth;
    reference.height = kHeight;
    for (int py = 0; py < kHeight; ++py)
        for (int px = 0; px < kWidth; ++px)
            for (int c = 0; c < 3; ++c)
                reference.bytes.push_back(uint8_t(
                    std::lround(Sample(channels[c], w, h, (px + 0.5) / kWidth, (py + 0.5) / kHeight) * 255)));
    expectClose(grab("packed_outside"), reference, "packed_outside");
    window_->setOutsidePicture(nullptr);
}

// An overlay is blended over the list models by its luma: with transparency
// 255 and threshold 128, a pixel darker than the threshold lets the picture
// below show through as much as it is dark, a brighter one covers it. The
// list model's outline marks the edges, and stays set for the overlay.
TEST_F(GLWindowOnX, OverlayBlendsByLumaOverAnOutlinedModel)
{
    YuvPicture below(kWidth, kHeight);
    FillTestPicture(below);
    // Window-sized, so each pixel samples one texel and no filtered luma
    // falls on the threshold.
    YuvPicture veil(kWidth, kHeight);
    veil.fill(0, 100, 170);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            int luma = (x * 3 + y) % 232;
            veil.y[size_t(y) * kWidth + x] = uint8_t(luma < 116 ? luma : luma + 24);
        }
    qnOutsidePicture outside;
    outside.picture = &veil.record();
    window_->setOutsidePicture(&outside);

    RectangleModel under(0, 1, nullptr), over(0, 1, "PANO");
    under.model.outline[0] = 1;
    over.model.flags |= 255 | (128 << 8);
    qnGLSceneInfo scene = CameraOver(&under.model, 1);
    scene.overlayCount = 1;
    scene.overlays = &over.model;
    owner_.scene = &scene;
    host_.setHold(false);
    window_->putFrame(below.record());
    WaitForDrawnPicture();

    const double threshold = 128 / 255.0;
    expectClose(grab("overlay"), Painted([&](double s, double t, uint8_t* out) {
                    if (OnOutline(s, t)) return PutBgr(kOutlineColour, out);
                    // The framebuffer holds the model below as bytes.
                    uint8_t under[3];
                    PutBgr(ColourAt(below, s, t).rgb, under);
                    const ShaderColour top = ColourAt(veil, s, t);
                    const double alpha = top.luma < threshold ? top.luma : 1.0;
                    double rgb[3];
                    for (int c = 0; c < 3; ++c) rgb[c] = top.rgb[c] * alpha + under[2 - c] / 255.0 * (1 - alpha);
                    PutBgr(rgb, out);
                }),
                "overlay");
    window_->setOutsidePicture(nullptr);
}

// Of a model's two layers the upper is drawn where its coordinate lies
// within its picture, outlined there; the lower everywhere else.
TEST_F(GLWindowOnX, UpperLayerCoversTheLowerWhereItLies)
{
    YuvPicture lower(kWidth, kHeight);
    FillTestPicture(lower);
    YuvPicture upper(150, 110);
    upper.fill(0, 200, 60);
    for (int y = 0; y < upper.height; ++y)
        for (int x = 0; x < upper.width; ++x) upper.y[size_t(y) * upper.width + x] = uint8_t(60 + y + (x / 25) * 12);
    qnOutsidePicture outside;
    outside.picture = &upper.record();
    window_->setOutsidePicture(&outside);

    // The upper layer's coordinate is (2 s - 0.5, 2 t - 0.5): the middle half.
    RectangleModel model(0, 1, nullptr);
    model.addUpperLayer("PANO", 2, -0.5f);
    model.model.outline[1] = 1;
    qnGLSceneInfo scene = CameraOver(&model.model, 1);
    owner_.scene = &scene;
    host_.setHold(false);
    window_->putFrame(lower.record());
    WaitForDrawnPicture();

    expectClose(grab("two_layers"), Painted([&](double s, double t, uint8_t* out) {
                    const double us = 2 * s - 0.5, ut = 2 * t - 0.5;
                    if (us < 0 || us > 1 || ut < 0 || ut > 1) return PutBgr(ColourAt(lower, s, t).rgb, out);
                    PutBgr(OnOutline(us, ut) ? kOutlineColour : ColourAt(upper, us, ut).rgb, out);
                }),
                "two_layers");
    window_->setOutsidePicture(nullptr);
}

TEST_F(GLWindowOnX, FramePictureIsReadFromTheProgramFolder)
{
    wchar_t folder[4096] = {};
    ASSERT_TRUE(QNGetModuleDir(folder, 4096));
    EXPECT_EQ(window_->framePicturePath(), platform::WideToUtf8(folder) + "/Frame.jpg");
}

// One whole life of a hosted window: created, shown, playing, a picture
// drawn, released.
void LiveOneWindow()
{
    QWidget top;
    top.setWindowFlags(Qt::FramelessWindowHint);
    top.setGeometry(0, 0, kWidth, kHeight);
    qnIPlayerWin host;
    host.createWind(0, 0, kWidth, kHeight, &top);
    StandInOwner owner;
    GridModel flat(1, 1, false);
    qnGLSceneInfo scene = CameraOver(&flat.model, 1);
    owner.scene = &scene;
    host.window()->setMsgCallback(&StandInOwner::Callback, int64_t(reinterpret_cast<intptr_t>(&owner)));
    host.showWind(true);
    top.show();
    ASSERT_TRUE(host.window()->play());
    host.setHold(false);
    YuvPicture picture(kWidth, kHeight);
    FillTestPicture(picture);
    host.window()->putFrame(picture.record());
    ASSERT_TRUE(ProcessUntil([&] { return owner.correctionAsks > 0; })) << "no picture was drawn";
    host.releaseWind();
}

std::string Describe(const std::map<int, std::string>& threads)
{
    std::string text;
    for (const auto& [id, name] : threads) text += " " + std::to_string(id) + " \"" + name + "\"";
    return text;
}

// Mesa and Qt start threads of their own with the first window and keep them
// for the process (llvmpipe's rasterisers, its shader cache, Qt's D-Bus
// link), some of them unnamed. So a first window brings them up, and a second
// one must leave exactly the threads it found.
TEST(GLWindowThreads, DestroyedWindowLeavesNoThreadBehind)
{
    if (qt_test::XDisplay().empty()) GTEST_SKIP() << "no private Xvfb: the window cannot be shown";
    LiveOneWindow();
    if (HasFatalFailure()) return;
    const int settled = testing_support::SettledThreadCount();
    const std::map<int, std::string> before = testing_support::ThreadNames();
    LiveOneWindow();
    if (HasFatalFailure()) return;
    std::map<int, std::string> left;
    const bool none = testing_support::WaitUntil([&] {
        left.clear();
        for (const auto& [id, name] : testing_support::ThreadNames())
            if (before.count(id) == 0) left[id] = name;
        return left.empty();
    });
    EXPECT_TRUE(none) << "threads left by the window:" << Describe(left);
    EXPECT_EQ(testing_support::SettledThreadCount(), settled)
        << "threads now:" << Describe(testing_support::ThreadNames());
}

// A widget surface that paints itself red.
class RedSurface : public QNOpenGLWidget {
protected:
    void paintGL() override
    {
        QOpenGLFunctions* gl = QOpenGLContext::currentContext()->functions();
        gl->glClearColor(1, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT);
    }
};

// The widget surface keeps drawing when it moves into another top-level
// window, as a QOpenGLWidget does.
TEST(GLWidgetOnX, SurfaceStillDrawsAfterMovingToAnotherWindow)
{
    if (qt_test::XDisplay().empty()) GTEST_SKIP() << "no private Xvfb: the widget cannot be shown";
    ddshow_test::TempDir temp;
    QWidget first, second;
    for (QWidget* top : {&first, &second}) {
        top->setWindowFlags(Qt::FramelessWindowHint);
        top->setGeometry(top == &first ? 0 : 200, 0, 100, 80);
    }
    auto* surface = new RedSurface;
    auto showsRed = [&](QWidget& top) {
        return ProcessUntil([&] {
            Bgr24Image shot;
            if (!ddshow_test::grabWindow(qt_test::XDisplay(), uint32_t(top.winId()), temp.file("shot.xwd"), shot))
                return false;
            for (int y = 0; y < shot.height; ++y)
                for (int x = 0; x < shot.width; ++x)
                    if (shot.at(x, y)[0] != 0 || shot.at(x, y)[1] != 0 || shot.at(x, y)[2] != 255) return false;
            return shot.width == 100 && shot.height == 80;
        });
    };
    surface->setParent(&first);
    surface->setGeometry(0, 0, 100, 80);
    first.show();
    EXPECT_TRUE(showsRed(first));

    first.hide();
    surface->setParent(&second);
    surface->setGeometry(0, 0, 100, 80);
    surface->show();
    second.show();
    EXPECT_TRUE(showsRed(second)) << "the surface stayed black in its new window";
}

} // namespace
