// The facade's fixed rules: result-code texts, feature masks by connection
// kind, play-state and file-state mapping, hub events to message ids, the
// PTZ bounds and the sign-in name.
#include <gtest/gtest.h>

#include <string>

#include "app/facade_rules.h"
#include "app/qn_net_api.h"

namespace {

TEST(FacadeRules, ErrorTextsKeepTheirExactWording)
{
    const struct {
        int32_t code;
        const char* text;
    } cases[] = {
        {0, "no error"},
        {12000, "Connect failure"},
        {12003, "Connect failure"},
        {11507, "Connect failure"},
        {12004, "Connect failure!"},
        {12005, "Camera is not online!"},
        {1302, "default"},
        {1301, "Connect failure!"},
        {1303, "Connect failure!"},
        {104, "Incorrect password!"},
        {110, "Incorrect password!"},
        {107, "No demo user"},
        {108, "Connect failure!"},
        {302, "Login failure!Please check the network settings and try again!"},
        {14000, "Illegal param!"},
        {15000, "Connect timeout!"},
        {16001, "Connect failure!"},
        {16002, "default"},
        {-1, "default"},
    };
    for (const auto& c : cases) EXPECT_STREQ(vqGetErrorText(c.code), c.text) << c.code;
}

TEST(FacadeRules, FeatureMasksByConnectionKind)
{
    const struct {
        uint32_t feature;
        int32_t kind;
        bool allowed;
    } cases[] = {
        {facade::kFeatureRecordPlay, facade::kKindShared, false},
        {facade::kFeatureTalk, facade::kKindShared, true},
        {facade::kFeatureRecordPlay, facade::kKindOwn, true},
        {facade::kFeatureTalk, facade::kKindOwn, true},
        {0x0001, facade::kKindNoServer, true},
        {facade::kFeatureTalk, facade::kKindNoServer, false},
        {0x1000, facade::kKindOwn, true},
        {0x2000, facade::kKindOwn, false},
        {0x0001, 3, false},
        {0x0001, -1, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(facade::IsFeatureSupported(c.feature, c.kind), c.allowed) << c.feature << " kind " << c.kind;
    }
}

TEST(FacadeRules, ModuleStatesBecomeTheControllersStates)
{
    const struct {
        int32_t moduleState;
        int32_t second;
        int32_t play;
        int32_t file;
    } cases[] = {
        {15, 0, 0, 0},  {16, 0, 1, 1},  {17, 0, 2, 2},  {18, 0, 3, 3},   {19, 0, 4, 4},   {20, 0, 5, 5},
        {21, 0, 0, 0},  {16, 1, 0, 0},  {2, 0, 0, 11},  {3, 0, 0, 12},   {4, 0, 0, 13},   {5, 0, 0, 14},
        {5, 7, 0, 0},   {1, 0, 0, 0},   {6, 0, 0, 0},   {-16, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(facade::PlayStateOf(c.moduleState, c.second), c.play) << c.moduleState << "," << c.second;
        EXPECT_EQ(facade::FileStateOf(c.moduleState, c.second), c.file) << c.moduleState << "," << c.second;
    }
}

TEST(FacadeRules, HubEventsBecomeMessageIds)
{
    const struct {
        int32_t kind;
        int32_t message; // -1: not relayed
    } cases[] = {
        {0, -1},  {1, VQ_MSG_VIDEO_DISCONNECT}, {2, VQ_MSG_VIDEO_NET_TYPE}, {3, VQ_MSG_CAMERA_OFFLINE_MSG},
        {4, VQ_MSG_CAMERA_ONLINE_MSG}, {5, VQ_MSG_SERVER_OFFLINE}, {6, 4}, {7, 5}, {8, 6}, {9, 7}, {10, 8},
        {11, 9}, {12, -1}, {13, -1}, {14, 12}, {15, 13}, {16, -1}, {17, -1}, {1111, -1},
    };
    for (const auto& c : cases) {
        const auto id = facade::MessageOfNetEvent(c.kind);
        EXPECT_EQ(id.value_or(-1), c.message) << c.kind;
    }
}

TEST(FacadeRules, PtzBounds)
{
    EXPECT_EQ(facade::GotoPan(-5.0f), 0.0f);
    EXPECT_EQ(facade::GotoPan(400.0f), 360.0f);
    EXPECT_EQ(facade::GotoPan(123.5f), 123.5f);
    const struct {
        int32_t mode, pan, tilt, wantPan, wantTilt;
    } cases[] = {
        {1, 0, -20, 5, -9}, {1, 400, 200, 355, 113}, {1, 180, 45, 180, 45}, {0, 0, -20, 0, -20}, {2, 400, 200, 400, 200},
    };
    for (const auto& c : cases) {
        const facade::PtzAngles angles = facade::ClampPtzPosition(c.mode, c.pan, c.tilt);
        EXPECT_EQ(angles.pan, c.wantPan) << c.mode << " " << c.pan;
        EXPECT_EQ(angles.tilt, c.wantTilt) << c.mode << " " << c.tilt;
    }
}

TEST(FacadeRules, SignInNameIsRefusedRatherThanCut)
{
    EXPECT_EQ(facade::LoginName("", "demo").value_or("?"), "demo");
    EXPECT_EQ(facade::LoginName("K1", "demo").value_or("?"), "#K1#demo");
    // 63 bytes fit the SDK's 64-byte field with its terminator; 64 do not.
    EXPECT_TRUE(facade::LoginName("key", std::string(63 - 5, 'a')).has_value());
    EXPECT_FALSE(facade::LoginName("key", std::string(64 - 5, 'a')).has_value());
    EXPECT_FALSE(facade::LoginName("", std::string(64, 'a')).has_value());
}

TEST(FacadeRules, AccountKeyIsTheFirstSixCharactersLowerCased)
{
    EXPECT_EQ(facade::AccountKey("AliceSmith"), "alices");
    EXPECT_EQ(facade::AccountKey("Bob"), "bob");
    EXPECT_EQ(facade::AccountKey(""), "");
    // Six characters, not six bytes, and never half a character.
    EXPECT_EQ(facade::AccountKey("\xC3\x84" "bcdefgh"), "\xC3\x84" "bcdef");
}

TEST(FacadeRules, RegionReplyBecomesAHostLabelOnlyWhenItIsOne)
{
    EXPECT_EQ(facade::RegionCodeOf("sh"), "sh");
    EXPECT_EQ(facade::RegionCodeOf(" eu-2\r\n"), "eu-2");
    EXPECT_EQ(facade::RegionCodeOf(std::string(15, 'a')), std::string(15, 'a'));
    for (const char* refused : {"", " \n", "sh.evil.example", "a/b", "sh sh", "<html>", "abcdefghijklmnop"})
        EXPECT_FALSE(facade::RegionCodeOf(refused).has_value()) << refused;
}

} // namespace
