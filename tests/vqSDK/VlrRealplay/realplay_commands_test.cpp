// The live play module's refusals and switches, with the hub's pack and live
// model but no camera: every refusal reports its text once and changes
// nothing; the lock is the pack's owner field.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/paths.h"
#include "streams/montage.h"
#include "support/this_process.h"
#include "vqSDK/VlrRealplay/play_commands_fixture.h"
#include "vqSDK/VlrRealplay/vlr_realplay.h"

namespace {

class RealplayCommands : public realplay_test::PlayCommandsFixture<VLR_REALPLAY> {
protected:
    RealplayCommands() : PlayCommandsFixture("realplay") {}
};

TEST_F(RealplayCommands, RefusalsReportTheirTextAndLeaveTheLockAsItWas)
{
    EXPECT_EQ(module.SendCtrl("start", nullptr, nullptr), 0);
    EXPECT_EQ(messages.Take(), "Not set source packet");
    EXPECT_EQ(module.LockCamera("7"), 0);
    EXPECT_EQ(messages.Take(), "Not set source packet");

    // A pack that names no source is refused.
    RESPACK broken = *pack;
    broken.source = -1;
    void* brokenTable[VLR_LIVE_MODEL_ENTRIES] = {&broken};
    EXPECT_EQ(module.SetSourcePack(brokenTable), 0);
    EXPECT_EQ(messages.Take(), "Source packet member error");
    ASSERT_EQ(module.SetSourcePack(table), 1);
    EXPECT_EQ(module.ChannelState(), 30u) << "pause and stop marks until the first start";

    EXPECT_EQ(module.SendCtrl("start", nullptr, nullptr), 0);
    EXPECT_EQ(messages.Take(), "pstrCommand:start eUserID:0 errmsg=(eUserID != RES_PACK_USER_REALPLAY)");
    EXPECT_EQ(module.GetStreamHead(), nullptr);
    EXPECT_EQ(messages.Take(), "Not be realplaying");
    EXPECT_EQ(module.UnlockCamera(), 0);
    EXPECT_EQ(messages.Take(), "Base resouce locked by other model");

    pack->owner = RES_PACK_USER_IPCRCD;
    EXPECT_EQ(module.LockCamera("7"), 0);
    EXPECT_EQ(messages.Take(), "Already lock a camera");
    EXPECT_EQ(module.SendCtrl("stop", nullptr, nullptr), 0);
    EXPECT_EQ(messages.Take(), "pstrCommand:stop eUserID:2 errmsg=(eUserID != RES_PACK_USER_REALPLAY)");
    EXPECT_EQ(pack->owner, RES_PACK_USER_IPCRCD);
    pack->owner = RES_PACK_USER_NONE;

    ASSERT_EQ(module.LockCamera("7"), 1);
    EXPECT_EQ(pack->owner, RES_PACK_USER_REALPLAY);
    EXPECT_EQ(module.LockCamera("7"), 1) << "the holder may lock again";
    EXPECT_EQ(module.GetStreamHead(), nullptr);
    EXPECT_EQ(messages.Take(), "") << "not playing: no head and nothing to report";
    EXPECT_EQ(module.UnlockCamera(), 1);
    EXPECT_EQ(pack->owner, RES_PACK_USER_NONE);
}

TEST_F(RealplayCommands, SwitchesAndKeysTakeOnlyTheirValues)
{
    ASSERT_EQ(module.SetSourcePack(table), 1);
    const struct {
        const char* command;
        const char* value;
        int result;
        const char* message;
    } cases[] = {
        {"out_ctrl_err", "y", 1, ""},
        {"out_queue_err", "n", 1, ""},
        {"out_mont_err", "y", 1, ""},
        {"out_queue_err", "yes", 0, "Command operate error:out_queue_err"},
        {"out_ctrl_err", nullptr, 0, "Command operate error:out_ctrl_err"},
        {"security_custom", "a video code", 1, ""},
        {"security_default", "another code", 1, ""},
        {"security_default_old", "an old code", 1, ""},
        {"security_custom", nullptr, 0, "Command operate error:security_custom"},
        {"no_security", nullptr, 1, ""},
        {"security_temp", "code", 0, "Non-support command:security_temp"},
        {"Start", nullptr, 0, "Non-support command:Start"},
        {"repos", "10", 0, "Non-support command:repos"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        EXPECT_EQ(module.SendCtrl(c.command, c.value, nullptr), c.result);
        EXPECT_EQ(messages.Take(), c.message);
    }
}

// Every lock starts the pacing controller's threads and every unlock joins
// them, however often it happens. OSTRELS_PLAY_CYCLES sets the count.
TEST_F(RealplayCommands, LockAndUnlockCyclesLeaveNoThreadBehind)
{
    const int asked = std::atoi(platform::GetEnv("OSTRELS_PLAY_CYCLES").value_or("").c_str());
    const int cycles = asked > 0 ? asked : 5;
    ASSERT_EQ(module.SetSourcePack(table), 1);
    const int before = testing_support::SettledThreadCount();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_EQ(module.LockCamera("7"), 1) << "cycle " << i;
        EXPECT_EQ(testing_support::ThreadCount(), before + 2) << "the pacing controller's video and audio threads";
        EXPECT_EQ(module.SendCtrl("out_ctrl_err", i % 2 == 0 ? "y" : "n", nullptr), 1);
        ASSERT_EQ(module.UnlockCamera(), 1) << "cycle " << i;
        ASSERT_EQ(pack->owner, RES_PACK_USER_NONE);
    }
    EXPECT_EQ(testing_support::ThreadCount(), before);
    EXPECT_EQ(messages.Take(), "");
}

} // namespace
