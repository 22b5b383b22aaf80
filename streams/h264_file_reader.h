// Raw H.264 files (Annex-B byte streams without a container): an opened
// file with its reader thread, a start-code scan and a trace line naming a
// NAL unit's kind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "Depend/qn_thread.h"

namespace streams {

class H264FileReader {
public:
    H264FileReader();
    // Stops the reader thread and closes the file.
    ~H264FileReader();
    H264FileReader(const H264FileReader&) = delete;
    H264FileReader& operator=(const H264FileReader&) = delete;

    // 1 when the file is open and the reader thread started; 0 while the
    // thread record says running, or for a missing or unreadable file.
    int Open(const wchar_t* path);
    bool IsOpen() const { return file_ != nullptr; }
    const std::wstring& Path() const { return path_; }
    const QNThread& Thread() const { return thread_; }

private:
    static void ReaderThread(void* self);

    std::FILE* file_ = nullptr;
    std::wstring path_; // at most 259 characters kept
    QNThread thread_;
};

// The distance from `start` to the first 00 00 01 or 00 00 00 01 that lies
// wholly inside buffer[start, end); end - start when there is none.
std::size_t FindH264StartCode(std::size_t start, std::size_t end, const uint8_t* buffer);

// "DISPOS", "LOW", "HIGH", "HIGHEST" by bits 5-6 of a NAL header byte.
const char* NalImportanceName(uint8_t header);
// The type name by bits 0-4, "" for a type without one.
const char* NalTypeName(uint8_t header);
// Traces "<a>  <b>  <importance>  <type>  <c>\r\n".
void TraceNalUnit(int first, int second, int third, uint8_t header);

} // namespace streams
