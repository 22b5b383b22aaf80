// basekit_probe: one process's part in basekit's cross-process tests.
//
//   shm-put <key> <size> <offset> <value>   map or create, print "created=<0|1> old=<u32>", store the u32
//   shm-get <key> <offset>                  print the u32 at the offset
//   filelog <folder> <type> <count> <tag>   write <count> lines "P<tag> L<i>" through a LogFile
//   ring-write <type> <count> <tag>         write <count> ring records "<tag> <i> <crc32>"
//   ring-read <type> <count> <ms> <ready>   switch the type on, touch <ready>, read <count> records
//                                           (or until <ms> pass), print "records=<n> torn=<n> lost=<n>"
//   times <seconds>...                      print "<s> Y m d H M S w j round-trip" per instant
//   procman                                 print "available=<0|1>": did loading map the process table
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>

#include "basekit/log_file.h"
#include "basekit/log_information.h"
#include "basekit/share_memory.h"
#include "basekit/time_functions.h"

namespace {

uint32_t crc32(const std::string &text) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : text) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

int shmPut(int key, int size, size_t offset, uint32_t value) {
    ShareMemory memory;
    int created = 0;
    auto *base = static_cast<unsigned char *>(memory.CreateAndMapShareMemory(key, size, &created));
    if (base == nullptr || offset + 4 > memory.GetShmSize())
        return 1;
    uint32_t old = 0;
    std::memcpy(&old, base + offset, 4);
    std::memcpy(base + offset, &value, 4);
    std::printf("created=%d old=%u size=%zu\n", created, old, memory.GetShmSize());
    return 0;
}

int shmGet(int key, size_t offset) {
    ShareMemory memory;
    auto *base = static_cast<unsigned char *>(memory.MapShareMemory(key));
    if (base == nullptr || offset + 4 > memory.GetShmSize())
        return 1;
    uint32_t value = 0;
    std::memcpy(&value, base + offset, 4);
    std::printf("%u\n", value);
    return 0;
}

int fileLog(const char *folder, int type, int count, const char *tag) {
    LogFile log(folder, static_cast<LOG_TYPE>(type));
    for (int i = 0; i < count; ++i)
        if (!log.Log("P%s L%d", tag, i))
            return 1;
    return 0;
}

int ringWrite(int type, int count, const char *tag) {
    LogInformation ring;
    for (int i = 0; i < count; ++i) {
        const std::string body = std::string(tag) + " " + std::to_string(i);
        // Long texts make a torn record likely to show.
        const std::string text = body + " " + std::string(600 + i % 300, static_cast<char>('a' + i % 26));
        if (!ring.WriteLog(type, "%s %08x", text.c_str(), crc32(text)))
            return 1;
    }
    return 0;
}

int ringRead(int type, int count, int milliseconds, const char *ready) {
    LogInformation ring;
    if (ring.GetLogPtr() == nullptr)
        return 1;
    ring.SetDisplay(type);
    std::ofstream(ready) << "ready\n";
    std::map<std::string, long> next;
    int records = 0, torn = 0, lost = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (records < count && std::chrono::steady_clock::now() < deadline) {
        LOG_DATA *record = nullptr;
        const char *text = ring.ReadLog(nullptr, &record, 0);
        if (text == nullptr) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        if (record->type != type)
            continue;
        ++records;
        const std::string all = text;
        const size_t last = all.rfind(' ');
        char *end = nullptr;
        const unsigned long crc = last == std::string::npos ? 0 : std::strtoul(all.c_str() + last + 1, &end, 16);
        if (last == std::string::npos || crc != crc32(all.substr(0, last))) {
            ++torn;
            continue;
        }
        char tag[64] = {};
        long sequence = -1;
        if (std::sscanf(all.c_str(), "%63s %ld", tag, &sequence) != 2) {
            ++torn;
            continue;
        }
        long &expected = next[tag];
        if (sequence != expected)
            lost += static_cast<int>(sequence - expected);
        expected = sequence + 1;
    }
    std::printf("records=%d torn=%d lost=%d\n", records, torn, lost);
    return 0;
}

int times(int argc, char **argv) {
    for (int i = 0; i < argc; ++i) {
        const int64_t seconds = std::strtoll(argv[i], nullptr, 10);
        SYS_TIME t{};
        SecondToSystime(seconds, &t);
        int64_t back = -1;
        SystimeToSecond(&t, &back);
        std::printf("%lld %04d %02d %02d %02d %02d %02d %d %03d %lld\n", static_cast<long long>(seconds), t.year,
                    t.month, t.day, t.hour, t.minute, t.second, t.weekday, t.yearday + 1, static_cast<long long>(back));
    }
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "shm-put" && argc == 6)
        return shmPut(std::atoi(argv[2]), std::atoi(argv[3]), std::strtoul(argv[4], nullptr, 10),
                      static_cast<uint32_t>(std::strtoul(argv[5], nullptr, 10)));
    if (command == "shm-get" && argc == 4)
        return shmGet(std::atoi(argv[2]), std::strtoul(argv[3], nullptr, 10));
    if (command == "filelog" && argc == 6)
        return fileLog(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (command == "ring-write" && argc == 5)
        return ringWrite(std::atoi(argv[2]), std::atoi(argv[3]), argv[4]);
    if (command == "ring-read" && argc == 6)
        return ringRead(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]), argv[5]);
    if (command == "procman") {
        std::printf("available=%d\n", ProcMan::IsAvailable());
        return 0;
    }
    if (command == "times")
        return times(argc - 2, argv + 2);
    std::fprintf(stderr, "usage: basekit_probe shm-put|shm-get|filelog|ring-write|ring-read|times|procman ...\n");
    return 2;
}
