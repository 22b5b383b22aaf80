// Camera entries from the hub's device list, served by the simulated login
// server from a device file: identities, models, names and texts reach the
// entry's fields, a shared camera keeps "name@sharer", and the model names
// the camera type.
#include <gtest/gtest.h>

#include <cstring>

#include "app/camera_entry_fill.h"
#include "app/camera_tables.h"
#include "platform/files.h"
#include "support/temp_folder.h"
#include "vqSDK/VlrSystem/hub_on_service.h"

namespace {

class CameraListOnService : public hub_test::HubOnService {};

TEST_F(CameraListOnService, DeviceFileFieldsReachTheCameraEntries)
{
    testing_support::TempFolder folder;
    const std::string devices = folder.Path() + "/devices.json";
    platform::WriteWholeFile(devices,
                             "[{\"identity\":\"QN000017\",\"model\":\"QNP2OW12-360\",\"name\":\"hall\","
                             "\"text\":\"front door\"},"
                             "{\"identity\":\"QN000018\",\"model\":\"CAM-YT2\",\"name\":\"yard\",\"text\":\"ptz\"},"
                             "{\"identity\":\"SH000001\",\"model\":\"QNP2OW14-360\",\"name\":\"bob@alice\","
                             "\"text\":\"shared\",\"shared\":true}]");
    Start("", "--device-file " + devices);
    std::vector<VLR_CAMERA_ENTRY> listed(60);
    int count = 0;
    ASSERT_EQ(hub_->GetCameraList("all", listed.data(), 60, &count, 0), 1);
    ASSERT_EQ(count, 3);
    struct Expected {
        const char* identity;
        const char* name;
        const char* text;
        const char* model;
        int32_t shared;
        int32_t type;
    } expected[] = {{"QN000017", "hall", "front door", "QNP2OW12-360", 0, 1},
                    {"QN000018", "yard", "ptz", "CAM-YT2", 0, 2},
                    {"SH000001", "bob@alice", "shared", "QNP2OW14-360", 1, 0}};
    for (int i = 0; i < count; ++i) {
        const QnCameraEntry entry =
            MakeCameraEntry(listed[i], GetCameraType(std::string_view(listed[i].device.model, 64)));
        EXPECT_STREQ(entry.deviceText, expected[i].identity) << i;
        EXPECT_STREQ(entry.name, expected[i].name) << i;
        EXPECT_STREQ(entry.text, expected[i].text) << i;
        EXPECT_STREQ(entry.model, expected[i].model) << i;
        EXPECT_EQ(entry.shared, expected[i].shared) << i;
        EXPECT_EQ(entry.cameraType, expected[i].type) << i;
    }
}

} // namespace
