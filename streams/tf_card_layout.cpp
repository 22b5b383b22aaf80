#include "streams/tf_card_layout.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace streams {

namespace {

bool AllDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits)
{
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

// Calls `visit(name, entry)` for every entry of a folder; a missing folder
// has none.
template <typename Visit>
void ForEachEntry(const std::string& folder, Visit&& visit)
{
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error), end;
    for (; !error && it != end; it.increment(error)) visit(it->path().filename().string(), *it);
}

std::string DayFolderName(int year, int month, int day)
{
    char name[32];
    std::snprintf(name, sizeof name, "%04d-%02d-%02d", year, month, day);
    return name;
}

} // namespace

std::string TfSegmentPath(const std::string& cardFolder, int year, int month, int day, int minuteOfDay)
{
    char tail[16];
    std::snprintf(tail, sizeof tail, "/%02d/%02d.h264", minuteOfDay / 60, minuteOfDay % 60);
    return cardFolder + DayFolderName(year, month, day) + tail;
}

uint32_t TfDayMapDate(int year, int month, int day)
{
    return (static_cast<uint32_t>(year) & 0x7FFFFF) | (static_cast<uint32_t>(month) & 0xF) << 23 |
           (static_cast<uint32_t>(day) & 0x1F) << 27;
}

int TfDayFolderDate(std::string_view name)
{
    if (name.size() != 10 || name[4] != '-' || name[7] != '-') return -1;
    if (!AllDigits(name.substr(0, 4)) || !AllDigits(name.substr(5, 2)) || !AllDigits(name.substr(8, 2))) return -1;
    int month = Number(name.substr(5, 2));
    int day = Number(name.substr(8, 2));
    if (month < 1 || month > 12 || day < 1 || day > 31) return -1;
    return Number(name.substr(0, 4)) * 10000 + month * 100 + day;
}

int TfSegmentMinute(std::string_view name)
{
    if (name.size() != 7 || name.substr(2) != ".h264" || !AllDigits(name.substr(0, 2))) return -1;
    int minute = Number(name.substr(0, 2));
    return minute <= 59 ? minute : -1;
}

bool ParseTfSnapshotName(std::string_view name, TfSnapshotName* out)
{
    if (name.size() != 11 || name[7] != '.' || name.substr(8) != "jpg") return false;
    std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || dash > 2 || !AllDigits(name.substr(0, dash))) return false;
    std::size_t secondEnd = dash + 1;
    while (secondEnd < 6 && name[secondEnd] >= '0' && name[secondEnd] <= '9') ++secondEnd;
    if (secondEnd == dash + 1) return false;
    int minute = Number(name.substr(0, dash));
    int second = Number(name.substr(dash + 1, secondEnd - dash - 1));
    if (minute > 59 || second > 59) return false;
    uint8_t bit = 1;
    switch (name[6]) {
    case 'H': bit = 2; break;
    case 'C': bit = 4; break;
    case 'S': bit = 8; break;
    default: break;
    }
    *out = {minute, second, bit};
    return true;
}

std::string SafeTfDeviceId(std::string_view text)
{
    std::string safe(text);
    for (char& c : safe) {
        bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
        if (!keep) c = '_';
    }
    return safe;
}

TfRecInfo ParseTfRecInfo(std::string_view firstBytes)
{
    TfRecInfo info;
    info.present = true;
    std::string text(firstBytes.substr(0, std::min<std::size_t>(firstBytes.size(), 64)));
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    // Lines end in CR, LF or CR LF; the id line needs no end of its own.
    std::string lines[3];
    int ends = 0;
    for (std::size_t i = 0; i < text.size() && ends < 3; ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            ++ends;
            continue;
        }
        if (c == '\0') break;
        lines[ends] += c;
    }
    if (ends < 2) return info;
    info.complete = true;
    info.number = std::strtol(lines[0].c_str(), nullptr, 10);
    info.deviceNumber = static_cast<uint32_t>(std::strtoul(lines[1].c_str(), nullptr, 10));
    info.deviceId = SafeTfDeviceId(lines[2]);
    return info;
}

TfRecInfo ReadTfRecInfo(const std::string& cardFolder)
{
    std::ifstream in(cardFolder + "rec_info", std::ios::binary);
    if (!in) return {};
    char bytes[64];
    in.read(bytes, sizeof bytes);
    return ParseTfRecInfo(std::string_view(bytes, static_cast<std::size_t>(in.gcount())));
}

void AddTfCardYear(int16_t (&years)[kTfCardYears], int year)
{
    for (int i = 0; i < kTfCardYears; ++i) {
        if (years[i] == year) return;
        if (years[i] < year) {
            std::memmove(&years[i + 1], &years[i], sizeof years[0] * (kTfCardYears - 1 - i));
            years[i] = static_cast<int16_t>(year);
            return;
        }
    }
}

void ListTfCardYears(const std::string& cardFolder, int16_t (&years)[kTfCardYears])
{
    ForEachEntry(cardFolder, [&](const std::string& name, const std::filesystem::directory_entry& entry) {
        int date = TfDayFolderDate(name);
        std::error_code error;
        if (date >= 0 && entry.is_directory(error)) AddTfCardYear(years, date / 10000);
    });
}

void BuildTfDayMap(const std::string& cardFolder, int year, int month, int day, VQ_TF_DAY_MAP* map)
{
    std::memset(map, 0, sizeof *map);
    map->date = TfDayMapDate(year, month, day);
    const std::string dayFolder = cardFolder + DayFolderName(year, month, day) + "/";
    for (int hour = 0; hour < 24; ++hour) {
        char hourName[8];
        std::snprintf(hourName, sizeof hourName, "%02d", hour);
        const std::string folder = dayFolder + hourName;
        ForEachEntry(folder, [&](const std::string& name, const std::filesystem::directory_entry& entry) {
            int minute = TfSegmentMinute(name);
            std::error_code error;
            if (minute < 0 || !entry.is_regular_file(error) || entry.file_size(error) <= kTfMinSegmentBytes || error) {
                return;
            }
            std::memset(map->slots + (hour * 60 + minute) * 6, kTfSlotRecorded, 6);
        });
        // Snapshots only mark slots of recorded minutes, so segments go first.
        ForEachEntry(folder, [&](const std::string& name, const std::filesystem::directory_entry&) {
            TfSnapshotName snapshot;
            if (!ParseTfSnapshotName(name, &snapshot)) return;
            uint8_t& slot = map->slots[(hour * 60 + snapshot.minute) * 6 + snapshot.second / 10];
            if (slot != 0) slot |= snapshot.kindBit;
        });
    }
}

void FillTfDateFlags(const std::string& cardFolder, int year, int month, VQ_TF_DATE_FLAGS* flags)
{
    ForEachEntry(cardFolder, [&](const std::string& name, const std::filesystem::directory_entry& entry) {
        int date = TfDayFolderDate(name);
        std::error_code error;
        if (date < 0 || date / 10000 != year || !entry.is_directory(error)) return;
        int folderMonth = date / 100 % 100;
        if (month != 0 && folderMonth != month) return;
        flags->days[folderMonth - 1][date % 100 - 1] = 1;
    });
}

} // namespace streams
