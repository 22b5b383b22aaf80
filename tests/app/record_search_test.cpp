// The TF-card record searches: the record index against the simulated camera
// service (packets out of order, duplicated, of another day, missing), the
// camera's file list through the hub, and a local folder made by Python.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "app/record_file.h"
#include "app/record_search.h"
#include "platform/files.h"
#include "support/run_command.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrSystem/hub_on_service.h"

namespace {

constexpr int32_t kCamera = 77;
const QN_NET_TIME6 kDay{2026, 12, 10, 0, 0, 0};

class RecordSearchOnService : public hub_test::HubOnService {
protected:
    void StartWithIndex(const std::string& indexOptions)
    {
        indexOut_ = folder_.Path() + "/spans.jsonl";
        Start("--card-index 0-2,59,600-630,1439 --card-files 40 --index-out " + indexOut_ + " " + indexOptions, "");
        search_ = std::make_unique<RecordSearch>(*hub_);
        hub_->SetNetEventCallBack(&RecordSearchOnService::OnEvent, search_.get(), 0);
    }
    static void OnEvent(int32_t kind, void* data, int32_t, void* user, int32_t)
    {
        if (kind == VLR_NET_NOTICE_20374) static_cast<RecordSearch*>(user)->AddFileList(data, VLR_NOTICE_20374_BYTES);
    }
    void TearDown() override
    {
        if (hub_) hub_->SetNetEventCallBack(nullptr, nullptr, 0);
        HubOnService::TearDown();
    }
    // The spans the simulated camera's own decoder found for its last answer.
    std::vector<std::pair<int64_t, int64_t>> PythonSpans() const
    {
        std::ifstream in(indexOut_);
        std::string line, last;
        while (std::getline(in, line)) last = line;
        std::vector<std::pair<int64_t, int64_t>> spans;
        std::size_t at = last.find("\"spans\"");
        if (at == std::string::npos) return spans;
        std::string numbers;
        for (char c : last.substr(at)) numbers += (c >= '0' && c <= '9') ? c : ' ';
        std::istringstream read(numbers);
        for (int64_t start, end; read >> start >> end;) spans.emplace_back(start, end);
        return spans;
    }
    static std::vector<std::pair<int64_t, int64_t>> Spans(const std::vector<QN_NET_REMOTE_FILE>& files, int count)
    {
        std::vector<std::pair<int64_t, int64_t>> spans;
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(RecordValid(files[i]), 1);
            auto seconds = [](const QN_NET_TIME6& t) {
                platform::CivilTime c;
                c.year = t.year;
                c.month = t.month;
                c.day = t.day;
                c.hour = t.hour;
                c.minute = t.minute;
                c.second = t.second;
                c.isDst = -1;
                return *platform::FromLocalTime(c);
            };
            spans.emplace_back(seconds(RecordStart(files[i])), seconds(RecordEnd(files[i])));
        }
        return spans;
    }

    testing_support::TempFolder folder_;
    std::string indexOut_;
    std::unique_ptr<RecordSearch> search_;
};

TEST_F(RecordSearchOnService, IndexPacketsInAnyOrderGiveThePythonSpans)
{
    struct Case {
        const char* faults;
        std::size_t spans;
    } cases[] = {{"", 36}, {"--index-fault shuffle --index-fault duplicate --index-fault wrong-day", 36},
                 {"--index-fault drop:0", 0}, {"--index-fault drop:3 --index-fault shuffle", 36}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.faults);
        StartWithIndex(c.faults);
        std::vector<QN_NET_REMOTE_FILE> files(1500);
        int count = -1;
        ASSERT_EQ(search_->SearchRemoteIndexFile(kCamera, kDay, files.data(), 1500, &count, 10000), 1);
        const auto expected = PythonSpans();
        EXPECT_EQ(Spans(files, count), expected);
        // drop:3 zeroes minutes 524 to 703 of the index: 600-630 are lost.
        EXPECT_EQ(expected.size(), std::string(c.faults).find("drop:3") != std::string::npos ? 5u : c.spans);
        TearDown();
    }
}

TEST_F(RecordSearchOnService, IndexOfAnotherDayEndsByTimeOutWithNoRecords)
{
    StartWithIndex("--index-fault all-wrong-day");
    std::vector<QN_NET_REMOTE_FILE> files(4);
    int count = 99;
    EXPECT_EQ(search_->SearchRemoteIndexFile(kCamera, kDay, files.data(), 4, &count, 1500), 0);
    EXPECT_EQ(count, 0);
    // The capacity bounds what is copied.
    TearDown();
    StartWithIndex("");
    EXPECT_EQ(search_->SearchRemoteIndexFile(kCamera, kDay, files.data(), 4, &count, 10000), 1);
    EXPECT_EQ(count, 4);
}

TEST_F(RecordSearchOnService, FileListKeepsBackToBackFilesInOrder)
{
    StartWithIndex("");
    std::vector<QN_NET_REMOTE_FILE> files(1500);
    int count = -1;
    ASSERT_EQ(search_->SearchRemoteFile(kCamera, QN_NET_TIME6{2026, 12, 10, 0, 0, 0},
                                        QN_NET_TIME6{2026, 12, 10, 23, 59, 59}, files.data(), 1500, &count),
              1);
    ASSERT_EQ(count, 40);
    for (int i = 0; i < count; ++i) EXPECT_EQ(RecordStart(files[i]).minute, i) << i;
}

// Each wall-clock reading after the first is 21 s later: every packet comes
// after the search's window.
class LateClock : public platform::Clock {
public:
    platform::WallTime WallNow() const override { return platform::WallTime{1796900000 + 21 * (reads_++ > 0), 0}; }

private:
    mutable std::atomic<int> reads_{0};
};

TEST_F(RecordSearchOnService, PacketsAfterTheSearchWindowAreIgnored)
{
    StartWithIndex("");
    LateClock late;
    RecordSearch search(*hub_, late);
    hub_->SetNetEventCallBack(&RecordSearchOnService::OnEvent, &search, 0);
    std::vector<QN_NET_REMOTE_FILE> files(4);
    int count = 99;
    EXPECT_EQ(search.SearchRemoteIndexFile(kCamera, kDay, files.data(), 4, &count, 1500), 0);
    EXPECT_EQ(count, 0);
    hub_->SetNetEventCallBack(nullptr, nullptr, 0);
}

std::vector<uint8_t> Packet(int64_t day, int32_t last, int32_t index, int32_t length, uint8_t fill)
{
    std::vector<uint8_t> packet(kIndexPacketBytes, fill);
    const int32_t words[6] = {77, 0, static_cast<int32_t>(day), last, index, length};
    std::memcpy(packet.data(), words, sizeof words);
    return packet;
}

TEST(IndexPacketIntake, UntrustedFieldsNeverReachPastTheSlotsOrThePacket)
{
    IndexPackets packets;
    packets.Begin(1000);
    EXPECT_FALSE(packets.Take(Packet(1000, 2, -1, 180, 1).data(), kIndexPacketBytes));
    EXPECT_FALSE(packets.Take(Packet(1000, 20, 20, 180, 1).data(), kIndexPacketBytes));
    EXPECT_FALSE(packets.Take(Packet(1000, 2, 0, 180, 1).data(), kIndexPacketBytes - 1));
    EXPECT_FALSE(packets.Take(Packet(999, 0, 0, 180, 1).data(), kIndexPacketBytes));
    EXPECT_TRUE(packets.Join().empty());
    // Slot 0 claims more data than a packet holds; slot 1 is missing.
    EXPECT_FALSE(packets.Take(Packet(1000, 2, 0, 100000, 7).data(), kIndexPacketBytes));
    EXPECT_TRUE(packets.Take(Packet(1000, 2, 2, 10, 9).data(), kIndexPacketBytes));
    const std::vector<uint8_t> joined = packets.Join();
    ASSERT_EQ(joined.size(), 180u + 180u + 10u);
    EXPECT_EQ(joined[0], 7);
    EXPECT_EQ(joined[179], 7);
    EXPECT_EQ(joined[180], 0);
    EXPECT_EQ(joined[359], 0);
    EXPECT_EQ(joined[360], 9);
    // Nine full slots and more are cut at 1500 bytes.
    packets.Begin(1000);
    for (int i = 0; i < 12; ++i) packets.Take(Packet(1000, 11, i, 180, 3).data(), kIndexPacketBytes);
    EXPECT_EQ(packets.Join().size(), kIndexJoinLimit);
}

TEST(RecordFilter, OverlappingRecordsAreDroppedAndTouchingOnesKept)
{
    auto file = [](int h1, int m1, int s1, int h2, int m2, int s2, int day = 10, int month = 12) {
        return MakeRecordFile(0, "f", 0, QN_NET_TIME6{2026, month, day, h1, m1, s1},
                              QN_NET_TIME6{2026, month, day, h2, m2, s2});
    };
    std::vector<QN_NET_REMOTE_FILE> files = {file(1, 0, 0, 1, 1, 0), file(1, 1, 0, 1, 2, 0), file(1, 1, 30, 1, 3, 0),
                                             file(1, 2, 0, 1, 4, 0), file(0, 0, 0, 0, 1, 0, 11)};
    const int kept = KeepNonOverlapping(files.data(), static_cast<int>(files.size()));
    ASSERT_EQ(kept, 4);
    EXPECT_EQ(RecordStart(files[2]).minute, 2);
    EXPECT_EQ(RecordStart(files[3]).day, 11);
    static_assert(sizeof(QN_NET_REMOTE_FILE) == 164);
    const QN_NET_REMOTE_FILE named = MakeRecordFile(321, std::string(200, 'x'), 1, {}, {});
    EXPECT_EQ(RecordName(named).size(), kRecordNameCapacity - 1);
    EXPECT_EQ(RecordSize(named), 321u);
}

TEST(LocalRecordSearch, PythonMadeFolderGivesItsMinuteFilesOfAtLeast100Bytes)
{
    testing_support::TempFolder folder;
    // Python writes the folder and prints what a scan must find.
    const std::string script =
        "import os,sys\n"
        "root=sys.argv[1]\n"
        "files={(0,0):100,(0,59):4000,(7,30):99,(23,59):250,(12,5):0}\n"
        "for (h,m),size in files.items():\n"
        "  d=os.path.join(root,'2026-12-10','%02d'%h); os.makedirs(d,exist_ok=True)\n"
        "  open(os.path.join(d,'%02d.h264'%m),'wb').write(b'x'*size)\n"
        "for (h,m),size in sorted(files.items()):\n"
        "  if size>=100: print('%s/2026-12-10/%02d/%02d.h264 %d %02d:%02d'%(root,h,m,size,h,m))\n";
    platform::WriteWholeFile(folder.Path() + "/make.py", script);
    const auto made = testing_support::RunCommand("/usr/bin/python3 " + folder.Path() + "/make.py " + folder.Path());
    ASSERT_EQ(made.exitCode, 0);
    std::vector<QN_NET_REMOTE_FILE> files(1500);
    int count = -1;
    EXPECT_EQ(RecordSearch::SearchLocalFile(folder.Path() + "/", kDay, files.data(), 1500, &count), 1);
    std::string found;
    for (int i = 0; i < count; ++i) {
        const QN_NET_TIME6 start = RecordStart(files[i]);
        const QN_NET_TIME6 end = RecordEnd(files[i]);
        EXPECT_EQ(end.hour * 60 + end.minute, start.hour * 60 + start.minute);
        EXPECT_EQ(end.second, 59);
        char line[200];
        std::snprintf(line, sizeof line, "%s %u %02d:%02d\n", RecordName(files[i]).c_str(), RecordSize(files[i]),
                      start.hour, start.minute);
        found += line;
    }
    EXPECT_EQ(found, made.output);
}

} // namespace
