#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/text.h"
#include "stream_fixture.h"
#include "streams/h264_file_reader.h"
#include "support/temp_folder.h"
#include "support/this_process.h"
#include "support/wait_until.h"

namespace {

using streams::FindH264StartCode;

TEST(H264StartCodeScan, AgreesWithPythonsFind)
{
    EXPECT_EQ(FindH264StartCode(0, 4, std::vector<uint8_t>{0, 0, 0, 1}.data()), 0u);
    EXPECT_EQ(FindH264StartCode(0, 3, std::vector<uint8_t>{0, 0, 1}.data()), 0u);
    // A start code reaching past the end of the range is not one.
    std::vector<uint8_t> cut = {7, 7, 0, 0, 1};
    EXPECT_EQ(FindH264StartCode(0, 4, cut.data()), 4u);
    auto cases = testing_support::RunCommand(
        "python3 -c \"import random\nr = random.Random(7)\nfor _ in range(300):\n"
        "    b = bytes(r.choice([0, 0, 0, 1, 5]) for _ in range(r.randrange(1, 24)))\n"
        "    s = r.randrange(len(b))\n    seg = b[s:]\n"
        "    found = [i for i in (seg.find(bytes([0, 0, 1])), seg.find(bytes([0, 0, 0, 1]))) if i >= 0]\n"
        "    print(b.hex(), s, min(found) if found else len(seg))\"");
    ASSERT_EQ(cases.exitCode, 0) << cases.output;
    std::istringstream lines(cases.output);
    int count = 0;
    for (std::string hex, start, expected; lines >> hex >> start >> expected; ++count) {
        auto bytes = streams_test::FromHex(hex);
        EXPECT_EQ(FindH264StartCode(std::stoul(start), bytes.size(), bytes.data()), std::stoul(expected)) << hex;
    }
    EXPECT_EQ(count, 300);
}

TEST(H264StartCodeScan, WalksTheUnitsFfmpegReads)
{
    testing_support::TempFolder temp;
    const std::string path = streams_test::MakeStream(
        temp.Path(), "v", "-f lavfi -i testsrc=size=160x120:rate=25:duration=0.4 -c:v libx264 -g 5");
    ASSERT_FALSE(path.empty());
    auto listed = testing_support::RunCommand("python3 " OSTRELS_SOURCE_DIR "/tools/cloudsim/segment_fixture.py nal-types " +
                                              path);
    ASSERT_EQ(listed.exitCode, 0);
    std::string expected;
    std::istringstream lines(listed.output);
    for (std::string line; std::getline(lines, line);) {
        expected += streams::NalTypeName(static_cast<uint8_t>(std::stoi(line))) + std::string(" ");
    }
    auto data = streams_test::ReadFile(path);
    std::string walked;
    for (std::size_t at = FindH264StartCode(0, data.size(), data.data()); at < data.size();) {
        std::size_t header = at + (data[at + 2] == 1 ? 3 : 4);
        walked += streams::NalTypeName(data[header]) + std::string(" ");
        streams::TraceNalUnit(1, 2, 3, data[header]);
        at = header + FindH264StartCode(header, data.size(), data.data());
    }
    EXPECT_EQ(walked, expected);
    EXPECT_NE(expected.find("SPS PPS SEI IDR SLICE"), std::string::npos);
    EXPECT_STREQ(streams::NalImportanceName(0x67), "HIGHEST");
    EXPECT_STREQ(streams::NalImportanceName(0x01), "DISPOS");
    EXPECT_STREQ(streams::NalTypeName(13), "");
}

TEST(H264FileReader, OpensOnceAndLeavesNoThread)
{
    testing_support::TempFolder temp;
    const int threadsBefore = testing_support::SettledThreadCount();
    const std::string file = temp.Path() + "/a.h264";
    streams_test::WriteFile(file, {0, 0, 0, 1, 0x67});
    {
        streams::H264FileReader reader;
        EXPECT_EQ(reader.Open(platform::Utf8ToWide(temp.Path() + "/missing.h264").c_str()), 0);
        EXPECT_EQ(reader.Open(platform::Utf8ToWide(temp.Path()).c_str()), 0);
        EXPECT_EQ(reader.Thread().run, 0);
        EXPECT_FALSE(reader.IsOpen());
        ASSERT_EQ(reader.Open(platform::Utf8ToWide(file).c_str()), 1);
        EXPECT_TRUE(reader.IsOpen());
        EXPECT_EQ(reader.Path(), platform::Utf8ToWide(file));
        // The thread record still says running, so a second open is refused.
        EXPECT_EQ(reader.Open(platform::Utf8ToWide(file).c_str()), 0);
        EXPECT_TRUE(testing_support::WaitUntil([&] { return reader.Thread().exited == 1; }));
    }
    EXPECT_TRUE(testing_support::WaitUntil([&] { return testing_support::ThreadCount() <= threadsBefore; }));
}

} // namespace
