#include <gtest/gtest.h>

#include "ferret/dates.h"

namespace {

struct DateTexts {
  std::string datetext = std::string(8, ' ');
  std::string monthname = std::string(9, ' ');
  std::string numtext = std::string(6, ' ');
  int year = 0;
};

DateTexts write(int index) {
  DateTexts t;
  writedate(index, t.datetext, t.monthname, t.year, t.numtext);
  return t;
}

TEST(WriteDate, MonthIndicesAroundYearEnds) {
  DateTexts first = write(1);
  EXPECT_EQ(first.datetext, "Jan 2004");
  EXPECT_EQ(first.monthname, "  January");
  EXPECT_EQ(first.year, 2004);
  EXPECT_EQ(first.numtext, "012004");

  DateTexts dec = write(12);
  EXPECT_EQ(dec.datetext, "Dec 2004");
  EXPECT_EQ(dec.year, 2004);

  DateTexts jan = write(13);
  EXPECT_EQ(jan.datetext, "Jan 2005");
  EXPECT_EQ(jan.numtext, "012005");

  DateTexts dec2007 = write(48);
  EXPECT_EQ(dec2007.datetext, "Dec 2007");
  EXPECT_EQ(dec2007.monthname, " December");
  EXPECT_EQ(dec2007.year, 2007);
  EXPECT_EQ(dec2007.numtext, "122007");

  EXPECT_EQ(write(9).monthname, "September");
}

TEST(WriteDate, IndexZeroHasNoMonth) {
  DateTexts t = write(0);
  EXPECT_EQ(t.datetext, "    2004");
  EXPECT_EQ(t.monthname, "         ");
  EXPECT_EQ(t.numtext, "002004");
  EXPECT_EQ(t.year, 2004);
}

TEST(WriteDate, YearBeyond2104KeepsPreviousYearCharacters) {
  DateTexts t;
  t.datetext = "xxxxABCD";
  t.numtext = "xxWXYZ";
  writedate(1213, t.datetext, t.monthname, t.year, t.numtext);
  EXPECT_EQ(t.year, 2105);
  EXPECT_EQ(t.datetext, "Jan ABCD");
  EXPECT_EQ(t.numtext, "01WXYZ");

  // Texts handed over at the wrong width are brought to their widths.
  std::string d, m, n;
  int year = 0;
  writedate(1213, d, m, year, n);
  EXPECT_EQ(d, "Jan     ");
  EXPECT_EQ(m.size(), 9u);
  EXPECT_EQ(n, "01    ");
}

TEST(DateHelpers, CompactDateAndAverageLastYear) {
  EXPECT_EQ(compactdate(48), "Dec2007");
  EXPECT_EQ(compactdate(56), "Aug2008");
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(averagelastyear(month, 48), 2007);
  EXPECT_EQ(averagelastyear(9, 45), 2007);
  EXPECT_EQ(averagelastyear(10, 45), 2006);
  EXPECT_EQ(monthindex(5, 6), 54);
}

TEST(LongConv, WesternLongitudesBecomeDegreesEast) {
  float lon = 0.0f;
  int hemisphere = 2;
  longconv(lon, hemisphere, 1);
  EXPECT_FLOAT_EQ(lon, 360.0f);
  EXPECT_EQ(hemisphere, 1);

  lon = 180.0f;
  hemisphere = 2;
  longconv(lon, hemisphere, 1);
  EXPECT_FLOAT_EQ(lon, 180.0f);

  lon = 250.0f;
  hemisphere = 2;
  longconv(lon, hemisphere, 1);
  EXPECT_FLOAT_EQ(lon, 110.0f);

  lon = 110.0f;
  hemisphere = 1;
  longconv(lon, hemisphere, 1);
  EXPECT_FLOAT_EQ(lon, 110.0f);
  EXPECT_EQ(hemisphere, 1);
}

TEST(DateInSeconds, LeapYearTable) {
  int s = 0;
  dateinseconds(2008, 3, 1, 0, 0, 0, s);
  EXPECT_EQ(s, (31 + 29 + 1) * 86400);
  dateinseconds(2007, 3, 1, 0, 0, 0, s);
  EXPECT_EQ(s, (31 + 28 + 1) * 86400);
  // Outside the table February keeps 28 days, and the table does not stick.
  dateinseconds(2040, 3, 1, 0, 0, 0, s);
  EXPECT_EQ(s, (31 + 28 + 1) * 86400);
  dateinseconds(2007, 1, 1, 0, 0, 0, s);
  EXPECT_EQ(s, 86400);
  dateinseconds(2007, 1, 1, 1, 2, 3, s);
  EXPECT_EQ(s, 86400 + 3723);
}

TEST(DateInSeconds, TurnOfTheYear) {
  int before = 0, after = 0;
  dateinseconds(2008, 12, 31, 23, 59, 59, before);
  dateinseconds(2009, 1, 1, 0, 0, 1, after);
  // The raw values lie almost a year apart, the later one smaller ...
  EXPECT_GT(before - after, 360 * 86400);

  // ... while the wait compares them as two seconds apart.
  int startyear = yearofreading(before, 2009, after);
  EXPECT_EQ(startyear, 2008);
  EXPECT_EQ(absoluteseconds(2009, after) - absoluteseconds(startyear, before), 2);

  int before2007 = 0;
  dateinseconds(2007, 12, 31, 23, 59, 59, before2007);
  EXPECT_EQ(absoluteseconds(2008, after) - absoluteseconds(2007, before2007), 2);

  // Readings within one year keep their year and their difference.
  int march = 0, april = 0;
  dateinseconds(2010, 3, 1, 10, 0, 0, march);
  dateinseconds(2010, 4, 1, 10, 0, 0, april);
  EXPECT_EQ(yearofreading(march, 2010, april), 2010);
  EXPECT_EQ(absoluteseconds(2010, april) - absoluteseconds(2010, march), 31 * 86400);

  // A file written in an earlier year is older than a start this year,
  // even though its seconds of the year are larger.
  int oldfile = 0, start = 0;
  dateinseconds(2009, 6, 1, 0, 0, 0, oldfile);
  dateinseconds(2010, 2, 1, 0, 0, 0, start);
  EXPECT_LT(absoluteseconds(2009, oldfile), absoluteseconds(2010, start));
}

}  // namespace
