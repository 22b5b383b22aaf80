#include "basekit/log_information.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "basekit/log_file.h"
#include "basekit/time_functions.h"
#include "support/scoped_env.h"
#include "test_support.h"

using namespace basekit_test;

namespace {

constexpr int kType = 4321;

class LogRing : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(LogInformation::ptr, nullptr);
        log_info.ClearAll();
    }
    void TearDown() override { log_info.ClearAll(); }
    // Reads everything a fresh reader has not seen yet.
    static std::vector<std::string> drain(LogInformation &reader) {
        std::vector<std::string> texts;
        while (const char *text = reader.ReadLog(nullptr, nullptr, 0))
            texts.emplace_back(text);
        return texts;
    }

    TempDir dir_;
};

}  // namespace

// An independent decoder of the ring's layout reads what we wrote.
TEST_F(LogRing, PythonDecoderReadsTheRecord) {
    log_info.SetDisplay(kType);
    ASSERT_EQ(log_info.WriteLog(kType, "hello ring %d", 7), 1);
    SYS_TIME now{};
    GetTime(&now, 0);
    const uint32_t index = (LogInformation::ptr->write_index + 4095) % 4096;
    const std::string script =
        "import struct,sys\n"
        "m=open('/dev/shm/SHM19810810','rb').read()\n"
        "w,lock,flags,spare=struct.unpack_from('<IB50000sB',m,0)\n"
        "i=int(sys.argv[1])\n"
        "r=struct.unpack_from('<HHBBBBBBHBBH16s1024s',m,50006+i*1056)\n"
        "print(len(m),w,flags[" + std::to_string(kType) + "],r[0],'%04d-%02d-%02d'%(r[1],r[2],r[3]),r[9],"
        "r[12].split(b'\\0')[0].decode(),r[13].split(b'\\0')[0].decode(),sep='|')\n";
    writeText(dir_.file("ring.py"), script);
    std::string output;
    ASSERT_EQ(runShell("python3 " + quote(dir_.file("ring.py")) + " " + std::to_string(index), &output, &dir_), 0);
    char date[16];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.year, now.month, now.day);
    std::ostringstream expected;
    expected << 4375384 << "|" << (index + 1) % 4096 << "|1|" << kType << "|" << date << "|" << int(now.weekday)
             << "|basekit_log_tes|hello ring 7\n";
    EXPECT_EQ(output, expected.str());
}

TEST_F(LogRing, NewReaderSeesOnlyNewerRecords) {
    log_info.SetDisplay(kType);
    for (int i = 0; i < 10; ++i)
        log_info.WriteLog(kType, "old %d", i);
    LogInformation reader;
    EXPECT_EQ(reader.ReadLog(nullptr, nullptr, 0), nullptr);
    log_info.WriteLog(kType, "eleventh");
    char header[160] = {};
    LOG_DATA *record = nullptr;
    const char *text = reader.ReadLog(header, &record, 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "eleventh");
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->type, kType);
    const std::string head = header;
    EXPECT_EQ(head.substr(0, 2), "[ ");
    EXPECT_NE(head.find(" ] , Type = 4321 , ProcessName = basekit_log_tes\n"), std::string::npos) << head;
    EXPECT_EQ(reader.ReadLog(nullptr, nullptr, 0), nullptr);
}

TEST_F(LogRing, OnlySwitchedOnTypesAreWritten) {
    LogInformation reader;
    EXPECT_EQ(log_info.WriteLog(kType, "off"), 0);
    log_info.SetDisplay(kType);
    EXPECT_EQ(log_info.WriteLog(kType, "%s", ""), 0);                           // empty
    EXPECT_EQ(log_info.WriteLog(kType, "%s", std::string(1024, 'x').c_str()), 0);  // does not fit
    EXPECT_EQ(log_info.WriteLog(kType, "%s", std::string(1023, 'x').c_str()), 1);
    EXPECT_EQ(log_info.WriteLog(50000, "out of range"), 0);
    EXPECT_EQ(log_info.WriteLog(-1, "out of range"), 0);
    log_info.ClearDisplay(kType);
    EXPECT_EQ(log_info.WriteLog(kType, "off again"), 0);
    // The lock byte is free after every path.
    EXPECT_EQ(LogInformation::ptr->lock, 0);
    EXPECT_EQ(drain(reader).size(), 1u);
}

TEST_F(LogRing, The4097thRecordOverwritesTheFirst) {
    log_info.SetDisplay(kType);
    const uint32_t start = LogInformation::ptr->write_index;
    for (int i = 0; i < 4097; ++i)
        log_info.WriteLog(kType, "record %d", i);
    EXPECT_EQ(LogInformation::ptr->write_index, (start + 1) % 4096);
    EXPECT_STREQ(LogInformation::ptr->records[start].text, "record 4096");
    EXPECT_STREQ(LogInformation::ptr->records[(start + 1) % 4096].text, "record 1");
}

TEST_F(LogRing, FileTypesAreMirroredToRcdlogEvenWhenSwitchedOff) {
    const std::string folder = dir_.file("rcdlog");
    g_filelog.SetPath(folder.c_str());
    EXPECT_EQ(log_info.WriteLog(20500, "mirrored %d", 42), 0);  // flag off: not in the ring
    log_info.WriteLog(19999, "below the range");
    log_info.WriteLog(21001, "above the range");
    log_info.WriteLog(20000, "%s", std::string(1100, 'z').c_str());  // too long for a line
    const std::string file = g_filelog.GetFileName();
    ASSERT_EQ(file.rfind(folder, 0), 0u) << file;
    const std::string text = readText(file);
    EXPECT_NE(text.find("] basekit_log_test-- mirrored 42\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("range"), std::string::npos);
    EXPECT_EQ(text.find("zzz"), std::string::npos);
}

// Every byte comes back from the hex records through xxd.
TEST_F(LogRing, DisplayBufferKeepsEveryByte) {
    log_info.SetDisplay(kType);
    LogInformation reader;
    const auto data = randomBytes(2048, 11);
    log_info.DisplayBuffer(kType, data.data(), 2048);
    const auto texts = drain(reader);
    EXPECT_EQ(texts.size(), 7u);  // 6 x 320 bytes and 128
    std::string hex;
    for (const auto &t : texts) {
        EXPECT_LT(t.size(), 1024u);
        hex += t;
    }
    writeText(dir_.file("dump.txt"), hex);
    std::string bytes;
    ASSERT_EQ(runShell("xxd -r -p " + quote(dir_.file("dump.txt")), &bytes, &dir_), 0);
    EXPECT_EQ(std::vector<unsigned char>(bytes.begin(), bytes.end()), data);
    log_info.ClearDisplay(kType);
    log_info.DisplayBuffer(kType, data.data(), 2048);
    EXPECT_TRUE(drain(reader).empty());
}

// The process name in a record may come from any process: it must not lead
// the save file out of the log folder.
TEST_F(LogRing, SavedRecordsStayInTheLogFolder) {
    const std::string root = dir_.file("root");
    testing_support::ScopedEnv rootVariable("LENTIX_ROOT", root.c_str());
    log_info.SetDisplay(kType);
    LogInformation reader;
    log_info.WriteLog(kType, "to be saved");
    LOG_MEM *ring = LogInformation::ptr;
    LOG_DATA &record = ring->records[(ring->write_index + 4095) % 4096];
    std::memcpy(record.proc_name, "../../escaped!!!", 16);  // not even terminated
    char header[160];
    ASSERT_NE(reader.ReadLog(header, nullptr, 1), nullptr);
    std::string found;
    runShell("cd " + quote(dir_.path().string()) + " && find . -name '*.log' | sort", &found, &dir_);
    EXPECT_EQ(found, "./root/log/_.._.._escaped!!.log\n");
    const std::string saved = readText(root + "/log/_.._.._escaped!!.log");
    EXPECT_EQ(saved, std::string("\n") + header + "to be saved");

    // Above 5 MiB the file starts anew.
    writeText(root + "/log/big.log", std::string(5242881, 'o'));
    log_info.WriteLog(kType, "fresh");
    LOG_DATA &next = ring->records[(ring->write_index + 4095) % 4096];
    std::memcpy(next.proc_name, "big", 4);
    ASSERT_NE(reader.ReadLog(nullptr, nullptr, 1), nullptr);
    EXPECT_EQ(readText(root + "/log/big.log"), "\nfresh");
}

// Two writer processes at once, read by a third: nothing lost, nothing torn.
TEST_F(LogRing, TwoWriterProcessesAndAReader) {
    const std::string probe = BASEKIT_PROBE;
    const std::string ready = dir_.file("ready");
    const std::string script = probe + " ring-read 777 4000 60000 " + quote(ready) + " > " +
                               quote(dir_.file("reader.txt")) + " &\n"
                               "for i in $(seq 1 200); do [ -f " + quote(ready) + " ] && break; sleep 0.05; done\n" +
                               probe + " ring-write 777 2000 alpha >/dev/null &\n" + probe +
                               " ring-write 777 2000 beta >/dev/null &\n"
                               "wait\n";
    writeText(dir_.file("run.sh"), script);
    ASSERT_EQ(runShell("sh " + quote(dir_.file("run.sh"))), 0);
    std::string summary = readText(dir_.file("reader.txt"));
    summary = summary.substr(summary.find("records="));
    EXPECT_EQ(summary, "records=4000 torn=0 lost=0\n");
}

// Four writer processes lap the ring twice over; once they are done, an
// independent decoder finds every record whole (its CRC matches its text).
TEST_F(LogRing, FourWriterProcessesLeaveNoTornRecord) {
    log_info.SetDisplay(778);
    std::string command;
    for (const char *tag : {"w1", "w2", "w3", "w4"})
        command += std::string(BASEKIT_PROBE) + " ring-write 778 2000 " + tag + " >/dev/null & ";
    ASSERT_EQ(runShell(command + "wait"), 0);
    const std::string script =
        "import struct,zlib\n"
        "m=open('/dev/shm/SHM19810810','rb').read()\n"
        "whole=torn=0\n"
        "for i in range(4096):\n"
        "  r=struct.unpack_from('<H14s16s1024s',m,50006+i*1056)\n"
        "  if r[0]!=778: continue\n"
        "  body,_,crc=r[3].split(b'\\0')[0].decode().rpartition(' ')\n"
        "  if zlib.crc32(body.encode())==int(crc,16): whole+=1\n"
        "  else: torn+=1\n"
        "print(whole,torn)\n";
    writeText(dir_.file("crc.py"), script);
    std::string output;
    ASSERT_EQ(runShell("python3 " + quote(dir_.file("crc.py")), &output, &dir_), 0);
    EXPECT_EQ(output, "4096 0\n");
    log_info.ClearDisplay(778);
}

TEST_F(LogRing, ThreadsWriteWhileOneReads) {
    log_info.SetDisplay(kType);
    LogInformation reader;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < 400; ++i)
                log_info.WriteLog(kType, "T%d %d", t, i);
        });
    int read = 0;
    std::vector<int> next(4, 0);
    bool inOrder = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (read < 1600 && std::chrono::steady_clock::now() < deadline) {
        const char *text = reader.ReadLog(nullptr, nullptr, 0);
        if (text == nullptr) {
            std::this_thread::yield();
            continue;
        }
        int t = -1, i = -1;
        ASSERT_EQ(std::sscanf(text, "T%d %d", &t, &i), 2) << text;
        inOrder = inOrder && i == next[static_cast<size_t>(t)];
        next[static_cast<size_t>(t)] = i + 1;
        ++read;
    }
    for (auto &w : writers)
        w.join();
    EXPECT_EQ(read, 1600);
    EXPECT_TRUE(inOrder);
}

TEST(BasekitPrtLog, FormatsOnceAndWritesUnderTheType) {
    log_info.SetDisplay(kType);
    LogInformation reader;
    prt_log(kType, "value %d and a percent sign %s", 5, "%d");
    const char *text = reader.ReadLog(nullptr, nullptr, 0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "value 5 and a percent sign %d");
    log_info.ClearDisplay(kType);
}
