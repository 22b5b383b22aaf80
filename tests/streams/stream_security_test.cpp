// Key slots and decryption against the test encryptor, which makes the
// cameras' security flags and encrypted blocks from the same passwords.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "streams/frame_decrypt.h"
#include "streams/key_slots.h"
#include "support/stream_encryptor.h"

namespace {

using namespace streams;
using testing_support::StreamEncryptor;

constexpr uint32_t kAllKinds = 0xFF;

std::vector<uint8_t> RandomBytes(std::size_t length, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(length);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random());
    return bytes;
}

int Decrypt(SecurityKeys& keys, std::vector<uint8_t>& frame, uint32_t info, int kind, const StreamEncryptor& camera,
            uint32_t kinds = kAllKinds)
{
    const CryptBuffer buffer{frame.data(), static_cast<uint32_t>(frame.size()), info};
    return qnStreamDecrypt(keys, buffer, kind, camera.Low(kinds), camera.High());
}

TEST(StreamSecurity, KeySetsAnswerAndNameTheCurrentKeyType)
{
    SecurityKeys keys;
    EXPECT_EQ(qnGetSecurityKeyName(keys), "no_code");
    const std::string tooLong(256, 'p');
    const struct {
        const char* password;
        const char* name;
        int result;
        const char* current; // name of the current key type afterwards
    } steps[] = {
        {"1234", "bogus", 0, "no_code"},
        {nullptr, "custom", 0, "no_code"},
        {"1234", nullptr, 0, "no_code"},
        {"1234", "default", 1, "default"},
        {"1234", "custom", 1, "custom"},
        {"1234", "temp", 1, "temp"},
        {"1234", "default_old", 1, "default"},
        {tooLong.c_str(), "custom", 0, "custom"},
        {nullptr, "no_security", 1, "no_security"},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(qnSetSecurityKey(keys, step.password, step.name), step.result)
            << (step.name ? step.name : "(no name)");
        EXPECT_EQ(qnGetSecurityKeyName(keys), step.current) << (step.name ? step.name : "(no name)");
    }
}

TEST(StreamSecurity, KeyTestResults)
{
    const StreamEncryptor defaultKey("dflt-123", 1);
    const StreamEncryptor customKey("my custom code", 2);
    const StreamEncryptor tempKey("tmp", 3);
    const StreamEncryptor otherCustom("another code", 2);
    const StreamEncryptor otherDefault("other default", 1);

    SecurityKeys keys;
    EXPECT_EQ(qnCheckSecurity(keys, defaultKey.Low(1), defaultKey.High()), kQnpsNoKeyTable);
    ASSERT_EQ(qnSetSecurityKey(keys, nullptr, "no_security"), 1);
    EXPECT_EQ(qnCheckSecurity(keys, 0, 0), QNPS_RETURN_VAL_OK);
    EXPECT_EQ(qnCheckSecurity(keys, 1u << 3, 12345), QNPS_RETURN_VAL_OK) << "key type 0 is not encrypted";
    EXPECT_EQ(qnCheckSecurity(keys, defaultKey.Low(1), defaultKey.High()), QNPS_RETURN_VAL_NEED_DEF_CODE);
    EXPECT_EQ(qnCheckSecurity(keys, customKey.Low(1), customKey.High()), QNPS_RETURN_VAL_NEED_CUS_CODE);
    EXPECT_EQ(qnCheckSecurity(keys, tempKey.Low(1), tempKey.High()), QNPS_RETURN_VAL_NEED_TMP_CODE);

    ASSERT_EQ(qnSetSecurityKey(keys, "dflt-123", "default"), 1);
    ASSERT_EQ(qnSetSecurityKey(keys, "another code", "custom"), 1);
    ASSERT_EQ(qnSetSecurityKey(keys, "wrong", "temp"), 1);
    const struct {
        uint32_t low, high;
        int result;
    } cases[] = {
        {defaultKey.Low(1), defaultKey.High(), QNPS_RETURN_VAL_OK},
        {defaultKey.Low(0x0F), defaultKey.High(), QNPS_RETURN_VAL_OK},
        {defaultKey.Low(1), defaultKey.High() ^ 0x10, QNPS_RETURN_VAL_CODE_DEF_ERR},
        {defaultKey.Low(1) ^ 0x800, defaultKey.High(), QNPS_RETURN_VAL_CODE_DEF_ERR},
        {otherDefault.Low(1), otherDefault.High(), QNPS_RETURN_VAL_CODE_DEF_ERR},
        {customKey.Low(2), customKey.High(), QNPS_RETURN_VAL_CODE_CUS_ERR},
        {otherCustom.Low(2), otherCustom.High(), QNPS_RETURN_VAL_OK},
        {tempKey.Low(1), tempKey.High(), kQnpsTempCodeError},
        // Key types without a slot can never match.
        {(defaultKey.Low(1) & ~7u) | 4, defaultKey.High(), kQnpsTempCodeError},
        {(defaultKey.Low(1) & ~7u) | 7, defaultKey.High(), kQnpsTempCodeError},
    };
    for (const auto& c : cases)
        EXPECT_EQ(qnCheckSecurity(keys, c.low, c.high), c.result) << std::hex << c.low << " " << c.high;
}

TEST(StreamSecurity, DefaultOldKeyDecryptsWhileDefaultHoldsAnother)
{
    const StreamEncryptor oldCamera("old-form-key", 1);
    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "old-form-key", "default_old"), 1);
    ASSERT_EQ(qnSetSecurityKey(keys, "new-form-key", "default"), 1);
    const std::vector<uint8_t> plain = RandomBytes(3000, 1);
    std::vector<uint8_t> frame = plain;
    const uint32_t info = crypt_info::Make(256, 0);
    oldCamera.EncryptFrame(frame.data(), frame.size(), info, 1);
    ASSERT_NE(frame, plain);
    EXPECT_EQ(Decrypt(keys, frame, info, 1, oldCamera), QNPS_RETURN_VAL_OK);
    EXPECT_EQ(frame, plain);
}

// "security_clear" of the file player sets an empty code into default,
// default_old and custom: those slots then hold no key, so a custom stream
// asks for its code again.
TEST(StreamSecurity, EmptyCodeEmptiesItsSlot)
{
    const StreamEncryptor custom("custom-pw", 2);
    const StreamEncryptor dflt("default-pw", 1);
    const StreamEncryptor temp("temp-pw", 3);
    SecurityKeys keys;
    for (const char* name : {"custom", "default", "default_old"}) ASSERT_EQ(qnSetSecurityKey(keys, "", name), 1);
    EXPECT_EQ(qnCheckSecurity(keys, custom.Low(1), custom.High()), QNPS_RETURN_VAL_NEED_CUS_CODE);

    ASSERT_EQ(qnSetSecurityKey(keys, "custom-pw", "custom"), 1);
    ASSERT_EQ(qnSetSecurityKey(keys, "default-pw", "default_old"), 1);
    ASSERT_EQ(qnSetSecurityKey(keys, "temp-pw", "temp"), 1);
    EXPECT_EQ(qnCheckSecurity(keys, custom.Low(1), custom.High()), QNPS_RETURN_VAL_OK);
    EXPECT_EQ(qnCheckSecurity(keys, dflt.Low(1), dflt.High()), QNPS_RETURN_VAL_NEED_DEF_CODE)
        << "default_old is tried only after a default key that does not match";
    EXPECT_TRUE(qnGetSecurityKeyText(keys, "custom") == custom.FirstKeyText()) << "key texts are not printed";

    for (const char* name : {"default", "default_old", "custom"}) ASSERT_EQ(qnSetSecurityKey(keys, "", name), 1);
    EXPECT_EQ(qnCheckSecurity(keys, custom.Low(1), custom.High()), QNPS_RETURN_VAL_NEED_CUS_CODE);
    EXPECT_EQ(qnCheckSecurity(keys, dflt.Low(1), dflt.High()), QNPS_RETURN_VAL_NEED_DEF_CODE);
    EXPECT_EQ(qnGetSecurityKeyText(keys, "custom"), "");
    EXPECT_EQ(qnCheckSecurity(keys, temp.Low(1), temp.High()), QNPS_RETURN_VAL_OK) << "temp is left alone";

    ASSERT_EQ(qnSetSecurityKey(keys, nullptr, "no_security"), 1);
    EXPECT_EQ(qnCheckSecurity(keys, temp.Low(1), temp.High()), QNPS_RETURN_VAL_NEED_TMP_CODE);
}

TEST(StreamSecurity, KeyTextsByName)
{
    const StreamEncryptor dflt("d", 1);
    const StreamEncryptor temp("t", 3);
    SecurityKeys keys;
    EXPECT_EQ(qnGetSecurityKeyText(keys, "default"), "");
    ASSERT_EQ(qnSetSecurityKey(keys, "d", "default"), 1);
    ASSERT_EQ(qnSetSecurityKey(keys, "t", "temp"), 1);
    EXPECT_TRUE(qnGetSecurityKeyText(keys, "default") == dflt.FirstKeyText()) << "key texts are not printed";
    EXPECT_TRUE(qnGetSecurityKeyText(keys, "temp") == temp.FirstKeyText()) << "key texts are not printed";
    EXPECT_EQ(qnGetSecurityKeyText(keys, "custom"), "");
    EXPECT_EQ(qnGetSecurityKeyText(keys, "other"), "") << "the last key set names no frame kinds";

    // Other names pick the slot numbered by the frame kinds that the last
    // key set's slot saw in its last check, minus 1; kinds beyond 4 name none.
    const StreamEncryptor custom("c", 2);
    ASSERT_EQ(qnSetSecurityKey(keys, "c", "custom"), 1);
    ASSERT_EQ(qnCheckSecurity(keys, custom.Low(3), custom.High()), QNPS_RETURN_VAL_OK);
    ASSERT_EQ(qnSetSecurityKey(keys, "c", "custom"), 1);
    EXPECT_TRUE(qnGetSecurityKeyText(keys, "other") == temp.FirstKeyText()) << "kinds 3 pick slot 2";
    ASSERT_EQ(qnCheckSecurity(keys, custom.Low(2), custom.High()), QNPS_RETURN_VAL_OK);
    ASSERT_EQ(qnSetSecurityKey(keys, "c", "custom"), 1);
    EXPECT_TRUE(qnGetSecurityKeyText(keys, "other") == custom.FirstKeyText()) << "kinds 2 pick slot 1";
    ASSERT_EQ(qnCheckSecurity(keys, custom.Low(0x80), custom.High()), QNPS_RETURN_VAL_OK);
    ASSERT_EQ(qnSetSecurityKey(keys, "c", "custom"), 1);
    EXPECT_EQ(qnGetSecurityKeyText(keys, "other"), "");
    EXPECT_EQ(qnGetSecurityKeyText(keys, nullptr), "");
}

// Encrypt as a camera, decrypt, and compare, over frame layouts and spans.
TEST(StreamSecurity, FramesDecryptToWhatTheCameraEncrypted)
{
    const StreamEncryptor camera("frame code", 2);
    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "frame code", "custom"), 1);
    const struct {
        uint32_t length, interval, clear;
        int kind;
        uint32_t kinds;
        int result;
        bool encrypted; // the camera encrypts at least one block
    } layouts[] = {
        {33, 0, 0, 1, 1, 0, false},
        {100, 0, 0, 1, 1, 0, true},
        {1000, 0, 0, 1, 1, 0, true},
        {5000, 100, 37, 2, 2, 0, true},
        {5000, 100, 37, 2, 3, 0, true},
        {70000, 65535, 0, 1, 1, 0, true},
        {200000, 4096, 1023, 4, 4, 0, true},
        {3000, 0, 0, 8, 8, 0, true},
        {3000, 1000, 17, 8, 9, 0, true},
        {64 + 16, 0, 16, 8, 8, 0, false},
        {1000, 0, 0, 2, 1, QNPS_RETURN_VAL_IGNORE_BY_LV, false},
        // Clear headers at or beyond the frame's end: nothing to decrypt.
        {1000, 0, 1023, 1, 1, 0, false},
        {1024, 0, 1009, 1, 1, 0, false},
        {1024, 0, 1008, 1, 1, 0, false},
        {40, 0, 600, 1, 1, 0, false},
    };
    uint32_t seed = 0;
    for (const auto& layout : layouts) {
        SCOPED_TRACE(testing::Message() << "length " << layout.length << " interval " << layout.interval << " clear "
                                        << layout.clear << " kind " << layout.kind);
        const std::vector<uint8_t> plain = RandomBytes(layout.length, ++seed);
        std::vector<uint8_t> frame = plain;
        const uint32_t info = crypt_info::Make(layout.interval, layout.clear);
        if (layout.kinds & static_cast<uint32_t>(layout.kind))
            camera.EncryptFrame(frame.data(), frame.size(), info, layout.kind);
        EXPECT_EQ(frame != plain, layout.encrypted);
        EXPECT_EQ(Decrypt(keys, frame, info, layout.kind, camera, layout.kinds), layout.result);
        EXPECT_EQ(frame, plain);
    }
}

TEST(StreamSecurity, RefusedFramesStayUntouched)
{
    const StreamEncryptor camera("right", 2);
    const uint32_t info = crypt_info::Make(0, 0);
    const std::vector<uint8_t> plain = RandomBytes(2000, 5);
    std::vector<uint8_t> encrypted = plain;
    camera.EncryptFrame(encrypted.data(), encrypted.size(), info, 1);

    SecurityKeys keys;
    std::vector<uint8_t> frame = encrypted;
    EXPECT_EQ(Decrypt(keys, frame, info, 1, camera), kQnpsNoKeyTable);
    ASSERT_EQ(qnSetSecurityKey(keys, "wrong", "custom"), 1);
    EXPECT_EQ(Decrypt(keys, frame, info, 1, camera), QNPS_RETURN_VAL_CODE_CUS_ERR);
    EXPECT_EQ(frame, encrypted);
    ASSERT_EQ(qnSetSecurityKey(keys, nullptr, "no_security"), 1);
    EXPECT_EQ(Decrypt(keys, frame, info, 1, camera), QNPS_RETURN_VAL_NEED_CUS_CODE);
    EXPECT_EQ(frame, encrypted);

    ASSERT_EQ(qnSetSecurityKey(keys, "right", "custom"), 1);
    std::vector<uint8_t> shortFrame(32, 7);
    EXPECT_EQ(Decrypt(keys, shortFrame, info, 1, camera), kQnpsBufferShort);
    EXPECT_EQ(shortFrame, std::vector<uint8_t>(32, 7));
    EXPECT_EQ(qnStreamDecrypt(keys, CryptBuffer{nullptr, 2000, info}, 1, camera.Low(1), camera.High()),
              kQnpsBufferShort);
    // Not encrypted: left as it is.
    EXPECT_EQ(qnStreamDecrypt(keys, CryptBuffer{frame.data(), 2000, info}, 1, 0, 0), QNPS_RETURN_VAL_OK);
    EXPECT_EQ(frame, encrypted);
}

TEST(StreamSecurity, RecordsDecryptToWhatTheCameraEncrypted)
{
    const StreamEncryptor camera("record code", 1);
    SecurityKeys keys;
    ASSERT_EQ(qnSetSecurityKey(keys, "record code", "default"), 1);
    const struct {
        uint32_t length, interval, tail;
        int result;
        bool encrypted;
    } records[] = {
        {512, 0, 0, kQnpsBufferShort, false}, {513, 0, 0, 0, false},    {900, 0, 0, 0, true}, {4000, 0, 100, 0, true},
        {20000, 3000, 1023, 0, true},         {600, 0, 1023, 0, false},
    };
    uint32_t seed = 100;
    for (const auto& r : records) {
        SCOPED_TRACE(testing::Message() << "length " << r.length << " tail " << r.tail);
        const std::vector<uint8_t> plain = RandomBytes(r.length, ++seed);
        std::vector<uint8_t> record = plain;
        const uint32_t info = crypt_info::Make(r.interval, r.tail);
        camera.EncryptRecord(record.data(), record.size(), info);
        EXPECT_EQ(record != plain, r.encrypted);
        const CryptBuffer buffer{record.data(), r.length, info};
        EXPECT_EQ(qnRecordDecrypt(keys, buffer, camera.Low(0), camera.High()), r.result);
        EXPECT_EQ(record, plain);
    }
}

} // namespace
