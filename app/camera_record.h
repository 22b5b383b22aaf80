// The facade's camera entry and the controller's camera record built on it.
// The controller's table fills the record; the device list reads it.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
// One camera of the account, as the facade hands it over (284 bytes). Texts
// are fixed fields that need not end in a zero.
struct QnCameraEntry {
    char deviceText[64];   // names the camera's thumbnail file
    char name[32];         // a shared camera's is "name@sharer"
    char text[64];
    char model[64];        // the model or firmware version text
    int32_t cameraId;
    int32_t value;
    char region[8];
    int32_t shared;        // non-zero: shared to this account
    int32_t cameraType;    // 2: PTZ camera
    char extraText[32];    // not carried by the SDK (zero)
    int32_t extraValue;    // not carried by the SDK (zero)
};
#pragma pack(pop)
static_assert(sizeof(QnCameraEntry) == 284);
static_assert(offsetof(QnCameraEntry, deviceText) == 0 && offsetof(QnCameraEntry, name) == 64);
static_assert(offsetof(QnCameraEntry, text) == 96 && offsetof(QnCameraEntry, model) == 160);
static_assert(offsetof(QnCameraEntry, cameraId) == 224 && offsetof(QnCameraEntry, value) == 228);
static_assert(offsetof(QnCameraEntry, region) == 232 && offsetof(QnCameraEntry, shared) == 240);
static_assert(offsetof(QnCameraEntry, cameraType) == 244 && offsetof(QnCameraEntry, extraText) == 248);
static_assert(offsetof(QnCameraEntry, extraValue) == 280);

// Online states of a record.
inline constexpr int32_t kCameraStateUnknown = 255;

// Indexes of the 32-bit words the device list reads.
inline constexpr int kWifiLevelWord = 2;   // -1 when the query failed
inline constexpr int kWifiAddressWord = 3; // IPv4 address, network byte order

enum TfInfoField {
    kTfCardState = 0,
    kTfSizeValid,
    kTfSizeMb,
    kTfFree,
    kTfSecondPartition,
    kTfSecondSizeMb,
    kTfSecondFree,
    kTfFieldCount
};

struct QnCameraRecord {
    QnCameraEntry entry;
    uint8_t queried;          // the per-device queries completed (or shared)
    uint8_t infoRead;         // the configuration record of type 15 was read
    int32_t featureA, featureB, featureC;
    uint8_t wifiInfo[116];    // configuration record of type 15
    uint8_t tfInfoValid;
    int32_t tfInfo[kTfFieldCount]; // configuration record of type 16
    uint8_t queryWanted;
    int32_t online;           // 255 not reported, 0 off line, 1 on line
    uint8_t hasThumbnail;
    char regionCode[20];      // "Config"/"LOCA" at the list fill
    char countryCode[10];     // "Config"/"COUNTRY" at the list fill
    char texts[2][128];
    int32_t storageLocation;  // 0 none, 1 cloud, 3 cloud and memory card
    int32_t cloudFlag;
    int32_t locationSetting;
    uint8_t hMarked;
};

// A 32-bit word of the type-15 record.
int32_t WifiWord(const QnCameraRecord& record, int index);
