// Turns a setting's value text into an integer or a float of a given width.
#ifndef OSTRELS_PTZLINK_VALUE_PARSER_H
#define OSTRELS_PTZLINK_VALUE_PARSER_H

namespace qnpl {

enum ParseMode { kParseFloat = 1, kParseInteger = 2 };
enum ParseSign { kParseSigned = 1, kParseUnsigned = 2 };

// Writes the value into `out` as the type of `width` bits (8, 16, 32 or 64;
// float for 32 and double for 64 in float mode); 1 on success, 0 when the
// text is refused, and then `out` is untouched.
//
// Accepted texts (letters in either case), at most 127 characters:
//  - an optional "-" (signed mode only);
//  - integers: decimal; "0x" followed by decimal digits, read in base 16
//    ("0x10" is 16); octal with a leading 0 ("010" is 8, "0" is 0). Letters
//    other than x and f are refused, so "0b..." and hexadecimal letters are.
//    A value that overflows 64 bits or the width's range is refused;
//  - floats: digits with at most one point and an optional trailing "f";
//    float mode also takes whole numbers. Widths below 32 are refused.
int qnpl_parse_value(void* out, const char* text, int mode, int sign, int width);

}  // namespace qnpl

#endif
