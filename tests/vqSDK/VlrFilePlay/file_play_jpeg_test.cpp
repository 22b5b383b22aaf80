// Protected JPEG snapshots (made by the test encryptor behind the fixture
// tool's lens blocks) shown, checked and turned plain by the file play module.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "file_play_fixture.h"
#include "streams/frame_decrypt.h"
#include "streams/jpeg_tail.h"
#include "support/run_command.h"
#include "support/stream_encryptor.h"
#include "support/temp_folder.h"
#include "support/media_fixtures.h"
#include "vqSDK/VlrFilePlay/protected_jpeg.h"

namespace {

using fileplay_test::FilePlayPlatform;
using fileplay_test::Received;
using mp4_test::Bytes;

const char kPassword[] = "snapshot 99";
constexpr uint32_t kCryptInfo = streams::crypt_info::Make(700, 0);

class FilePlayJpegTest : public ::testing::TestWithParam<uint32_t> {
protected:
    static void SetUpTestSuite()
    {
        if (!testing_support::HaveCommand("ffmpeg") || !testing_support::HaveCommand("python3")) return;
        folder_ = new testing_support::TempFolder;
        made_ = mp4_test::Ffmpeg("-f lavfi -i testsrc=size=320x240 -frames:v 1 " + folder_->Path() + "/plain.jpg");
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }
    void SetUp() override
    {
        if (folder_ == nullptr) GTEST_SKIP() << "ffmpeg and python3 are needed";
        ASSERT_TRUE(made_);
        received_.Attach(play_);
        ASSERT_EQ(play_.SetSourcePack(platform_.Pack()), 1);
    }
    std::string File(const std::string& name) const { return folder_->Path() + "/" + name; }

    // The picture behind a lens block of `version`, encrypted with the
    // password as a custom code.
    std::string Protected(const std::string& name, uint32_t version)
    {
        const std::string path = File(name);
        EXPECT_EQ(testing_support::RunCommand("python3 " OSTRELS_SOURCE_DIR "/tools/streamfix/stream_fixture.py "
                                              "append-tail " + File("plain.jpg") + " " + path + " " +
                                              std::to_string(version))
                      .exitCode,
                  0);
        Bytes bytes = mp4_test::ReadFileBytes(path);
        streams::JpegTail tail;
        EXPECT_TRUE(streams::FindJpegTail(bytes.data(), bytes.size(), &tail));
        EXPECT_NE(tail.block, nullptr);
        if (tail.block == nullptr) return path;
        const testing_support::StreamEncryptor camera(kPassword, 2);
        const uint32_t length = static_cast<uint32_t>(tail.pictureEnd / 8 * 8);
        EXPECT_TRUE(fileplay::WriteJpegProtection(bytes.data() + tail.pictureEnd, version, camera.Low(0),
                                                  camera.High(), kCryptInfo, 2, length));
        camera.EncryptRecord(bytes.data(), version == 1 ? length : tail.pictureEnd, kCryptInfo);
        mp4_test::WriteFileBytes(path, bytes);
        return path;
    }

    static inline testing_support::TempFolder* folder_ = nullptr;
    static inline bool made_ = false;
    FilePlayPlatform platform_;
    Received received_;
    VLR_FILEPLAY play_;
};

TEST_P(FilePlayJpegTest, ShowsThePictureOnlyWithTheRightPassword)
{
    const std::string path = Protected("shown.jpg", GetParam());
    EXPECT_NE(mp4_test::VideoFrameMd5s(path), mp4_test::VideoFrameMd5s(File("plain.jpg")));

    EXPECT_EQ(play_.SendCtrl("start_jpg", path.c_str(), nullptr), 0);
    EXPECT_EQ(play_.SendCtrl("security_custom", "wrong", nullptr), 1);
    EXPECT_EQ(play_.SendCtrl("start_jpg", path.c_str(), nullptr), 0);
    {
        std::lock_guard<std::mutex> hold(received_.lock);
        EXPECT_TRUE(received_.picture.empty());
        // Before any password there is no key table, which asks for the default one.
        EXPECT_EQ(received_.events, (std::vector<int32_t>{PLAY_STATE_NEED_DEFAULT, PLAY_STATE_CUSTOM_WRONG}));
        EXPECT_EQ(received_.eventValues, (std::vector<int64_t>{2, 2})) << "the key type";
    }

    EXPECT_EQ(play_.SendCtrl("security_custom", kPassword, nullptr), 1);
    EXPECT_EQ(play_.SendCtrl("start_jpg", path.c_str(), nullptr), 1);
    std::lock_guard<std::mutex> hold(received_.lock);
    EXPECT_EQ(received_.events.back(), PLAY_STATE_PASSWORD_OK);
    EXPECT_EQ(received_.picturePath, path);
    const std::string shown = File("shown-out.jpg");
    mp4_test::WriteFileBytes(shown, received_.picture);
    EXPECT_EQ(mp4_test::VideoFrameMd5s(shown), mp4_test::VideoFrameMd5s(File("plain.jpg")));
}

TEST_P(FilePlayJpegTest, TurnsAFileAndABufferPlainInPlace)
{
    const std::string path = Protected("trans.jpg", GetParam());
    const Bytes encrypted = mp4_test::ReadFileBytes(path);
    FILEPLAY_TRANS_JPG_FILE record{};
    path.copy(record.source, sizeof record.source - 1);
    path.copy(record.destination, sizeof record.destination - 1);
    FILEPLAY_CHECK_RESULT result{};

    EXPECT_EQ(play_.SendCtrl("security_clear", nullptr, nullptr), 1);
    EXPECT_EQ(play_.SendCtrl("trans_jpg_file", &record, &result), 1);
    EXPECT_EQ(result.tableOrResult, FILE_CHECK_NEED_CUSTOM);
    EXPECT_EQ(mp4_test::ReadFileBytes(path), encrypted) << "a picture that does not decrypt is left alone";

    ASSERT_EQ(play_.SendCtrl("security_custom", kPassword, nullptr), 1);
    Bytes buffer = encrypted;
    FILEPLAY_TRANS_JPG_STREAM stream{buffer.data(), uint32_t(buffer.size())};
    EXPECT_EQ(play_.SendCtrl("trans_jpg_stream", &stream, &result), 1);
    EXPECT_EQ(result.tableOrResult, FILE_CHECK_PLAYABLE);
    EXPECT_EQ(result.keyType, 2u);

    // The source is the destination: read whole before it is replaced.
    EXPECT_EQ(play_.SendCtrl("trans_jpg_file", &record, &result), 1);
    EXPECT_EQ(result.tableOrResult, FILE_CHECK_PLAYABLE);
    const Bytes plain = mp4_test::ReadFileBytes(path);
    EXPECT_EQ(plain, buffer);
    EXPECT_EQ(mp4_test::VideoFrameMd5s(path), mp4_test::VideoFrameMd5s(File("plain.jpg")));
    fileplay::JpegProtection protection;
    ASSERT_EQ(fileplay::ReadJpegProtection(plain.data(), plain.size(), &protection), 0);
    EXPECT_FALSE(protection.Protected()) << "the flag was cleared";
    EXPECT_EQ(protection.version, GetParam()) << "the lens block stays";

    // Plain now, it needs no password at all.
    EXPECT_EQ(play_.SendCtrl("security_clear", nullptr, nullptr), 1);
    result = {};
    EXPECT_EQ(play_.SendCtrl("check_jpg", path.c_str(), &result), 1);
    EXPECT_EQ(result.tableOrResult, FILE_CHECK_PLAYABLE);
}

INSTANTIATE_TEST_SUITE_P(LensBlockVersions, FilePlayJpegTest, ::testing::Values(1u, 2u));

TEST(FilePlayJpegFiles, ChecksReportFileErrorsAndMissingTails)
{
    testing_support::TempFolder folder;
    FilePlayPlatform platform;
    VLR_FILEPLAY play;
    Received received;
    received.Attach(play);
    ASSERT_EQ(play.SetSourcePack(platform.Pack()), 1);
    Bytes small(511, 0x11);
    small[509] = 0xFF;
    small[510] = 0xD9;
    mp4_test::WriteFileBytes(folder.Path() + "/small.jpg", small);
    Bytes noEnd(4000, 0x22);
    mp4_test::WriteFileBytes(folder.Path() + "/noend.jpg", noEnd);
    mp4_test::WriteFileBytes(folder.Path() + "/empty.jpg", {});
    const struct {
        const char* name;
        int32_t result;
    } cases[] = {{"missing.jpg", -1}, {"empty.jpg", -3}, {"small.jpg", FILE_CHECK_NO_TAIL},
                 {"noend.jpg", FILE_CHECK_NO_TAIL}};
    for (const auto& c : cases) {
        FILEPLAY_CHECK_RESULT result{};
        EXPECT_EQ(play.SendCtrl("check_jpg", (folder.Path() + "/" + c.name).c_str(), &result), 1);
        EXPECT_EQ(result.tableOrResult, c.result) << c.name;
    }
    EXPECT_EQ(play.SendCtrl("start_jpg", (folder.Path() + "/small.jpg").c_str(), nullptr), 0);

    // Paths must end within their 256 bytes.
    FILEPLAY_TRANS_JPG_FILE record;
    std::memset(&record, 'a', sizeof record);
    FILEPLAY_CHECK_RESULT result{};
    EXPECT_EQ(play.SendCtrl("trans_jpg_file", &record, &result), 0);
    std::lock_guard<std::mutex> hold(received.lock);
    EXPECT_EQ(received.messages, (std::vector<std::string>{"JPG file read error", "PARAM error"}));
}

} // namespace
