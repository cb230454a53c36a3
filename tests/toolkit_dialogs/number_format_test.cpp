// Numbers as fields write and read them.
#include <gtest/gtest.h>

#include "toolkit/number_format.h"

namespace {

using toolkit::FormatNumber;
using toolkit::ReadNumber;

std::string Written(double value, const std::string& format) {
  std::string text;
  FormatNumber(value, format, text);
  return text;
}

struct Case {
  double value;
  const char* format;
  const char* text;
};

class Formats : public ::testing::TestWithParam<Case> {};

TEST_P(Formats, WriteLeftJustified) {
  const Case& c = GetParam();
  EXPECT_EQ(Written(c.value, c.format), c.text) << c.value << " " << c.format;
}

INSTANTIATE_TEST_SUITE_P(
    Fixed, Formats,
    ::testing::Values(Case{25.5, "(f5.2)", "25.50"}, Case{65.0, "(f5.2)", "65.00"},
                      Case{140.0, "(F6.2)", "140.00"}, Case{-3.25, "(f6.1)", "-3.3"},
                      Case{0.125, "(f5.2)", "0.13"},    // halves round away from zero
                      Case{2.675, "(f5.2)", "2.67"},    // 2.67499999... in binary
                      Case{0.5, "(f3.2)", ".50"},       // the leading zero gives way
                      Case{-0.001, "(f5.2)", "0.00"},   // no minus on a zero
                      Case{999.996, "(f7.2)", "1000.00"}, Case{7.0, "(f3.0)", "7."}));

INSTANTIATE_TEST_SUITE_P(
    General, Formats,
    ::testing::Values(Case{45.0, "(G15.5E2)", "45.000"}, Case{140.0, "(G15.5E2)", "140.00"},
                      Case{0.5, "(G15.5E2)", "0.50000"}, Case{0.1, "(G15.5E2)", "0.10000"},
                      Case{12345.0, "(G15.5E2)", "12345."},
                      Case{99999.5, "(G15.5E2)", "0.10000E+06"},  // rounds out of F range
                      Case{123456.0, "(G15.5E2)", "0.12346E+06"},
                      Case{0.01234, "(G15.5E2)", "0.12340E-01"},
                      Case{-2000.0, "(G15.5E2)", "-2000.0"}, Case{0.0, "(G15.5E2)", "0.0000"},
                      Case{1.0e-5, "(E12.4)", "0.1000E-04"}));

TEST(NumberFormat, DoesNotFit) {
  std::string text;
  EXPECT_FALSE(FormatNumber(123456.0, "(f5.2)", text));
  EXPECT_EQ(text, "**********");
  EXPECT_FALSE(FormatNumber(1.0e120, "(G15.5E2)", text));  // three-digit exponent
  EXPECT_EQ(text, "**********");
  EXPECT_FALSE(FormatNumber(std::numeric_limits<double>::quiet_NaN(), "(f5.2)", text));
  EXPECT_FALSE(FormatNumber(0.2, "(f1.0)", text));  // "." alone would be no number
  EXPECT_EQ(text, "**********");
  EXPECT_TRUE(FormatNumber(0.2, "(f2.0)", text));
  EXPECT_EQ(text, "0.");
  EXPECT_TRUE(FormatNumber(-99.99, "(f6.2)", text));
  EXPECT_EQ(text, "-99.99");
}

TEST(NumberFormat, UnreadableFormatFallsBackToDefault) {
  toolkit::NumberFormat f;
  EXPECT_FALSE(toolkit::ParseNumberFormat("f5.2", f));
  EXPECT_FALSE(toolkit::ParseNumberFormat("(i5)", f));
  EXPECT_FALSE(toolkit::ParseNumberFormat("(f5.2E2)", f));
  EXPECT_TRUE(toolkit::ParseNumberFormat("( f 8 . 3 )", f));
  EXPECT_EQ(f.width, 8);
  EXPECT_EQ(Written(45.0, "(x)"), "45.000");
}

TEST(NumberFormat, ReadsNumbers) {
  const struct {
    const char* text;
    double value;
  } numbers[] = {{"45", 45.0},       {"  -1.5  ", -1.5}, {"+.5", 0.5},      {"5.", 5.0},
                 {"1.5E2", 150.0},   {"1.5e-2", 0.015},  {"2D3", 2000.0},   {"2d+3", 2000.0},
                 {"0.12346E+06", 123460.0}};
  for (const auto& n : numbers) {
    double v = -1;
    EXPECT_TRUE(ReadNumber(n.text, v)) << n.text;
    EXPECT_DOUBLE_EQ(v, n.value) << n.text;
  }
  const char* notNumbers[] = {"", "  ", "abc", "1.2.3", "1e", "-", ".", "1,5", "12a",
                              "1 2", "E5", "**********", "1e+"};
  for (const char* t : notNumbers) {
    double v = -1;
    EXPECT_FALSE(ReadNumber(t, v)) << t;
    EXPECT_EQ(v, 0.0) << t;
  }
}

}  // namespace
