// View-layout and view-preset files: the shipped layouts, the key search
// rule, the engine's types of the fields, the table limits and a preset
// round trip.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/paths.h"
#include "view_layout.h"

namespace {

std::string ProgramFolder()
{
    return std::filesystem::path(platform::ExecutablePath()).parent_path().string();
}

std::unique_ptr<QnViewLayout> NewLayout()
{
    auto layout = std::make_unique<QnViewLayout>();
    *layout = QnViewLayout{};
    return layout;
}

float FloatWord(const QN_PRO_DST_POSI& p, int word)
{
    float v;
    std::memcpy(&v, &p.words[word], sizeof v);
    return v;
}

TEST(ViewLayout, ShippedLayoutsBesideTheProgram)
{
    struct Case {
        int tilt, model;
        const char* file;
        int views;
    };
    const Case cases[] = {
        {0, 0, "wall/1L.txt", 1},      {0, 1, "wall/1L3P.txt", 4},    {0, 2, "wall/4P1L.txt", 5},
        {90, 0, "top/4P1O.txt", 5},    {90, 1, "top/1O4P.txt", 5},    {90, 2, "top/1O3P.txt", 4},
        {-90, 0, "floor/4P1O.txt", 5}, {-90, 1, "floor/1O4P.txt", 5}, {-90, 2, "floor/1O3P.txt", 4},
    };
    const std::string folder = ProgramFolder();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = QnLayoutPath(folder, c.tilt, c.model);
        EXPECT_EQ(path, folder + "/DPTZtemplate/" + c.file);
        auto layout = NewLayout();
        ASSERT_TRUE(QnReadLayoutFile(path, *layout));
        EXPECT_GT(std::strlen(layout->model), 0u);
        EXPECT_GT(layout->ref_width, 0);
        EXPECT_GT(layout->ref_height, 0);
        ASSERT_EQ(layout->view_count, c.views);
        for (int n = 0; n < layout->view_count; ++n) {
            const QnLayoutView& v = layout->views[n];
            EXPECT_GE(v.kind, 1);
            EXPECT_LE(v.kind, 6);
            EXPECT_GT(v.id, 0);
            EXPECT_LE(v.control_mode, 2);
            EXPECT_TRUE(v.states[0].present && v.states[1].present && v.states[2].present);
            if (!v.use_centre) {
                EXPECT_LT(v.rect[0], v.rect[2]);
                EXPECT_LT(v.rect[1], v.rect[3]);
                EXPECT_LE(v.rect[2], QN_LAYOUT_SCALE);
                EXPECT_LE(v.rect[3], QN_LAYOUT_SCALE);
            }
        }
    }
    // No other pair names a layout, and the folder alone reads as none.
    for (auto [tilt, model] : {std::pair{45, 0}, std::pair{0, 3}, std::pair{90, -1}}) {
        EXPECT_EQ(QnLayoutPath(folder, tilt, model), folder);
        auto layout = NewLayout();
        EXPECT_FALSE(QnReadLayoutFile(QnLayoutPath(folder, tilt, model), *layout));
    }
}

const char kLayout[] =
    "Model ID: T-1\n"
    "DRW: 1600\nDRH: 900\nDSN: 3\n"
    "SD_000:\n\tSDT_000: 5\n\tSDI_000: 7\n\tSDC_000: 2\n\tSDP_000: 30\n"
    "\tSDR_000_1: 0;SDR_000_2: 10;SDR_000_3: 1260;SDR_000_4: 2520;\n"
    "\tSDS_000_2:\n;\tSDSM_000_2_01: -1;SDSM_000_2_02: 9;SDSM_000_2_03: 1;SDSM_000_2_04: 200;"
    "SDSM_000_2_05: 1;SDSM_000_2_06: 300;SDSM_000_2_07: 1;SDSM_000_2_08: 4;SDSM_000_2_09: 1;SDSM_000_2_10: 64;"
    "SDSM_000_2_11: 1;SDSM_000_2_12: -2;\n"
    "\tSDS_000_12:\n;\tSDSM_000_12_10: 33;\n"
    "\tSDPC_000_5_1: 1;SDPC_000_5_2: 1;SDPC_000_5_6: 2;\n"
    "\tSDPI_000_5_1: 60.000;SDPI_000_5_2: 1;SDPI_000_5_3: 0.000;SDPI_000_5_4: 123.500;SDPI_000_5_5: -20.250;"
    "SDPI_000_5_6: 1.500;\n"
    "SD_001:\n\tSDT_001: 0\n\tSDI_001: 8\n\tSDS_001_0:\n;\tSDPI_001_0_1: 5\n"
    "SD_002:\n\tSDT_002: 4\n\tSDI_002: 9\n\tSDUC_002: 1\n\tSDUC_002_1: 1260;SDUC_002_2: 1890;SDUC_002_3: 1260;\n"
    "\tSDPI_002_4_1: 1.000;SDPI_002_4_2: 180.000;SDPI_002_4_3: -40.000;SDPI_002_4_4:  40;SDPI_002_4_5: 12.500;\n"
    // A key away from its view's block is still found.
    "\tSDC_002: 1\n";

TEST(ViewLayout, KeysValuesAndTypes)
{
    auto layout = NewLayout();
    ASSERT_TRUE(QnParseLayout(kLayout, *layout));
    EXPECT_STREQ(layout->model, "T-1");
    EXPECT_EQ(layout->ref_width, 1600);
    EXPECT_EQ(layout->ref_height, 900);
    ASSERT_EQ(layout->view_count, 3);

    const QnLayoutView& ptz = layout->views[0];
    EXPECT_EQ(ptz.kind, 5);
    EXPECT_EQ(ptz.id, 7);
    EXPECT_EQ(ptz.control_mode, 2);
    EXPECT_EQ(ptz.sdp, 30);
    EXPECT_EQ(ptz.rect[1], 10);
    EXPECT_EQ(ptz.rect[3], 2520);
    EXPECT_EQ(ptz.posi.dptz.fov, 60);
    EXPECT_EQ(ptz.posi.dptz.side, 1);
    EXPECT_FLOAT_EQ(ptz.posi.dptz.pan, 123.5f);
    EXPECT_FLOAT_EQ(ptz.posi.dptz.tilt, -20.25f);
    EXPECT_FLOAT_EQ(ptz.posi.dptz.zoom, 1.5f);
    EXPECT_EQ(ptz.effect.border, 1);
    EXPECT_EQ(ptz.effect.show_on_others, 1);
    EXPECT_EQ(ptz.effect.remap_mode, 2);
    const QnEffectState& pressed = ptz.states[2];
    EXPECT_TRUE(pressed.present);
    EXPECT_TRUE(pressed.keep_b);
    EXPECT_FALSE(pressed.keep_g);
    EXPECT_EQ(pressed.color_g, 200);
    EXPECT_EQ(pressed.color_r, 255) << "a colour is held to a byte";
    EXPECT_EQ(pressed.border_width, 4);
    EXPECT_EQ(pressed.grey_fill, 64);
    EXPECT_EQ(pressed.remap, -2);
    EXPECT_FALSE(ptz.states[0].present);
    EXPECT_TRUE(ptz.states[12].present) << "states past 9 are read with two digits";
    EXPECT_EQ(ptz.states[12].grey_fill, 33);

    // A view without a kind keeps no sub-records.
    EXPECT_EQ(layout->views[1].kind, 0);
    EXPECT_FALSE(layout->views[1].states[0].present);

    const QnLayoutView& pano = layout->views[2];
    EXPECT_EQ(pano.use_centre, 1);
    EXPECT_EQ(pano.centre[2], 1260);
    EXPECT_EQ(pano.centre[3], 0) << "a missing key leaves 0";
    EXPECT_EQ(pano.control_mode, 1);
    EXPECT_EQ(pano.posi.panorama.keep_aspect, 1);
    EXPECT_EQ(pano.posi.panorama.span, 180) << "a decimal text in an integer field";
    EXPECT_EQ(pano.posi.panorama.top, -40);
    EXPECT_EQ(pano.posi.panorama.bottom, 40);
    EXPECT_FLOAT_EQ(pano.posi.panorama.pan, 12.5f);
}

TEST(ViewLayout, RefusesAndLimits)
{
    auto layout = NewLayout();
    std::strcpy(layout->model, "kept");
    EXPECT_FALSE(QnParseLayout("DRW: 10\nDSN: 1\n", *layout));
    EXPECT_STREQ(layout->model, "kept");

    // A long model text is cut to the table; a view count past it is held.
    const std::string longModel(300, 'M');
    ASSERT_TRUE(QnParseLayout("Model ID: " + longModel + "\nDSN: 100000\nSD_255:\nSDT_255: 3\n", *layout));
    EXPECT_EQ(std::string(layout->model), longModel.substr(0, QN_LAYOUT_MODEL_CHARS - 1));
    EXPECT_EQ(layout->view_count, QN_LAYOUT_MAX_VIEWS);
    EXPECT_EQ(layout->views[255].kind, 3);
}

TEST(ViewPresets, RoundTripAndModelMatch)
{
    auto layout = NewLayout();
    ASSERT_TRUE(QnParseLayout(kLayout, *layout));
    layout->views[1].kind = 1;
    auto presets = std::make_unique<QnViewPresets[]>(QN_LAYOUT_MAX_VIEWS);
    QnViewPresets& p = presets[0];
    p.home.dptz = {60, 0, 0, 10.5f, 40.0f, 1.0f, 0, 0, 0, 0, 0, 0, 0};
    p.count = 2;
    p.positions[0].dptz = {45, 0, 0, 90.125f, 30.0f, 2.0f, 0, 0, 0, 0, 0, 0, 0};
    p.positions[1].dptz = {50, 1, 0, 350.0f, -10.5f, 1.25f, 0, 0, 0, 0, 0, 0, 0};
    p.dwell_seconds[0] = 5;
    p.speed[0] = 10;
    p.dwell_seconds[1] = 3;
    p.speed[1] = 20;
    presets[1].home.original.rotation = 5;
    presets[2].home.panorama = {1, 180, -30, 30, 45.5f};

    const std::string text = QnFormatPresets(*layout, presets.get());
    EXPECT_EQ(text.rfind("Model ID: T-1\n", 0), 0u);
    EXPECT_NE(text.find("\tSDPI_001_1_1:   5\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\tSDPN_000_1:   2\n"), std::string::npos);
    EXPECT_NE(text.find("\tSDPP_000_5_01_4: 350.000;"), std::string::npos);
    EXPECT_NE(text.find("\tSDPST_000_00_1: 5;\tSDPMS_000_00_1: 10;\n"), std::string::npos);

    auto back = std::make_unique<QnViewPresets[]>(QN_LAYOUT_MAX_VIEWS);
    ASSERT_TRUE(QnParsePresets(text, *layout, back.get()));
    for (int n = 0; n < 3; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(std::memcmp(&back[n].home, &presets[n].home, sizeof(QN_PRO_DST_POSI)), 0);
        EXPECT_EQ(back[n].count, presets[n].count);
        for (int pp = 0; pp < back[n].count; ++pp) {
            EXPECT_EQ(std::memcmp(&back[n].positions[pp], &presets[n].positions[pp], sizeof(QN_PRO_DST_POSI)), 0);
            EXPECT_EQ(back[n].dwell_seconds[pp], presets[n].dwell_seconds[pp]);
            EXPECT_EQ(back[n].speed[pp], presets[n].speed[pp]);
        }
    }

    // Another layout's presets are not taken.
    auto untouched = std::make_unique<QnViewPresets[]>(QN_LAYOUT_MAX_VIEWS);
    std::string other = text;
    other.replace(0, std::strlen("Model ID: T-1"), "Model ID: T-2");
    EXPECT_FALSE(QnParsePresets(other, *layout, untouched.get()));
    EXPECT_EQ(untouched[0].count, 0);
    EXPECT_EQ(FloatWord(untouched[0].home, 3), 0.0f);

    // More presets than the table holds are cut to it.
    EXPECT_TRUE(QnParsePresets("Model ID: T-1\nSDPN_000_1: 40\n", *layout, untouched.get()));
    EXPECT_EQ(untouched[0].count, QN_LAYOUT_MAX_PRESETS);
}

}  // namespace
