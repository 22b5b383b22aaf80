// The network play modules' command tests: the hub with its data base and
// network SDK on loopback but no camera, the module's model table and the pack
// in it, and the module with its owner's texts collected.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vqSDK/VlrSystem/vlr_system.h"

namespace realplay_test {

// The owner's message callback.
struct Messages {
    std::vector<std::string> texts;
    static void On(int32_t, int32_t, const char* text, void* user, int32_t)
    {
        static_cast<Messages*>(user)->texts.emplace_back(text != nullptr ? text : "(null)");
    }
    // The last text since the last take ("" for none).
    std::string Take()
    {
        std::string last = texts.empty() ? "" : texts.back();
        texts.clear();
        return last;
    }
};

// `packName` is the module's name for GetSourcePack.
template <typename Module>
class PlayCommandsFixture : public ::testing::Test {
protected:
    explicit PlayCommandsFixture(const char* packName) : packName_(packName) {}

    void SetUp() override
    {
        ASSERT_EQ(hub.Init("data_base", nullptr), 1);
        ASSERT_EQ(hub.Init("init_netsdk", "127.0.0.1"), 1);
        table = hub.GetSourcePack(packName_);
        ASSERT_NE(table, nullptr);
        pack = static_cast<RESPACK*>(static_cast<void**>(table)[0]);
        module.SetMsgCallBack(&Messages::On, &messages, 0);
    }
    void TearDown() override { hub.Init("clean_up", nullptr); }

    VLR_SYSTEM hub;
    void* table = nullptr;
    RESPACK* pack = nullptr;
    Messages messages;
    Module module;

private:
    const char* packName_;
};

} // namespace realplay_test
