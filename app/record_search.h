// The facade's TF-card record searches: the camera's record index of a day
// (sent back in packets), the camera's file list through the hub, and a scan
// of a local folder holding a copy of a card. All fill 164-byte file records.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/event.h"
#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

class VLR_SYSTEM;

// One index packet as the hub hands it on (204 bytes, little-endian).
inline constexpr std::size_t kIndexPacketBytes = 204;
inline constexpr std::size_t kIndexPacketData = 180;
inline constexpr int kIndexSlots = 20;
inline constexpr std::size_t kIndexJoinLimit = 1500;
inline constexpr int kRemoteFileLimit = 1440;

// Keeps, in order, each record that starts no earlier than the end of the
// last one kept; the count kept.
int KeepNonOverlapping(QN_NET_REMOTE_FILE* files, int count);

// The packets of one index search, kept by their index until the last one
// came. Packets come from the network: every field is checked before use.
class IndexPackets {
public:
    void Begin(int64_t dayStart);
    // True when the packet was taken and is the last one.
    bool Take(const uint8_t* packet, std::size_t length);
    // The data of slots 0 to the last in order, at most 1500 bytes; a missing
    // slot counts as 180 zero bytes, so the later ones keep their times.
    std::vector<uint8_t> Join() const;
    int64_t DayStart() const { return dayStart_; }

private:
    int64_t dayStart_ = 0;
    int32_t lastIndex_ = -1;
    std::array<std::array<uint8_t, kIndexPacketBytes>, kIndexSlots> slots_{};
    std::array<bool, kIndexSlots> filled_{};
};

class RecordSearch {
public:
    explicit RecordSearch(VLR_SYSTEM& hub, const platform::Clock& clock = platform::Clock::System());

    // The record index of the local day `day` (year, month, day used): asks
    // the hub and waits up to `waitMs` for the last packet. 1 with the spans
    // as records; 0 with count 0 on refusal or time-out.
    int SearchRemoteIndexFile(int32_t camera, const QN_NET_TIME6& day, QN_NET_REMOTE_FILE* files, int capacity,
                              int* count, int waitMs);
    // An index packet from the hub's network event 17 (any thread).
    void AddFileList(const void* packet, std::size_t length);

    // The camera's files of the span, without overlaps. 1/0.
    int SearchRemoteFile(int32_t camera, const QN_NET_TIME6& start, const QN_NET_TIME6& end, QN_NET_REMOTE_FILE* files,
                         int capacity, int* count);

    // Minute files "<folder><y>-<mm>-<dd>/<hh>/<mm>.h264" of at least 100
    // bytes; `folder` ends in its separator. 1.
    static int SearchLocalFile(const std::string& folder, const QN_NET_TIME6& day, QN_NET_REMOTE_FILE* files,
                               int capacity, int* count);

private:
    VLR_SYSTEM& hub_;
    const platform::Clock& clock_;
    std::mutex mutex_;
    platform::Event lastArrived_{true, false};
    bool searching_ = false;
    int64_t searchStart_ = 0;
    IndexPackets packets_;
};
