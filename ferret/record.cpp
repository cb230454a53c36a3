#include "ferret/record.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

ListRecord::ListRecord() : line_(" ") {}

ListRecord& ListRecord::add(const std::string& text) {
  if (afterNumber_) line_ += ' ';
  line_ += text;
  afterNumber_ = false;
  return *this;
}

ListRecord& ListRecord::add(const char* text) { return add(std::string(text)); }

void ListRecord::separateNumber() {
  line_ += ' ';
  afterNumber_ = true;
}

ListRecord& ListRecord::add(int value) {
  separateNumber();
  line_ += std::to_string(value);
  return *this;
}

ListRecord& ListRecord::add(float value) { return add(static_cast<double>(value)); }

ListRecord& ListRecord::add(double value) {
  separateNumber();
  line_ += ListReal(value);
  return *this;
}

std::string ListReal(double value) {
  if (!std::isfinite(value)) return std::isnan(value) ? "NaN" : (value > 0 ? "Infinity" : "-Infinity");
  // Reals come from single-precision fields; seven significant digits are
  // all they hold. They are written out in decimal form, never with an
  // exponent: 5e-05 is 0.00005.
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.6e", value);
  const std::string e(buf);
  const std::size_t sign = e[0] == '-' ? 1 : 0;
  const std::size_t mark = e.find('e');
  const std::string digits = e.substr(sign, 1) + e.substr(sign + 2, mark - sign - 2);
  const int exponent = std::atoi(e.c_str() + mark + 1);
  std::string whole = "0", fraction;
  if (exponent < 0) {
    fraction = std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    const std::size_t point = static_cast<std::size_t>(exponent) + 1;
    whole = point >= digits.size() ? digits + std::string(point - digits.size(), '0') : digits.substr(0, point);
    if (point < digits.size()) fraction = digits.substr(point);
  }
  fraction.erase(fraction.find_last_not_of('0') + 1);
  return std::string(sign, '-') + whole + "." + (fraction.empty() ? "0" : fraction);
}

std::string FormatF(double value, int width, int decimals) {
  if (width <= 0) return "";
  char buf[512];
  if (!std::isfinite(value) || decimals < 0 || decimals > 100) return std::string(width, '*');
  std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, value);
  std::string s(buf);
  // "-0.00" stays as C writes it only when the rounded value is non-zero.
  if (s.find_first_of("123456789") == std::string::npos) {
    std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, 0.0);
    s = buf;
  }
  if (static_cast<int>(s.size()) > width) return std::string(width, '*');
  return s;
}

std::string FormatI(int value, int width) {
  if (width <= 0) return "";
  std::string s = std::to_string(value);
  if (static_cast<int>(s.size()) > width) return std::string(width, '*');
  return std::string(width - s.size(), ' ') + s;
}

std::string FormatA(const std::string& text, int width) {
  if (width <= 0) return "";
  std::string s = text.substr(0, width);
  s.resize(width, ' ');
  return s;
}

bool readfixed(std::istream& in, int width, std::string& text) {
  std::string line;
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  text = FormatA(line, width);
  return true;
}
