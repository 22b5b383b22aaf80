// Key texts against outside MD5: `openssl dgst -md5` for the listed cases and
// an independent derivation in Python's hashlib for many random ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "streams/key_text.h"
#include "support/run_command.h"
#include "support/temp_folder.h"

namespace {

using streams::qnDeriveKeyText;

std::string Derive(const std::string& text, const std::string& label)
{
    char out[32];
    const int result = qnDeriveKeyText(text.c_str(), label.c_str(), out, sizeof out);
    EXPECT_EQ(result, 0);
    return result == 0 ? std::string(out) : std::string();
}

class OpensslMd5 {
public:
    // Lowercase hex of the MD5 of `data`, or empty when openssl fails.
    std::string Hex(const std::string& data)
    {
        const std::string path = folder_.Path() + "/data.bin";
        std::ofstream(path, std::ios::binary) << data;
        const auto result = testing_support::RunCommand("openssl dgst -md5 -r '" + path + "' 2>/dev/null");
        if (result.exitCode != 0 || result.output.size() < 32) return {};
        return result.output.substr(0, 32);
    }

private:
    testing_support::TempFolder folder_;
};

// The derivation from two outside digests: characters from the low 5 bits of
// their first ten bytes, alternately.
std::string Interleave(const std::string& hex1, const std::string& hex2)
{
    static const char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";
    std::string out;
    for (int i = 0; i < 10; ++i) {
        out += kAlphabet[std::stoi(hex1.substr(2 * i, 2), nullptr, 16) & 31];
        out += kAlphabet[std::stoi(hex2.substr(2 * i, 2), nullptr, 16) & 31];
    }
    return out;
}

TEST(StreamKeyText, AgreesWithOpensslMd5)
{
    if (!testing_support::HaveCommand("openssl")) GTEST_SKIP() << "openssl is not installed";
    OpensslMd5 md5;
    const std::string label24 = "abcdefghijklmnopqrstuvwx";
    const struct {
        std::string text, label;
    } cases[] = {
        {"", ""},
        {"123456", "amber_lodge"},
        {"pass word\twith \"quotes\" and 'marks'", "cider_knot"},
        {std::string(255, 'z'), "fern_gap"},
        {"\xE8\xA7\x86\xE9\xA2\x91 video", "oak_drift"},
        {"ABCDEFGHIJKLMNOPQRST", label24},
        {"ABCDEFGHIJKLMNOPQRST", label24 + "y"},
        {"x", std::string(255, 'L')},
    };
    for (const auto& c : cases) {
        const std::string d1 = md5.Hex(c.text);
        ASSERT_EQ(d1.size(), 32u);
        const std::string d2 = md5.Hex(c.label.substr(0, 24) + d1.substr(0, 16));
        ASSERT_EQ(d2.size(), 32u);
        const std::string ours = Derive(c.text, c.label);
        EXPECT_TRUE(ours == Interleave(d1, d2)) << "text of " << c.text.size() << " characters, label " << c.label;
        EXPECT_EQ(ours.find_first_not_of("0123456789ABCDEFGHIJKLMNOPQRSTUV"), std::string::npos);
    }
    // Only the label's first 24 characters count.
    EXPECT_TRUE(Derive("same", label24) == Derive("same", label24 + "tail"));
}

constexpr char kPythonDerivation[] = R"(import hashlib, sys
A = "0123456789ABCDEFGHIJKLMNOPQRSTUV"
for line in sys.stdin:
    text, label = (bytes.fromhex(p) for p in line.split(",")[:2])
    d1 = hashlib.md5(text).digest()
    d2 = hashlib.md5(label[:24] + d1.hex()[:16].encode()).digest()
    print("".join(A[d1[i] & 31] + A[d2[i] & 31] for i in range(10)))
)";

std::string HexOf(const std::string& bytes)
{
    std::string hex;
    char two[3];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02x", c);
        hex += two;
    }
    return hex;
}

TEST(StreamKeyText, AgreesWithPythonOnRandomTexts)
{
    if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is not installed";
    testing_support::TempFolder folder;
    std::ofstream(folder.Path() + "/derive.py") << kPythonDerivation;
    std::mt19937 random(42);
    std::vector<std::string> expected;
    std::ostringstream input;
    for (int i = 0; i < 500; ++i) {
        auto make = [&](std::size_t length) {
            std::string s;
            for (std::size_t k = 0; k < length; ++k) s += static_cast<char>(1 + random() % 255);
            return s;
        };
        const std::string text = make(random() % 256);
        const std::string label = make(random() % 40);
        input << (text.empty() ? "" : HexOf(text)) << "," << HexOf(label) << "\n";
        expected.push_back(Derive(text, label));
    }
    std::ofstream(folder.Path() + "/input.txt") << input.str();
    const auto result =
        testing_support::RunCommand("python3 '" + folder.Path() + "/derive.py' < '" + folder.Path() + "/input.txt'");
    ASSERT_EQ(result.exitCode, 0);
    std::istringstream lines(result.output);
    std::string line;
    std::size_t index = 0;
    while (std::getline(lines, line) && index < expected.size())
        EXPECT_TRUE(line == expected[index++]) << "case " << index;
    EXPECT_EQ(index, expected.size());
}

TEST(StreamKeyText, RefusesBadArguments)
{
    char out[21];
    char small[20];
    const std::string long256(256, 'a');
    EXPECT_EQ(qnDeriveKeyText(nullptr, "l", out, sizeof out), 1);
    EXPECT_EQ(qnDeriveKeyText("t", nullptr, out, sizeof out), 1);
    EXPECT_EQ(qnDeriveKeyText("t", "l", nullptr, sizeof out), 1);
    EXPECT_EQ(qnDeriveKeyText("t", "l", small, sizeof small), 1);
    EXPECT_EQ(qnDeriveKeyText(long256.c_str(), "l", out, sizeof out), 2);
    EXPECT_EQ(qnDeriveKeyText("t", long256.c_str(), out, sizeof out), 3);
    EXPECT_EQ(qnDeriveKeyText(long256.substr(1).c_str(), long256.substr(1).c_str(), out, sizeof out), 0);
    EXPECT_EQ(std::string(out).size(), 20u);
}

} // namespace
