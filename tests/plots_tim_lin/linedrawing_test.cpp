#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ferret/drive_root.h"
#include "plots/linedrawing.h"

namespace {

std::string golden(const std::string& name) {
  std::ifstream in(std::string(TIM_LIN_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// As typed: 5 S to 5 N, 190 E to 200 E, 0 to 500 dbar, January 2004 to
// December 2007.
LineRequest typed(int property, int plottype = 1) {
  LineRequest r;
  r.property = property;
  r.plottype = plottype;
  r.upper = 0, r.lower = 500;
  r.south = 5, r.southItem = 2;
  r.north = 5, r.northItem = 1;
  r.west = 190, r.westItem = 1;
  r.east = 200, r.eastItem = 1;
  r.startMonth = 1, r.startYear = 1;
  r.endMonth = 12, r.endYear = 4;
  return r;
}

LineRequest prepared(LineRequest r) {
  prepareline(r);
  return r;
}

int check(LineRequest r, int argoend = 100, int avisoend = 100, int reynoldsend = 100) {
  prepareline(r);
  return linerequestcheck(r, argoend, avisoend, reynoldsend);
}

TEST(LineDrawingFile, MatchedLocationForCreateJpg) {
  DriveRoot drive;
  SlotCounter counter("lin");
  LineRequest r = prepared(typed(9));
  r.matched = 2;
  r.name = "Tarawa, Kiribati" + std::string(18, ' ');
  ASSERT_TRUE(writelinedrawingfile(counter.advance(), kActionJpg, r));
  EXPECT_EQ(drive.read("tmp/tcferretinlin1.txt"), golden("linedrawing_matched_jpg.txt"));
}

TEST(LineDrawingChecks, TwoDifferentValuesByAxis) {
  // Time: one month.
  for (int property : {1, 5, 11, 12, 13}) {
    LineRequest r = typed(property);
    r.endYear = 1, r.endMonth = 1;
    EXPECT_EQ(check(r), 6) << "property " << property;
    r.endMonth = 2;
    EXPECT_EQ(check(r), 0) << "property " << property;
  }
  // Pressure: one level.
  for (int property : {2, 6, 9, 10}) {
    LineRequest r = typed(property);
    r.upper = r.lower = 500;
    EXPECT_EQ(check(r), 7) << "property " << property;
  }
  // Latitude: both 40 S.
  for (int property : {3, 7}) {
    LineRequest r = typed(property);
    r.south = r.north = 40;
    r.southItem = r.northItem = 2;
    EXPECT_EQ(check(r), 8) << "property " << property;
  }
  // Longitude: 140 W and 220 E are the same meridian.
  for (int property : {4, 8}) {
    LineRequest r = typed(property);
    r.west = 140, r.westItem = 2;
    r.east = 220, r.eastItem = 1;
    EXPECT_EQ(check(r), 9) << "property " << property;
  }
  // Other axes do not mind: one level along time, one month along pressure.
  LineRequest r = typed(1);
  r.upper = r.lower = 500;
  EXPECT_EQ(check(r), 0);
  r = typed(2);
  r.endYear = 1, r.endMonth = 1;
  EXPECT_EQ(check(r), 0);
}

TEST(LineDrawingChecks, PressureOrderThenDataEndThenDateOrder) {
  // The pressure order is tested for the satellite series too.
  LineRequest r = prepared(typed(12));
  r.upper = 1000;
  EXPECT_EQ(linepressurecheck(r), 1);

  // An end before the start and beyond the data: the data end is named.
  r = typed(1);
  r.startYear = 5;
  r.endYear = 4;
  EXPECT_EQ(check(r, 48, 100, 100), 2);
  r.property = 12;
  EXPECT_EQ(check(r, 100, 48, 100), 3);
  r.property = 13;
  EXPECT_EQ(check(r, 100, 100, 48), 4);
  EXPECT_EQ(check(r, 48, 48, 100), 5);
  // Each data set has its own end.
  r = typed(11);
  EXPECT_EQ(check(r, 100, 47, 47), 0);
  EXPECT_EQ(check(r, 47, 100, 100), 2);
  // The thirteenth, empty end-year item.
  r.endYear = 13;
  EXPECT_EQ(check(r), 2);
}

TEST(LineDrawingChecks, MonthlyAnomalyAlongSpaceUsesOneMonth) {
  for (int property : {2, 3, 4, 6, 7, 8}) EXPECT_TRUE(lineonemonth(property, 3)) << property;
  for (int property : {1, 5, 9, 10, 11, 12, 13}) EXPECT_FALSE(lineonemonth(property, 3)) << property;
  EXPECT_FALSE(lineonemonth(2, 1));
  EXPECT_FALSE(lineonemonth(2, 2));

  // Property 2, anomaly: an end before the start is not an error; the plot
  // is of the start month alone.
  LineRequest r = typed(2, 3);
  r.startYear = 3, r.startMonth = 6;  // June 2006 = 30
  r.endYear = 1, r.endMonth = 2;
  prepareline(r);
  EXPECT_EQ(linerequestcheck(r, 100, 100, 100), 0);
  EXPECT_EQ(r.endIndex, 30);
  std::vector<std::string> lines = linedrawinglines(r);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], " go fer_temp_line_monthly_anom  2 30 30 0 500 -5.0 5.0 190.0 200.0");
  EXPECT_EQ(lines[2], "label/nouser 7.05,0.70,0,0,0.15 \"@C016Jun 2006           \"");

  // The end date chosen earlier still takes part in the data-end test.
  r = typed(2, 3);
  r.endYear = 13;
  EXPECT_EQ(check(r), 2);

  // Along time the anomaly keeps its end date, which must differ.
  r = typed(1, 3);
  r.endYear = 1, r.endMonth = 1;
  EXPECT_EQ(check(r), 6);
}

TEST(LineDrawingLines, LongitudesAreWrittenAsTyped) {
  LineRequest r = typed(4);
  r.west = 350;
  r.east = 10;
  r = prepared(r);
  ASSERT_EQ(linerequestcheck(r, 100, 100, 100), 0);
  const std::vector<std::string> lines = linedrawinglines(r);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " go fer_temp_line  4 1 48 0 500 -5.0 5.0 350.0 10.0");
  // Along longitude: pressure, time, then latitude at the bottom.
  EXPECT_EQ(lines[1], "label/nouser 7.05,0.70,0,0,0.15 \"@C016Averaged    0- 500 dbar\"");
  EXPECT_EQ(lines[2], "label/nouser 7.05,0.40,0,0,0.15 \"@C016Jan 2004 - Dec 2007\"");
  EXPECT_EQ(lines[3], "label/nouser 7.05,0.10,0,0,0.15 \"@C016 5.0 ^oS -  5.0 ^oN\"");

  // A western longitude is converted, and a single one leaves blanks.
  r = typed(3);
  r.west = r.east = 170;
  r.westItem = r.eastItem = 2;
  r.upper = r.lower = 1250;
  r = prepared(r);
  const std::vector<std::string> latitude = linedrawinglines(r);
  ASSERT_EQ(latitude.size(), 4u);
  EXPECT_EQ(latitude[0], " go fer_temp_line  3 1 48 1250 1250 -5.0 5.0 190.0 190.0");
  EXPECT_EQ(latitude[1], "label/nouser 7.05,0.70,0,0,0.15 \"@C0161250 dbar\"");
  EXPECT_EQ(latitude[3], "label/nouser 7.05,0.10,0,0,0.15 \"@C016190.0 ^oE" + std::string(12, ' ') + "\"");
}

TEST(LineDrawingLines, TitlesAndSelectors) {
  // The satellite and dynamic-height differences carry no selector.
  std::vector<std::string> lines = linedrawinglines(prepared(typed(12, 2)));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], " go fer_alt_ht_line_yearly_anom  1 48 0 500 -5.0 5.0 190.0 200.0");
  EXPECT_EQ(lines[1],
            "label/nouser 4.10,6.10,0,0,0.15 \"Aviso Altimetric Height Difference from Four Year Mean "
            "(2004-2007)\"");
  lines = linedrawinglines(prepared(typed(13, 3)));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], " go fer_sst_line_monthly_anom  1 1 48 0 500 -5.0 5.0 190.0 200.0");
  EXPECT_EQ(lines[1], "label/nouser 4.10,6.10,0,0,0.15 \"Reynolds SST Anomaly from Monthly Mean\"" +
                          std::string(17, ' '));

  // Temperature and salinity have a property plot only.
  lines = linedrawinglines(prepared(typed(10)));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], " go fer_temp_psal  2 1 48 0 500 -5.0 5.0 190.0 200.0");
  EXPECT_TRUE(linenotanoption(9, 2));
  EXPECT_TRUE(linenotanoption(10, 3));
  EXPECT_FALSE(linenotanoption(10, 1));
  EXPECT_FALSE(linenotanoption(8, 2));
}

TEST(LineDrawingLines, MatchedLocationAddsTheNameLine) {
  LineRequest r = prepared(typed(1));
  const size_t unmatched = linedrawinglines(r).size();
  r.matched = 3;
  r.name = "Christmas Island" + std::string(18, ' ');
  const std::vector<std::string> lines = linedrawinglines(r);
  ASSERT_EQ(lines.size(), unmatched + 1);
  EXPECT_EQ(lines.back(), "label/nouser 2.50,0.10,0,0,0.15 \"@C016Christmas Island" + std::string(18, ' ') + "\"");
}

}  // namespace
