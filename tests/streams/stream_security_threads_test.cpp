// A key set while another thread decrypts: every frame either decrypts whole
// with the key that matched or is refused untouched, never half-decrypted
// with a schedule being rebuilt.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "streams/frame_decrypt.h"
#include "streams/key_slots.h"
#include "support/stream_encryptor.h"
#include "support/this_process.h"

namespace {

using namespace streams;

TEST(StreamSecurityThreads, KeySetsNeverMeetADecryptionHalfway)
{
    const int threadsBefore = testing_support::SettledThreadCount();
    const testing_support::StreamEncryptor camera("alpha", 2);
    std::mt19937 random(3);
    std::vector<uint8_t> plain(6000);
    for (uint8_t& b : plain) b = static_cast<uint8_t>(random());
    const uint32_t info = crypt_info::Make(0, 20);
    std::vector<uint8_t> encrypted = plain;
    camera.EncryptFrame(encrypted.data(), encrypted.size(), info, 1);

    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "alpha", "custom"), 1);
    // The keys change until the reader has met both of them, however the
    // two threads are scheduled (bounded, for a machine that never switches).
    std::atomic<bool> metBoth{false};
    std::atomic<bool> done{false};
    std::thread setter([&] {
        for (int i = 0; i < 2000000 && !metBoth; ++i) qnSetSecurityKey(keys, i % 2 ? "alpha" : "beta", "custom");
        qnSetSecurityKey(keys, "alpha", "custom");
        done = true;
    });
    int decrypted = 0;
    int refused = 0;
    for (int round = 0; !done; ++round) {
        std::vector<uint8_t> frame = encrypted;
        const int result = qnStreamDecrypt(keys, CryptBuffer{frame.data(), static_cast<uint32_t>(frame.size()), info},
                                           1, camera.Low(1), camera.High());
        if (result == QNPS_RETURN_VAL_OK) {
            ++decrypted;
            EXPECT_EQ(frame, plain) << "round " << round;
        } else {
            ++refused;
            EXPECT_EQ(result, QNPS_RETURN_VAL_CODE_CUS_ERR);
            EXPECT_EQ(frame, encrypted) << "round " << round;
        }
        if (decrypted > 0 && refused > 0) metBoth = true;
        if (HasFailure()) break;
    }
    metBoth = metBoth || HasFailure();
    setter.join();
    ASSERT_FALSE(HasFailure());
    EXPECT_TRUE(metBoth) << decrypted << " decrypted, " << refused << " refused while the keys changed";
    // The setter ends on the right key.
    std::vector<uint8_t> frame = encrypted;
    ASSERT_EQ(qnStreamDecrypt(keys, CryptBuffer{frame.data(), static_cast<uint32_t>(frame.size()), info}, 1,
                              camera.Low(1), camera.High()),
              QNPS_RETURN_VAL_OK);
    EXPECT_EQ(frame, plain);
    EXPECT_EQ(testing_support::ThreadCount(), threadsBefore);
}

} // namespace
