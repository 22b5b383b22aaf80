// With the console trace switched on, key sets, key tests and decryptions,
// refused ones included, print neither the video passwords nor any key text
// derived from them.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Depend/qn_log.h"
#include "streams/frame_decrypt.h"
#include "streams/key_slots.h"
#include "support/descriptor_capture.h"
#include "support/scoped_env.h"
#include "support/stream_encryptor.h"
#include "support/temp_folder.h"

namespace {

using namespace streams;
using testing_support::StreamEncryptor;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(StreamSecuritySecrets, NeverReachTheConsole)
{
    // Before the first trace of the process: the switch is read once.
    testing_support::ScopedEnv traceOn("OSTRELS_TRACE", "1");
    testing_support::TempFolder folder;
    const std::string passwords[] = {"Video-Pass-0001", "custom code 0002", "temp code 0003"};
    const std::string tooLong(300, 'Q');
    {
        testing_support::DescriptorCapture out(1, folder.Path() + "/stdout.txt");
        testing_support::DescriptorCapture err(2, folder.Path() + "/stderr.txt");
        QNConsoleTrace("[%s %s %d], %s\n", "test", "marker", 1, "trace is on");
        SecurityKeys keys;
        for (int type = 1; type <= 3; ++type) {
            const StreamEncryptor camera(passwords[type - 1], type);
            std::vector<uint8_t> frame(4000, 0x5A);
            const uint32_t info = crypt_info::Make(0, 10);
            camera.EncryptFrame(frame.data(), frame.size(), info, 1);
            CryptBuffer buffer{frame.data(), static_cast<uint32_t>(frame.size()), info};
            qnStreamDecrypt(keys, buffer, 1, camera.Low(1), camera.High());
            qnSetSecurityKey(keys, "not it", type == 1 ? "default" : type == 2 ? "custom" : "temp");
            qnStreamDecrypt(keys, buffer, 1, camera.Low(1), camera.High());
            qnSetSecurityKey(keys, passwords[type - 1].c_str(), type == 1 ? "default" : type == 2 ? "custom" : "temp");
            EXPECT_EQ(qnStreamDecrypt(keys, buffer, 1, camera.Low(1), camera.High()), QNPS_RETURN_VAL_OK);
            qnRecordDecrypt(keys, buffer, camera.Low(1), camera.High() ^ 1);
            qnCheckSecurity(keys, camera.Low(1) ^ 0x800, camera.High());
        }
        qnSetSecurityKey(keys, tooLong.c_str(), "custom");
        qnSetSecurityKey(keys, passwords[0].c_str(), "default_old");
        qnSetSecurityKey(keys, passwords[0].c_str(), "bogus");
        qnGetSecurityKeyName(keys);
        qnSetSecurityKey(keys, nullptr, "no_security");
    }
    const std::string console = ReadAll(folder.Path() + "/stdout.txt") + ReadAll(folder.Path() + "/stderr.txt");
    ASSERT_NE(console.find("trace is on"), std::string::npos) << "the console trace was not captured";

    std::vector<std::string> secrets(std::begin(passwords), std::end(passwords));
    secrets.push_back(tooLong);
    for (int type = 1; type <= 3; ++type) {
        const StreamEncryptor camera(passwords[type - 1], type);
        const std::string second = StreamEncryptor::KeyText(camera.FirstKeyText(), "oak_drift");
        secrets.push_back(camera.FirstKeyText());
        secrets.push_back(second);
        secrets.push_back(StreamEncryptor::KeyText(second, "lanternly"));
    }
    for (std::size_t i = 0; i < secrets.size(); ++i)
        EXPECT_EQ(console.find(secrets[i]), std::string::npos) << "secret " << i << " reached the console";
}

} // namespace
