// The TF-card play module's refusals, switches and lock, with the hub's pack
// and TF-card model but no camera: every refusal reports its own text and
// changes nothing; the lock is the pack's owner field, and every lock and
// unlock starts and joins the pacing controller's threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/paths.h"
#include "support/this_process.h"
#include "vqSDK/VlrIPCRcd/vlr_ipc_rcd.h"
#include "vqSDK/VlrRealplay/play_commands_fixture.h"

namespace {

class IpcRcdCommands : public realplay_test::PlayCommandsFixture<VlrIPCRcd> {
protected:
    IpcRcdCommands() : PlayCommandsFixture("ipc_rcd") {}
};

TEST_F(IpcRcdCommands, RefusalsReportTheirOwnTextsAndLeaveTheLockAsItWas)
{
    EXPECT_EQ(module.SendCtrl("start", nullptr, nullptr), 0);
    EXPECT_EQ(messages.Take(), "Not set source packet(start)");
    ASSERT_EQ(module.SetSourcePack(table), 1);

    // Owner commands need the lock; the live module's lock is not this one's.
    pack->owner = RES_PACK_USER_REALPLAY;
    for (const char* command : {"start", "stop", "repos", "out_speed", "start_record", "set_quality"}) {
        EXPECT_EQ(module.SendCtrl(command, "1", nullptr), 0) << command;
        EXPECT_EQ(messages.Take(), std::string("eUserID != RES_PACK_USER_IPCRCD(") + command + ")");
    }
    EXPECT_EQ(module.LockCamera("7"), 0);
    EXPECT_EQ(messages.Take(), "Already lock a camera");
    EXPECT_EQ(module.UnlockCamera(), 0);
    EXPECT_EQ(messages.Take(), "Base resouce locked by other model");
    EXPECT_EQ(module.GetStreamHead(), nullptr);
    EXPECT_EQ(messages.Take(), "Unkock a camera error");
    EXPECT_EQ(pack->owner, RES_PACK_USER_REALPLAY);
    pack->owner = RES_PACK_USER_NONE;

    // This module has no "no_security".
    EXPECT_EQ(module.SendCtrl("no_security", "no_security", nullptr), 0);
    EXPECT_EQ(messages.Take(), "Non-support command(no_security)");
    EXPECT_EQ(module.SendCtrl("out_ctrl_err", "maybe", nullptr), 0);
    EXPECT_EQ(messages.Take(), "Command operate error(out_ctrl_err)");
    EXPECT_EQ(module.SendCtrl("security_custom", "north gate", nullptr), 1);

    ASSERT_EQ(module.LockCamera("7"), 1);
    EXPECT_EQ(pack->owner, RES_PACK_USER_IPCRCD);
    EXPECT_EQ(module.GetStreamHead(), nullptr);
    EXPECT_EQ(messages.Take(), "Not be playing");
    EXPECT_EQ(module.SendCtrl("out_speed", "backwards", nullptr), 0);
    EXPECT_EQ(messages.Take(), "Command operate error(out_speed)");
    for (const char* speed : {"i_only", "no_fps", "fps"}) EXPECT_EQ(module.SendCtrl("out_speed", speed, nullptr), 1);
    EXPECT_EQ(module.SendCtrl("set_quality", "hd", nullptr), 1);
    // A start without a request plays nothing but plays.
    EXPECT_EQ(module.SendCtrl("start", nullptr, nullptr), 1);
    EXPECT_EQ(module.ChannelState(), IPCRCD_PLAYING);
    EXPECT_EQ(module.UnlockCamera(), 0);
    EXPECT_EQ(messages.Take(), "Please close playing first");
    EXPECT_EQ(module.SendCtrl("stop", nullptr, nullptr), 1);
    EXPECT_EQ(module.ChannelState() & IPCRCD_PLAYING, 0u);
    EXPECT_EQ(module.UnlockCamera(), 1);
    EXPECT_EQ(pack->owner, RES_PACK_USER_NONE);
}

// Every lock starts the pacing controller's threads and every unlock joins
// them, however often it happens. OSTRELS_PLAY_CYCLES sets the count.
TEST_F(IpcRcdCommands, LockAndUnlockCyclesLeaveNoThreadBehind)
{
    const int asked = std::atoi(platform::GetEnv("OSTRELS_PLAY_CYCLES").value_or("").c_str());
    const int cycles = asked > 0 ? asked : 5;
    ASSERT_EQ(module.SetSourcePack(table), 1);
    const int before = testing_support::SettledThreadCount();
    for (int i = 0; i < cycles; ++i) {
        ASSERT_EQ(module.LockCamera("7"), 1) << "cycle " << i;
        EXPECT_EQ(module.SendCtrl("out_ctrl_err", i % 2 == 0 ? "y" : "n", nullptr), 1);
        ASSERT_EQ(module.UnlockCamera(), 1) << "cycle " << i;
        ASSERT_EQ(pack->owner, RES_PACK_USER_NONE);
    }
    EXPECT_EQ(testing_support::ThreadCount(), before);
    EXPECT_EQ(messages.Take(), "");
}

} // namespace
