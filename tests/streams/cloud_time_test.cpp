// Cloud play's times and its file list: the caller's day and span with their
// repairs, the frame clock's roll-over checked against date(1), and the
// pages of a day answered from a complete index already on disk.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/camera_record.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "streams/cloud_time.h"
#include "streams/packed_date.h"
#include "streams/vq_cloud.h"
#include "support/run_command.h"
#include "support/scoped_env.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/cloud/day_index.h"

namespace {

using streams::CloudDay;

platform::CivilTime Today()
{
    platform::CivilTime today{};
    today.year = 2026;
    today.month = 12;
    today.day = 11;
    return today;
}

TEST(CloudTime, InvalidDaysAndSpansAreRepaired)
{
    struct Case {
        const char* what;
        CloudDay given;
        CloudDay taken;
    };
    const Case cases[] = {
        {"a valid span stays", {2026, 3, 14, 10, 5, 11, 30}, {2026, 3, 14, 10, 5, 11, 30}},
        {"month 0 plays today", {2026, 0, 14, 10, 5, 11, 30}, {2026, 12, 11, 0, 0, 23, 59}},
        {"day 0 plays today", {2026, 3, 0, 10, 5, 11, 30}, {2026, 12, 11, 0, 0, 23, 59}},
        {"an empty span is the whole day", {2026, 3, 14, 10, 30, 10, 30}, {2026, 3, 14, 0, 0, 23, 59}},
        {"an end before the start", {2026, 3, 14, 12, 0, 11, 0}, {2026, 3, 14, 0, 0, 23, 59}},
        {"hour 24", {2026, 3, 14, 24, 0, 24, 30}, {2026, 3, 14, 0, 0, 23, 59}},
        {"minute 60", {2026, 3, 14, 10, 60, 11, 0}, {2026, 3, 14, 0, 0, 23, 59}},
        {"a year past 2063", {2099, 7, 1, 1, 2, 3, 4}, {2099, 7, 1, 1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        const VQ_CLOUD_TIME packed = streams::PackCloudTime(c.given);
        const CloudDay got = streams::ReadCloudTime(&packed, Today());
        EXPECT_EQ(std::vector<int>(
                      {got.year, got.month, got.day, got.startHour, got.startMinute, got.endHour, got.endMinute}),
                  std::vector<int>({c.taken.year, c.taken.month, c.taken.day, c.taken.startHour, c.taken.startMinute,
                                    c.taken.endHour, c.taken.endMinute}))
            << c.what;
    }
    const CloudDay none = streams::ReadCloudTime(nullptr, Today());
    EXPECT_EQ(none.day, 11);
    EXPECT_EQ(none.endHour * 60 + none.endMinute, 23 * 60 + 59);

    const auto span = streams::LocalSpan({2026, 3, 14, 10, 5, 11, 30});
    ASSERT_TRUE(span.has_value());
    const platform::CivilTime start = platform::ToLocalTime(span->start);
    const platform::CivilTime end = platform::ToLocalTime(span->end);
    EXPECT_EQ(std::vector<int>({start.hour, start.minute, start.second, end.hour, end.minute, end.second}),
              std::vector<int>({10, 5, 0, 11, 30, 59}));
    EXPECT_TRUE(streams::IsPastDay({2026, 12, 10}, Today()));
    EXPECT_FALSE(streams::IsPastDay({2026, 12, 11}, Today()));
    EXPECT_FALSE(streams::IsPastDay({2027, 1, 1}, Today()));
}

std::string DateAfter(const std::string& start, int seconds)
{
    const auto result = testing_support::RunCommand("date -d '" + start + " " + std::to_string(seconds) +
                                                    " seconds' '+%Y %m %d %H %M %S'");
    return testing_support::Chomp(result.output);
}

std::string Text(const streams::CloudFrameTime& t)
{
    char text[32];
    std::snprintf(text, sizeof text, "%04d %02d %02d %02d %02d %02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

uint32_t Word(int year, int month, int day, int hour, int minute, int second)
{
    platform::CivilTime civil{};
    civil.year = year;
    civil.month = month;
    civil.day = day;
    civil.hour = hour;
    civil.minute = minute;
    civil.second = second;
    return streams::PackDate(civil);
}

TEST(CloudTime, FrameTimesRollIntoTheNextHourDayMonthAndYear)
{
    if (!testing_support::HaveCommand("date")) GTEST_SKIP() << "date(1) is missing";
    struct Case {
        int year, month, day;
    };
    for (const Case c : {Case{2026, 1, 31}, Case{2026, 2, 28}, Case{2028, 2, 28}, Case{2026, 12, 31}}) {
        char start[32];
        std::snprintf(start, sizeof start, "%04d-%02d-%02d 23:59:59", c.year, c.month, c.day);
        streams::CloudFrameClock clock;
        clock.KeyFrame(Word(c.year, c.month, c.day, 23, 59, 59));
        // Later frames carry only their minute and second.
        clock.OtherFrame(Word(2000, 1, 1, 0, 0, 1));
        EXPECT_EQ(Text(clock.Now()), DateAfter(start, 2)) << start;
        clock.OtherFrame(Word(2000, 1, 1, 0, 30, 0));
        EXPECT_EQ(Text(clock.Now()), DateAfter(start, 1801)) << start;
    }
    // Within the hour only minute and second move.
    streams::CloudFrameClock clock;
    clock.KeyFrame(Word(2026, 3, 14, 10, 0, 58));
    clock.OtherFrame(Word(2000, 1, 1, 0, 1, 2));
    EXPECT_EQ(Text(clock.Now()), "2026 03 14 10 01 02");
    streams::CloudFrameClock before;
    before.OtherFrame(Word(2026, 3, 14, 10, 0, 58));
    EXPECT_FALSE(before.Known()) << "no time before the first key frame";
}

// A complete day index of `count` segment starts from 00:00:00 on.
void WriteCompleteIndex(const std::string& path, int count)
{
    std::string index = "V1610";
    index.resize(15, '0');
    index += '1';
    std::string slots(8640, '\0');
    for (int i = 0; i < count; ++i) slots[static_cast<std::size_t>(i)] = static_cast<char>(0x81);
    std::ofstream(path, std::ios::binary) << index << slots;
}

TEST(CloudFileList, ACompletePastIndexOnDiskAnswersInPagesOfAThousand)
{
    testing_support::TempFolder folder;
    ASSERT_EQ(vqCloudSetFolder(folder.Path().c_str()), 7) << "no player before vqCloudCreate";
    ASSERT_EQ(vqCloudCreate(), 0);
    ASSERT_EQ(vqCloudSetFolder(folder.Path().c_str()), 0);
    const std::string cameraFolder = folder.Path() + "/Cloud/41/";
    const VQ_CLOUD_TIME day = streams::PackCloudTime({2026, 3, 14, 0, 0, 23, 59});
    int result = 1;
    // No service: no credentials. The camera becomes current all the same.
    EXPECT_EQ(vqCloudSearchFile(41, day, &result), 1);
    EXPECT_EQ(result, -2);
    VQ_CLOUD_FILE* page = nullptr;
    int count = -1;
    EXPECT_EQ(vqCloudGetFileList(41, 1, &page, &count, &result), 1);
    EXPECT_EQ(result, -5) << "nothing listed";
    EXPECT_EQ(vqCloudGetFileList(41, 1, nullptr, &count, &result), 5);

    ASSERT_TRUE(platform::MakeDirectories(cameraFolder));
    WriteCompleteIndex(qn_cloud::DayIndexFileName(cameraFolder, 2026, 3, 14), 2500);
    ASSERT_EQ(vqCloudSearchFile(41, day, &result), 0);
    EXPECT_EQ(result, 0);
    std::vector<int> pages;
    int64_t expectedStart = *platform::FromLocalTime([] {
        platform::CivilTime midnight{};
        midnight.year = 2026;
        midnight.month = 3;
        midnight.day = 14;
        midnight.isDst = -1;
        return midnight;
    }());
    for (int restart = 1;; restart = 0) {
        ASSERT_EQ(vqCloudGetFileList(41, restart, &page, &count, &result), 0);
        pages.push_back(count);
        if (count == 0) break;
        EXPECT_EQ(std::string(page[0].name).rfind(cameraFolder + "corvul_20260314_", 0), 0u) << "local paths";
        for (int i = 0; i < count; ++i, expectedStart += 10) {
            ASSERT_EQ(page[i].start, expectedStart);
            ASSERT_EQ(page[i].end, expectedStart + 10);
            ASSERT_EQ(page[i].sum, 101);
        }
    }
    EXPECT_EQ(pages, (std::vector<int>{1000, 1000, 500, 0}));

    // A span inside the day lists only its own segments.
    ASSERT_EQ(vqCloudSearchFile(41, streams::PackCloudTime({2026, 3, 14, 0, 1, 0, 2}), &result), 0);
    ASSERT_EQ(vqCloudGetFileList(41, 1, &page, &count, &result), 0);
    EXPECT_EQ(count, 12) << "00:01:00 to 00:02:59";
    vqCloudDestroy();
    EXPECT_EQ(vqCloudSetFolder(folder.Path().c_str()), 7);
}

TEST(CloudFolders, ShortFolderTextsTakeTheDataFolderAndPathsUseSlashes)
{
    testing_support::TempFolder folder;
    testing_support::ScopedEnv appData("APPDATA", (folder.Path() + "/appdata").c_str());
    streams::CloudPlayer player;
    EXPECT_EQ(player.SetFolder((folder.Path() + "//nested").c_str()), 0);
    EXPECT_EQ(player.CloudFolder(), folder.Path() + "/nested/Cloud/");
    EXPECT_TRUE(platform::PathExists(player.CloudFolder()));
    player.SetFolder("C:");
    const std::string data = player.CloudFolder();
    EXPECT_EQ(data, folder.Path() + "/appdata/OstrelS/Cloud/");
    EXPECT_TRUE(platform::PathExists(data));
}

} // namespace
