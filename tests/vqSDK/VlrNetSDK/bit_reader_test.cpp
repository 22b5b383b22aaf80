#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrNetSDK/bit_reader.h"

namespace {

using qn_net::bit_reader;

TEST(NetSdkBitReader, ReadsFieldsAndExpGolombCodesMostSignificantFirst)
{
    // 1 | 010 | 011 | 00100 | 0001000 | 101 (padding)  ->  ue 0, 1, 2, 3, 7; then bits 101
    const uint8_t bytes[] = {0b10100110, 0b01000001, 0b00010100};
    bit_reader bits(bytes, sizeof bytes);
    EXPECT_EQ(bits.read_ue(), 0u);
    EXPECT_EQ(bits.read_ue(), 1u);
    EXPECT_EQ(bits.read_ue(), 2u);
    EXPECT_EQ(bits.read_ue(), 3u);
    EXPECT_EQ(bits.read_ue(), 7u);
    EXPECT_EQ(bits.read_bits(3), 0b101u);
    EXPECT_EQ(bits.read_bits(2), 0u);
    EXPECT_TRUE(bits.at_end());
    EXPECT_EQ(bits.read_bit(), 0u);
}

TEST(NetSdkBitReader, WideReadsAndTheEndOfTheRange)
{
    const uint8_t bytes[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x80};
    bit_reader bits(bytes, sizeof bytes);
    EXPECT_EQ(bits.read_bits(32), 0xDEADBEEFu);
    EXPECT_EQ(bits.read_bits(32), 0x80u);  // only one byte left: its bits, gathered so far
    EXPECT_TRUE(bits.at_end());
    bit_reader empty(nullptr, 0);
    EXPECT_EQ(empty.read_bits(8), 0u);
}

TEST(NetSdkBitReader, ExpGolombCodesTooLongFor32BitsAreRefused)
{
    // 31 zeros, then 1 and 31 ones: 2^32 - 1 - 1 + 2^31 ... the largest that fits.
    std::vector<uint8_t> fits(8, 0);
    fits[3] = 0x01;  // bit 31 is the marker
    for (int i = 4; i < 8; ++i) fits[i] = 0xFF;
    bit_reader ok(fits.data(), fits.size());
    EXPECT_EQ(ok.read_ue(), 0xFFFFFFFEu);

    std::vector<uint8_t> tooLong(9, 0);
    tooLong[4] = 0x80;
    bit_reader bad(tooLong.data(), tooLong.size());
    EXPECT_EQ(bad.read_ue(), bit_reader::kBadCode);
}

TEST(NetSdkBitReader, SignedExpGolombCodesAlternateInSign)
{
    // codes 0..6 as ue: 1 | 010 | 011 | 00100 | 00101 | 00110 | 00111, then 3 padding bits
    const uint8_t bytes[] = {0b10100110, 0b01000010, 0b10011000, 0b11100000};
    bit_reader bits(bytes, sizeof bytes);
    for (int32_t expected : {0, 1, -1, 2, -2, 3, -3}) EXPECT_EQ(bits.read_se(), expected);
    EXPECT_FALSE(bits.overrun());

    // The largest code that fits, 2^32 - 2, is -(2^31 - 1); a longer one gives 0 and overrun.
    std::vector<uint8_t> largest(8, 0);
    largest[3] = 0x01;
    for (int i = 4; i < 8; ++i) largest[i] = 0xFF;
    largest[7] = 0xFE;
    bit_reader big(largest.data(), largest.size());
    EXPECT_EQ(big.read_se(), -2147483647);
    EXPECT_FALSE(big.overrun());
    std::vector<uint8_t> tooLong(9, 0);
    tooLong[4] = 0x80;
    bit_reader bad(tooLong.data(), tooLong.size());
    EXPECT_EQ(bad.read_se(), 0);
    EXPECT_TRUE(bad.overrun());
}

TEST(NetSdkBitReader, OverrunIsFlaggedOnlyWhenAReadPassesTheEnd)
{
    const uint8_t bytes[] = {0xA5, 0x0F};
    struct Case {
        const char* what;
        int bits;     // read_bits first, this many
        int then;     // 0 nothing, 1 read_bit, 2 read_ue, 3 read_se
        bool overrun;
    };
    const Case cases[] = {
        {"exactly all 16 bits", 16, 0, false},
        {"one bit more than there is", 17, 0, true},
        {"a bit after the last", 16, 1, true},
        {"ue whose suffix is cut", 8, 2, true},   // 0000 1 then 3 of its 4 suffix bits
        {"ue from the last bits", 13, 2, false},  // 1 -> code 0
        {"se at the very end", 16, 3, true},
    };
    for (const Case& c : cases) {
        bit_reader bits(bytes, sizeof bytes);
        bits.read_bits(c.bits);
        if (c.then == 1) bits.read_bit();
        if (c.then == 2) bits.read_ue();
        if (c.then == 3) bits.read_se();
        EXPECT_EQ(bits.overrun(), c.overrun) << c.what;
    }
    bit_reader empty(nullptr, 0);
    EXPECT_FALSE(empty.overrun());
    empty.read_bit();
    EXPECT_TRUE(empty.overrun());
    empty.init(bytes, sizeof bytes);
    EXPECT_FALSE(empty.overrun()) << "init starts a fresh range";
}

// The first sequence parameter set of an Annex B stream, without emulation
// prevention bytes and without its NAL header byte.
std::vector<uint8_t> FirstSps(const std::vector<uint8_t>& stream)
{
    for (std::size_t i = 0; i + 4 < stream.size(); ++i) {
        if (stream[i] != 0 || stream[i + 1] != 0 || stream[i + 2] != 1 || (stream[i + 3] & 0x1F) != 7) continue;
        std::vector<uint8_t> rbsp;
        for (std::size_t j = i + 4; j < stream.size(); ++j) {
            if (j + 2 < stream.size() && stream[j] == 0 && stream[j + 1] == 0 && stream[j + 2] == 1) break;
            if (j >= 2 && stream[j] == 3 && stream[j - 1] == 0 && stream[j - 2] == 0) continue;
            rbsp.push_back(stream[j]);
        }
        return rbsp;
    }
    return {};
}

TEST(NetSdkBitReader, ParsesAnEncodersParameterSetAsFfmpegDoes)
{
    if (!testing_support::HaveCommand("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    testing_support::TempFolder folder;
    const std::string path = folder.Path() + "/t.h264";
    auto made = testing_support::RunCommand(
        "ffmpeg -v error -f lavfi -i testsrc=size=352x288:rate=25 -frames:v 1 -pix_fmt yuv420p -c:v libx264 -f h264 " +
        path);
    ASSERT_EQ(made.exitCode, 0);
    auto trace = testing_support::RunCommand("ffmpeg -i " + path + " -c copy -bsf:v trace_headers -f null - 2>&1");
    std::map<std::string, long> oracle;
    std::regex line(R"(\]\s+\d+\s+(\w+)\s+[01]+ = (-?\d+))");
    std::istringstream lines(trace.output);
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_search(text, match, line) && !oracle.count(match[1])) oracle[match[1]] = std::stol(match[2]);
    }
    ASSERT_TRUE(oracle.count("pic_width_in_mbs_minus1"));

    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> stream((std::istreambuf_iterator<char>(in)), {});
    std::vector<uint8_t> sps = FirstSps(stream);
    ASSERT_FALSE(sps.empty());
    bit_reader bits(sps.data(), sps.size());
    std::map<std::string, long> ours;
    ours["profile_idc"] = bits.read_bits(8);
    bits.read_bits(16);  // constraint flags, level
    ours["seq_parameter_set_id"] = bits.read_ue();
    ASSERT_EQ(ours["profile_idc"], 100) << "the pixel format above gives the High profile";
    ours["chroma_format_idc"] = bits.read_ue();
    ours["bit_depth_luma_minus8"] = bits.read_ue();
    ours["bit_depth_chroma_minus8"] = bits.read_ue();
    bits.read_bit();
    ours["seq_scaling_matrix_present_flag"] = bits.read_bit();
    ASSERT_EQ(ours["seq_scaling_matrix_present_flag"], 0);
    ours["log2_max_frame_num_minus4"] = bits.read_ue();
    ours["pic_order_cnt_type"] = bits.read_ue();
    ASSERT_EQ(ours["pic_order_cnt_type"], 0);
    ours["log2_max_pic_order_cnt_lsb_minus4"] = bits.read_ue();
    ours["max_num_ref_frames"] = bits.read_ue();
    bits.read_bit();
    ours["pic_width_in_mbs_minus1"] = bits.read_ue();
    ours["pic_height_in_map_units_minus1"] = bits.read_ue();
    for (const auto& [name, value] : ours) {
        ASSERT_TRUE(oracle.count(name)) << name;
        EXPECT_EQ(value, oracle[name]) << name;
    }
    EXPECT_EQ(ours["pic_width_in_mbs_minus1"], 21);
    EXPECT_EQ(ours["pic_height_in_map_units_minus1"], 17);
}

} // namespace
