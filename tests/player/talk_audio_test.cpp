// Talk audio against a real sound server: a private PulseAudio daemon whose
// null sink plays what we play and whose microphone is that sink's monitor.
// A tone sent as received audio goes through decoding, the noise filter and
// the output device, comes back through the microphone, is encoded to A-law
// by the capture side and reaches the talk callback; Python's audioop decodes
// it and numpy finds the tone (Debian's interpreter, which carries numpy).
#include "pulse_server.h"

#include "AudioPlay.h"
#include "TalkManager.h"
#include "support/run_command.h"
#include "support/this_process.h"
#include "support/wait_until.h"
#include "vqSDK/QnMp4Helper/g711_alaw.h"

#include <QAudioDeviceInfo>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 8000;

// A-law of a tone, optionally in white noise of the given amplitude and
// sounding only in the first half of every `burst` samples.
std::vector<char> AlawTone(double frequency, int amplitude, int samples, int noise = 0, int burst = 0)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noiseSample(-noise, noise);
    const double pi = std::acos(-1.0);
    std::vector<char> alaw(std::size_t(samples), 0);
    for (int i = 0; i < samples; ++i) {
        bool sounding = burst == 0 || i % burst < burst / 2;
        double value =
            (sounding ? amplitude * std::sin(2 * pi * frequency * i / kRate) : 0) + (noise ? noiseSample(random) : 0);
        alaw[std::size_t(i)] = char(qn_g711::EncodeAlawSample(int16_t(std::lround(value))));
    }
    return alaw;
}

void Collect(const char* data, int length, void* user)
{
    auto* captured = static_cast<std::vector<char>*>(user);
    captured->insert(captured->end(), data, data + length);
}

// Captured samples louder than a quiet room: the tone has come back.
int LoudSamples(const std::vector<char>& alaw)
{
    int loud = 0;
    for (char code : alaw) loud += std::abs(qn_g711::kAlawToLinear[uint8_t(code)]) > 1000;
    return loud;
}

struct ToneAnalysis {
    double peakHz = 0;
    double toneShare = 0; // of the energy within 30 Hz of the peak
    double rms = 0;
    // Levels of 20 ms frames: the quietest fifth and the loudest fifth.
    double quietFrames = 0;
    double loudFrames = 0;
};

// audioop decodes the capture, numpy finds its strongest frequency.
ToneAnalysis Analyse(const std::string& folder, const std::vector<char>& alaw)
{
    std::string raw = folder + "/captured.alaw", script = folder + "/analyse.py";
    std::ofstream(raw, std::ios::binary).write(alaw.data(), std::streamsize(alaw.size()));
    std::ofstream(script) << "import audioop, sys, numpy as np\n"
                             "pcm = np.frombuffer(audioop.alaw2lin(open(sys.argv[1], 'rb').read(), 2), '<i2')\n"
                             "x = pcm.astype(float)\n"
                             "spectrum = np.abs(np.fft.rfft(x)) ** 2\n"
                             "hz = np.fft.rfftfreq(len(x), 1 / 8000)\n"
                             "peak = hz[np.argmax(spectrum[1:]) + 1]\n"
                             "share = spectrum[np.abs(hz - peak) <= 30].sum() / spectrum[1:].sum()\n"
                             "frames = np.sqrt(np.mean(x[: len(x) // 160 * 160].reshape(-1, 160) ** 2, axis=1))\n"
                             "print(peak, share, np.sqrt(np.mean(x ** 2)), *np.percentile(frames, [20, 80]))\n";
    auto result = testing_support::RunCommand("/usr/bin/python3 -W ignore " + script + " " + raw + " 2>&1");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    ToneAnalysis analysis;
    std::istringstream(result.output) >> analysis.peakHz >> analysis.toneShare >> analysis.rms >>
        analysis.quietFrames >> analysis.loudFrames;
    return analysis;
}

// The share of the capture's energy within 30 Hz of each frequency, by audioop and numpy.
std::vector<double> BandShares(const std::string& folder, const std::vector<char>& alaw,
                               const std::vector<int>& frequencies)
{
    std::string raw = folder + "/bands.alaw", script = folder + "/bands.py";
    std::ofstream(raw, std::ios::binary).write(alaw.data(), std::streamsize(alaw.size()));
    std::ofstream(script) << "import audioop, sys, numpy as np\n"
                             "x = np.frombuffer(audioop.alaw2lin(open(sys.argv[1], 'rb').read(), 2), '<i2').astype(float)\n"
                             "spectrum = np.abs(np.fft.rfft(x)) ** 2\n"
                             "hz = np.fft.rfftfreq(len(x), 1 / 8000)\n"
                             "print(*[spectrum[np.abs(hz - int(f)) <= 30].sum() / spectrum[1:].sum() for f in sys.argv[2:]])\n";
    std::string command = "/usr/bin/python3 -W ignore " + script + " " + raw;
    for (int frequency : frequencies) command += " " + std::to_string(frequency);
    auto result = testing_support::RunCommand(command + " 2>&1");
    EXPECT_EQ(result.exitCode, 0) << result.output;
    std::vector<double> shares(frequencies.size(), -1);
    std::istringstream in(result.output);
    for (double& share : shares) in >> share;
    return shares;
}

class TalkAudio : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_pulse = new player_test::PulseServer;
        if (!s_pulse->Running()) return;
        // Qt's audio engine lives for the process; made once, before any count of threads.
        static int argc = 1;
        static char name[] = "talk_audio_test";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* application = new QCoreApplication(argc, argv);
        (void)application;
        QAudioDeviceInfo::availableDevices(QAudio::AudioOutput);
    }
    static void TearDownTestSuite()
    {
        delete s_pulse;
        s_pulse = nullptr;
    }
    void SetUp() override
    {
        if (!s_pulse->Running()) GTEST_SKIP() << s_pulse->Error();
        if (!testing_support::HaveCommand("/usr/bin/python3")) GTEST_SKIP() << "Debian's python3 with numpy is needed";
        m_threadsBefore = testing_support::ThreadCount();
    }
    void TearDown() override
    {
        // Capture runs on this thread's events; the player's thread must be gone.
        EXPECT_TRUE(WaitWithEvents([&] { return testing_support::ThreadCount() == m_threadsBefore; }))
            << testing_support::ThreadCount() << " threads, " << m_threadsBefore << " before";
    }

    // Waits for `condition` while this thread's events (capture) are served.
    template <typename Condition>
    static bool WaitWithEvents(Condition&& condition)
    {
        return testing_support::WaitUntil([&] {
            QCoreApplication::processEvents();
            return condition();
        });
    }

    // Opens talk with capture into `captured` and waits until the microphone
    // delivers, so that nothing played afterwards is missed.
    static void StartTalking(TalkManager& talk, std::vector<char>& captured)
    {
        talk.setTalkCallback(Collect, &captured);
        ASSERT_TRUE(talk.open());
        talk.setListen(true);
        ASSERT_TRUE(talk.setTalk(true));
        ASSERT_TRUE(WaitWithEvents([&] { return !captured.empty(); }));
    }

    static player_test::PulseServer* s_pulse;
    int m_threadsBefore = 0;
};

player_test::PulseServer* TalkAudio::s_pulse = nullptr;

TEST_F(TalkAudio, ReceivedToneIsPlayedAndComesBackEncodedThroughTheMicrophone)
{
    std::vector<char> captured;
    {
        TalkManager talk;
        talk.setTalkCallback(Collect, &captured);
        ASSERT_TRUE(talk.open());
        EXPECT_TRUE(talk.isTalkOpen());
        talk.setListen(true);
        ASSERT_TRUE(talk.isListening());
        ASSERT_TRUE(talk.setTalk(true));
        ASSERT_TRUE(talk.isTalking());

        // One second of 1 kHz in camera-sized blocks.
        std::vector<char> tone = AlawTone(1000, 8000, kRate);
        for (std::size_t at = 0; at < tone.size(); at += 320) talk.pushPlayback(tone.data() + at, 320);
        ASSERT_TRUE(WaitWithEvents([&] { return LoudSamples(captured) >= kRate / 2; }))
            << captured.size() << " bytes captured, " << LoudSamples(captured) << " loud";

        talk.setTalk(false);
        EXPECT_FALSE(talk.isTalking());
        talk.setListen(false);
        EXPECT_FALSE(talk.isListening());
        talk.release();
        EXPECT_FALSE(talk.isTalkOpen());
    }
    ToneAnalysis analysis = Analyse(s_pulse->Folder(), captured);
    EXPECT_NEAR(analysis.peakHz, 1000, 15);
    EXPECT_GT(analysis.toneShare, 0.8);
    EXPECT_GT(analysis.rms, 1000);
}

TEST_F(TalkAudio, NoiseFilterLowersTheNoiseFloorOfReceivedAudio)
{
    // Three seconds of 1 kHz bursts, 200 ms on and 200 ms off, in steady
    // white noise, fed no faster than they play so that nothing is dropped.
    // The filter learns the noise in the first part; in the last second and
    // a half the pauses between bursts must have grown quieter against the
    // bursts.
    std::vector<char> noisy = AlawTone(1000, 4000, 3 * kRate, 1500, 2 * kRate / 5);
    std::vector<char> captured;
    {
        TalkManager talk;
        ASSERT_NO_FATAL_FAILURE(StartTalking(talk, captured));
        std::size_t pushed = 0;
        constexpr std::size_t kBlock = 320, kAhead = kRate / 2;
        ASSERT_TRUE(WaitWithEvents([&] {
            while (pushed < noisy.size() && pushed < captured.size() + kAhead) {
                talk.pushPlayback(noisy.data() + pushed, int(kBlock));
                pushed += kBlock;
            }
            return pushed == noisy.size() && captured.size() >= noisy.size();
        })) << pushed
            << " bytes pushed, " << captured.size() << " captured";
        talk.release();
    }
    const std::ptrdiff_t tail = 3 * kRate / 2;
    ToneAnalysis sent = Analyse(s_pulse->Folder(), std::vector<char>(noisy.end() - tail, noisy.end()));
    ToneAnalysis heard = Analyse(s_pulse->Folder(), std::vector<char>(captured.end() - tail, captured.end()));
    EXPECT_NEAR(heard.peakHz, 1000, 15);
    // Pauses against bursts: at least 10 dB lower than sent.
    double sentContrast = sent.quietFrames / sent.loudFrames, heardContrast = heard.quietFrames / heard.loudFrames;
    EXPECT_LT(heardContrast, sentContrast / std::sqrt(10.0))
        << "sent " << sent.quietFrames << "/" << sent.loudFrames << ", heard " << heard.quietFrames << "/"
        << heard.loudFrames;
}

TEST_F(TalkAudio, MutingDropsReceivedAudioButNotWhatIsBuffered)
{
    // 700 Hz arrives, then 2300 Hz while muted, then 1300 Hz: what plays is
    // the first and the last, and nothing of the muted part. (Frequencies
    // whose samples seldom fall near zero, so that loud samples count time.)
    const int quarter = kRate / 4;
    std::vector<char> captured;
    {
        TalkManager talk;
        ASSERT_NO_FATAL_FAILURE(StartTalking(talk, captured));
        std::vector<char> before = AlawTone(700, 8000, quarter), muted = AlawTone(2300, 8000, quarter),
                          after = AlawTone(1300, 8000, quarter);
        talk.pushPlayback(before.data(), int(before.size()));
        talk.setMute(true);
        talk.pushPlayback(muted.data(), int(muted.size()));
        talk.setMute(false);
        talk.pushPlayback(after.data(), int(after.size()));
        // Silence after it: the device takes whole periods only.
        std::vector<char> silence = AlawTone(0, 0, kRate / 2);
        talk.pushPlayback(silence.data(), int(silence.size()));
        ASSERT_TRUE(WaitWithEvents([&] { return LoudSamples(captured) >= 2 * quarter * 3 / 4; }))
            << captured.size() << " bytes captured, " << LoudSamples(captured) << " loud";
        talk.release();
    }
    std::vector<double> shares = BandShares(s_pulse->Folder(), captured, {700, 1300, 2300});
    EXPECT_GT(shares[0], 0.3) << "700 Hz";
    EXPECT_GT(shares[1], 0.3) << "1300 Hz";
    EXPECT_LT(shares[2], 0.01) << "2300 Hz, sent while muted";
}

TEST_F(TalkAudio, ClosingWhileAudioArrivesOnAnotherThread)
{
    // The stream thread keeps delivering while the GUI thread closes and
    // reopens: the player and its filter must never be freed under it.
    TalkManager talk;
    std::vector<char> tone = AlawTone(1000, 8000, kRate / 10);
    std::atomic<bool> done{false};
    std::atomic<int> deliveries{0};
    std::thread stream([&] {
        while (!done) {
            talk.pushPlayback(tone.data(), int(tone.size()));
            ++deliveries;
            std::this_thread::yield();
        }
    });
    for (int round = 0; round < 6; ++round) {
        ASSERT_TRUE(talk.open()) << round;
        talk.setListen(true);
        int before = deliveries;
        ASSERT_TRUE(testing_support::WaitUntil([&] { return deliveries >= before + 20; })) << round;
        if (round % 2 == 0) {
            talk.close();
            EXPECT_FALSE(talk.isListening()) << round;
        } else {
            talk.release();
        }
    }
    done = true;
    stream.join();
}

} // namespace
