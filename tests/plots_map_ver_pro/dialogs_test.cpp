// The map-view, section and product dialogs driven through the real toolkit
// off screen: field enabling, whole requests from button press to command
// file and batch run, and requests that must leave no trace.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QWidget>

#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "app/app_state.h"
#include "app/load_dialogs.h"
#include "plots/plot_procedures.h"
#include "core/user_message.h"
#include "test_support.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

namespace {

const std::string kRanFile = "c:\\tidecharter\\tmp\\ran.txt";

QWidget* field(int dialog, int id) {
  QWidget* w = toolkit::testing::FieldWidget(dialog, id);
  EXPECT_NE(w, nullptr) << "dialog " << dialog << " field " << id;
  return w;
}

bool enabled(int dialog, int id) {
  QWidget* w = field(dialog, id);
  return w && w->isEnabled();
}

// Selects menu item `item` (1-based; 0 leaves the menu without selection).
void choose(int dialog, int id, int item) {
  auto* combo = qobject_cast<QComboBox*>(field(dialog, id));
  ASSERT_NE(combo, nullptr);
  combo->setCurrentIndex(item - 1);
}

int radio(int dialog) {
  WDialogSelect(dialog);
  int item = 0;
  WDialogGetRadioButton(1073, item);
  return item;
}

std::string text(int dialog, int id, int length) {
  WDialogSelect(dialog);
  std::string value(length, ' ');
  WDialogGetString(id, value);
  return value;
}

void typefill(int dialog, const std::string& fill) {
  WDialogSelect(dialog);
  WDialogPutRadioButton(1075);
  WDialogFieldState(1077, 1);
  WDialogPutString(1077, fill);
}

// Every dialog field these tests touch, back to its load-time value.
void resetmapdialog() {
  for (auto [id, item] : {std::pair{1052, 1}, {1011, 1}, {1012, 1}, {1014, 1}, {1017, 1}, {1019, 2},
                          {1020, 1}, {1018, 1}, {1025, 6}, {1027, 5}, {1029, 0}, {1030, 0}, {1045, 2},
                          {1059, 2}, {1060, 2}})
    choose(103, id, item);
  WDialogSelect(103);
  WDialogPutReal(1037, 25.0f);
  WDialogPutReal(1055, 60.0f);
  WDialogPutReal(1038, 130.0f);
  WDialogPutReal(1039, 250.0f);
  WDialogPutRadioButton(1073);
  WDialogPutString(1077, "");
}

void resetvertdialog() {
  for (auto [id, item] : {std::pair{1052, 1}, {1010, 1}, {1036, 15}, {1014, 1}, {1040, 1}, {1017, 1},
                          {1019, 2}, {1020, 2}, {1018, 2}, {1064, 6}, {1065, 5}, {1066, 0}, {1067, 0}})
    choose(105, id, item);
  WDialogSelect(105);
  WDialogPutReal(1037, 65.0f);
  WDialogPutReal(1055, 60.0f);
  WDialogPutReal(1038, 140.0f);
  WDialogPutReal(1039, 140.0f);
  WDialogPutRadioButton(1073);
  WDialogPutString(1077, "");
}

void resetproddialog() {
  for (auto [id, item] : {std::pair{1052, 1}, {1014, 1}, {1017, 1}, {1019, 2}, {1020, 1}, {1018, 1},
                          {1025, 8}, {1027, 5}, {1029, 0}, {1030, 0}, {1045, 2}})
    choose(110, id, item);
  WDialogSelect(110);
  WDialogPutReal(1037, 25.0f);
  WDialogPutReal(1055, 25.0f);
  WDialogPutReal(1038, 120.0f);
  WDialogPutReal(1039, 290.0f);
  WDialogPutRadioButton(1073);
  WDialogPutString(1077, "");
}

class PlotDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    drive_ = std::make_unique<TempDrive>();
    // A stand-in for the Ferret batch file that notes what it was given.
    const auto bin = drive_->root() / "tidecharter" / "bin";
    std::filesystem::create_directories(bin);
    std::ofstream(bin / "tcferret.bat") << "echo \"$1\" >> \"$(dirname \"$0\")/../tmp/ran.txt\"\n";
    ASSERT_TRUE(app.log.open());
    app.frontend = &noting;
  }

  void press(int dialog, int button, void (*procedure)(CoreState&)) {
    app.itype = PushButton;
    app.message.win = dialog;
    app.message.value1 = button;
    procedure(app);
  }

  std::string log() { return readprogramfile(RunLog::kPath); }
  std::string ran() { return readprogramfile(kRanFile); }
  int commandfiles() {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(drive_->root() / "tidecharter" / "tmp"))
      if (entry.path().filename().string().rfind("tcferretin", 0) == 0) ++n;
    return n;
  }

  void expectfillrefused() {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, "Input Error");
    EXPECT_EQ(messages[0].line1, "Fill levels must be groups like (8,22,2)(22,32,1):");
    EXPECT_EQ(messages[0].line2, "numbers, commas and parentheses only, no spaces.");
    EXPECT_EQ(commandfiles(), 0);
    EXPECT_EQ(log().find("stringfill"), std::string::npos);
    EXPECT_EQ(ran(), "");
  }

  std::unique_ptr<TempDrive> drive_;
  AppState app;
  // The desktop's command files and runs; refusals noted, not shown.
  struct NotingFrontEnd : DesktopFrontEnd {
    std::vector<UserMessage> messages;
    void message(const UserMessage& m) override { messages.push_back(m); }
  } noting;
  std::vector<UserMessage>& messages = noting.messages;
};

}  // namespace

TEST_F(PlotDialogs, MapSalinityRequestWritesTheExampleFileAndRunsIt) {
  resetmapdialog();
  choose(103, 1052, 2);
  choose(103, 1012, 6);  // 500 dbar
  press(103, 1035, plotmapview);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinmap1.txt"), golden("map_salinity_plot.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinmap1.txt\n");
  EXPECT_NE(log().find(" map stringfill=" + std::string(44, ' ') + "\n map ratio= 0.708333"), std::string::npos)
      << log();
}

TEST_F(PlotDialogs, MapRejectedRequestUsesUpItsSlotAndCancelDoesNot) {
  resetmapdialog();
  choose(103, 1029, 5);  // May, before the June start
  press(103, 1035, plotmapview);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "Input error");
  EXPECT_EQ(app.map.slot.value(), 1);
  EXPECT_EQ(commandfiles(), 0);
  EXPECT_EQ(log(), "");

  press(103, 2, plotmapview);
  EXPECT_FALSE(toolkit::testing::DialogWidget(103)->isVisible());
  EXPECT_EQ(app.map.slot.value(), 1);

  choose(103, 1029, 0);
  press(103, 1035, plotmapview);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(fileexists("c:\\tidecharter\\tmp\\tcferretinmap2.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinmap2.txt\n");
}

TEST_F(PlotDialogs, MapNotAnOptionKeepsOnlyTheFirstLines) {
  resetmapdialog();
  choose(103, 1052, 6);
  choose(103, 1012, 6);
  choose(103, 1014, 2);
  press(103, 1035, plotmapview);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title + "/" + messages[0].line1, "Not an option/This combination is not an option.");
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinmap1.txt"), " cancel mode journal\n");
  EXPECT_EQ(ran(), "");
}

TEST_F(PlotDialogs, FillLevelsThatCouldBreakTheGoLineAreRefused) {
  const std::string bad[] = {"(8,22,2);cancel data/all", "(8,22,2) (22,32,1)", "(8,22,2)\"x\"",
                             "(8,22,2)\n(1,2,1)", "(8,22,2)!", "(lo,hi,delta)"};
  for (const std::string& fill : bad) {
    SCOPED_TRACE(fill);
    resetmapdialog();
    typefill(103, fill);
    press(103, 1035, plotmapview);
    expectfillrefused();
    messages.clear();
  }

  resetvertdialog();
  typefill(105, "(2,6,.5);");
  press(105, 1035, plotvertview);
  expectfillrefused();
  messages.clear();

  resetproddialog();
  choose(110, 1052, 2);
  typefill(110, "(0,300,20)!");
  press(110, 1035, plotprodview);
  expectfillrefused();
}

TEST_F(PlotDialogs, ValidFillLevelsReachTheGoLineAsTyped) {
  resetmapdialog();
  typefill(103, "(8,22,2)(22,32,1)");
  press(103, 1035, plotmapview);
  const std::string file = readprogramfile("c:\\tidecharter\\tmp\\tcferretinmap1.txt");
  EXPECT_NE(file.find(" 1 0 (8,22,2)(22,32,1)" + std::string(27, ' ') + "\n"), std::string::npos) << file;
  EXPECT_NE(log().find(" map stringfill=(8,22,2)(22,32,1)"), std::string::npos);
}

TEST_F(PlotDialogs, MapFieldsFollowPropertyAndPlotType) {
  resetmapdialog();
  choose(103, 1052, 5);
  mapviewfields(app);
  for (int id : {1056, 1057, 1058, 1059, 1060}) EXPECT_TRUE(enabled(103, id)) << id;
  for (int id : {1048, 1073, 1075, 1077}) EXPECT_FALSE(enabled(103, id)) << id;

  choose(103, 1052, 7);
  choose(103, 1014, 4);
  mapviewfields(app);
  for (int id : {1056, 1057, 1058, 1059, 1060, 1009, 1011, 1031, 1012, 1033, 1034, 1027, 1028, 1029, 1030})
    EXPECT_FALSE(enabled(103, id)) << id;
  EXPECT_TRUE(enabled(103, 1073));

  choose(103, 1052, 1);
  choose(103, 1014, 3);
  mapviewfields(app);
  EXPECT_TRUE(enabled(103, 1011));
  EXPECT_TRUE(enabled(103, 1027));
  EXPECT_FALSE(enabled(103, 1029));
}

TEST_F(PlotDialogs, PropertyChangeResetsSpecifiedLevelsButKeepsTheText) {
  resetmapdialog();
  mapviewfields(app);
  WDialogSelect(103);
  WDialogPutRadioButton(1075);
  WDialogPutString(1077, "(8,22,2)");
  mapviewfields(app);  // same property: the text may be edited
  EXPECT_TRUE(enabled(103, 1077));
  EXPECT_EQ(text(103, 1078, 44), "e.g.(8,22,2)(22,32,1)(lo,hi,delta) No spaces");

  choose(103, 1052, 2);
  mapviewfields(app);
  EXPECT_EQ(radio(103), 1);
  EXPECT_FALSE(enabled(103, 1077));
  EXPECT_EQ(text(103, 1078, 44), std::string(44, ' '));
  EXPECT_EQ(text(103, 1077, 8), "(8,22,2)");
}

TEST_F(PlotDialogs, SectionDefaultsWriteThe140WFileAndFieldsFollowDirection) {
  resetvertdialog();
  press(105, 1035, plotvertview);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinver1.txt"), golden("ver_140W_plot.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinver1.txt\n");
  EXPECT_NE(log().find(" vert stringfill=" + std::string(44, ' ')), std::string::npos);

  choose(105, 1040, 2);
  choose(105, 1014, 4);
  vertviewfields(app);
  EXPECT_FALSE(enabled(105, 1037));
  EXPECT_FALSE(enabled(105, 1017));
  EXPECT_TRUE(enabled(105, 1039));
  EXPECT_TRUE(enabled(105, 1018));
  for (int id : {1063, 1065, 1066, 1067}) EXPECT_FALSE(enabled(105, id)) << id;
  choose(105, 1040, 1);
  choose(105, 1014, 1);
  vertviewfields(app);
  EXPECT_TRUE(enabled(105, 1037));
  EXPECT_FALSE(enabled(105, 1039));
  EXPECT_TRUE(enabled(105, 1066));
}

TEST_F(PlotDialogs, ProductDefaultsWriteTheRegionFileAndWarmWaterDisablesRegion) {
  resetproddialog();
  choose(110, 1052, 2);
  press(110, 1035, plotprodview);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinpro1.txt"), golden("pro_mld_plot.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinpro1.txt\n");

  prodviewfields(app);  // product 2 with specified levels kept
  typefill(110, "(0,300,20)");
  prodviewfields(app);
  EXPECT_TRUE(enabled(110, 1077));
  choose(110, 1052, 4);
  prodviewfields(app);
  for (int id : {1013, 1014, 1015, 1037, 1017, 1055, 1019, 1039, 1018, 1038, 1020, 1044, 1045, 1048, 1073,
                 1075, 1077, 1009, 1011, 1012})
    EXPECT_FALSE(enabled(110, id)) << id;
  EXPECT_EQ(radio(110), 1);
  EXPECT_EQ(text(110, 1078, 44), std::string(44, ' '));
  EXPECT_NE(log().find(" prodview, iprop= 4\n prodview2, iprop= 4\n"), std::string::npos) << log();

  choose(110, 1052, 1);
  prodviewfields(app);
  for (int id : {1014, 1037, 1045, 1073, 1075}) EXPECT_TRUE(enabled(110, id)) << id;
}

TEST_F(PlotDialogs, YearMenusAndDefaultMonthsFollowTheData) {
  auto items = [](int dialog, int id) {
    WDialogSelect(dialog);
    std::vector<std::string> found;
    WDialogGetMenuItems(id, found);
    return found;
  };
  auto selected = [](int dialog, int id) {
    WDialogSelect(dialog);
    int item = 0;
    WDialogGetMenu(id, item);
    return item;
  };
  // The sample's end dates leave the menus and the June 2008 default as
  // they were loaded.
  resetmapdialog();
  app.argoend = app.avisoend = app.reynoldsend = 56;
  const std::vector<std::string> loaded = items(103, 1030);
  ASSERT_EQ(loaded.size(), 13u);
  datayears(app, 103);
  datadefaults(app, 103);
  EXPECT_EQ(items(103, 1030), loaded);
  EXPECT_EQ(items(103, 1027).back(), "2015");
  EXPECT_EQ(std::pair(selected(103, 1025), selected(103, 1027)), std::pair(6, 5));

  // Data into 2016 (the altimetry's end the latest): both year menus reach
  // 2016, the end menu keeps its empty item last, selections stay on their
  // items, and the default follows the Argo end (Aug 2015) two months back.
  WDialogLoad(104);
  app.argoend = 140;
  app.avisoend = 145;
  for (int twice = 0; twice < 2; ++twice) {
    datayears(app, 104);
    std::vector<std::string> years = items(104, 1027);
    ASSERT_EQ(years.size(), 13u);
    EXPECT_EQ(years.front(), "2004");
    EXPECT_EQ(years.back(), "2016");
    years.push_back("");
    EXPECT_EQ(items(104, 1030), years);
  }
  EXPECT_EQ(std::pair(selected(104, 1029), selected(104, 1030)), std::pair(6, 5));
  datadefaults(app, 104);
  EXPECT_EQ(std::pair(selected(104, 1029), selected(104, 1030)), std::pair(6, 12));
  EXPECT_EQ(std::pair(selected(104, 1025), selected(104, 1027)), std::pair(1, 1));
  choose(104, 1030, 0);
  app.reynoldsend = 160;
  datayears(app, 104);
  EXPECT_EQ(items(104, 1030).size(), 15u);
  EXPECT_EQ(selected(104, 1030), -999);
  WDialogSelect(104);
  WDialogUnload();
}

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  WInitialise();
  WindowOpen(128);
  for (int dialog : {103, 105, 110, 107}) WDialogLoad(dialog);
  return RUN_ALL_TESTS();
}
