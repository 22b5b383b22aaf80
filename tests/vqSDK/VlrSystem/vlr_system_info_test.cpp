// The hub's settings and queries by name before and after its start-up steps.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

struct Texts {
    std::vector<std::string> seen;
    static void On(int32_t, int32_t, const char* text, void* user, int32_t)
    {
        static_cast<Texts*>(user)->seen.emplace_back(text);
    }
};

TEST(HubInfo, NamesAnswerByTheHubsState)
{
    Texts texts;
    VLR_SYSTEM hub;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    char buffer[64] = {};
    // Fresh: nothing built.
    EXPECT_EQ(hub.GetInfo("pre_init_data", nullptr, nullptr, 0), 1);
    EXPECT_EQ(hub.GetInfo("pre_init_gl", nullptr, nullptr, 0), 0);
    EXPECT_EQ(hub.GetInfo("client", nullptr, nullptr, 0), 0);
    EXPECT_EQ(hub.GetInfo("opengl", nullptr, nullptr, 0), 1);
    EXPECT_EQ(hub.SetInfo("pre_init_data", nullptr, nullptr), 1);
    EXPECT_EQ(hub.SetInfo("client", nullptr, nullptr), 0);
    EXPECT_EQ(hub.SetInfo("security", "default", "x"), 0);

    ASSERT_EQ(hub.Init("data_base", nullptr), 1);
    EXPECT_EQ(hub.GetInfo("pre_init_data", nullptr, nullptr, 0), 0);
    EXPECT_EQ(hub.GetInfo("pre_init_gl", nullptr, nullptr, 0), 1);
    EXPECT_EQ(hub.SetInfo("pre_init_data", nullptr, nullptr), 0);
    EXPECT_EQ(hub.GetInfo("play_info_get", "frame_rate", buffer, sizeof buffer), 0) << "not ready yet";

    ASSERT_EQ(hub.Init("init_netsdk", "127.0.0.1"), 1);
    EXPECT_EQ(hub.State() & VLR_STATE_READY, VLR_STATE_READY);
    // Ready but not signed in.
    EXPECT_EQ(hub.GetInfo("client", nullptr, nullptr, 0), 0);
    EXPECT_EQ(hub.SetInfo("client", nullptr, nullptr), 0);
    EXPECT_EQ(hub.SetInfo("opengl", nullptr, nullptr), 1);
    // The platform knows no security settings.
    EXPECT_EQ(hub.SetInfo("security", "default", "x"), 0);
    ASSERT_EQ(hub.Init("clean_up", nullptr), 1);
    EXPECT_EQ(hub.State() & VLR_STATE_READY, 0u);

    EXPECT_EQ(texts.seen, (std::vector<std::string>{"stateIllegal :: client", "stateIllegal :: security",
                                                    "stateIllegal :: pre_init_data", "stateIllegal :: client"}));
}

TEST(HubInfo, PackChecksRefuseUntilThePackIsBuiltAndWithoutBothPoints)
{
    Texts texts;
    VLR_SYSTEM hub;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    const int point = 0;
    EXPECT_EQ(hub.IsSourcePackSet(), 0);
    EXPECT_EQ(hub.CheckInput(0, nullptr, nullptr), 0);
    ASSERT_EQ(hub.Init("data_base", nullptr), 1);
    EXPECT_EQ(hub.IsSourcePackSet(), 1);
    struct Case {
        int32_t count;
        const void* first;
        const void* second;
        int result;
    };
    const Case cases[] = {{0, nullptr, nullptr, 1}, {-3, nullptr, nullptr, 1}, {1, &point, &point, 1},
                          {2, &point, nullptr, 0},  {7, nullptr, &point, 0},  {9, &point, &point, 1}};
    for (const Case& c : cases) EXPECT_EQ(hub.CheckInput(c.count, c.first, c.second), c.result) << c.count;
    EXPECT_EQ(texts.seen, (std::vector<std::string>{"Not set source packet", "Not set source packet",
                                                    "Input parameter error", "Input parameter error"}));
}

} // namespace
