// Reads a number from a control's value text: a decimal integer of 8, 16, 32
// or 64 bits, signed or unsigned, range-checked; or a real stored as a float
// (32 bits) or a double (64 bits). Letters are taken in either case. Only
// plain decimal is read: "0x", "0b" and other leading-zero forms are refused,
// while "0" and "0.5" are valid. The conversion does not depend on the
// process locale.
#pragma once

#include <string_view>

namespace streams {

enum class ValueKind { Integer, Real };

// `out` points at an object of the size `bits` names (int8_t ... uint64_t,
// float or double). Integer kinds take "-" only when signed and refuse text
// with a "."; reals take an optional "-", one optional "." and an optional
// trailing "f". 1 when stored, 0 (and `out` untouched) otherwise.
int ReadValue(std::string_view text, ValueKind kind, bool isSigned, int bits, void* out);

} // namespace streams
