#include "app/record_file.h"

#include <cstring>

#include "platform/text.h"

namespace {

constexpr int kNameValue = 1;
constexpr int kValidValue = 28;
constexpr int kStartValue = 29;
constexpr int kEndValue = 35;

void PutTime(QN_NET_REMOTE_FILE* file, int first, const QN_NET_TIME6& time)
{
    const int32_t values[6] = {time.year, time.month, time.day, time.hour, time.minute, time.second};
    std::memcpy(&file->values[first], values, sizeof values);
}

QN_NET_TIME6 GetTime(const QN_NET_REMOTE_FILE& file, int first)
{
    const int32_t* v = &file.values[first];
    return QN_NET_TIME6{v[0], v[1], v[2], v[3], v[4], v[5]};
}

} // namespace

QN_NET_REMOTE_FILE MakeRecordFile(uint32_t size, const std::string& name, int32_t valid, const QN_NET_TIME6& start,
                                  const QN_NET_TIME6& end)
{
    QN_NET_REMOTE_FILE file{};
    file.values[0] = static_cast<int32_t>(size);
    char text[kRecordNameCapacity] = {};
    platform::CopyBounded(text, sizeof text, name);
    std::memcpy(&file.values[kNameValue], text, sizeof text);
    file.values[kValidValue] = valid;
    PutTime(&file, kStartValue, start);
    PutTime(&file, kEndValue, end);
    return file;
}

QN_NET_TIME6 RecordStart(const QN_NET_REMOTE_FILE& file)
{
    return GetTime(file, kStartValue);
}

QN_NET_TIME6 RecordEnd(const QN_NET_REMOTE_FILE& file)
{
    return GetTime(file, kEndValue);
}

std::string RecordName(const QN_NET_REMOTE_FILE& file)
{
    const char* text = reinterpret_cast<const char*>(&file.values[kNameValue]);
    return std::string(text, ::strnlen(text, kRecordNameCapacity));
}

uint32_t RecordSize(const QN_NET_REMOTE_FILE& file)
{
    return static_cast<uint32_t>(file.values[0]);
}

int32_t RecordValid(const QN_NET_REMOTE_FILE& file)
{
    return file.values[kValidValue];
}
