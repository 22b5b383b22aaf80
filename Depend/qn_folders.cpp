#include "Depend/qn_folders.h"

#include "Depend/qn_log.h"
#include "Depend/qn_process.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/text.h"

#include <cstdio>
#include <mutex>

namespace {

constexpr const char* kProgramName = "OstrelS";
constexpr std::size_t kExpandLimit = 200;

struct Folders {
    bool initialised = false;
    std::string program;
    std::string data;
    std::string capture;
    std::string record;
    std::string log;
    std::string resource;
    std::string images;
    std::string temp;
};

std::mutex& FoldersMutex()
{
    static std::mutex mutex;
    return mutex;
}

Folders& State()
{
    static Folders folders;
    return folders;
}

Folders Snapshot()
{
    std::lock_guard lock(FoldersMutex());
    return State();
}

void MakeIfMissing(const std::string& folder)
{
    if (!platform::PathExists(folder)) platform::MakeDirectory(folder);
}

int CopyWide(wchar_t* buffer, int capacity, const std::string& path)
{
    if (buffer == nullptr || capacity <= 0) return 0;
    return platform::CopyIfFits(buffer, static_cast<std::size_t>(capacity), platform::Utf8ToWide(path)) ? 1 : 0;
}

int CopyNarrow(char* buffer, int capacity, const std::string& path)
{
    if (buffer == nullptr || capacity <= 0) return 0;
    return platform::CopyIfFits(buffer, static_cast<std::size_t>(capacity), path) ? 1 : 0;
}

std::string NarrowPath(const wchar_t* path) { return platform::NormalizePath(platform::WideToUtf8(path)); }

} // namespace

int QNDefineInit()
{
    std::string program = platform::ParentFolder(platform::ExecutablePath());
    if (!program.empty()) platform::ChangeDirectory(program);
    {
        std::lock_guard lock(FoldersMutex());
        State().program = program;
    }

    std::wstring self = platform::Utf8ToWide(platform::FileNamePart(platform::ExecutablePath()));
    if (QNCountProcess(self.c_str()) > 1) return 0;

    // A data folder is never formed from an empty or unexpanded base: that
    // would put it at the root of the file system or in the program folder.
    std::string base = platform::ExpandEnvironment("%APPDATA%");
    if (base.empty() || base.find('%') != std::string::npos) return 0;
    Folders f;
    f.program = program;
    f.data = platform::NormalizePath(base + "/" + kProgramName);
    if (!platform::PathExists(f.data)) platform::MakeDirectories(f.data);
    f.capture = f.data + "/Capture";
    f.record = f.data + "/Record";
    f.log = f.data + "/Log/";
    f.images = f.data + "/images/";
    f.temp = f.data + "/Temp/";
    f.resource = program.empty() ? std::string() : program + "/Res/";
    MakeIfMissing(f.capture);
    MakeIfMissing(f.record);
    MakeIfMissing(f.log);
    MakeIfMissing(f.data + "/User/");
    if (!f.resource.empty()) MakeIfMissing(f.resource);
    MakeIfMissing(f.images);
    MakeIfMissing(f.temp);
    f.initialised = true;
    {
        std::lock_guard lock(FoldersMutex());
        State() = f;
    }

    platform::CivilTime now = platform::LocalNow();
    QNLogPrint("////////////////////StartUp\n");
    QNLogPrint("%s(%d) \u3010use system time\u3011 %d-%02d-%02d %02d:%02d:%02d \n", "QNDefineInit", 273, now.year,
               now.month, now.day, now.hour, now.minute, now.second);
    return 1;
}

void QNDefineExit() { QNLogPrint("////////////////////Exit\n"); }

int QNGetAppDataPath(wchar_t* buffer, int capacity) { return CopyWide(buffer, capacity, Snapshot().data); }

int QNGetAppDataPathEx(wchar_t* buffer, int capacity)
{
    Folders f = Snapshot();
    if (!f.initialised || f.data.empty()) return 0;
    return CopyWide(buffer, capacity, f.data);
}

int QNGetModuleDir(wchar_t* buffer, int capacity)
{
    return CopyWide(buffer, capacity, platform::ParentFolder(platform::ExecutablePath()));
}

int QNGetCapturePath(wchar_t* buffer, int capacity) { return CopyWide(buffer, capacity, Snapshot().capture); }
int QNGetRecordPath(wchar_t* buffer, int capacity) { return CopyWide(buffer, capacity, Snapshot().record); }
int QNGetImagesPath(wchar_t* buffer, int capacity) { return CopyWide(buffer, capacity, Snapshot().images); }
int QNGetImagesPathA(char* buffer, int capacity) { return CopyNarrow(buffer, capacity, Snapshot().images); }
int QNGetExePath(wchar_t* buffer, int capacity) { return CopyWide(buffer, capacity, Snapshot().program); }

int QNGetTempPathA(char* buffer, int capacity)
{
    Folders f = Snapshot();
    if (!f.initialised || f.temp.empty()) return 0;
    return CopyNarrow(buffer, capacity, f.temp);
}

int QNMakeDir(const wchar_t* path)
{
    if (path == nullptr) return 0;
    std::string folder = NarrowPath(path);
    if (platform::Utf8ToWide(folder).size() < 3) return 0;
    if (platform::PathExists(folder)) return 1;
    return platform::MakeDirectory(folder) ? 1 : 0;
}

int QNFileExists(const wchar_t* path)
{
    if (path == nullptr || *path == L'\0') return 0;
    return platform::AnyPathMatches(NarrowPath(path)) ? 1 : 0;
}

int QNExpandEnv(const wchar_t* source, wchar_t* destination, int capacity)
{
    if (source == nullptr || destination == nullptr || capacity <= 0) return 0;
    std::wstring expanded =
        platform::Utf8ToWide(platform::ExpandEnvironment(platform::WideToUtf8(source)));
    if (expanded.size() > kExpandLimit) return 0;
    return platform::CopyIfFits(destination, static_cast<std::size_t>(capacity), expanded) ? 1 : 0;
}

void QNPrintLastError(const char* function)
{
    int error = platform::LastError();
    std::string text = platform::ErrorText(error);
    // Cut at the first control character other than a tab, then drop
    // trailing full stops and blanks.
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t') {
            text.resize(i);
            break;
        }
    }
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    std::printf("\n\t%s failed with error %d (%s)", function ? function : "", error, text.c_str());
    std::fflush(stdout);
}

namespace depend {

std::string LogFolder() { return Snapshot().log; }

} // namespace depend
