// Numbers as the dialog fields show and read them: Fortran-style output
// formats "(fW.D)", "(eW.D)" and "(gW.DEe)", and the reading of typed text.
// No Qt here, so that it can be tested and fuzzed on its own.
#ifndef TIDECHARTER_TOOLKIT_NUMBER_FORMAT_H
#define TIDECHARTER_TOOLKIT_NUMBER_FORMAT_H

#include <string>

namespace toolkit {

// The format a numeric field uses when it has none of its own.
inline const char* const kDefaultNumberFormat = "(G15.5E2)";
// What a field shows for a value that does not fit its format.
inline const char* const kNumberOverflowText = "**********";

struct NumberFormat {
  char kind = 'G';         // 'F', 'E' or 'G'
  int width = 15;
  int decimals = 5;        // F, E: digits after the point; G: significant
  int exponentDigits = 2;  // E and G
};

// Parses "(F6.2)", "(G15.5E2)", "(E12.4)" (letter case and blanks inside the
// parentheses do not matter). False for anything else.
bool ParseNumberFormat(const std::string& text, NumberFormat& format);

// Writes `value` under `format`, left-justified with trailing blanks
// removed. False, with `text` set to kNumberOverflowText, when the value
// does not fit the width (or is not finite).
bool FormatNumber(double value, const NumberFormat& format, std::string& text);
// As above with a format text; an unreadable format falls back to the
// default one.
bool FormatNumber(double value, const std::string& format, std::string& text);

// Reads a number: blanks, an optional sign, digits with at most one decimal
// point, an optional exponent introduced by E, e, D or d, blanks. False and
// 0.0 for any other text.
bool ReadNumber(const std::string& text, double& value);

}  // namespace toolkit

#endif
