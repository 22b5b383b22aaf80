// The brand variant every panel applies at start; the shared script holds the table.
#pragma once

namespace views {

inline constexpr int kUiVariant = 1001;

} // namespace views
