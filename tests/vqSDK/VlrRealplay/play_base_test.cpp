// The pieces the network play modules share: the A/B stream heads with their
// bounded stores, and the output step's order, decryption, password states
// and audio gate, against frames protected by the test encryptor under a
// private SEI written by the stream fixture tool.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "streams/frame_decrypt.h"
#include "streams/stream_fixture.h"
#include "support/stream_encryptor.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrRealplay/mont_stream_head.h"
#include "vqSDK/VlrRealplay/stream_output.h"

namespace {

using Bytes = std::vector<uint8_t>;
using realplay::HeadPart;

Bytes Unit(uint8_t nalHeader, std::size_t length, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes unit(length);
    for (auto& byte : unit) byte = static_cast<uint8_t>(random() | 1); // never a start code inside
    unit[0] = unit[1] = unit[2] = 0;
    unit[3] = 1;
    unit[4] = nalHeader;
    return unit;
}

std::string Stored(const uint8_t* at, uint32_t length)
{
    return at == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(at), length);
}

TEST(StreamHeads, CollectBetweenKeyFramesSwitchAtEachAndRefuseWhatWouldNotFit)
{
    realplay::StreamHeadPair heads;
    const Bytes sps = Unit(0x67, 20, 1), pps = Unit(0x68, 8, 2), sei1 = Unit(0x06, 80, 3), sei2 = Unit(0x06, 90, 4);
    EXPECT_EQ(heads.Current(), nullptr);
    ASSERT_TRUE(heads.Collect(heads.CurrentIndex(), HeadPart::Sps, sps.data(), 20));
    ASSERT_TRUE(heads.Collect(heads.CurrentIndex(), HeadPart::Pps, pps.data(), 8));
    ASSERT_TRUE(heads.Collect(heads.CurrentIndex(), HeadPart::PrivateSei, sei1.data(), 80));
    ASSERT_TRUE(heads.Collect(heads.CurrentIndex(), HeadPart::PrivateSei, sei2.data(), 90));
    EXPECT_EQ(heads.Current(), nullptr) << "nothing is current before a key frame";
    heads.SwitchAtKeyFrame(heads.CurrentIndex());
    ASSERT_EQ(heads.CurrentIndex(), 0);
    const MontStreamHead* head = heads.Current();
    ASSERT_NE(head, nullptr);
    EXPECT_EQ(realplay::HeadUsed(*head), 198u);
    EXPECT_EQ(realplay::HeadSpsLength(*head), 20u);
    EXPECT_EQ(realplay::HeadPpsLength(*head), 8u);
    EXPECT_EQ(realplay::HeadSeiLength(*head), 170u);
    EXPECT_EQ(head->lengths >> 30, 170u & 3);
    EXPECT_EQ(head->seiHigh, 170u >> 2);
    EXPECT_EQ(Stored(head->sps, 20), Stored(sps.data(), 20));
    EXPECT_EQ(Stored(head->pps, 8), Stored(pps.data(), 8));
    EXPECT_EQ(head->sei, head->store + 28) << "the address stays on the first private SEI";
    EXPECT_EQ(Stored(head->sei, 170), Stored(sei1.data(), 80) + Stored(sei2.data(), 90));

    // A copy for another thread keeps its bytes when the heads move on.
    MontStreamHead copy{};
    uint8_t bytes[realplay::kStreamHeadStoreBytes];
    ASSERT_TRUE(heads.CopyCurrent(&copy, bytes, sizeof bytes));
    EXPECT_EQ(copy.store, bytes);
    EXPECT_EQ(copy.sei, bytes + 28);
    EXPECT_EQ(copy.lengths, head->lengths);

    // Head B collects now; what would overflow its store is refused whole.
    const Bytes big = Unit(0x06, 200, 5);
    ASSERT_TRUE(heads.Collect(heads.CurrentIndex(), HeadPart::PrivateSei, big.data(), 200));
    EXPECT_FALSE(heads.Collect(heads.CurrentIndex(), HeadPart::Sps, sps.data(), 57));
    ASSERT_TRUE(heads.Collect(heads.CurrentIndex(), HeadPart::Sps, sps.data(), 20));
    EXPECT_EQ(realplay::HeadUsed(*heads.Current()), 198u) << "the current head is untouched by collecting";
    heads.SwitchAtKeyFrame(heads.CurrentIndex());
    ASSERT_EQ(heads.CurrentIndex(), 1);
    EXPECT_EQ(realplay::HeadUsed(*heads.Current()), 220u);
    EXPECT_EQ(realplay::HeadSeiLength(*heads.Current()), 200u);
    EXPECT_EQ(Stored(copy.sei, 170), Stored(sei1.data(), 80) + Stored(sei2.data(), 90));

    // The next key frame without parameter sets in between leaves an empty head current.
    heads.SwitchAtKeyFrame(heads.CurrentIndex());
    EXPECT_EQ(realplay::HeadUsed(*heads.Current()), 0u);
    heads.Reset();
    EXPECT_EQ(heads.CurrentIndex(), -1);
    EXPECT_FALSE(heads.CopyCurrent(&copy, bytes, sizeof bytes));
}

struct Seen {
    std::vector<MontFrameInfo> frames;
    std::vector<Bytes> data;
    std::vector<std::pair<int, uint32_t>> states;
    std::vector<std::string> events;
    static int OnFrame(uint8_t* data, int32_t length, const MontFrameInfo* info, void* user, int32_t)
    {
        auto* self = static_cast<Seen*>(user);
        self->frames.push_back(*info);
        self->data.emplace_back(data, data + length);
        return 1;
    }
    static void OnState(int32_t state, int32_t, const uint32_t* keyType, void* user, int32_t)
    {
        static_cast<Seen*>(user)->states.emplace_back(state, *keyType);
    }
    static void OnEvent(int32_t event, int32_t, const char* text, void* user, int32_t)
    {
        static_cast<Seen*>(user)->events.push_back(std::to_string(event) + ":" + (text ? text : "null"));
    }
};

class OutputStep : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!testing_support::HaveCommand("python3")) GTEST_SKIP() << "python3 is not installed";
        callbacks.SetFrame(&Seen::OnFrame, &seen, 0);
        callbacks.SetState(&Seen::OnState, &seen, 0);
        callbacks.SetEvent(&Seen::OnEvent, &seen, 0);
    }

    // A private SEI from the fixture tool: kind 2 carries no security flag
    // (a clear stream); kind 3 that of `camera`, key frames clear for 64
    // bytes and protected for 1992, other frames clear for 32, an interval of
    // 1024 (every field free of start-code-like bytes).
    streams::MontSeiInfo Sei(const testing_support::StreamEncryptor* camera)
    {
        const std::string path = folder.Path() + "/sei.bin";
        const std::string fields = camera == nullptr ? "sei 2 " + path
                                                     : "sei 3 " + path + " security_bits=2 sec_low=" +
                                                           std::to_string(camera->Low(2 | 4)) + " sec_high=" +
                                                           std::to_string(camera->High()) +
                                                           " protection=0x04083E44 key_clear=8 interval=16";
        const auto made = streams_test::RunFixture(fields);
        EXPECT_EQ(made.exitCode, 0) << made.output;
        const Bytes unit = streams_test::ReadFile(path);
        streams::MontSeiInfo sei{};
        EXPECT_EQ(streams::ParseSeiPacked(unit.data(), unit.size(), &sei), 1);
        return sei;
    }

    realplay::StreamFrame Frame(Bytes& bytes, uint32_t number)
    {
        return {bytes.data(), static_cast<uint32_t>(bytes.size()), number, 640, 360, 25.0f};
    }

    testing_support::TempFolder folder;
    realplay::PlayCallbacks callbacks;
    streams::SecurityKeys keys;
    Seen seen;
    realplay::StreamOutputStep step{{true, true}, callbacks, keys};
};

TEST_F(OutputStep, ProtectedFramesDecryptWithTheRightPasswordAndHoldAudioBackWithAWrongOne)
{
    const testing_support::StreamEncryptor camera("lens room 7", 2);
    const streams::MontSeiInfo sei = Sei(&camera);
    ASSERT_EQ(realplay::SeiKeyType(sei), 2u);
    ASSERT_EQ(sei.protectedKeyLength, 1992) << "less than the key frame: its tail stays clear";
    const Bytes key = Unit(0x65, 3000, 10), other = Unit(0x41, 1500, 11), audio = Unit(0xFF, 320, 12);
    Bytes lockedKey = key, lockedOther = other;
    camera.EncryptFrame(lockedKey.data(), sei.protectedKeyLength, streams::crypt_info::Make(1024, 64), 2);
    camera.EncryptFrame(lockedOther.data(), lockedOther.size(), streams::crypt_info::Make(1024, 32), 4);
    ASSERT_NE(lockedKey, key);
    ASSERT_NE(lockedOther, other);

    struct Case {
        const char* password;
        int32_t state;
        bool decrypted;
    } cases[] = {{"not it", PLAY_STATE_CUSTOM_WRONG, false}, {"lens room 7", PLAY_STATE_PASSWORD_OK, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        seen = Seen{};
        step.Reset();
        ASSERT_EQ(streams::qnSetSecurityKey(keys, c.password, "custom"), 1);
        Bytes k = lockedKey, p = lockedOther, a = audio;
        EXPECT_FALSE(step.Audio(Frame(a, 1))) << "audio waits for the first key frame";
        step.KeyFrame(Frame(k, 1), &sei);
        step.OtherFrame(Frame(p, 2));
        EXPECT_EQ(step.Audio(Frame(a, 2)), c.decrypted);
        ASSERT_EQ(seen.frames.size(), c.decrypted ? 3u : 2u);
        const uint32_t decrypted = c.decrypted ? realplay::kFrameDecrypted : 0;
        EXPECT_EQ(seen.frames[0].flags, 3u | realplay::kFrameProtected | decrypted);
        EXPECT_EQ(seen.frames[1].flags, 1u | realplay::kFrameProtected | decrypted);
        EXPECT_STREQ(seen.frames[0].kind, "h264_I");
        EXPECT_EQ(seen.frames[0].pictureSize, 640u | 360u << 16);
        EXPECT_EQ(seen.frames[0].frameRate, 25u);
        EXPECT_EQ(seen.data[0] == key, c.decrypted);
        EXPECT_EQ(seen.data[1] == other, c.decrypted);
        // A wrong password raises its state once per failing frame; a right one once per key frame.
        const std::vector<std::pair<int, uint32_t>> states =
            c.decrypted ? std::vector<std::pair<int, uint32_t>>{{c.state, 2}}
                        : std::vector<std::pair<int, uint32_t>>{{c.state, 2}, {c.state, 2}};
        EXPECT_EQ(seen.states, states);
        EXPECT_EQ(seen.events, std::vector<std::string>{"12:NetStreamOutQue"});
    }
}

TEST_F(OutputStep, VideoKeepsItsOrderAndAKeyFrameWithoutPrivateSeiIsNotOutput)
{
    const streams::MontSeiInfo sei = Sei(nullptr);
    ASSERT_FALSE(realplay::SeiProtected(sei));
    Bytes key = Unit(0x65, 200, 1), other = Unit(0x41, 20, 2), audio = Unit(0xFF, 320, 3);
    EXPECT_EQ(step.KeyFrame(Frame(key, 5), nullptr), -1);
    EXPECT_TRUE(seen.frames.empty());
    EXPECT_EQ(seen.events.size(), 1u) << "the key frame event comes before the SEI check";
    EXPECT_TRUE(step.AudioGated());

    const struct {
        bool key;
        uint32_t number;
        bool output;
    } frames[] = {{true, 10, true}, {false, 11, true}, {false, 13, false}, {false, 14, false},
                  {true, 9, false}, {true, 20, true},  {false, 20, false}, {false, 21, true}};
    for (const auto& f : frames) {
        const std::size_t before = seen.frames.size();
        if (f.key) {
            step.KeyFrame(Frame(key, f.number), &sei);
        } else {
            step.OtherFrame(Frame(other, f.number));
        }
        EXPECT_EQ(seen.frames.size() - before, f.output ? 1u : 0u) << "frame " << f.number;
    }
    // An unprotected stream needs no decryption, however short its frames.
    for (const auto& info : seen.frames) EXPECT_EQ(info.flags & 0xC00000u, realplay::kFrameDecrypted);
    EXPECT_TRUE(step.Audio(Frame(audio, 21)));
    EXPECT_EQ(seen.frames.back().flags, 0u);
    EXPECT_STREQ(seen.frames.back().kind, "g711a");

    realplay::StreamOutputStep card({false, false}, callbacks, keys);
    seen = Seen{};
    card.KeyFrame(Frame(key, 10), &sei);
    card.KeyFrame(Frame(key, 9), &sei);
    realplay::StreamFrame withFill = Frame(other, 10);
    withFill.carriesSyncId = true;
    // byte fill 0x155, entry fill 0x2AA, count 0x3C3, level 0x0F0
    withFill.syncId = 0x155 | 0x2AAull << 10 | 0x3C3ull << 20 | 0x0F0ull << 30;
    card.OtherFrame(withFill);
    ASSERT_EQ(seen.frames.size(), 3u) << "the TF-card rules keep frames numbered below the last";
    EXPECT_TRUE(seen.events.empty());
    EXPECT_EQ(seen.frames[2].flags, 1u | 0x155u << 2 | 0x2AAu << 12 | realplay::kFrameDecrypted);
    EXPECT_EQ(seen.frames[2].queueWord, 0x3C3u | 0x0F0u << 16);
    EXPECT_EQ(seen.frames[2].frameNumber, 10u);
}

TEST(RecordFrames, TypeCodesOfTheRecordedKinds)
{
    const std::pair<const char*, uint32_t> kinds[] = {
        {"h264_P", 0x10}, {"h264_I", 0x30},       {"h264_SPS", 4},      {"h264_PPS", 5}, {"h264_SEI", 0x26},
        {"h264_SEI_QN", 0x27}, {"h264_SEI_QN_P", 8}, {"g711a", 1}, {"jpg", 0}, {"PCM", 0}};
    for (const auto& k : kinds) EXPECT_EQ(realplay::RecordTypeCodeOf(k.first), k.second) << k.first;
}

} // namespace
