#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ferret/drive_root.h"
#include "plots/timeseries.h"

namespace {

std::string golden(const std::string& name) {
  std::ifstream in(std::string(TIM_LIN_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The dialog's values as typed: 40 S, 140 W (both corners), 0 to 2000 dbar,
// January 2004 to December 2007.
TimeSeriesRequest typed(int property, int plottype = 1) {
  TimeSeriesRequest r;
  r.property = property;
  r.plottype = plottype;
  r.upper = 0;
  r.lower = 2000;
  r.north = 40.0f, r.northItem = 2;
  r.south = 40.0f, r.southItem = 2;
  r.west = 140.0f, r.westItem = 2;
  r.east = 140.0f, r.eastItem = 2;
  r.startMonth = 1, r.startYear = 1;
  r.endMonth = 12, r.endYear = 4;
  return r;
}

TimeSeriesRequest prepared(TimeSeriesRequest r) {
  preparetimeseries(r);
  return r;
}

// A band of longitudes typed with their hemisphere items.
TimeSeriesRequest band(int property, float west, int westItem, float east, int eastItem) {
  TimeSeriesRequest r = typed(property);
  r.west = west, r.westItem = westItem;
  r.east = east, r.eastItem = eastItem;
  preparetimeseries(r);
  return r;
}

TEST(TimeSeriesFile, ExampleIsWrittenByteForByte) {
  DriveRoot drive;
  SlotCounter counter("tim");
  const PlotSlot slot = counter.advance();
  ASSERT_TRUE(writetimeseriesfile(slot, kActionPlot, prepared(typed(1))));
  EXPECT_EQ(drive.read("tmp/tcferretintim1.txt"), golden("timeseries_example.txt"));
}

TEST(TimeSeriesFile, PlotTypeFourWritesTheFrameAndLocationLinesOnly) {
  DriveRoot drive;
  SlotCounter counter("tim");
  counter.advance();
  const PlotSlot slot = counter.advance();
  ASSERT_TRUE(writetimeseriesfile(slot, kActionJpg, prepared(typed(5, 4))));
  const std::vector<std::string> lines = drive.lines("tmp/tcferretintim2.txt");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], " cancel mode journal");
  EXPECT_EQ(lines[1], "set mode metafile metatim2");
  EXPECT_EQ(lines[2], "label   12.75,  -53.2,0,0,0.14 \"40.0^oS        \"");
  EXPECT_EQ(lines[3], "label   36.25,  -53.2,0,0,0.14 \"220.0^oE         \"");
  EXPECT_EQ(lines[4], " ppl clsplt");
}

TEST(TimeSeriesChecks, Pressures) {
  TimeSeriesRequest r = prepared(typed(1));
  EXPECT_EQ(timeseriespressurecheck(r), 0);
  r.upper = 2000, r.lower = 1500;
  EXPECT_EQ(timeseriespressurecheck(r), 1);
  // Also for the satellite properties, whose pressure fields are disabled.
  r.property = 8;
  EXPECT_EQ(timeseriespressurecheck(r), 1);

  r.upper = r.lower = 500;
  for (int property : {1, 3, 5, 7}) {
    r.property = property;
    EXPECT_EQ(timeseriespressurecheck(r), 2) << "property " << property;
  }
  for (int property : {2, 4, 6, 8, 9}) {
    r.property = property;
    EXPECT_EQ(timeseriespressurecheck(r), 0) << "property " << property;
  }
}

TEST(TimeSeriesChecks, LongitudeSpanOfTheHovmollers) {
  // 175 E to 178 E is too narrow along longitude, fine for depth vs. time.
  EXPECT_EQ(timeseriesrequestcheck(band(2, 175, 1, 178, 1), 48, 48, 48), 3);
  EXPECT_EQ(timeseriesrequestcheck(band(1, 175, 1, 178, 1), 48, 48, 48), 0);

  // 170 E to 170 W: the east longitude becomes 190, no 360 is added.
  TimeSeriesRequest r = band(2, 170, 1, 170, 2);
  EXPECT_FLOAT_EQ(r.east, 190.0f);
  EXPECT_EQ(r.eastItem, 1);
  EXPECT_FLOAT_EQ(r.eastSigned, -170.0f);
  EXPECT_EQ(timeseriesrequestcheck(r, 48, 48, 48), 0);
  std::vector<std::string> lines = timeserieslines(r);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("  -40.00  -40.00  170.00  190.00 "), std::string::npos) << lines[0];

  // 350 E to 10 E crosses 0 degrees east: 340 apart, drawn up to 370.
  r = band(2, 350, 1, 10, 1);
  EXPECT_EQ(timeseriesrequestcheck(r, 48, 48, 48), 0);
  lines = timeserieslines(r);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].find("  -40.00  -40.00  350.00  370.00 "), std::string::npos) << lines[0];
  // Labels are centred over 350 to 370; the longitude text is not used
  // by property 2, but a matched location shows the band as typed.
  EXPECT_EQ(lines[1].substr(0, 14), "label  360.00,");
  EXPECT_EQ(lines[2].substr(0, 14), "label  355.00,");
  r.matched = 2;
  lines = timeserieslines(r);
  EXPECT_NE(lines[2].find("350.0^oE- 10.0^oE"), std::string::npos) << lines[2];
}

TEST(TimeSeriesChecks, DateOrderAndDataEnds) {
  TimeSeriesRequest r = prepared(typed(1));
  r.startYear = 2, r.startMonth = 1;  // January 2005
  r.endYear = 1, r.endMonth = 12;     // December 2004
  EXPECT_EQ(timeseriesrequestcheck(r, 100, 100, 100), 4);
  r.endYear = 2, r.endMonth = 1;
  EXPECT_EQ(timeseriesrequestcheck(r, 100, 100, 100), 0);

  // The thirteenth, empty item of the end-year menu lies beyond any data.
  r = prepared(typed(1));
  r.endYear = 13;
  EXPECT_EQ(timeseriesrequestcheck(r, 100, 100, 100), 7);
  r.property = 8;
  r.west = 150;  // a span the Hovmoller accepts
  EXPECT_EQ(timeseriesrequestcheck(r, 100, 100, 100), 5);
  r.property = 9;
  EXPECT_EQ(timeseriesrequestcheck(r, 100, 100, 100), 6);

  // Each data set is checked against its own end only.
  r.endYear = 4;  // December 2007 = 48
  EXPECT_EQ(timeseriesrequestcheck(r, 47, 47, 48), 0);
  EXPECT_EQ(timeseriesrequestcheck(r, 48, 48, 47), 6);
  r.property = 8;
  EXPECT_EQ(timeseriesrequestcheck(r, 48, 47, 48), 5);
  r.property = 4;
  EXPECT_EQ(timeseriesrequestcheck(r, 47, 48, 48), 7);

  // An end menu without a selection takes the start's item.
  r = typed(1);
  r.endMonth = -999, r.endYear = -999;
  r.startMonth = 3, r.startYear = 2;
  preparetimeseries(r);
  EXPECT_EQ(r.endIndex(), 15);
}

TEST(TimeSeriesLines, LabelPositions) {
  // January to February 2004: the centre 1.5 is below 2.0, so the title
  // goes to 1.00 while the side labels keep the positions from 1.5.
  TimeSeriesRequest r = typed(1);
  r.endYear = 1, r.endMonth = 2;
  r.upper = 100, r.lower = 700;
  std::vector<std::string> lines = timeserieslines(prepared(r));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].substr(0, 21), "label    1.00,   44.0");
  EXPECT_EQ(lines[2].substr(0, 21), "label    1.25,   84.0");
  EXPECT_EQ(lines[3].substr(0, 21), "label    1.75,   84.0");

  // Along longitude: 140 E to 220 E over months 1 to 48.
  lines = timeserieslines(band(7, 140, 1, 140, 2));
  ASSERT_EQ(lines.size(), 5u);  // go, empty, title, two location lines
  EXPECT_EQ(lines[1], " ");
  EXPECT_EQ(lines[2].substr(0, 21), "label  180.00,   52.4");
  EXPECT_EQ(lines[3].substr(0, 21), "label  160.00,   49.3");
  EXPECT_EQ(lines[4].substr(0, 21), "label  200.00,   49.3");
}

TEST(TimeSeriesLines, GoLinesTitlesAndTexts) {
  // Dynamic height difference, equal pressures, typed fill levels.
  TimeSeriesRequest r = band(7, 140, 1, 140, 2);
  r.plottype = 2;
  r.upper = r.lower = 500;
  r.fill = "(0,2,0.1)";
  std::vector<std::string> lines = timeserieslines(r);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "go fer_dyn_ht_hovmoller_yearly_anom   1.0  48.0  500  500   -40.00  -40.00  140.00  220.00 (0,2,0.1)" +
                          std::string(35, ' '));
  // The title is followed by its two blanks.
  const std::string title =
      "\"Time Series of Argo Dynamic Height Difference from Four Year Mean (2004-2007)\"  ";
  EXPECT_EQ(lines[1].substr(lines[1].size() - title.size()), title);
  EXPECT_EQ(lines[2].substr(30), " \"40.0^oS        \"");
  // Pressure pair of property 7.
  EXPECT_EQ(lines[3].substr(30), " \" 500/ 500 dbar\"");

  // Temperature along longitude: the pressure text, single or averaged.
  r.property = 2;
  lines = timeserieslines(r);
  EXPECT_EQ(lines.back().substr(30), " \"" + std::string(10, ' ') + "500 dbar" + std::string(5, ' ') + "\"");
  r.upper = 0, r.lower = 1000;
  lines = timeserieslines(r);
  EXPECT_EQ(lines.back().substr(30), " \"Averaged    0-1000 dbar\"");

  // Reynolds anomaly: no pressures on the go line, fixed page positions.
  r.property = 9, r.plottype = 3;
  lines = timeserieslines(r);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "go fer_sst_hovmoller_monthly_anom   1.0  48.0   -40.00  -40.00  140.00  220.00 (0,2,0.1)" +
                          std::string(35, ' '));
  EXPECT_EQ(lines[1],
            "label/nouser 4.50,6.10,0,0,0.15 \"Time Series of Reynolds Sea Surface Temperature "
            "Anomaly from Monthly Mean\"  ");
  EXPECT_EQ(lines[2], "label/nouser 4.50,5.60,0,0,0.15 \"40.0^oS        \"");
}

TEST(TimeSeriesLines, MatchedLocationShowsItsName) {
  TimeSeriesRequest r = typed(3);
  r.south = 2, r.southItem = 2;
  r.north = 3, r.northItem = 1;
  r.west = 170, r.westItem = 1;
  r.east = 175, r.eastItem = 1;
  preparetimeseries(r);
  r.matched = 4;
  r.name = "Tarawa''s lagoon" + std::string(18, ' ');
  std::vector<std::string> lines = timeserieslines(r);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2].substr(30), " \" 2.0^oS- 3.0^oN, 170.0^oE-175.0^oE\"");
  EXPECT_EQ(lines[3].substr(30), " \"Tarawa''s lagoon                  \"");
  // Record 1 is the prompt row, not a location.
  r.matched = 1;
  lines = timeserieslines(r);
  EXPECT_EQ(lines[3].substr(30), " \"170.0^oE-175.0^oE\"");
}

}  // namespace
