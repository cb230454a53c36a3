// Map view requests from dialog values to command-file lines, no windows.
#include <gtest/gtest.h>

#include "plots/mapview.h"
#include "test_support.h"

namespace {

const DataEnds kEnds{100, 100, 100};

// Dialog 103 with its load-time values, salinity to 500 dbar.
MapDialog salinity() {
  MapDialog d;
  d.property = 2;
  d.lower = 500;
  return d;
}

PlotLines linesfor(const MapDialog& d, const DataEnds& ends = kEnds) {
  MapRequest r = maprequest(d);
  const MapLayout g = maplayout(r);
  return mapviewlines(r, g, ends);
}

bool haslinecontaining(const PlotLines& p, const std::string& part) {
  for (const auto& line : p.lines)
    if (line.find(part) != std::string::npos) return true;
  return false;
}

}  // namespace

TEST(MapViewLines, SalinityExampleMatchesGoldenFile) {
  TempDrive drive;
  SlotCounter counter("map");
  const PlotSlot slot = counter.advance();
  ASSERT_TRUE(writeplotfile(slot, kActionPlot, linesfor(salinity())));
  EXPECT_EQ(readprogramfile(slot.windowsPath), golden("map_salinity_plot.txt"));
}

TEST(MapViewLines, LongitudesBecomeDegreesEastAndLieEastOfTheWest) {
  MapDialog d = salinity();
  d.west = 180.0f;
  d.east = 180.0f;
  MapRequest r = maprequest(d);
  MapLayout g = maplayout(r);
  EXPECT_FLOAT_EQ(r.E, 540.0f);
  EXPECT_FLOAT_EQ(g.ratio, 85.0f / 360.0f);

  d.west = 330.0f;
  d.east = 30.0f;
  r = maprequest(d);
  EXPECT_FLOAT_EQ(r.E, 30.0f);  // raised only after the pressure checks
  g = maplayout(r);
  EXPECT_FLOAT_EQ(r.E, 390.0f);
  EXPECT_TRUE(haslinecontaining(mapviewlines(r, g, kEnds), " 330.0 390.0 1 0 "));

  d.west = 100.0f;
  d.westHemisphere = 2;
  d.east = 110.0f;
  d.eastHemisphere = 2;
  r = maprequest(d);
  EXPECT_FLOAT_EQ(r.W, 260.0f);
  EXPECT_FLOAT_EQ(r.E, 250.0f);
  maplayout(r);
  EXPECT_FLOAT_EQ(r.E, 610.0f);
}

TEST(MapViewLines, TitleOffsetsChangeAtRatiosHalfAndTwo) {
  MapDialog d = salinity();
  d.north = 25.0f;
  d.south = 35.0f;  // height 60
  d.west = 100.0f;
  d.east = 220.0f;  // ratio exactly 0.5: middle offsets
  MapRequest r = maprequest(d);
  MapLayout g = maplayout(r);
  EXPECT_FLOAT_EQ(g.ratio, 0.5f);
  EXPECT_NEAR(g.ytitle, 25.0f + 60.0f * 0.0833f, 1e-4);
  EXPECT_NEAR(g.ysub, 25.0f + 60.0f * 0.0266f, 1e-4);

  d.east = 130.0f;  // ratio exactly 2
  r = maprequest(d);
  g = maplayout(r);
  EXPECT_FLOAT_EQ(g.ratio, 2.0f);
  EXPECT_NEAR(g.ytitle, 25.0f + 60.0f * 0.065f, 1e-4);
  EXPECT_NEAR(g.ysub, 25.0f + 60.0f * 0.015f, 1e-4);

  d.east = 221.0f;  // just below 0.5
  r = maprequest(d);
  g = maplayout(r);
  EXPECT_NEAR(g.ytitle, 25.0f + 60.0f * 0.095f, 1e-4);
  EXPECT_NEAR(g.ysub, 25.0f + 60.0f * 0.026f, 1e-4);
}

TEST(MapViewLines, MonthlyAverageHasTitleDatesAndNoDateLabel) {
  MapDialog d = salinity();
  d.property = 1;
  d.plotType = 4;
  d.startMonth = 1;
  const PlotLines p = linesfor(d, DataEnds{48, 100, 100});
  ASSERT_EQ(p.lines.size(), 3u);
  EXPECT_EQ(p.lines[0], " go fer_temp_avg_map  1 0 500 -60.0 25.0 130.0 250.0 1 0 " + std::string(44, ' '));
  EXPECT_EQ(p.lines[1], "label 190.00, 32.08,0,0,0.17 \"Argo Temperature (^oC)   January Average(2004-2007)\"");
  // No date label; the pressure label moves to the middle.
  EXPECT_EQ(p.lines[2], "label 190.00, 27.26,0,0,0.17 \"Averaged    0- 500 dbar\"");
}

TEST(MapViewLines, AverageLastYearFollowsTheDataEnd) {
  MapDialog d = salinity();
  d.plotType = 4;
  d.startMonth = 10;
  PlotLines p = linesfor(d, DataEnds{45, 100, 100});
  // Salinity's average title keeps one blank after its closing quote.
  EXPECT_EQ(p.lines[1],
            "label 190.00, 32.08,0,0,0.17 \"Argo Salinity (psu)   October Average(2004-2006)\" ");
  d.startMonth = 9;
  p = linesfor(d, DataEnds{45, 100, 100});
  EXPECT_TRUE(haslinecontaining(p, "\"Argo Salinity (psu) September Average(2004-2007)\" "));

  // Altimetric height counts from the AVISO end, not from Argo's.
  d.property = 7;
  d.startMonth = 10;
  p = linesfor(d, DataEnds{45, 58, 100});
  EXPECT_TRUE(haslinecontaining(p, "\"Aviso Altimetric Height   October Average(2004-2008)\""));
}

TEST(MapViewLines, SurfacePropertiesHaveNoPressuresAndCentredDates) {
  MapDialog d = salinity();
  d.property = 8;
  d.endMonth = 8;
  d.endYear = 5;
  const PlotLines p = linesfor(d);
  ASSERT_EQ(p.lines.size(), 3u);
  EXPECT_EQ(p.lines[0], " go fer_sst_map  54 56 -60.0 25.0 130.0 250.0 1 " + std::string(44, ' '));
  EXPECT_EQ(p.lines[2], "label 190.00, 27.26,0,0,0.17 \"Jun 2008 - Aug 2008\"");

  d.property = 7;
  d.plotType = 4;
  const PlotLines average = linesfor(d);
  ASSERT_EQ(average.lines.size(), 2u);  // go line and title only
  EXPECT_EQ(average.lines[0], " go fer_alt_ht_avg_map  6 -60.0 25.0 130.0 250.0 1 " + std::string(44, ' '));
}

TEST(MapViewLines, PressureLabelForms) {
  MapDialog d = salinity();
  d.property = 1;
  d.upper = 500;
  EXPECT_TRUE(haslinecontaining(linesfor(d), ",0,0,0.17 \"at 500 dbar\""));
  d.property = 4;
  d.upper = 0;
  EXPECT_TRUE(haslinecontaining(linesfor(d), ",0,0,0.17 \"   0/ 500 dbar\""));
}

TEST(MapViewLines, ArgumentListsFollowTheKindOfPlot) {
  MapDialog d = salinity();
  d.property = 3;
  d.plotType = 5;  // dynamic height map with stations: T then V then F
  EXPECT_EQ(linesfor(d).lines[0],
            " go fer_dyn_ht_map  54 54 0 500 -60.0 25.0 130.0 250.0 1 1 0 " + std::string(44, ' '));
  d.property = 6;
  EXPECT_EQ(linesfor(d).lines[0],
            " go fer_dyn_ht_map  54 54 0 500 -60.0 25.0 130.0 250.0 1 1 1 " + std::string(44, ' '));
  d.plotType = 8;  // average with stations, long title at size 0.15
  EXPECT_EQ(linesfor(d).lines[0],
            " go fer_dyn_ht_avg_map  6 0 500 -60.0 25.0 130.0 250.0 1 1 1 " + std::string(44, ' '));
  EXPECT_TRUE(haslinecontaining(linesfor(d), ",0,0,0.15 \"Argo Dynamic Height with Geostrophic Velocity"));
  d.plotType = 6;  // stations: no fill text
  EXPECT_EQ(linesfor(d).lines[0], " go fer_psal_station_loc  54 54 0 500 -60.0 25.0 130.0 250.0 1");
  d.property = 5;
  d.plotType = 1;
  d.vectorX = 3;
  d.vectorY = 1;
  EXPECT_EQ(linesfor(d).lines[0], " go fer_geo_vel_map  54 54 0 500 -60.0 25.0 130.0 250.0 1 3 1");
  d.property = 4;
  d.plotType = 3;
  EXPECT_EQ(linesfor(d).lines[0],
            " go fer_podens_map_monthly_anom  54 6 0 500 -60.0 25.0 130.0 250.0 1 0 " + std::string(44, ' '));
  d.property = 3;
  d.plotType = 2;  // one blank after this title's closing quote
  EXPECT_EQ(linesfor(d).lines[1],
            "label 190.00, 32.08,0,0,0.17 \"Argo Dynamic Height Difference from Four Year Mean (2004-2007)\" ");
}

TEST(MapViewLines, CombinationsWithoutPlotAreNotOptions) {
  MapDialog d = salinity();
  const std::pair<int, int> none[] = {{5, 2}, {5, 3}, {5, 5}, {5, 6}, {5, 7}, {5, 8}, {6, 2},
                                      {6, 3}, {6, 7}, {7, 5}, {7, 8}, {8, 6}};
  for (const auto& [P, K] : none) {
    d.property = P;
    d.plotType = K;
    EXPECT_FALSE(linesfor(d).option) << "P " << P << " K " << K;
  }
  for (const auto& [P, K] : {std::pair{5, 1}, {5, 4}, {6, 6}, {8, 4}, {1, 7}}) {
    d.property = P;
    d.plotType = K;
    EXPECT_TRUE(linesfor(d).option) << "P " << P << " K " << K;
  }
}

TEST(MapViewLines, NotAnOptionLeavesOnlyTheFirstLines) {
  TempDrive drive;
  SlotCounter counter("map");
  const PlotSlot slot = counter.advance();
  MapDialog d = salinity();
  d.property = 6;
  d.plotType = 2;
  EXPECT_FALSE(writeplotfile(slot, kActionJpg, linesfor(d)));
  EXPECT_EQ(readprogramfile(slot.windowsPath), " cancel mode journal\nset mode metafile metamap1\n");
}

TEST(MapViewChecks, DatesAndPressures) {
  MapDialog d = salinity();
  d.endMonth = 5;  // May 2008, before the June start
  MapRequest r = maprequest(d);
  auto m = mapdatecheck(r, kEnds);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input error");
  EXPECT_EQ(m->line1, "Please enter End date either equal to");
  EXPECT_EQ(m->line2, "or greater than Start date.");
  d.plotType = 3;  // start date only: a stale end is not checked
  EXPECT_FALSE(mapdatecheck(maprequest(d), kEnds));

  d = salinity();
  m = mapdatecheck(maprequest(d), DataEnds{53, 100, 100});
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input out of range");
  EXPECT_EQ(m->line1, " Argo grid current through May2008");
  d.property = 7;
  EXPECT_EQ(mapdatecheck(maprequest(d), DataEnds{100, 53, 100})->line1, "Aviso grid current through May2008");
  EXPECT_FALSE(mapdatecheck(maprequest(d), DataEnds{53, 100, 100}));
  d.property = 8;
  EXPECT_EQ(mapdatecheck(maprequest(d), DataEnds{100, 100, 48})->line1,
            "Reynolds SST grid current through Dec2007");
  d.plotType = 4;  // monthly averages skip the data end
  EXPECT_FALSE(mapdatecheck(maprequest(d), DataEnds{1, 1, 1}));

  d = salinity();
  d.upper = 600;
  m = mappressurecheck(maprequest(d));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input Error");
  EXPECT_EQ(m->line1, "Please re-enter 2) Vertical units, such that ");
  EXPECT_EQ(m->line2, "Min is less than or equal to Max value.");
  d.upper = 500;
  EXPECT_FALSE(mappressurecheck(maprequest(d)));
  d.property = 3;
  m = mappressurecheck(maprequest(d));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->line1, "This calculation requires two  ");
  EXPECT_EQ(m->line2, "different pressure values.");
}
