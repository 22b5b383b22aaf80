// The pack seen from outside, the platform's panorama events on the GL
// message callback, and the TF-card record index parser.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "streams/montage.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"
#include "vqSDK/VlrSystem/vlr_system.h"

namespace {

struct GlItems {
    struct Item {
        std::string text;
        int32_t value;
        bool withRecord;
        VLR_LOCAL_REGIONS regions;
    };
    std::vector<Item> seen;
    static void On(void* record, int32_t value, const char* item, void* user, int32_t userValue)
    {
        auto* self = static_cast<GlItems*>(user);
        EXPECT_EQ(userValue, 42);
        Item got{item, value, record != nullptr, {}};
        if (std::strcmp(item, "Local_region") == 0) std::memcpy(&got.regions, record, sizeof got.regions);
        self->seen.push_back(got);
    }
    const Item* Find(const std::string& text) const
    {
        for (const Item& item : seen) {
            if (item.text == text) return &item;
        }
        return nullptr;
    }
};

struct Texts {
    std::vector<std::string> seen;
    static void On(int32_t, int32_t, const char* text, void* user, int32_t)
    {
        static_cast<Texts*>(user)->seen.emplace_back(text);
    }
};

void Raise(const char* item, const void* record, int kind = 2)
{
    const auto address = reinterpret_cast<uintptr_t>(record);
    VLR_SYSTEM::montEventCBFun(0, kind, static_cast<uint32_t>(address), static_cast<uint32_t>(uint64_t{address} >> 32),
                               item, nullptr, nullptr);
}

TEST(HubData, PlatformItemsReachTheGlCallbackConvertedOrDropped)
{
    VLR_SYSTEM hub;
    GlItems items;
    ASSERT_EQ(hub.SetGLMsgCallBack(&GlItems::On, &items, 42), 1);
    const auto raise = [&](const char* item, const void* record, int kind = 2) {
        const auto address = reinterpret_cast<uintptr_t>(record);
        VLR_SYSTEM::montEventCBFun(0, kind, static_cast<uint32_t>(address),
                                   static_cast<uint32_t>(uint64_t{address} >> 32), item, &hub, nullptr);
    };
    // Two regions: the first's position lies outside it on both sides.
    const int32_t regions[] = {2, -5, 900, 640, 480, 10, 20, 100, 50};
    const int32_t words[] = {1, 2, 3};
    raise("Local_region", regions);
    raise("cam_original", words);
    raise("cam_middle", words);
    raise("cam_perspective", words);
    raise("Support ori-model switch", nullptr);
    raise("ptz_move", words, 3);
    Raise("frame_time", words);  // no hub: nothing to pass it to

    ASSERT_EQ(items.seen.size(), 5u);
    const GlItems::Item* region = items.Find("Local_region");
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(region->regions.count, 2);
    EXPECT_EQ(region->regions.regions[0].x, 0);
    EXPECT_EQ(region->regions.regions[0].y, 480);
    EXPECT_EQ(region->regions.regions[0].width, 640);
    EXPECT_EQ(region->regions.regions[1].x, 10);
    EXPECT_EQ(region->regions.regions[1].y, 20);
    ASSERT_NE(items.Find("cam_original"), nullptr);
    EXPECT_FALSE(items.Find("cam_original")->withRecord);
    EXPECT_FALSE(items.Find("cam_middle")->withRecord);
    EXPECT_EQ(items.Find("cam_perspective"), nullptr);
    EXPECT_NE(items.Find("Support ori-model switch"), nullptr);
    ASSERT_NE(items.Find("ptz_move"), nullptr);
    EXPECT_TRUE(items.Find("ptz_move")->withRecord);
    EXPECT_EQ(items.Find("ptz_move")->value, 3);

    // A count beyond what a record can hold is cut to the record's room.
    std::vector<int32_t> many(1 + 4 * VLR_LOCAL_REGIONS_MAX, 1);
    many[0] = 1000;
    raise("Local_region", many.data());
    EXPECT_EQ(items.seen.back().regions.count, VLR_LOCAL_REGIONS_MAX);
}

TEST(HubData, TheBuiltPlatformRaisesItsPanoramaEventsThroughTheHub)
{
    VLR_SYSTEM hub;
    GlItems items;
    hub.SetGLMsgCallBack(&GlItems::On, &items, 42);
    Texts texts;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    EXPECT_EQ(hub.GetSourcePackData(), nullptr);
    ASSERT_EQ(texts.seen, std::vector<std::string>{"Not set source packet"});
    ASSERT_EQ(hub.Init("data_base", nullptr), 1);
    const RESPACK* pack = hub.GetSourcePackData();
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(ResPackUsable(pack), 1);

    // A private SEI with a PTZ lens record in front of a key frame: the
    // platform takes the lens over and tells of the PTZ position.
    std::vector<uint8_t> unit(72, 0x55);
    const uint8_t head[] = {0, 0, 0, 1, 0x06, 0xF0, 64, 'Q', 'T'};
    std::memcpy(unit.data(), head, sizeof head);
    unit[71] = 0x80;
    const uint32_t flags = 3u << 3;
    std::memcpy(unit.data() + 19, &flags, 4);
    std::memset(unit.data() + 31, 0, 8);
    const uint64_t code = 4 | 5ull << 4 | 16ull << 13 | 9ull << 18 | 160ull << 23 | 1800ull << 34 | 900ull << 45;
    std::memcpy(unit.data() + 39, &code, 8);
    const uint64_t ptz = 1234 | 2000ull << 12 | 100ull << 24 | 10ull << 36;
    std::memcpy(unit.data() + 55, &ptz, 8);
    const uint8_t idr[] = {0, 0, 0, 1, 0x65, 0x88, 0x84, 0x21};
    unit.insert(unit.end(), std::begin(idr), std::end(idr));
    ASSERT_EQ(pack->platform->qn_mp_Play(pack->source), 1);
    ASSERT_EQ(pack->platform->qn_mp_InputData(pack->source, unit.data(), static_cast<int>(unit.size()),
                                              "video_h264_single"),
              1);
    const GlItems::Item* video = items.Find("ptz_video");
    ASSERT_NE(video, nullptr) << "the platform's event did not reach the GL callback";
    EXPECT_TRUE(video->withRecord);
    EXPECT_EQ(video->value, 3);
    pack->platform->qn_mp_Stop(pack->source);
}

TEST(HubData, RemoteIndexRepliesGoToTheMinuteParser)
{
    VLR_SYSTEM hub;
    Texts texts;
    hub.SetMsgCallBack(&Texts::On, &texts, 0);
    qn_cloud::MinuteIndexEntry records[4];
    const uint8_t notAnIndex[32] = {'X'};
    EXPECT_EQ(hub.ParseRemoteIndex(records, 4, 1765353600, notAnIndex, sizeof notAnIndex), -1);
    EXPECT_EQ(hub.ParseRemoteIndex(records, 4, 1765353600, notAnIndex, 3), 0) << "shorter than a head";
    EXPECT_EQ(hub.ParseRemoteIndex(nullptr, 4, 1765353600, notAnIndex, sizeof notAnIndex), 0);
    EXPECT_EQ(texts.seen, std::vector<std::string>{"paramerr :: ParseRemoteIndex"});
}

} // namespace
