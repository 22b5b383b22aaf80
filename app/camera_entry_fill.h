// Builds the facade's camera entry from a device record of the hub's camera
// list and the camera type that the model text names.
#pragma once

#include "app/camera_record.h"
#include "vqSDK/VlrSystem/vlr_system.h"

// Texts and values are copied unchanged; the list kind becomes the shared
// flag; the two fields the device record does not carry stay zero.
QnCameraEntry MakeCameraEntry(const VLR_CAMERA_ENTRY& listed, int32_t cameraType);
