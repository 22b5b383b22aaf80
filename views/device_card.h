// What one device card shows, worked out from the controller's camera record.
#pragma once

#include <QString>

#include "camera_record.h"

namespace device_card {

// True for the maker's own firmware (see the definition for the rule).
bool PassesMakerTest(const char* version, int capacity);
// "%dMB" up to 1024 MB, "%.1fGB" above.
QString SizeText(int megabytes);
// The information line under the name, in the list's language (0 Chinese, 1 English).
QString InfoText(const QnCameraRecord& record, int language);
// The shown name: a shared camera's name without "@sharer".
QString DisplayName(const QnCameraEntry& entry);
// The sharer of a shared camera's name; empty without "@".
QString Sharer(const QnCameraEntry& entry);
// Where the type-15 record keeps its texts: the firmware text (its version
// after "_V") and the Wi-Fi network's name, each zero-ended when shorter.
inline constexpr int kWifiFirmwareAt = 16;
inline constexpr int kWifiFirmwareSize = 32;
inline constexpr int kWifiNameAt = 48;
inline constexpr int kWifiNameSize = 64;
QString FirmwareText(const QnCameraRecord& record);
QString WifiText(const QnCameraRecord& record);
// The address in the type-15 record, dotted.
QString AddressText(const QnCameraRecord& record);
// 1 for a record whose cloud storage is on (alone or with the card), else 0.
int CloudState(const QnCameraRecord& record);
// A bounded field as text (the server need not end it with a zero).
QString FieldText(const char* field, int capacity);

} // namespace device_card
