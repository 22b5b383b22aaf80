// A whole H.264 stream protected as a camera protects it: key frames and
// other slices encrypted behind a clear header. ffmpeg decodes the decrypted
// stream to the original's frames; the protected stream it does not.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "stream_fixture.h"
#include "streams/frame_decrypt.h"
#include "streams/key_slots.h"
#include "support/run_command.h"
#include "support/stream_encryptor.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;
using Bytes = std::vector<uint8_t>;

// Key frames are kind 1 and other slices kind 2; a 64-byte clear header keeps
// the start code and slice header readable, as cameras do.
int ProtectOrOpen(Bytes& stream, const testing_support::StreamEncryptor* camera, SecurityKeys* keys, uint32_t low,
                  uint32_t high)
{
    const uint32_t info = crypt_info::Make(1024, 64);
    int worst = 0;
    for (const streams_test::NalUnit& unit : streams_test::FourByteUnits(stream.data(), stream.size())) {
        const int nalType = stream[unit.start + 4] & 0x1F;
        if (nalType != 1 && nalType != 5) continue;
        const int kind = nalType == 5 ? 1 : 2;
        if (camera != nullptr) {
            camera->EncryptFrame(stream.data() + unit.start, unit.length, info, kind);
        } else {
            const CryptBuffer frame{stream.data() + unit.start, static_cast<uint32_t>(unit.length), info};
            const int result = qnStreamDecrypt(*keys, frame, kind, low, high);
            if (result > worst) worst = result;
        }
    }
    return worst;
}

TEST(ProtectedStream, DecryptsToTheFramesFfmpegDecodesFromTheOriginal)
{
    if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3"))
        GTEST_SKIP() << "ffmpeg or python3 is not installed";
    testing_support::TempFolder folder;
    const std::string path = streams_test::MakeStream(
        folder.Path(), "t", "-f lavfi -i testsrc2=size=320x240:rate=25 -t 1 -pix_fmt yuv420p -c:v libx264 -g 10");
    ASSERT_FALSE(path.empty());
    const Bytes original = streams_test::ReadFile(path);
    const std::string originalMd5 = streams_test::FrameMd5(path);
    ASSERT_EQ(originalMd5.find("ffmpeg failed"), std::string::npos) << originalMd5;

    const testing_support::StreamEncryptor camera("camera video code", 2);
    const uint32_t low = camera.Low(1 | 2);
    Bytes stream = original;
    ProtectOrOpen(stream, &camera, nullptr, 0, 0);
    ASSERT_NE(stream, original);
    const std::string protectedPath = folder.Path() + "/protected.h264";
    streams_test::WriteFile(protectedPath, stream);
    EXPECT_NE(streams_test::FrameMd5(protectedPath), originalMd5);

    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "not the code", "custom"), 1);
    EXPECT_EQ(ProtectOrOpen(stream, nullptr, &keys, low, camera.High()), QNPS_RETURN_VAL_CODE_CUS_ERR);
    ASSERT_EQ(qnSetSecurityKey(keys, "", "custom"), 1);
    EXPECT_EQ(ProtectOrOpen(stream, nullptr, &keys, low, camera.High()), QNPS_RETURN_VAL_NEED_CUS_CODE);

    ASSERT_EQ(qnSetSecurityKey(keys, "camera video code", "custom"), 1);
    EXPECT_EQ(ProtectOrOpen(stream, nullptr, &keys, low, camera.High()), QNPS_RETURN_VAL_OK);
    const std::string openedPath = folder.Path() + "/opened.h264";
    streams_test::WriteFile(openedPath, stream);
    EXPECT_EQ(streams_test::FrameMd5(openedPath), originalMd5);
    EXPECT_TRUE(stream == original);
}

} // namespace
