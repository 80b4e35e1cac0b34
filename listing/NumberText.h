#pragma once
// How a typed depth reads as a number: the depth box's rules, which /depth follows too.
#include <cstdint>

#include "platform/Text.h"

namespace tarnwick {

// The value of the longest leading number in the text, blanks, tabs and line feeds
// ignored wherever they stand: "12abc" is 12, " 7" is 7, "1e3" is 1000, "&H10" is 16;
// a text with no leading number is 0.
double Val(TextView text);

// Rounded to the nearest whole number, halves to the even one; values beyond the 32-bit
// range give its nearest end, so the depth clamp that follows still applies.
int32_t ToLong(double value);

// The general number format: whole numbers as plain digits, others with up to 15
// significant digits.
Text GeneralNumber(double value);

// Plain decimal digits, with a minus sign when negative.
Text Digits(int64_t value);

}  // namespace tarnwick
