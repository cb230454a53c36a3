// The extended-data reader: sections in any order, menus that take exactly
// their count of lines, and broken entries skipped without losing the rest.
#include <gtest/gtest.h>

#include "toolkit/extended_data.h"

namespace {

using toolkit::ExtendedData;
using toolkit::ParseExtendedData;

TEST(ExtendedData, YearMenuWithEmptyLastItem) {
  std::string text = "[Menus] \n1030    13  -999 \n";
  for (int year = 2004; year <= 2015; ++year) text += std::to_string(year) + " \n";
  text += " \n1031    2  2 \nJan \nFeb \n";
  const ExtendedData d = ParseExtendedData(text);
  ASSERT_EQ(d.menus.size(), 2u);
  const auto& years = d.menus[0];
  EXPECT_EQ(years.id, 1030);
  EXPECT_EQ(years.initial, -999);
  ASSERT_EQ(years.items.size(), 13u);
  EXPECT_EQ(years.items[0], "2004");
  EXPECT_EQ(years.items[12], "");
  EXPECT_EQ(d.menus[1].items, (std::vector<std::string>{"Jan", "Feb"}));
  EXPECT_TRUE(d.malformedLines.empty());
}

TEST(ExtendedData, CountOneTooHighSwallowsTheNextLine) {
  const ExtendedData d = ParseExtendedData("[Menus] \n7 3 1 \na \nb \n[Ranges] \n8 0 1 \n");
  ASSERT_EQ(d.menus.size(), 2u);
  EXPECT_EQ(d.menus[0].items, (std::vector<std::string>{"a", "b", "[Ranges]"}));
  // The header was an item, so "8 0 1" is a menu of no items, not a range.
  EXPECT_EQ(d.menus[1].id, 8);
  EXPECT_TRUE(d.menus[1].items.empty());
  EXPECT_TRUE(d.ranges.empty());
}

TEST(ExtendedData, MenuItemsKeepLeadingBlanksAndLoseTrailingOnes) {
  const std::string longLine(1100, 'x');
  const ExtendedData d = ParseExtendedData("[Menus]\n5 4 0\n  two blanks first   \n" +
                                           longLine + "\n\r\n[Checks] trailing words\n");
  ASSERT_EQ(d.menus.size(), 1u);
  const auto& items = d.menus[0].items;
  ASSERT_EQ(items.size(), 4u);  // stops early at the end of the text
  EXPECT_EQ(items[0], "  two blanks first");
  EXPECT_EQ(items[1].size(), toolkit::kMaxMenuItemLength);
  EXPECT_EQ(items[2], "");
  EXPECT_EQ(items[3], "[Checks] trailing words");  // taken as an item, not a header
}

TEST(ExtendedData, EverySectionInAnyOrder) {
  // [Lengths] between [Ranges] and [Formats], as in the vertical section.
  const ExtendedData d = ParseExtendedData(
      "ignored before any header \n"
      "[Ranges] \n"
      "1037    -90.0  90.0 \n"
      "1038    0  3.6D2 \n"
      "[Lengths] \n"
      "1077    44 \n"
      "[Formats] \n"
      "1037    (f5.2)   \n"
      "[Fonts] \n"
      "1004    12  MS Sans Serif, 700 0 \n"
      "  1016    8  Arial, 400 1 \n"
      "[Checks] \n"
      "1006    1 \n"
      "-5    0 \n");
  ASSERT_EQ(d.ranges.size(), 2u);
  EXPECT_EQ(d.ranges[0].minimum, -90.0);
  EXPECT_EQ(d.ranges[0].maximum, 90.0);
  EXPECT_EQ(d.ranges[1].maximum, 360.0);
  ASSERT_EQ(d.lengths.size(), 1u);
  EXPECT_EQ(d.lengths[0].id, 1077);
  EXPECT_EQ(d.lengths[0].length, 44);
  ASSERT_EQ(d.formats.size(), 1u);
  EXPECT_EQ(d.formats[0].format, "(f5.2)");
  ASSERT_EQ(d.fonts.size(), 2u);
  EXPECT_EQ(d.fonts[0].points, 12);
  EXPECT_EQ(d.fonts[0].face, "MS Sans Serif");
  EXPECT_EQ(d.fonts[0].weight, 700);
  EXPECT_FALSE(d.fonts[0].italic);
  EXPECT_EQ(d.fonts[1].face, "Arial");
  EXPECT_TRUE(d.fonts[1].italic);
  ASSERT_EQ(d.checks.size(), 2u);
  EXPECT_EQ(d.checks[0].id, 1006);
  EXPECT_EQ(d.checks[0].state, 1);
  EXPECT_EQ(d.checks[1].id, -5);
  EXPECT_TRUE(d.malformedLines.empty());
}

TEST(ExtendedData, UnusedSectionsEndTheOneBefore) {
  const ExtendedData d = ParseExtendedData(
      "[Checks] \n1 1 \n[Tabs] \n2 1 \n[Grids] \n3 1 \n[Colours] \n4 1 \n[Trackbars] \n5 1 \n"
      "[Dialog] \n6 1 \n[Treeviews] \n7 1 \n[Flags] \n8 1 \n[checks] \n9 1 \n");
  ASSERT_EQ(d.checks.size(), 1u);  // "[checks]" is no header: letter case counts
  EXPECT_EQ(d.checks[0].id, 1);
  EXPECT_TRUE(d.malformedLines.size() == 1u && d.malformedLines[0] == 17);
}

TEST(ExtendedData, MalformedEntriesAreSkipped) {
  const ExtendedData d = ParseExtendedData(
      "[Ranges] \n"
      "x 1 2 \n"       // no id
      "1037 0 \n"      // one bound only
      "1038 low 9 \n"  // not a number
      "1039 0 70 \n"
      "[Lengths] \n"
      "1077 -3 \n"
      "1078 12 \n"
      "[Fonts] \n"
      "1004 12 no comma 700 0 \n"
      "[Menus] \n"
      "1052 \n"        // no count: no item lines taken
      "1053 1 1 \n"
      "only \n");
  ASSERT_EQ(d.ranges.size(), 1u);
  EXPECT_EQ(d.ranges[0].id, 1039);
  ASSERT_EQ(d.lengths.size(), 1u);
  EXPECT_EQ(d.lengths[0].id, 1078);
  EXPECT_TRUE(d.fonts.empty());
  ASSERT_EQ(d.menus.size(), 1u);
  EXPECT_EQ(d.menus[0].id, 1053);
  EXPECT_EQ(d.malformedLines, (std::vector<int>{2, 3, 4, 7, 10, 12}));
}

}  // namespace
