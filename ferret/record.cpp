#include "ferret/record.h"

#include <cmath>
#include <cstdio>

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
  // all they hold.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.7g", value);
  std::string s(buf);
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
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
