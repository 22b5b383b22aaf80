// depend_cli <command> [arguments]
//
//   init                 start up and print the folders
//   hold <seconds>       start up, then stay alive (a running copy)
//   count <name>         print QNCountProcess(name)
//   log <text>...        start up and log each text as one call
//   log-twice <seconds>  start up, log "first\n", wait, log "second\n"
//   wlog <text>          start up and log the text through the wide log
//   report [path]        start up and write the system report
//   hostip <name>        print the addresses QNGetHostIp gives
//   diskfree <path>      print QNGetDiskFreeMByte's index, drive and free MB
//   country              print QNGetCountryCode
//
// Every command that starts up prints "init=<result>" first.
#include "Depend/qn_depend.h"
#include "platform/clock.h"
#include "platform/text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Init()
{
    int result = QNDefineInit();
    std::printf("init=%d\n", result);
    return result;
}

void PrintFolders()
{
    wchar_t wide[4096];
    char narrow[4096];
    auto show = [&](const char* label, int ok, const wchar_t* text) {
        std::printf("%s=%d %s\n", label, ok, ok ? platform::WideToUtf8(text).c_str() : "");
    };
    show("data", QNGetAppDataPathEx(wide, 4096), wide);
    show("program", QNGetExePath(wide, 4096), wide);
    show("capture", QNGetCapturePath(wide, 4096), wide);
    show("record", QNGetRecordPath(wide, 4096), wide);
    show("images", QNGetImagesPath(wide, 4096), wide);
    int ok = QNGetTempPathA(narrow, sizeof narrow);
    std::printf("temp=%d %s\n", ok, ok ? narrow : "");
}

int Usage()
{
    std::fprintf(stderr, "usage: depend_cli init|hold|count|log|log-twice|wlog|report|hostip|diskfree|country ...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage();
    std::string command = argv[1];
    if (command == "init") {
        int result = Init();
        if (result) PrintFolders();
        return result ? 0 : 1;
    }
    if (command == "hold" && argc == 3) {
        int result = Init();
        std::fflush(stdout);
        platform::SleepMs(std::atoi(argv[2]) * 1000LL);
        return result ? 0 : 1;
    }
    if (command == "count" && argc == 3) {
        std::printf("%d\n", QNCountProcess(platform::Utf8ToWide(argv[2]).c_str()));
        return 0;
    }
    if (command == "log") {
        if (!Init()) return 1;
        for (int i = 2; i < argc; ++i) QNLogPrint("%s", argv[i]);
        return 0;
    }
    if (command == "log-twice" && argc == 3) {
        if (!Init()) return 1;
        QNLogPrint("first\n");
        platform::SleepMs(std::atoi(argv[2]) * 1000LL);
        QNLogPrint("second\n");
        return 0;
    }
    if (command == "wlog" && argc == 3) {
        if (!Init()) return 1;
        std::wstring text = platform::Utf8ToWide(argv[2]);
        QNLogPrintW(L"%s(%d) %s %hs %S %c\n", L"wlog", 7, text.c_str(), "narrow", "also", L'w');
        // Narrow text the C library cannot widen: the line is kept as its format.
        QNLogPrintW(L"%hs(%d)\n", "Gr\xC3\xB6\xC3\x9F" "e", 8);
        return 0;
    }
    if (command == "report") {
        if (!Init()) return 1;
        int result = QNWriteSystemReport(argc >= 3 ? argv[2] : nullptr);
        std::printf("report=%d\n", result);
        return result ? 0 : 1;
    }
    if (command == "hostip" && argc == 3) {
        char addresses[10][32] = {};
        int count = -1;
        int result = QNGetHostIp(argv[2], addresses, &count);
        std::printf("result=%d count=%d\n", result, count);
        for (int i = 0; i < count; ++i) std::printf("%s\n", addresses[i]);
        return 0;
    }
    if (command == "diskfree" && argc == 3) {
        wchar_t drive[5] = L"none";
        uint32_t freeMB = 0;
        float used = -1.0f;
        int index = QNGetDiskFreeMByte(platform::Utf8ToWide(argv[2]).c_str(), drive, &freeMB, &used);
        std::printf("index=%d drive=%s free=%u used=%.1f\n", index, platform::WideToUtf8(drive).c_str(), freeMB,
                    static_cast<double>(used));
        return 0;
    }
    if (command == "country") {
        wchar_t code[8] = {};
        int result = QNGetCountryCode(code, 8);
        std::printf("result=%d code=%s\n", result, platform::WideToUtf8(code).c_str());
        return 0;
    }
    return Usage();
}
