// Number formats and typed numbers of any shape. Input: a format text, a
// line feed, then the typed text. A written number fits its format's width,
// reads back, and differs from the value by no more than the rounding the
// format allows; one that does not fit is the overflow text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "toolkit/number_format.h"

namespace {

using toolkit::NumberFormat;

// Largest difference that rounding under `format` may leave in `shown`.
double tolerance(const NumberFormat& format, const std::string& shown, double back) {
  const bool exponent = shown.find('E') != std::string::npos;
  const double slack = std::fabs(back) * 1e-14 + 1e-300;
  if (format.kind == 'F') return 0.5 * std::pow(10.0, -format.decimals) * (1 + 1e-12) + slack;
  if (!exponent && format.kind == 'G') {
    // Fixed notation under G: as many decimals as leave the significant
    // digits, so half a unit of the last one shown.
    const std::size_t point = shown.find('.');
    const double decimals = static_cast<double>(shown.size() - point - 1);
    return 0.5 * std::pow(10.0, -decimals) * (1 + 1e-12) + slack;
  }
  // 0.ddddd x 10^e with a non-zero first digit: half a unit of the last
  // significant digit is at most 5 x 10^-digits of the shown magnitude.
  return std::fabs(back) * 5.0 * std::pow(10.0, -format.decimals) * (1 + 1e-12) + slack;
}

void checkWritten(double value, const NumberFormat& format, bool fits, const std::string& text) {
  if (!fits) {
    FUZZ_CHECK(text == toolkit::kNumberOverflowText);
    return;
  }
  FUZZ_CHECK(std::isfinite(value));
  FUZZ_CHECK(!text.empty());
  FUZZ_CHECK(static_cast<int>(text.size()) <= format.width);
  // Fixed notation under G leaves room for the exponent it does not show.
  if (format.kind == 'G' && text.find('E') == std::string::npos)
    FUZZ_CHECK(static_cast<int>(text.size()) <= format.width - format.exponentDigits - 2);
  FUZZ_CHECK(text.front() != ' ' && text.back() != ' ');
  double back = 0.0;
  FUZZ_CHECK(toolkit::ReadNumber(text, back));
  if (std::fabs(back) > 1e300 || std::fabs(value) > 1e300) return;  // pow() loses the scale
  FUZZ_CHECK(std::fabs(back - value) <= tolerance(format, text, back));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t feed = input.find('\n');
  const std::string formatText = input.substr(0, feed);
  const std::string typed = feed == std::string::npos ? std::string() : input.substr(feed + 1);

  NumberFormat format;
  const bool parsed = toolkit::ParseNumberFormat(formatText, format);
  if (parsed) {
    FUZZ_CHECK(format.width >= 1);
    FUZZ_CHECK(format.kind == 'F' || format.kind == 'E' || format.kind == 'G');
    FUZZ_CHECK(format.kind == 'F' || format.decimals >= 1);
  } else {
    FUZZ_CHECK(toolkit::ParseNumberFormat(toolkit::kDefaultNumberFormat, format));
  }

  double value = 0.0;
  if (!toolkit::ReadNumber(typed, value)) {
    FUZZ_CHECK(value == 0.0);
    return 0;
  }
  FUZZ_CHECK(!std::isnan(value));

  // Both as typed and as a numeric field holds it (a 32-bit real).
  for (const double v : {value, static_cast<double>(static_cast<float>(value))}) {
    std::string text;
    const bool fits = toolkit::FormatNumber(v, formatText, text);
    checkWritten(v, format, fits, text);
  }
  return 0;
}
