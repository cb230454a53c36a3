#include <gtest/gtest.h>

#include "drive_root.h"
#include "ferret/command_file.h"
#include "ferret/record.h"

namespace {

TEST(SlotCounter, RotatesThroughNineSlots) {
  SlotCounter counter("map");
  EXPECT_EQ(counter.value(), 0);
  PlotSlot slot;
  for (int request = 1; request <= 10; ++request) slot = counter.advance();
  // The tenth request reuses slot 1.
  EXPECT_EQ(counter.value(), 1);
  EXPECT_EQ(slot.outputName, "map1");
  EXPECT_EQ(slot.windowsPath, "c:\\tidecharter\\tmp\\tcferretinmap1.txt");
  EXPECT_EQ(slot.windowsPath.size(), 37u);
  EXPECT_EQ(slot.cygwinPath, "/cygdrive/c/tidecharter/tmp/tcferretinmap1.txt");

  SlotCounter lin("lin");
  lin.advance();
  PlotSlot second = lin.advance();
  EXPECT_EQ(second.outputName, "lin2");
  EXPECT_EQ(second.cygwinPath, "/cygdrive/c/tidecharter/tmp/tcferretinlin2.txt ");
  EXPECT_EQ(second.cygwinPath.size(), 47u);
  EXPECT_EQ(SlotCounter("tim").advance().cygwinPath.size(), 47u);
  EXPECT_EQ(SlotCounter("ver").advance().cygwinPath.size(), 46u);
}

TEST(CommandFile, FrameLinesForPlotAndJpg) {
  DriveRoot drive;
  SlotCounter counter("map");
  PlotSlot slot = counter.advance();

  CommandFile plot;
  ASSERT_TRUE(plot.open(slot, kActionPlot));
  plot.write(ListRecord().add("go fer_psal_map ").add(54).add(-60.0f));
  plot.finish();
  std::vector<std::string> lines = drive.lines("tmp/tcferretinmap1.txt");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], " cancel mode journal");
  EXPECT_EQ(lines[1], " go fer_psal_map  54 -60.0");
  EXPECT_EQ(lines[2], " ppl clsplt");

  // Create JPG in the same slot replaces the file and adds the metafile line.
  CommandFile jpg;
  ASSERT_TRUE(jpg.open(slot, kActionJpg));
  jpg.writeFormatted(labelline(190.0, 6, 2, 32.08, 6, 2, "0.17", "\"Argo Salinity\""));
  jpg.finish();
  lines = drive.lines("tmp/tcferretinmap1.txt");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " cancel mode journal");
  EXPECT_EQ(lines[1], "set mode metafile metamap1");
  EXPECT_EQ(lines[2], "label 190.00, 32.08,0,0,0.17 \"Argo Salinity\"");
  EXPECT_EQ(lines[3], " ppl clsplt");

  // A rejected combination closes the file with only what was written.
  CommandFile partial;
  ASSERT_TRUE(partial.open(slot, kActionPlot));
  partial.close();
  lines = drive.lines("tmp/tcferretinmap1.txt");
  ASSERT_EQ(lines.size(), 1u);
}

TEST(CommandFile, OpenFailsWithoutTmpDirectory) {
  DriveRoot drive;
  std::filesystem::remove_all(drive.path("tmp"));
  CommandFile file;
  SlotCounter counter("pro");
  EXPECT_FALSE(file.open(counter.advance(), kActionPlot));
  file.writeFormatted("dropped");
  file.finish();
}

TEST(ListRecord, ListDirectedLayout) {
  // Text items run together; numbers are set off by blanks on both sides.
  EXPECT_EQ(ListRecord().add("creating ps").add("map1").line(), " creating psmap1");
  EXPECT_EQ(ListRecord().add("ierror=").add(2).line(), " ierror= 2");
  EXPECT_EQ(ListRecord().add("a").add(1).add(2).add("b").line(), " a 1 2 b");
  EXPECT_EQ(ListRecord().add("x").add(1.5).line(), " x 1.5");
  EXPECT_EQ(ListRecord().add("t").add(3.0f).line(), " t 3.0");
  EXPECT_EQ(ListRecord().add("pad  ").add("x").line(), " pad  x");
}

}  // namespace
