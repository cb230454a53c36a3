// Vertical sections from dialog values to command-file lines, no windows.
#include <gtest/gtest.h>

#include "plots/vertview.h"
#include "test_support.h"

namespace {

const std::string kBlankFill(44, ' ');

std::string filefor(const VertDialog& d, int action, int argoend) {
  SlotCounter counter("ver");
  const PlotSlot slot = counter.advance();
  EXPECT_TRUE(writeplotfile(slot, action, vertviewlines(vertrequest(d), argoend)));
  return readprogramfile(slot.windowsPath);
}

}  // namespace

TEST(VertViewLines, NorthSouthSectionAlong140WMatchesGoldenFile) {
  TempDrive drive;
  // Dialog 105 as loaded: temperature, 0 to 2000 dbar, 65N to 60S at 140W.
  EXPECT_EQ(filefor(VertDialog{}, kActionPlot, 100), golden("ver_140W_plot.txt"));
}

TEST(VertViewLines, MarchAverageMatchesGoldenFile) {
  TempDrive drive;
  VertDialog d;
  d.plotType = 4;
  d.startMonth = 3;  // March 2008, after argoend: averages are not checked
  ASSERT_FALSE(vertcheck(vertrequest(d), 48));
  EXPECT_EQ(filefor(d, kActionJpg, 48), golden("ver_march_average_jpg.txt"));
}

TEST(VertViewLines, EastWestSectionsRunAlongTheSouthLatitude) {
  VertDialog d;
  d.direction = 2;
  d.south = 10.0f;
  d.west = 170.0f;
  d.westHemisphere = 1;
  d.east = 170.0f;  // 170 W
  PlotLines p = vertviewlines(vertrequest(d), 100);
  ASSERT_EQ(p.lines.size(), 4u);
  EXPECT_EQ(p.lines[0], " go fer_temp_section E -10.0 -10.0 54 54 0 2000 170.0 190.0 " + kBlankFill);
  EXPECT_EQ(p.lines[3], "label  185.00, -53.20,0,0,0.17 \" 10.0^oS\"");

  d.west = 350.0f;
  d.east = 10.0f;
  d.eastHemisphere = 1;
  d.southHemisphere = 1;
  p = vertviewlines(vertrequest(d), 100);
  EXPECT_EQ(p.lines[0], " go fer_temp_section E 10.0 10.0 54 54 0 2000 350.0 370.0 " + kBlankFill);
  EXPECT_EQ(p.lines[3].substr(p.lines[3].size() - 10), "\" 10.0^oN\"");
}

TEST(VertViewLines, PlotTypesChooseDatesAndDynamicHeightFlag) {
  VertDialog d;
  d.property = 3;
  d.endMonth = 9;
  PlotLines p = vertviewlines(vertrequest(d), 100);
  EXPECT_EQ(p.lines[0], " go fer_dyn_ht_section N -60.0 65.0 54 57 0 2000 220.0 220.0 0 " + kBlankFill);
  EXPECT_EQ(p.lines[2], "label  -28.75, -53.20,0,0,0.17 \"Jun 2008 - Sep 2008\"");

  d.plotType = 3;  // anomaly: the start month instead of the end, one date
  p = vertviewlines(vertrequest(d), 100);
  EXPECT_EQ(p.lines[0], " go fer_dyn_ht_section_monthly_anom N -60.0 65.0 54 6 0 2000 220.0 220.0 " + kBlankFill);
  EXPECT_EQ(p.lines[1],
            "label    2.50,-186.60,0,0,0.17 \"Argo Dynamic Height Anomaly from Monthly Mean\"  ");
  EXPECT_EQ(p.lines[2], "label  -28.75, -53.20,0,0,0.17 \"Jun 2008\"");

  d.property = 5;
  d.plotType = 2;
  p = vertviewlines(vertrequest(d), 100);
  EXPECT_EQ(p.lines[0],
            " go fer_geo_vel_section_yearly_anom N -60.0 65.0 54 57 0 2000 220.0 220.0 " + kBlankFill);
}

TEST(VertViewLines, AverageLastYearFollowsArgoEnd) {
  VertDialog d;
  d.plotType = 4;
  d.property = 2;
  d.startMonth = 10;
  EXPECT_EQ(vertviewlines(vertrequest(d), 45).lines[1],
            "label    2.50,-186.60,0,0,0.17 \"Argo Salinity (psu)   October Average(2004-2006)\"");
  d.startMonth = 9;
  EXPECT_EQ(vertviewlines(vertrequest(d), 45).lines[1],
            "label    2.50,-186.60,0,0,0.17 \"Argo Salinity (psu) September Average(2004-2007)\"");
}

TEST(VertViewChecks, MessagesInOrder) {
  VertDialog d;
  d.upper = 2000;
  d.lower = 1000;
  auto m = vertcheck(vertrequest(d), 100);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input Error");
  EXPECT_EQ(m->line1, "Please re-enter 2) Vertical units, such that ");
  EXPECT_EQ(m->line2, "Min is less than or equal to Max value.");

  d.lower = 2000;
  for (int property : {1, 2, 4}) {
    d.property = property;
    EXPECT_FALSE(vertcheck(vertrequest(d), 100)) << property;
  }
  for (int property : {3, 5}) {
    d.property = property;
    m = vertcheck(vertrequest(d), 100);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->line1, "This calculation requires two  ");
    EXPECT_EQ(m->line2, "different pressure values.");
  }

  d = VertDialog{};
  d.plotType = 3;  // a stale end date before the start still counts
  d.endMonth = 1;
  d.endYear = 5;
  m = vertcheck(vertrequest(d), 100);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input error");
  EXPECT_EQ(m->line1, "Please enter End date either equal to");
  EXPECT_EQ(m->line2, "or greater than Start date.");

  d.endYear = 6;  // January 2009, after argoend
  m = vertcheck(vertrequest(d), 56);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input out of range");
  EXPECT_EQ(m->line1, " Argo grid current through Aug2008");
  d.plotType = 4;
  EXPECT_FALSE(vertcheck(vertrequest(d), 56));
}
