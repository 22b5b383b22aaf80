// The calling thread's last system error and its text.
#pragma once

#include <string>

namespace platform {

int LastError();
// The system's message for an error number, without a trailing full stop.
std::string ErrorText(int error);

} // namespace platform
