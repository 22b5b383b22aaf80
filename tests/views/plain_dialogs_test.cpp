// The three widget forms: the loading screen's climbing bar, the MP4
// conversion dialog and the date picker.
#include <gtest/gtest.h>

// First: the card module's records have a field named "slots", which Qt defines away.
#include "streams/qn_tf.h"
#include "streams/tf_card_fixture.h"
#include "streams/tf_module_events.h"

#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include <QCalendarWidget>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimeEdit>

#include "loading_widget.h"
#include "mp4_convert_widget.h"
#include "select_date_widget.h"
#include "support/qt_test_env.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "support/this_process.h"

namespace {

using qt_test::ProcessUntil;

TEST(LoadingWidget, TheBarClimbsToEachStepAndStopsAtTheFull)
{
    LoadingWidget loading;
    loading.centerIn(1280, 800);
    EXPECT_EQ(loading.geometry(), QRect(340, 200, 660, 410));
    EXPECT_EQ(loading.progressBar()->width(), 661);
    loading.setStep(20);
    loading.startProgress();
    ASSERT_TRUE(ProcessUntil([&] { return loading.progressBar()->value() == 20; }));
    EXPECT_EQ(loading.current(), 20);
    EXPECT_FALSE(loading.progressEnded());
    // The bar never turns back; a higher step moves it on.
    loading.setStep(10);
    loading.setStep(55);
    ASSERT_TRUE(ProcessUntil([&] { return loading.progressBar()->value() == 55; }));
    EXPECT_EQ(loading.current(), 55);
    loading.setStep(150);
    ASSERT_TRUE(ProcessUntil([&] { return loading.progressEnded(); }));
    EXPECT_EQ(loading.current(), 100);
    ASSERT_TRUE(ProcessUntil([&] { return loading.progressBar()->value() == 100; }));
}

TEST(LoadingWidget, StoppingEndsTheThreadBelowTheTarget)
{
    const int before = testing_support::SettledThreadCount();
    {
        LoadingWidget loading;
        loading.setStep(90);
        loading.startProgress();
        ASSERT_TRUE(ProcessUntil([&] { return loading.current() >= 1; }));
        loading.stopProgress();
        EXPECT_TRUE(loading.progressEnded());
        const int stoppedAt = loading.current();
        EXPECT_LE(stoppedAt, 90);
        ASSERT_TRUE(ProcessUntil([&] { return loading.progressBar()->value() == stoppedAt; }));
    }
    EXPECT_EQ(testing_support::SettledThreadCount(), before);
}

TEST(LoadingWidget, TheBackgroundIsTheScaledPicture)
{
    testing_support::TempFolder temp;
    const std::string picture = temp.Path() + "/LOADMAP";
    ASSERT_EQ(testing_support::RunCommand("ffmpeg -v error -f lavfi -i color=c=0x2398e9:s=64x32 -frames:v 1 -f image2 "
                                          "-c:v png " +
                                          picture)
                  .exitCode,
              0);
    LoadingWidget loading;
    EXPECT_FALSE(loading.setBackground(QString::fromStdString(temp.Path() + "/missing")));
    ASSERT_TRUE(loading.setBackground(QString::fromStdString(picture)));
    EXPECT_TRUE(loading.autoFillBackground());
    const QImage brush = loading.palette().brush(QPalette::Window).texture().toImage();
    EXPECT_EQ(brush.size(), QSize(660, 410));
    // ffmpeg's colour conversion may move a channel by a step or two.
    const QColor centre(brush.pixel(300, 200));
    EXPECT_NEAR(centre.red(), 0x23, 3);
    EXPECT_NEAR(centre.green(), 0x98, 3);
    EXPECT_NEAR(centre.blue(), 0xe9, 3);
}

// The TF-card module's conversion calls, kept instead of made.
struct ConversionLog {
    std::mutex mutex;
    std::vector<int> starts; // the start flag of each call
    streams::VQ_TF_TIME span{};
    std::string folder;
    int answer = 1;
    std::string fileName;
};
ConversionLog g_log;

int LogConvert(int start, streams::VQ_TF_TIME* time, const char* folder)
{
    std::lock_guard<std::mutex> lock(g_log.mutex);
    g_log.starts.push_back(start);
    if (time) g_log.span = *time;
    g_log.folder = folder ? folder : "";
    return g_log.answer;
}

int LogFileName(char* buffer, int size)
{
    std::lock_guard<std::mutex> lock(g_log.mutex);
    if (g_log.fileName.empty() || int(g_log.fileName.size()) >= size) return 0;
    std::copy(g_log.fileName.begin(), g_log.fileName.end(), buffer);
    buffer[g_log.fileName.size()] = '\0';
    return 1;
}

class QuietConvert : public MP4ConvertWidget {
public:
    QuietConvert() : MP4ConvertWidget(Mp4Conversion{&LogConvert, &LogFileName}, nullptr) {}
    QStringList warnings;

protected:
    void warn(const QString& text) override { warnings << text; }
};

class Mp4Convert : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::lock_guard<std::mutex> lock(g_log.mutex);
        g_log.starts.clear();
        g_log.answer = 1;
        g_log.fileName.clear();
        dialog.init(1024, 672, 1);
        dialog.setOutput("/data/Record", streams::PackTfSpan({2024, 2, 29, 0, 0, 0, 0, 0, 0}));
    }
    void setTimes(QTime begin, QTime end)
    {
        dialog.beginEdit()->setTime(begin);
        dialog.endEdit()->setTime(end);
    }
    QuietConvert dialog;
};

TEST(ConvertPercent, RoundsUpFromHalfAPercentBelow)
{
    const struct {
        int done, total, percent;
    } rows[] = {{1, 3, 33}, {2, 3, 67}, {3, 3, 100}, {0, 3, 0}, {199, 200, 100}, {5, 0, 0}, {7, 3, 233}};
    for (const auto& row : rows)
        EXPECT_EQ(ConvertPercent(row.done, row.total), row.percent) << row.done << "/" << row.total;
}

TEST_F(Mp4Convert, TheStretchIsPackedAsTheCardModuleReadsIt)
{
    EXPECT_EQ(dialog.geometry(), QRect((1024 - 400) / 2, (672 - 240) / 2, 400, 240));
    EXPECT_EQ(dialog.beginEdit()->locale().language(), QLocale::English);
    setTimes(QTime(9, 15, 30), QTime(10, 0, 0));
    dialog.convertButton()->click();
    ASSERT_EQ(g_log.starts, std::vector<int>{1});
    EXPECT_EQ(g_log.folder, "/data/Record");
    // The bit layout, packed independently.
    const auto packed = testing_support::RunCommand(
        "/usr/bin/python3 -c \"h=9; print(2024 | 2<<21 | 29<<25 | (h & 3)<<30, (h>>2) | 15<<3 | 30<<9 | 10<<15 | "
        "0<<20 | 0<<26)\"");
    ASSERT_EQ(packed.exitCode, 0);
    EXPECT_EQ(testing_support::Chomp(packed.output),
              std::to_string(g_log.span.word0) + " " + std::to_string(g_log.span.word1));
    EXPECT_TRUE(dialog.isConverting());
    EXPECT_EQ(dialog.convertButton()->text(), "Stop Convert");

    // The second click stops it.
    dialog.convertButton()->click();
    EXPECT_EQ(g_log.starts, (std::vector<int>{1, 0}));
    EXPECT_FALSE(dialog.isConverting());
    EXPECT_EQ(dialog.convertButton()->text(), "Convert");
}

TEST_F(Mp4Convert, AStretchThatDoesNotEndAfterItBeginsIsRefused)
{
    for (QTime end : {QTime(9, 15, 30), QTime(9, 0, 0)}) {
        setTimes(QTime(9, 15, 30), end);
        dialog.convertButton()->click();
    }
    EXPECT_TRUE(g_log.starts.empty());
    EXPECT_EQ(dialog.warnings.size(), 2);
    EXPECT_EQ(dialog.convertButton()->text(), "Convert");
}

TEST_F(Mp4Convert, AConversionThatDoesNotStartKeepsConvert)
{
    g_log.answer = 0;
    setTimes(QTime(9, 0, 0), QTime(9, 5, 0));
    dialog.convertButton()->click();
    EXPECT_EQ(g_log.starts, std::vector<int>{1});
    EXPECT_FALSE(dialog.isConverting());
    EXPECT_EQ(dialog.convertButton()->text(), "Convert");
    EXPECT_EQ(dialog.warnings.size(), 1);
}

TEST_F(Mp4Convert, ProgressFromTheConversionThreadReachesTheBar)
{
    {
        std::lock_guard<std::mutex> lock(g_log.mutex);
        g_log.fileName = "/data/Record/CAM1_20240229.mp4";
    }
    std::thread conversion([this] { dialog.setProValue(2, 3); });
    conversion.join();
    ASSERT_TRUE(ProcessUntil([&] { return dialog.progressBar()->value() == 67; }));
    EXPECT_EQ(dialog.counterLabel()->text(), "2/3");
    EXPECT_TRUE(dialog.outputLabel()->text().contains("MP4 File:"));
    EXPECT_TRUE(dialog.outputLabel()->text().contains("file:///data/Record/CAM1_20240229.mp4"));
    // Above 100 the bar is full.
    dialog.setProValue(7, 3);
    ASSERT_TRUE(ProcessUntil([&] { return dialog.progressBar()->value() == 100; }));
    dialog.resetProgress();
    EXPECT_EQ(dialog.progressBar()->value(), 0);
    EXPECT_TRUE(dialog.counterLabel()->text().isEmpty());
    // The stop request from elsewhere restores the output folder.
    emit dialog.exitConvertSignal();
    ASSERT_TRUE(ProcessUntil([&] { return dialog.outputLabel()->text().contains("Output location:"); }));
    EXPECT_TRUE(dialog.outputLabel()->text().contains("file:///data/Record"));
}

// The dialog with the real card module: a copied card of one recorded
// minute, converted into a file that ffprobe reads.
TEST(Mp4ConvertWithTheCardModule, ConvertsAStretchIntoAReadableFile)
{
    testing_support::TempFolder temp;
    const auto source = streams_test::MakeTfSource(temp.Path());
    ASSERT_FALSE(source.video.empty()) << "ffmpeg could not make the recording";
    const std::string card = temp.Path() + "/card";
    ASSERT_NE(
        streams_test::LayOutTfCard(source, card, "2024-05-01", "10:00", "rec_info=7\\\\n4321\\\\n../../cam0000000001"),
        "");
    ASSERT_EQ(vqCamTFInit(streams_test::TfModuleSettings()), 1);
    streams::VQ_TF_CARD_INFO info{};
    ASSERT_EQ(vqCamOpenTFCard(card.c_str(), &info, "account"), streams::kTfOk);

    MP4ConvertWidget dialog;
    dialog.init(1024, 672);
    vqCamSetTFMsgCallback(
        nullptr,
        [](int done, int total, void* user, int) { static_cast<MP4ConvertWidget*>(user)->setProValue(done, total); },
        &dialog, 0);
    const std::string out = temp.Path() + "/out";
    std::filesystem::create_directories(out);
    dialog.setOutput(QString::fromStdString(out), streams::PackTfSpan({2024, 5, 1, 0, 0, 0, 0, 0, 0}));
    dialog.beginEdit()->setTime(QTime(9, 58, 0));
    dialog.endEdit()->setTime(QTime(10, 1, 0));
    dialog.convertButton()->click();
    ASSERT_TRUE(dialog.isConverting());
    ASSERT_TRUE(ProcessUntil([&] { return dialog.progressBar()->value() == 100; }));
    EXPECT_EQ(dialog.counterLabel()->text(), "1/1");
    dialog.convertButton()->click();
    EXPECT_EQ(dialog.convertButton()->text(), "Convert");
    vqCamSetTFMsgCallback(nullptr, nullptr, nullptr, 0);

    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        ++files;
        const auto probed = testing_support::RunCommand(
            "ffprobe -v error -select_streams v -count_packets -show_entries stream=nb_read_packets -of csv=p=0 " +
            entry.path().string());
        EXPECT_EQ(testing_support::Chomp(probed.output), "25") << entry.path();
    }
    EXPECT_EQ(files, 1);
}

TEST(SelectDateWidget, AClickedDayReachesTheControllerInTheChosenLanguage)
{
    SelectDateWidget picker;
    EXPECT_EQ(picker.size(), QSize(568, 386));
    EXPECT_EQ(picker.calendar()->locale().language(), QLocale::Chinese);
    picker.setLanguage(true);
    EXPECT_EQ(picker.calendar()->locale().language(), QLocale::English);
    qt_test::StandInController controller;
    picker.connectDate(&controller);
    picker.calendar()->setSelectedDate(QDate(2026, 12, 10));
    emit picker.calendar()->clicked(QDate(2026, 12, 10));
    EXPECT_EQ(controller.count("selectDateSlot"), 1);
    EXPECT_EQ(picker.selectedDate(), QDate(2026, 12, 10));
}

} // namespace
