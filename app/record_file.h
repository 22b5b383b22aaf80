// The 164-byte file record of the TF-card searches, the SDK's
// QN_NET_REMOTE_FILE: file size (value 0), a 108-character path or name
// (values 1-27), a valid flag (value 28), the start (values 29-34) and the end
// (values 35-40), each as year, month, day, hour, minute, second.
#pragma once

#include <string>

#include "vqSDK/VlrNetSDK/qn_net_sdk.h"

QN_NET_REMOTE_FILE MakeRecordFile(uint32_t size, const std::string& name, int32_t valid, const QN_NET_TIME6& start,
                                  const QN_NET_TIME6& end);
QN_NET_TIME6 RecordStart(const QN_NET_REMOTE_FILE& file);
QN_NET_TIME6 RecordEnd(const QN_NET_REMOTE_FILE& file);
std::string RecordName(const QN_NET_REMOTE_FILE& file);
uint32_t RecordSize(const QN_NET_REMOTE_FILE& file);
int32_t RecordValid(const QN_NET_REMOTE_FILE& file);

// The longest path a record holds (the field keeps a terminator).
inline constexpr std::size_t kRecordNameCapacity = 108;
