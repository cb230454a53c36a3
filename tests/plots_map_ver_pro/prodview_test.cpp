// Derived products from dialog values to command-file lines, no windows.
#include <gtest/gtest.h>

#include <cmath>

#include "plots/prodview.h"
#include "test_support.h"

namespace {

const DataEnds kEnds{100, 100, 100};

PlotLines linesfor(const ProdDialog& d) {
  ProdRequest r = prodrequest(d);
  const ProdLayout g = prodlayout(r);
  return prodviewlines(r, g);
}

std::string filefor(ProdRequest r, int action) {
  SlotCounter counter("pro");
  const PlotSlot slot = counter.advance();
  const ProdLayout g = prodlayout(r);
  EXPECT_TRUE(writeplotfile(slot, action, prodviewlines(r, g)));
  return readprogramfile(slot.windowsPath);
}

}  // namespace

TEST(ProdViewLines, RegionExamplesMatchGoldenFiles) {
  TempDrive drive;
  ProdDialog d;  // as loaded: 25S-25N, 120E-290E, August 2008
  d.product = 2;
  ProdRequest r = prodrequest(d);
  ASSERT_FALSE(prodcheck(r, kEnds));
  ProdRequest copy = r;
  EXPECT_NEAR(prodlayout(copy).y1, 32.92f, 1e-4);
  EXPECT_EQ(filefor(r, kActionPlot), golden("pro_mld_plot.txt"));

  d.product = 1;
  d.endMonth = 10;
  r = prodrequest(d);
  r.fill = "(8,22,2)(22,32,1)" + std::string(27, ' ');
  EXPECT_EQ(filefor(r, kActionJpg), golden("pro_depth20_jpg.txt"));
}

TEST(ProdViewLines, ProductsWithoutRegion) {
  ProdDialog d;
  d.endMonth = 12;  // August to December 2008
  d.product = 4;
  PlotLines p = linesfor(d);
  ASSERT_EQ(p.lines.size(), 2u);
  EXPECT_EQ(p.lines[0], " go fer_wwv  56 60");
  EXPECT_EQ(p.lines[1], "label/nouser 4.10,5.70,0,0,0.17 \"Argo Warm Water Volume\"");

  d.product = 8;
  p = linesfor(d);
  ASSERT_EQ(p.lines.size(), 2u);
  EXPECT_EQ(p.lines[0], " go fer_nino_ind  4 56 60");
  EXPECT_EQ(p.lines[1], "label 205.00, 32.92,0,0,0.17 \"Reynolds Nino-3.4\"");
}

TEST(ProdViewLines, HeatPotentialWithStationsHasNoFillText) {
  ProdDialog d;
  d.product = 3;
  d.plotChoice = 2;  // stations: factors are not raised by 1.6
  const PlotLines p = linesfor(d);
  ASSERT_EQ(p.lines.size(), 5u);
  EXPECT_EQ(p.lines[0], " go fer_tchp  56 56 -25.0 25.0 120.0 290.0 1 1");
  EXPECT_EQ(p.lines[1], " set view top");
  EXPECT_EQ(p.lines[2], "label 121.00, 29.95,-1,0,0.17 \"Top: Argo Tropical Cyclone Heat Potential\"");
  EXPECT_EQ(p.lines[4], "label 285.00, 29.95,0,0,0.17 \"Aug 2008\"");
}

TEST(ProdViewLines, WesternLongitudePastTheEasternRaisesIt) {
  ProdDialog d;
  d.product = 2;
  d.west = 170.0f;
  d.westHemisphere = 2;  // 190 E
  d.east = 150.0f;
  ProdRequest r = prodrequest(d);
  EXPECT_FLOAT_EQ(r.lonW, 190.0f);
  const ProdLayout g = prodlayout(r);
  EXPECT_FLOAT_EQ(r.lonE, 510.0f);
  EXPECT_EQ(prodviewlines(r, g).lines[0],
            " go fer_mld  56 56 -25.0 25.0 190.0 510.0 1 0 " + std::string(44, ' '));

  // 360 E with 0 E is a region of no width: the labels still get offsets.
  d.west = 360.0f;
  d.westHemisphere = 1;
  d.east = 0.0f;
  r = prodrequest(d);
  const ProdLayout flat = prodlayout(r);
  EXPECT_TRUE(std::isfinite(flat.y1));
  EXPECT_NEAR(flat.y1, 25.0f + 50.0f * 0.0963f * 1.6f, 1e-3);
}

TEST(ProdViewChecks, DateOrderAndDataEnds) {
  ProdDialog d;
  d.product = 5;
  auto m = prodcheck(prodrequest(d), kEnds);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input error");
  EXPECT_EQ(m->line1, "Please enter End date greater than Start date.");
  EXPECT_EQ(m->line2, "");
  d.product = 1;  // a single month is fine for the regional products
  EXPECT_FALSE(prodcheck(prodrequest(d), kEnds));
  EXPECT_EQ(linesfor(d).lines.back(), "label 288.00, 32.92,0,0,0.17 \"Aug 2008\"");

  d.product = 2;
  d.endMonth = 12;
  d.endYear = 4;  // December 2007
  d.startYear = 4;
  m = prodcheck(prodrequest(d), DataEnds{47, 100, 100});
  ASSERT_TRUE(m);
  EXPECT_EQ(m->title, "Input out of range");
  EXPECT_EQ(m->line1, " Argo grid current through Nov2007");

  d.product = 7;
  m = prodcheck(prodrequest(d), DataEnds{100, 100, 47});
  ASSERT_TRUE(m);
  EXPECT_EQ(m->line1, "Reynolds SST grid current through Nov2007");
  EXPECT_FALSE(prodcheck(prodrequest(d), DataEnds{47, 1, 100}));  // Argo's end does not count
}
