#include "basekit/zip_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

using namespace basekit_test;

namespace {

const std::string kModel = std::string(OSTRELS_SOURCE_DIR) + "/tools/basekit_lzw/lzw_model.py";

std::vector<unsigned char> compress(ZipData &zip, const std::vector<unsigned char> &input) {
    unsigned char *out = nullptr;
    int outLength = 0;
    EXPECT_EQ(zip.CompressData(input.data(), static_cast<int>(input.size()), &out, &outLength), 0);
    return std::vector<unsigned char>(out, out + outLength);
}

std::vector<unsigned char> expand(ZipData &zip, const std::vector<unsigned char> &input) {
    unsigned char *out = nullptr;
    int outLength = 0;
    EXPECT_EQ(zip.ExpandData(input.data(), static_cast<int>(input.size()), &out, &outLength), 0);
    return std::vector<unsigned char>(out, out + outLength);
}

std::vector<unsigned char> repetitive(size_t length) {
    std::vector<unsigned char> data(length);
    const std::string phrase = "the camera saw the cat; the cat saw the camera. ";
    for (size_t i = 0; i < length; ++i)
        data[i] = static_cast<unsigned char>(phrase[(i * 7 / 5) % phrase.size()]);
    return data;
}

// Packs codes MSB first at the given widths, behind the marker.
std::vector<unsigned char> stream(const std::vector<std::pair<unsigned, unsigned>> &codes) {
    std::vector<unsigned char> out = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90};
    unsigned long long acc = 0;
    unsigned bits = 0;
    for (auto [code, width] : codes) {
        acc = (acc << width) | code;
        bits += width;
        while (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>(acc >> bits));
        }
    }
    if (bits)
        out.push_back(static_cast<unsigned char>(acc << (8 - bits)));
    return out;
}

}  // namespace

TEST(BasekitZipData, HandDerivedVectorForRunOfEqualBytes) {
    // 97, 259..279, 260, 256 at 9 bits: the run uses each code before its
    // entry is complete, and the last byte is exactly full (no padding).
    const std::vector<unsigned char> expected = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0x30, 0xC0, 0xE0, 0x90,
                                                 0x58, 0x34, 0x1E, 0x11, 0x09, 0x85, 0x42, 0xE1, 0x90, 0xD8, 0x74, 0x3E,
                                                 0x21, 0x11, 0x89, 0x44, 0xE2, 0x91, 0x58, 0xB4, 0x5E, 0x09, 0x00};
    ZipData zip;
    const std::vector<unsigned char> input(256, 0x61);
    EXPECT_EQ(compress(zip, input), expected);
    EXPECT_EQ(expand(zip, expected), input);
}

TEST(BasekitZipData, RefusesInputsShorterThan256Bytes) {
    ZipData zip;
    unsigned char *out = nullptr;
    int outLength = 0;
    std::vector<unsigned char> input(255, 1);
    EXPECT_EQ(zip.CompressData(input.data(), 255, &out, &outLength), -1);
    input.push_back(2);
    EXPECT_EQ(zip.CompressData(input.data(), 256, &out, &outLength), 0);
    EXPECT_EQ(ZipData::IsCompressData(out, outLength), 1);
}

TEST(BasekitZipData, RoundTripsRandomRepetitiveAndLargeInputs) {
    ZipData zip;
    const std::vector<std::vector<unsigned char>> inputs = {
        randomBytes(256, 1), randomBytes(100000, 2), repetitive(300000), std::vector<unsigned char>(2000000, 0),
        randomBytes(1500000, 3)};
    for (const auto &input : inputs) {
        const auto packed = compress(zip, input);
        EXPECT_EQ(expand(zip, packed), input) << "length " << input.size();
    }
}

TEST(BasekitZipData, OutputOfEarlierCallsIsReplacedOnlyByTheSameKind) {
    ZipData zip;
    const auto first = randomBytes(5000, 4);
    unsigned char *packed = nullptr;
    int packedLength = 0;
    ASSERT_EQ(zip.CompressData(first.data(), 5000, &packed, &packedLength), 0);
    unsigned char *plain = nullptr;
    int plainLength = 0;
    ASSERT_EQ(zip.ExpandData(packed, packedLength, &plain, &plainLength), 0);
    // The compressed buffer is still the object's after an expansion.
    EXPECT_EQ(std::vector<unsigned char>(plain, plain + plainLength), first);
    EXPECT_EQ(ZipData::IsCompressData(packed, packedLength), 1);
}

TEST(BasekitZipData, IsCompressDataLooksOnlyAtTheMarker) {
    const unsigned char marked[9] = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0x00};
    const unsigned char other[9] = {0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x90, 0xEB, 0x91, 0x00};
    EXPECT_EQ(ZipData::IsCompressData(marked, 9), 1);
    EXPECT_EQ(ZipData::IsCompressData(marked, 8), 1);
    EXPECT_EQ(ZipData::IsCompressData(other, 9), 0);
    // Too short to hold the marker: never read past the caller's length.
    EXPECT_EQ(ZipData::IsCompressData(marked, 7), 0);
    EXPECT_EQ(ZipData::IsCompressData(nullptr, 9), 0);
}

TEST(BasekitZipData, RefusesDamagedStreamsAndKeepsThePreviousOutput) {
    ZipData zip;
    const auto original = randomBytes(3000, 5);
    const auto good = expand(zip, compress(zip, original));
    ASSERT_EQ(good, original);

    auto truncated = compress(zip, original);
    truncated.resize(truncated.size() / 2);
    auto badMarker = compress(zip, original);
    badMarker[3] = 0x00;
    std::vector<std::pair<unsigned, unsigned>> wide = {{0x61, 9}};
    for (unsigned width = 9; width <= 15; ++width)
        wide.push_back({257, width});
    wide.push_back({256, 16});

    const struct {
        const char *what;
        std::vector<unsigned char> data;
    } cases[] = {
        {"only the marker", stream({})},
        {"truncated stream", truncated},
        {"marker damaged", badMarker},
        {"no end code", stream({{0x61, 9}, {0x62, 9}})},
        {"code beyond the next one", stream({{0x61, 9}, {300, 9}, {256, 9}})},
        {"first code is the bump", stream({{257, 9}, {256, 9}})},
        {"first code is a dictionary code", stream({{259, 9}, {256, 9}})},
        {"code wider than 15 bits", stream(wide)},
    };
    for (const auto &c : cases) {
        unsigned char *out = nullptr;
        int outLength = -5;
        EXPECT_EQ(zip.ExpandData(c.data.data(), static_cast<int>(c.data.size()), &out, &outLength), -1) << c.what;
        EXPECT_EQ(outLength, -5) << c.what;
    }
    // The last good expansion is still readable through a fresh call's view.
    EXPECT_EQ(expand(zip, compress(zip, original)), original);
}

TEST(BasekitZipData, EndCodeAloneExpandsToNothing) {
    ZipData zip;
    const auto data = stream({{256, 9}});
    unsigned char *out = nullptr;
    int outLength = -1;
    EXPECT_EQ(zip.ExpandData(data.data(), static_cast<int>(data.size()), &out, &outLength), 0);
    EXPECT_EQ(outLength, 0);
}

// The Python model is written from the format description alone; agreement in
// both directions (and byte for byte) pins the bit layout down.
TEST(BasekitZipData, AgreesWithIndependentPythonModel) {
    TempDir dir;
    ZipData zip;
    const std::vector<std::pair<std::string, std::vector<unsigned char>>> inputs = {
        {"random", randomBytes(200000, 6)},
        {"repetitive", repetitive(400000)},
        {"bash", readBytes("/usr/bin/bash")},
    };
    for (const auto &[name, input] : inputs) {
        ASSERT_GE(input.size(), 256u) << name;
        const std::string plain = dir.file(name + ".bin");
        const std::string ours = dir.file(name + ".ours.lzw");
        const std::string theirs = dir.file(name + ".theirs.lzw");
        const std::string back = dir.file(name + ".back");
        writeBytes(plain, input.data(), input.size());
        const auto packed = compress(zip, input);
        writeBytes(ours, packed.data(), packed.size());

        std::string stats;
        ASSERT_EQ(runShell("python3 " + quote(kModel) + " expand " + quote(ours) + " " + quote(back), &stats, &dir), 0)
            << name << ": python3 with the standard library is needed";
        EXPECT_EQ(readBytes(back), input) << name;
        if (name == "bash") {
            EXPECT_GE(input.size(), 1000000u);
            EXPECT_NE(stats.find("flushes="), std::string::npos);
            EXPECT_EQ(stats.find("flushes=0 "), std::string::npos) << "a large input must restart the dictionary";
        }

        ASSERT_EQ(runShell("python3 " + quote(kModel) + " compress " + quote(plain) + " " + quote(theirs)), 0) << name;
        const auto modelPacked = readBytes(theirs);
        EXPECT_EQ(modelPacked, packed) << name;
        EXPECT_EQ(expand(zip, modelPacked), input) << name;
    }
}
