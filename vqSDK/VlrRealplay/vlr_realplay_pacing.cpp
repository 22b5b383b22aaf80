// The live pacing controller's part in the live play module. On the live
// road the hub feeds the platform directly, so the controller only has to
// run while a camera is locked.
#include <cstdio>

#include "vqSDK/VlrRealplay/vlr_realplay.h"

// INTERIM: bound to the live pacing controller once it is on main.
bool VLR_REALPLAY::StartPacing()
{
    return true;
}

void VLR_REALPLAY::PausePacing() {}

void VLR_REALPLAY::ResumePacing() {}

bool VLR_REALPLAY::StopPacing()
{
    return true;
}

void VLR_REALPLAY::OnPacingMessage(int32_t first, int32_t second, const char* text, void* user, int32_t)
{
    auto* self = static_cast<VLR_REALPLAY*>(user);
    if (self == nullptr || text == nullptr || !(self->errorOutput_.load() & REALPLAY_OUT_CTRL)) return;
    char line[256];
    std::snprintf(line, sizeof line, "%s :: %s", "RealCtrl", text);
    self->callbacks_.Message(line, first, second);
}
