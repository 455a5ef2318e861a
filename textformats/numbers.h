// Reading numbers and booleans from text, and 32-bit arithmetic that raises
// instead of wrapping. Counts, sizes and indices are int32_t everywhere.
#ifndef TABULON_TEXTFORMATS_NUMBERS_H_
#define TABULON_TEXTFORMATS_NUMBERS_H_

#include <cstdint>
#include <string_view>

namespace tabulon {

// A decimal integer: an optional "+" or "-", then at least one digit; a run of
// "_" directly after a digit is skipped ("1_0" is 10). The whole text must be
// consumed and the value must fit int32_t.
// Throws ValueError "invalid integer: " + text otherwise.
int32_t parseInt32(std::string_view text);

// Like parseInt32, but reports failure by returning false (no exception).
bool tryParseInt32(std::string_view text, int32_t& out);

// A decimal floating-point number (optional sign, digits, fraction, exponent;
// also "inf" and "nan"). The whole text must be consumed.
// Throws ValueError "invalid float: " + text otherwise.
double parseFloat(std::string_view text);

// "y", "yes", "true", "1", "on" are true; "n", "no", "false", "0", "off" are
// false, compared after lower-casing A-Z and dropping every "_".
// Throws ValueError "cannot interpret as a bool: " + text otherwise.
bool parseBool(std::string_view text);

// Checked int32 arithmetic; throws OverflowError "over- or underflow".
int32_t checkedAdd(int32_t a, int32_t b);
int32_t checkedSub(int32_t a, int32_t b);
int32_t checkedMul(int32_t a, int32_t b);

}  // namespace tabulon

#endif  // TABULON_TEXTFORMATS_NUMBERS_H_
