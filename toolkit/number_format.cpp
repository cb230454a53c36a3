#include "toolkit/number_format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace toolkit {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool readUnsigned(const std::string& s, std::size_t& i, int& out) {
  const std::size_t start = i;
  long v = 0;
  while (i < s.size() && isDigit(s[i])) {
    v = v * 10 + (s[i] - '0');
    if (v > 1000) return false;  // no field is that wide
    ++i;
  }
  out = static_cast<int>(v);
  return i > start;
}

// Adds one unit in the last place of a string of decimal digits; true when
// the carry ran out of the front ("999" -> "000").
bool incrementDigits(std::string& digits) {
  for (std::size_t i = digits.size(); i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

// Extra digits printed beyond the rounding position: enough for any double
// to show whether it lies above, on or below a halfway point.
constexpr int kGuardDigits = 25;

// |value| rounded half away from zero to `decimals` decimals, as the integer
// digits and the fraction digits.
void roundFixed(double magnitude, int decimals, std::string& whole, std::string& fraction) {
  std::string buffer(340 + decimals + kGuardDigits, '\0');
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::fixed, decimals + kGuardDigits);
  const std::string s(buffer.data(), result.ptr);
  const std::size_t point = s.find('.');
  whole = s.substr(0, point);
  const std::string rest = s.substr(point + 1);
  fraction = rest.substr(0, decimals);
  if (rest[decimals] >= '5') {
    std::string all = whole + fraction;
    if (incrementDigits(all)) all.insert(all.begin(), '1');
    whole = all.substr(0, all.size() - decimals);
    fraction = all.substr(all.size() - decimals);
  }
}

// |value| (non-zero) rounded half away from zero to `significant` digits:
// value = 0.digits x 10^exponent with a non-zero first digit.
void roundSignificant(double magnitude, int significant, std::string& digits, int& exponent) {
  std::string buffer(40 + significant + kGuardDigits, '\0');
  const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), magnitude,
                                    std::chars_format::scientific,
                                    significant - 1 + kGuardDigits);
  const std::string s(buffer.data(), result.ptr);
  const std::size_t e = s.find('e');
  std::string mantissa = s.substr(0, 1) + s.substr(2, e - 2);
  exponent = std::atoi(s.c_str() + e + 1) + 1;
  digits = mantissa.substr(0, significant);
  if (mantissa[significant] >= '5' && incrementDigits(digits)) {
    digits.insert(digits.begin(), '1');
    digits.pop_back();
    ++exponent;
  }
}

std::string fixedText(bool negative, const std::string& whole, const std::string& fraction,
                      int width) {
  std::string text = (negative ? "-" : "") + whole + "." + fraction;
  // The leading zero is optional and the first thing to go, unless it is
  // the only digit ("." alone is no number).
  if (static_cast<int>(text.size()) > width && whole == "0" && !fraction.empty())
    text = (negative ? "-" : "") + std::string(".") + fraction;
  return text;
}

bool allZero(const std::string& s) { return s.find_first_not_of('0') == std::string::npos; }

bool formatFixed(double value, int width, int decimals, std::string& text) {
  std::string whole, fraction;
  roundFixed(std::fabs(value), decimals, whole, fraction);
  const bool negative = value < 0 && !(allZero(whole) && allZero(fraction));
  text = fixedText(negative, whole, fraction, width);
  return static_cast<int>(text.size()) <= width;
}

bool formatExponent(double value, int width, int significant, int exponentDigits,
                    std::string& text) {
  std::string digits(significant, '0');
  int exponent = 0;
  if (value != 0.0) roundSignificant(std::fabs(value), significant, digits, exponent);
  std::string power = std::to_string(std::abs(exponent));
  if (static_cast<int>(power.size()) > exponentDigits) return false;
  power.insert(0, exponentDigits - power.size(), '0');
  text = std::string("0.") + digits + "E" + (exponent < 0 ? "-" : "+") + power;
  if (value < 0) text.insert(0, "-");
  if (static_cast<int>(text.size()) > width) {
    text.erase(value < 0 ? 1 : 0, 1);  // the optional leading zero
  }
  return static_cast<int>(text.size()) <= width;
}

bool formatGeneral(double value, const NumberFormat& f, std::string& text) {
  const int trailingBlanks = f.exponentDigits + 2;
  const int fixedWidth = f.width - trailingBlanks;
  if (value == 0.0) return formatFixed(0.0, fixedWidth, f.decimals - 1, text);
  std::string digits;
  int exponent = 0;
  roundSignificant(std::fabs(value), f.decimals, digits, exponent);
  if (exponent >= 0 && exponent <= f.decimals)
    return formatFixed(value, fixedWidth, f.decimals - exponent, text);
  return formatExponent(value, f.width, f.decimals, f.exponentDigits, text);
}

}  // namespace

bool ParseNumberFormat(const std::string& text, NumberFormat& format) {
  std::string s;
  for (char c : text)
    if (c != ' ') s += c;
  if (s.size() < 4 || s.front() != '(' || s.back() != ')') return false;
  NumberFormat f;
  f.kind = static_cast<char>(std::toupper(static_cast<unsigned char>(s[1])));
  if (f.kind != 'F' && f.kind != 'E' && f.kind != 'G') return false;
  std::size_t i = 2;
  if (!readUnsigned(s, i, f.width) || f.width < 1) return false;
  if (i >= s.size() || s[i] != '.') return false;
  ++i;
  if (!readUnsigned(s, i, f.decimals)) return false;
  if (s[i] == 'E' || s[i] == 'e') {
    if (f.kind == 'F') return false;
    ++i;
    if (!readUnsigned(s, i, f.exponentDigits) || f.exponentDigits < 1) return false;
  }
  if (i != s.size() - 1) return false;
  if (f.kind != 'F' && f.decimals < 1) return false;
  format = f;
  return true;
}

bool FormatNumber(double value, const NumberFormat& format, std::string& text) {
  bool fits = false;
  const bool usable = format.width >= 1 && format.width <= 1000 && format.decimals >= 0 &&
                      format.decimals <= 1000 && format.exponentDigits >= 1 &&
                      format.exponentDigits <= 9 && (format.kind == 'F' || format.decimals >= 1);
  if (usable && std::isfinite(value)) {
    switch (format.kind) {
      case 'F': fits = formatFixed(value, format.width, format.decimals, text); break;
      case 'E':
        fits = formatExponent(value, format.width, format.decimals, format.exponentDigits, text);
        break;
      default: fits = formatGeneral(value, format, text); break;
    }
  }
  if (!fits) text = kNumberOverflowText;
  return fits;
}

bool FormatNumber(double value, const std::string& format, std::string& text) {
  NumberFormat f;
  if (!ParseNumberFormat(format, f)) ParseNumberFormat(kDefaultNumberFormat, f);
  return FormatNumber(value, f, text);
}

bool ReadNumber(const std::string& text, double& value) {
  value = 0.0;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  std::string number;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') number += '-';
    ++i;
  }
  int digits = 0, points = 0;
  while (i < n && (isDigit(text[i]) || text[i] == '.')) {
    if (text[i] == '.' && ++points > 1) return false;
    if (text[i] != '.') ++digits;
    number += text[i++];
  }
  if (digits == 0) return false;
  if (i < n && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    number += 'e';
    ++i;
    if (i < n && (text[i] == '+' || text[i] == '-')) number += text[i++];
    const std::size_t start = i;
    while (i < n && isDigit(text[i])) number += text[i++];
    if (i == start) return false;
  }
  while (i < n && text[i] == ' ') ++i;
  if (i != n) return false;
  double v = 0.0;
  const auto result = std::from_chars(number.data() + (number[0] == '-' ? 1 : 0),
                                      number.data() + number.size(), v);
  if (result.ec == std::errc::invalid_argument) return false;
  // Out-of-range exponents read as the nearest representable magnitude.
  if (result.ec == std::errc::result_out_of_range) {
    const std::size_t e = number.find('e');
    v = (e != std::string::npos && number.find('-', e) != std::string::npos)
            ? 0.0
            : HUGE_VAL;
  }
  value = number[0] == '-' ? -v : v;
  return true;
}

}  // namespace toolkit
