#pragma once
// Number texts of the forms and graphs: the general format with a given number of significant
// digits, and the reading rule of typed numbers. Both take the locale's decimal separator.
#include <string>
#include <string_view>

namespace zarn {

// value rounded to `digits` significant digits (exact ties away from zero), trailing zeros
// dropped; fixed notation when 1e-4 <= |rounded| < 10^digits, else "d.dddE-x" style.
// 0 gives "0". Examples: (12345, 4) "1.235E4", (0.00005, 3) "5E-5", (2.5, 4) "2.5".
std::string FormatGeneral(double value, int digits, char decimalSeparator);

enum class ParseResult { Ok, NotANumber, Overflow };

// A form's field shows a number to this many significant digits, and a run takes what the field
// reads back.
inline constexpr int kFieldDigits = 15;

// The value a field holds once `value` is written into it: FormatGeneral to kFieldDigits, read
// back by ParseNumber. Every value a run is given passes it, so that the windows and the runner
// run with the same numbers; it leaves a value of up to 15 significant digits as it is. Throws
// FloatingPointError (overflow) where the rounding leaves the range of a double, as a field does.
double FieldValue(double value);

// A double as the shortest text that reads back to it ("0.1", "14.155000000000001", "1e+300"),
// for files that scripts read. Throws FloatingPointError for inf or nan: no file holds either.
std::string ShortestText(double value);

// Reads a typed number: optional spaces, sign, digits with an optional separator and digits, an
// optional exponent ("E"/"e", sign, digits; no digits means 0), optional spaces, nothing else.
// A lone separator reads 0. A finite value is stored in `out`; otherwise `out` is left alone.
ParseResult ParseNumber(std::string_view text, char decimalSeparator, double& out);

}  // namespace zarn
