#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "streams/tf_card_folder.h"
#include "streams/tf_card_layout.h"
#include "support/temp_folder.h"
#include "tf_card_fixture.h"

namespace {

using namespace streams;

TEST(TfCardNames, FollowTheCardsRules)
{
    EXPECT_EQ(TfDayFolderDate("2024-05-01"), 20240501);
    for (const char* name : {"2024-05-01 copy", "2024_05_01", "2024-13-01", "2024-05-00", "24-05-01", "2024-5-011"}) {
        EXPECT_EQ(TfDayFolderDate(name), -1) << name;
    }
    EXPECT_EQ(TfSegmentMinute("07.h264"), 7);
    EXPECT_EQ(TfSegmentMinute("59.h264"), 59);
    for (const char* name : {"60.h264", "7.h264", "07.h265", "07.h2645", "a7.h264"}) {
        EXPECT_EQ(TfSegmentMinute(name), -1) << name;
    }
    struct Snap {
        const char* name;
        bool valid;
        int minute, second;
        uint8_t bit;
    } cases[] = {{"05-30_M.jpg", true, 5, 30, 1}, {"05-30_H.jpg", true, 5, 30, 2}, {"59-59_C.jpg", true, 59, 59, 4},
                 {"00-00_S.jpg", true, 0, 0, 8},  {"05-30_X.jpg", true, 5, 30, 1}, {"05-60_S.jpg", false, 0, 0, 0},
                 {"05-30_S.png", false, 0, 0, 0}, {"05-30S.jpg", false, 0, 0, 0}};
    for (const auto& c : cases) {
        TfSnapshotName snap;
        ASSERT_EQ(ParseTfSnapshotName(c.name, &snap), c.valid) << c.name;
        if (!c.valid) continue;
        EXPECT_EQ(snap.minute, c.minute) << c.name;
        EXPECT_EQ(snap.second, c.second) << c.name;
        EXPECT_EQ(snap.kindBit, c.bit) << c.name;
    }
}

TEST(TfCardRecInfo, NeedsTwoLineEndsAndKeepsTheIdInsideItsFolder)
{
    struct Case {
        std::string text;
        bool complete;
        uint32_t device;
        const char* id;
    } cases[] = {
        {"1\n1234\nabc123xyz\n", true, 1234, "ABC123XYZ"},
        {"1\r\n77\r\ncam-01_x", true, 77, "CAM-01_X"},
        {"1\n1234", false, 0, ""},
        {"1\n5\n../../etc/x\n", true, 5, "______ETC_X"},
        {"1\n5\n" + std::string(80, 'k'), true, 5, nullptr},
    };
    for (const auto& c : cases) {
        TfRecInfo info = ParseTfRecInfo(c.text);
        EXPECT_EQ(info.complete, c.complete) << c.text;
        EXPECT_EQ(info.deviceNumber, c.device) << c.text;
        if (c.id != nullptr) {
            EXPECT_EQ(info.deviceId, c.id) << c.text;
        }
    }
    // Only the first 64 bytes count.
    EXPECT_EQ(ParseTfRecInfo("1\n5\n" + std::string(80, 'k')).deviceId, std::string(60, 'K'));
}

TEST(TfCardYears, KeepsTheTenNewestOnce)
{
    int16_t years[kTfCardYears] = {};
    for (int year : {2015, 2013, 2020, 2011, 2024, 2012, 2019, 2016, 2018, 2014, 2017, 2020, 2023}) {
        AddTfCardYear(years, year);
    }
    const int16_t expected[kTfCardYears] = {2024, 2023, 2020, 2019, 2018, 2017, 2016, 2015, 2014, 2013};
    EXPECT_EQ(std::memcmp(years, expected, sizeof years), 0);
}

class TfCardFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        source_ = streams_test::MakeTfSource(temp_.Path());
        ASSERT_FALSE(source_.video.empty());
        ASSERT_FALSE(source_.alaw.empty());
        card_ = temp_.Path() + "/card";
    }
    std::string Listing(const std::string& command)
    {
        return testing_support::RunCommand("cd " + card_ + " && " + command).output;
    }
    testing_support::TempFolder temp_;
    streams_test::TfSource source_;
    std::string card_;
    TfCardFolder folder_;
};

TEST_F(TfCardFolderTest, DayMapMatchesAnOutsideListing)
{
    ASSERT_NE(streams_test::LayOutTfCard(source_, card_, "2024-05-01", "10:00,10:01,10:03,23:59",
                                         "snap=10:01:15:H,10:01:16:C,10:02:00:S,23:59:59:M"),
              "");
    // Minutes at the size limit and below it are not recorded.
    ASSERT_NE(streams_test::LayOutTfCard(source_, card_, "2024-05-01", "11:00", "pad=0 rec_info=none"), "");
    std::filesystem::resize_file(card_ + "/2024-05-01/11/00.h264", kTfMinSegmentBytes);
    ASSERT_NE(streams_test::LayOutTfCard(source_, card_, "2024-05-01", "12:00", "pad=1000 rec_info=none"), "");

    VQ_TF_CARD_INFO info{};
    ASSERT_EQ(folder_.Open(card_.c_str(), &info, "account"), kTfOk);
    EXPECT_EQ(info.deviceNumber, 2u);
    EXPECT_EQ(info.years[0], 2024);
    EXPECT_EQ(info.years[1], 0);
    VQ_TF_DAY_MAP map{};
    ASSERT_EQ(folder_.Search("2024_5_1", &map, sizeof map - 1), kTfBufferTooSmall);
    ASSERT_EQ(folder_.Search("2024_5_1", &map, sizeof map), kTfOk);
    EXPECT_EQ(map.date, 2024u | 5u << 23 | 1u << 27);

    std::set<int> recorded;
    std::istringstream minutes(Listing("find 2024-05-01 -name '??.h264' -size +100k"));
    for (std::string line; std::getline(minutes, line);) {
        recorded.insert(std::stoi(line.substr(11, 2)) * 60 + std::stoi(line.substr(14, 2)));
    }
    ASSERT_EQ(recorded.size(), 4u);
    uint8_t expected[kTfDaySlots] = {};
    for (int minute : recorded) std::memset(expected + minute * 6, kTfSlotRecorded, 6);
    std::istringstream snaps(Listing("ls 2024-05-01/*/*.jpg"));
    const std::string kinds = "MHCS";
    for (std::string line; std::getline(snaps, line);) {
        int slot = (std::stoi(line.substr(11, 2)) * 60 + std::stoi(line.substr(14, 2))) * 6 +
                   std::stoi(line.substr(17, 2)) / 10;
        if (expected[slot] != 0) expected[slot] |= 1 << kinds.find(line[20]);
    }
    EXPECT_EQ(std::memcmp(map.slots, expected, sizeof expected), 0);
    EXPECT_EQ(map.slots[(10 * 60 + 1) * 6 + 1], 0x80 | 2 | 4);
    EXPECT_EQ(map.slots[(23 * 60 + 59) * 6 + 5], 0x81);
    EXPECT_EQ(map.slots[(10 * 60 + 2) * 6], 0);
    for (uint8_t byte : map.reserved) EXPECT_EQ(byte, 0);
}

TEST_F(TfCardFolderTest, DateFlagsRefreshTheMonthOrTheYear)
{
    for (const char* day : {"2024-05-01", "2024-05-17", "2024-06-02", "2024-05-03 copy", "2023-05-09", "2012-01-01"}) {
        std::filesystem::create_directories(card_ + "/" + day);
    }
    std::ofstream(card_ + "/rec_info") << "1\n1234";
    VQ_TF_CARD_INFO info{};
    ASSERT_EQ(folder_.Open((card_ + "/").c_str(), &info, "account"), kTfOk);
    EXPECT_EQ(info.deviceNumber, 0u); // two lines only
    const int16_t years[kTfCardYears] = {2024, 2023, 2012};
    EXPECT_EQ(std::memcmp(info.years, years, sizeof years), 0);

    VQ_TF_DATE_FLAGS flags{};
    ASSERT_EQ(folder_.Search("2024_5_0", &flags, sizeof flags), kTfOk);
    VQ_TF_DATE_FLAGS expected{};
    expected.days[4][0] = expected.days[4][16] = 1;
    EXPECT_EQ(std::memcmp(&flags, &expected, sizeof flags), 0);

    // A month search refreshes its own row only; a year search all of them.
    std::filesystem::create_directories(card_ + "/2024-06-30");
    std::filesystem::remove(card_ + "/2024-05-17");
    ASSERT_EQ(folder_.Search("2024_6_0", &flags, sizeof flags), kTfOk);
    expected.days[5][1] = expected.days[5][29] = 1;
    EXPECT_EQ(std::memcmp(&flags, &expected, sizeof flags), 0);
    ASSERT_EQ(folder_.Search("2024_0_0", &flags, sizeof flags), kTfOk);
    expected.days[4][16] = 0;
    EXPECT_EQ(std::memcmp(&flags, &expected, sizeof flags), 0);

    EXPECT_EQ(folder_.Search("2024_0_0", &flags, sizeof flags - 1), kTfBufferTooSmall);
    EXPECT_EQ(folder_.Search(nullptr, &flags, sizeof flags), kTfNullArgument);
    EXPECT_EQ(folder_.Open((card_ + "/missing").c_str(), &info, ""), kTfNoCard);
    EXPECT_EQ(folder_.Search("2024_0_0", &flags, sizeof flags), kTfNoCard);
}

} // namespace
