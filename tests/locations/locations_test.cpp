#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "locations/location_menu.h"
#include "locations/locations.h"

namespace {

// One line of the location file in its fixed columns
// (A34,I6,I8,I8,I8,F12.2,F12.2,I11,I12).
std::string locationline(const std::string& name, int s, int n, int w, int e,
                         const char* buoylat = "      -12.50", const char* buoylon = "      190.25") {
  char numbers[128];
  std::snprintf(numbers, sizeof numbers, "%6d%8d%8d%8d%s%s%11d%12d", s, n, w, e, buoylat, buoylon, 7, 8);
  std::string padded = name;
  padded.resize(34, ' ');
  return padded + numbers + "\n";
}

LocationTable tableof(const std::string& text) {
  LocationTable table;
  std::istringstream in(text);
  readbuoy(in, table);
  return table;
}

TEST(ReadBuoy, ReadsTheFixedColumns) {
  const std::string text = locationline("Choose  location", -10, 10, 150, 250) +
                           locationline("Honolulu, Hawaii", 19, 23, 200, 206) +
                           locationline("Tarawa", -2, 3, 170, 175, "        1.35", "       173.0");
  std::istringstream in(text);
  LocationTable table;
  EXPECT_EQ(readbuoy(in, table), 3);
  ASSERT_EQ(table.ncity(), 3);
  // The name keeps its comma and its blanks: the line is not split at commas.
  EXPECT_EQ(table.records[1].cityname, "Honolulu, Hawaii                  ");
  EXPECT_EQ(table.records[1].latsouth, 19);
  EXPECT_EQ(table.records[1].latnorth, 23);
  EXPECT_EQ(table.records[1].lonwest, 200);
  EXPECT_EQ(table.records[1].loneast, 206);
  EXPECT_FLOAT_EQ(table.records[1].buoylat, -12.5f);
  EXPECT_FLOAT_EQ(table.records[1].buoylon, 190.25f);
  EXPECT_EQ(table.records[1].spare1, 7);
  EXPECT_EQ(table.records[1].spare2, 8);
  EXPECT_FLOAT_EQ(table.records[2].buoylat, 1.35f);
  EXPECT_FLOAT_EQ(table.records[2].buoylon, 173.0f);
}

TEST(ReadBuoy, StopsAtFiftyRecordsAndAtTheFirstBadLine) {
  std::string many;
  for (int i = 0; i < 60; ++i) many += locationline("Place " + std::to_string(i), 0, 1, 2, 3);
  LocationTable table = tableof(many);
  EXPECT_EQ(table.ncity(), 50);
  EXPECT_EQ(table.records[49].cityname.substr(0, 8), "Place 49");

  // A letter in the southern-latitude column: that line and everything after
  // it are not read.
  std::string bad = locationline("One", 0, 1, 2, 3) + locationline("Two", 0, 1, 2, 3);
  std::string three = locationline("Three", 5, 1, 2, 3);
  three.replace(34, 6, "    x5");
  bad += three;
  bad += locationline("Four", 0, 1, 2, 3);
  EXPECT_EQ(tableof(bad).ncity(), 2);

  // A real column that is not a number ends the reading too.
  EXPECT_EQ(tableof(locationline("One", 0, 1, 2, 3) +
                    locationline("Two", 0, 1, 2, 3, "       12.5x", "        1.00"))
                .ncity(),
            1);
}

TEST(ReadBuoy, WindowsLineEndsShortLinesAndImpliedDecimals) {
  // A line that ends before the spare columns reads them as zero; CR-LF line
  // ends are the location file's own.
  std::string text = locationline("One", 0, 1, 2, 3);
  text.insert(text.size() - 1, "\r");
  text += locationline("Short", 4, 5, 6, 7).substr(0, 64) + "\r\n";
  // (F12.2) without a decimal point has two implied decimals.
  text += locationline("Implied", 0, 1, 2, 3, "        1250", "        -300");
  LocationTable table = tableof(text);
  ASSERT_EQ(table.ncity(), 3);
  EXPECT_EQ(table.records[0].spare2, 8);
  EXPECT_EQ(table.records[1].latsouth, 4);
  EXPECT_EQ(table.records[1].loneast, 7);
  EXPECT_EQ(table.records[1].spare1, 0);
  EXPECT_FLOAT_EQ(table.records[2].buoylat, 12.5f);
  EXPECT_FLOAT_EQ(table.records[2].buoylon, -3.0f);
}

TEST(ReadBuoy, BlankLinesAreNoRecordsWhereverTheyStand) {
  // Hand-edited files: empty lines, lines of blanks, tabs or a lone CR.
  const std::string gaps[] = {"\n", "   \n", " \t \r\n", "\r\n"};
  std::string text = gaps[0];
  for (int i = 0; i < 52; ++i) text += locationline("Place " + std::to_string(i), 0, 1, 2, 3) + gaps[i % 4];
  LocationTable table = tableof(text);
  ASSERT_EQ(table.ncity(), 50);
  EXPECT_EQ(table.records[49].cityname.substr(0, 8), "Place 49");
  EXPECT_EQ(tableof("\n  \n\n").ncity(), 0);
}

TEST(BuoyCompare, WidenedBoxesFirstMatchAndThePromptRow) {
  // Record 1 covers everything but is the menu's prompt row.
  LocationTable table = tableof(locationline("Choose  location", -90, 90, 0, 360) +
                                locationline("Box A", -5, 5, 190, 200) +
                                locationline("Box B", 0, 10, 195, 210));
  int found = -1;
  // Corners 0.5 degrees outside still match, 1 degree outside do not.
  buoycompare(table, -5.5f, 189.5f, 3, found);
  EXPECT_EQ(found, 2);
  buoycompare(table, 5.0f, 200.5f, 3, found);
  EXPECT_EQ(found, 2);
  buoycompare(table, -6.0f, 195.0f, 3, found);
  EXPECT_EQ(found, 0);
  buoycompare(table, 0.0f, 211.0f, 3, found);
  EXPECT_EQ(found, 0);
  // Overlap of A and B: the earlier record wins; B alone beyond A.
  buoycompare(table, 3.0f, 197.0f, 3, found);
  EXPECT_EQ(found, 2);
  buoycompare(table, 8.0f, 205.0f, 3, found);
  EXPECT_EQ(found, 3);
  // Inside record 1 only.
  buoycompare(table, 50.0f, 20.0f, 3, found);
  EXPECT_EQ(found, 0);
  // Only the first ncity records take part.
  buoycompare(table, 8.0f, 205.0f, 2, found);
  EXPECT_EQ(found, 0);
}

TEST(MatchRegion, BothCornersMustLieInABox) {
  LocationTable table = tableof(locationline("Choose  location", -90, 90, 0, 360) +
                                locationline("Box A", -5, 5, 190, 200) +
                                locationline("Box B", 0, 10, 195, 210));
  EXPECT_EQ(matchregion(table, 3, -5.0f, 190.0f, 5.0f, 200.0f), 2);
  // South-west corner in A, north-east corner in B only: neither box.
  EXPECT_EQ(matchregion(table, 3, -5.0f, 190.0f, 9.0f, 209.0f), 0);
  EXPECT_EQ(matchregion(table, 3, -20.0f, 190.0f, 5.0f, 200.0f), 0);
  EXPECT_EQ(matchregion(table, 3, -5.0f, 190.0f, 30.0f, 200.0f), 0);
  // The signed copy of a western longitude does not lie in an eastern box.
  EXPECT_EQ(matchregion(table, 3, -5.0f, -170.0f, 5.0f, -160.0f), 0);

  // The shipped table: the default region is the Nino 3.4 box, which the
  // Nino 3 box before it holds only one corner of.
  LocationTable shipped;
  std::ifstream in(std::string(TIDECHARTER_SOURCE_DIR) + "/installation/bin/pacific/TDC_city_locations.csv");
  readbuoy(in, shipped);
  const int nino34 = matchregion(shipped, shipped.ncity(), -5.0f, 190.0f, 5.0f, 240.0f);
  ASSERT_GE(nino34, 2);
  EXPECT_EQ(shipped.records[nino34 - 1].cityname.substr(0, 15), "Nino 3.4 box (5");
}

TEST(ScanCity, QuotesAreMadeSafeForTheLabel) {
  LocationTable table = tableof(locationline("Choose  location", 0, 0, 0, 0) +
                                locationline("Hawa'ii Kai", 21, 22, 201, 202) +
                                locationline("The \"Big\" Island", 18, 21, 203, 206) +
                                locationline("Plain", 0, 1, 2, 3) +
                                locationline(std::string(33, 'x') + "'", 0, 1, 2, 3) +
                                locationline("Bay `{spawn:'touch x'}`", 0, 1, 2, 3) +
                                locationline(std::string(33, 'y') + "\\", 0, 1, 2, 3));
  std::string name(34, '?');

  scancity(table, 5, 2, name);
  ASSERT_EQ(name.size(), 34u);
  // Apostrophe at position 5: now at 5 and 6, the rest shifted by one, one
  // trailing blank fewer.
  EXPECT_EQ(name, "Hawa''ii Kai" + std::string(22, ' '));
  EXPECT_EQ(name[4], '\'');
  EXPECT_EQ(name[5], '\'');

  scancity(table, 5, 3, name);
  EXPECT_EQ(name, "The ''Big'' Island" + std::string(16, ' '));
  EXPECT_EQ(name.find('"'), std::string::npos);

  scancity(table, 5, 4, name);
  EXPECT_EQ(name, "Plain" + std::string(29, ' '));

  // An apostrophe in the last column cannot be doubled within 34
  // characters; a single one would be left unpaired, so it is dropped.
  scancity(table, 5, 5, name);
  EXPECT_EQ(name, std::string(33, 'x') + " ");

  // Grave accents would be evaluated, and a backslash in the last column
  // would escape the closing quote.
  scancity(table, 7, 6, name);
  EXPECT_EQ(name, "Bay ''{spawn:''touch x''}''" + std::string(7, ' '));
  scancity(table, 7, 7, name);
  EXPECT_EQ(name, std::string(33, 'y') + "/");

  scancity(table, 7, 9, name);
  EXPECT_EQ(name, std::string(34, ' '));
}

}  // namespace
