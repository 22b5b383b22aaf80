#include "streams/h264_file_reader.h"

#include "Depend/qn_depend.h"
#include "Depend/qn_log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace streams {

namespace {
constexpr std::size_t kPathCharacters = 260;
constexpr int kStopWaitMs = 4000;
} // namespace

H264FileReader::H264FileReader()
{
    QNThreadInit(&thread_);
}

H264FileReader::~H264FileReader()
{
    QNThreadStop(&thread_, kStopWaitMs);
    if (file_ != nullptr) std::fclose(file_);
}

int H264FileReader::Open(const wchar_t* path)
{
    if (path == nullptr || thread_.run != 0) return 0;
    const std::string narrow = platform::WideToUtf8(path);
    if (!platform::PathExists(narrow) || platform::IsDirectory(narrow)) return 0;
    std::FILE* file = std::fopen(narrow.c_str(), "rb");
    if (file == nullptr) return 0;
    if (file_ != nullptr) std::fclose(file_);
    file_ = file;
    path_ = std::wstring(path).substr(0, kPathCharacters - 1);
    // The record still holds the last thread, which returned at once.
    QNThreadStop(&thread_, kStopWaitMs);
    return QNThreadStart(&thread_, &H264FileReader::ReaderThread, this) ? 1 : 0;
}

void H264FileReader::ReaderThread(void*)
{
    // Nothing reads the opened file yet.
}

std::size_t FindH264StartCode(std::size_t start, std::size_t end, const uint8_t* buffer)
{
    if (buffer == nullptr || end <= start) return 0;
    for (std::size_t i = start; i + 3 <= end; ++i) {
        if (buffer[i] != 0 || buffer[i + 1] != 0) continue;
        if (buffer[i + 2] == 1) return i - start;
        if (i + 4 <= end && buffer[i + 2] == 0 && buffer[i + 3] == 1) return i - start;
    }
    return end - start;
}

const char* NalImportanceName(uint8_t header)
{
    static const char* const kNames[] = {"DISPOS", "LOW", "HIGH", "HIGHEST"};
    return kNames[header >> 5 & 3];
}

const char* NalTypeName(uint8_t header)
{
    static const char* const kNames[] = {"",    "SLICE", "DPA", "DPB",   "DPC",      "IDR", "SEI",
                                         "SPS", "PPS",   "AUD", "EOSEQ", "EOSTREAM", "FILL"};
    const unsigned type = header & 0x1F;
    return type < sizeof kNames / sizeof kNames[0] ? kNames[type] : "";
}

void TraceNalUnit(int first, int second, int third, uint8_t header)
{
    QNTracePrint("%d  %d", first, second);
    QNTracePrint("  ");
    QNTracePrint("%s", NalImportanceName(header));
    QNTracePrint("  ");
    QNTracePrint("%s", NalTypeName(header));
    QNTracePrint("  %d\r\n", third);
}

} // namespace streams
