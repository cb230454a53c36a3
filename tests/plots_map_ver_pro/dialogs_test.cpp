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
#include "resources/dialog_fields.h"
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
  WDialogGetRadioButton(kPlotDefaultLevelsRadio, item);
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
  WDialogPutRadioButton(kPlotOwnLevelsRadio);
  WDialogFieldState(kPlotLevelsBox, 1);
  WDialogPutString(kPlotLevelsBox, fill);
}

// Every dialog field these tests touch, back to its load-time value.
void resetmapdialog() {
  for (auto [id, item] : {std::pair{kPlotPropertyMenu, 1},
                          {kPlotUpperMenu, 1},
                          {kPlotLowerMenu, 1},
                          {kPlotTypeMenu, 1},
                          {kPlotNorthLetterMenu, 1},
                          {kPlotSouthLetterMenu, 2},
                          {kPlotWestLetterMenu, 1},
                          {kPlotEastLetterMenu, 1},
                          {kPlotStartMonthMenu, 6},
                          {kPlotStartYearMenu, 5},
                          {kPlotEndMonthMenu, 0},
                          {kPlotEndYearMenu, 0},
                          {kPlotLandMenu, 2},
                          {kMapVectorXMenu, 2},
                          {kMapVectorYMenu, 2}})
    choose(103, id, item);
  WDialogSelect(103);
  WDialogPutReal(kPlotNorthBox, 25.0f);
  WDialogPutReal(kPlotSouthBox, 60.0f);
  WDialogPutReal(kPlotWestBox, 130.0f);
  WDialogPutReal(kPlotEastBox, 250.0f);
  WDialogPutRadioButton(kPlotDefaultLevelsRadio);
  WDialogPutString(kPlotLevelsBox, "");
}

void resetvertdialog() {
  for (auto [id, item] : {std::pair{kPlotPropertyMenu, 1},
                          {kVertUpperMenu, 1},
                          {kVertLowerMenu, 15},
                          {kPlotTypeMenu, 1},
                          {kVertDirectionMenu, 1},
                          {kPlotNorthLetterMenu, 1},
                          {kPlotSouthLetterMenu, 2},
                          {kPlotWestLetterMenu, 2},
                          {kPlotEastLetterMenu, 2},
                          {kVertStartMonthMenu, 6},
                          {kVertStartYearMenu, 5},
                          {kVertEndMonthMenu, 0},
                          {kVertEndYearMenu, 0}})
    choose(105, id, item);
  WDialogSelect(105);
  WDialogPutReal(kPlotNorthBox, 65.0f);
  WDialogPutReal(kPlotSouthBox, 60.0f);
  WDialogPutReal(kPlotWestBox, 140.0f);
  WDialogPutReal(kPlotEastBox, 140.0f);
  WDialogPutRadioButton(kPlotDefaultLevelsRadio);
  WDialogPutString(kPlotLevelsBox, "");
}

void resetproddialog() {
  for (auto [id, item] : {std::pair{kPlotPropertyMenu, 1},
                          {kPlotTypeMenu, 1},
                          {kPlotNorthLetterMenu, 1},
                          {kPlotSouthLetterMenu, 2},
                          {kPlotWestLetterMenu, 1},
                          {kPlotEastLetterMenu, 1},
                          {kPlotStartMonthMenu, 8},
                          {kPlotStartYearMenu, 5},
                          {kPlotEndMonthMenu, 0},
                          {kPlotEndYearMenu, 0},
                          {kPlotLandMenu, 2}})
    choose(110, id, item);
  WDialogSelect(110);
  WDialogPutReal(kPlotNorthBox, 25.0f);
  WDialogPutReal(kPlotSouthBox, 25.0f);
  WDialogPutReal(kPlotWestBox, 120.0f);
  WDialogPutReal(kPlotEastBox, 290.0f);
  WDialogPutRadioButton(kPlotDefaultLevelsRadio);
  WDialogPutString(kPlotLevelsBox, "");
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
  choose(103, kPlotPropertyMenu, 2);
  choose(103, kPlotLowerMenu, 6);  // 500 dbar
  press(103, kPlotButton, plotmapview);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinmap1.txt"), golden("map_salinity_plot.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinmap1.txt\n");
  EXPECT_NE(log().find(" map stringfill=" + std::string(44, ' ') + "\n map ratio= 0.708333"), std::string::npos)
      << log();
}

TEST_F(PlotDialogs, MapRejectedRequestUsesUpItsSlotAndCancelDoesNot) {
  resetmapdialog();
  choose(103, kPlotEndMonthMenu, 5);  // May, before the June start
  press(103, kPlotButton, plotmapview);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "Input error");
  EXPECT_EQ(app.map.slot.value(), 1);
  EXPECT_EQ(commandfiles(), 0);
  EXPECT_EQ(log(), "");

  press(103, 2, plotmapview);
  EXPECT_FALSE(toolkit::testing::DialogWidget(103)->isVisible());
  EXPECT_EQ(app.map.slot.value(), 1);

  choose(103, kPlotEndMonthMenu, 0);
  press(103, kPlotButton, plotmapview);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_TRUE(fileexists("c:\\tidecharter\\tmp\\tcferretinmap2.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinmap2.txt\n");
}

TEST_F(PlotDialogs, MapNotAnOptionKeepsOnlyTheFirstLines) {
  resetmapdialog();
  choose(103, kPlotPropertyMenu, 6);
  choose(103, kPlotLowerMenu, 6);
  choose(103, kPlotTypeMenu, 2);
  press(103, kPlotButton, plotmapview);
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
    press(103, kPlotButton, plotmapview);
    expectfillrefused();
    messages.clear();
  }

  resetvertdialog();
  typefill(105, "(2,6,.5);");
  press(105, kPlotButton, plotvertview);
  expectfillrefused();
  messages.clear();

  resetproddialog();
  choose(110, kPlotPropertyMenu, 2);
  typefill(110, "(0,300,20)!");
  press(110, kPlotButton, plotprodview);
  expectfillrefused();
}

TEST_F(PlotDialogs, ValidFillLevelsReachTheGoLineAsTyped) {
  resetmapdialog();
  typefill(103, "(8,22,2)(22,32,1)");
  press(103, kPlotButton, plotmapview);
  const std::string file = readprogramfile("c:\\tidecharter\\tmp\\tcferretinmap1.txt");
  EXPECT_NE(file.find(" 1 0 (8,22,2)(22,32,1)" + std::string(27, ' ') + "\n"), std::string::npos) << file;
  EXPECT_NE(log().find(" map stringfill=(8,22,2)(22,32,1)"), std::string::npos);
}

TEST_F(PlotDialogs, MapFieldsFollowPropertyAndPlotType) {
  resetmapdialog();
  choose(103, kPlotPropertyMenu, 5);
  mapviewfields(app);
  for (int id :
       {kMapVectorLabel, kMapVectorXLabel, kMapVectorYLabel, kMapVectorXMenu, kMapVectorYMenu})
    EXPECT_TRUE(enabled(103, id)) << id;
  for (int id : {kPlotLevelsLabel, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio, kPlotLevelsBox})
    EXPECT_FALSE(enabled(103, id)) << id;

  choose(103, kPlotPropertyMenu, 7);
  choose(103, kPlotTypeMenu, 4);
  mapviewfields(app);
  for (int id :
       {kMapVectorLabel, kMapVectorXLabel, kMapVectorYLabel, kMapVectorXMenu, kMapVectorYMenu,
        kPlotUnitsLabel, kPlotUpperMenu, kPlotUpperLabel, kPlotLowerMenu, kPlotLowerLabel,
        kPlotPressureLabel, kPlotStartYearMenu, kPlotEndLabel, kPlotEndMonthMenu, kPlotEndYearMenu})
    EXPECT_FALSE(enabled(103, id)) << id;
  EXPECT_TRUE(enabled(103, kPlotDefaultLevelsRadio));

  choose(103, kPlotPropertyMenu, 1);
  choose(103, kPlotTypeMenu, 3);
  mapviewfields(app);
  EXPECT_TRUE(enabled(103, kPlotUpperMenu));
  EXPECT_TRUE(enabled(103, kPlotStartYearMenu));
  EXPECT_FALSE(enabled(103, kPlotEndMonthMenu));
}

TEST_F(PlotDialogs, PropertyChangeResetsSpecifiedLevelsButKeepsTheText) {
  resetmapdialog();
  mapviewfields(app);
  WDialogSelect(103);
  WDialogPutRadioButton(kPlotOwnLevelsRadio);
  WDialogPutString(kPlotLevelsBox, "(8,22,2)");
  mapviewfields(app);  // same property: the text may be edited
  EXPECT_TRUE(enabled(103, kPlotLevelsBox));
  EXPECT_EQ(text(103, kPlotLevelsHint, 44), "e.g.(8,22,2)(22,32,1)(lo,hi,delta) No spaces");

  choose(103, kPlotPropertyMenu, 2);
  mapviewfields(app);
  EXPECT_EQ(radio(103), 1);
  EXPECT_FALSE(enabled(103, kPlotLevelsBox));
  EXPECT_EQ(text(103, kPlotLevelsHint, 44), std::string(44, ' '));
  EXPECT_EQ(text(103, kPlotLevelsBox, 8), "(8,22,2)");
}

TEST_F(PlotDialogs, SectionDefaultsWriteThe140WFileAndFieldsFollowDirection) {
  resetvertdialog();
  press(105, kPlotButton, plotvertview);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinver1.txt"), golden("ver_140W_plot.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinver1.txt\n");
  EXPECT_NE(log().find(" vert stringfill=" + std::string(44, ' ')), std::string::npos);

  choose(105, kVertDirectionMenu, 2);
  choose(105, kPlotTypeMenu, 4);
  vertviewfields(app);
  EXPECT_FALSE(enabled(105, kPlotNorthBox));
  EXPECT_FALSE(enabled(105, kPlotNorthLetterMenu));
  EXPECT_TRUE(enabled(105, kPlotEastBox));
  EXPECT_TRUE(enabled(105, kPlotEastLetterMenu));
  for (int id : {kVertEndLabel, kVertStartYearMenu, kVertEndMonthMenu, kVertEndYearMenu})
    EXPECT_FALSE(enabled(105, id)) << id;
  choose(105, kVertDirectionMenu, 1);
  choose(105, kPlotTypeMenu, 1);
  vertviewfields(app);
  EXPECT_TRUE(enabled(105, kPlotNorthBox));
  EXPECT_FALSE(enabled(105, kPlotEastBox));
  EXPECT_TRUE(enabled(105, kVertEndMonthMenu));
}

TEST_F(PlotDialogs, ProductDefaultsWriteTheRegionFileAndWarmWaterDisablesRegion) {
  resetproddialog();
  choose(110, kPlotPropertyMenu, 2);
  press(110, kPlotButton, plotprodview);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(readprogramfile("c:\\tidecharter\\tmp\\tcferretinpro1.txt"), golden("pro_mld_plot.txt"));
  EXPECT_EQ(ran(), "/cygdrive/c/tidecharter/tmp/tcferretinpro1.txt\n");

  prodviewfields(app);  // product 2 with specified levels kept
  typefill(110, "(0,300,20)");
  prodviewfields(app);
  EXPECT_TRUE(enabled(110, kPlotLevelsBox));
  choose(110, kPlotPropertyMenu, 4);
  prodviewfields(app);
  for (int id :
       {kPlotTypeLabel,       kPlotTypeMenu,    kPlotRegionLabel,        kPlotNorthBox,
        kPlotNorthLetterMenu, kPlotSouthBox,    kPlotSouthLetterMenu,    kPlotEastBox,
        kPlotEastLetterMenu,  kPlotWestBox,     kPlotWestLetterMenu,     kPlotLandLabel,
        kPlotLandMenu,        kPlotLevelsLabel, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio,
        kPlotLevelsBox,       kPlotUnitsLabel,  kPlotUpperMenu,          kPlotLowerMenu})
    EXPECT_FALSE(enabled(110, id)) << id;
  EXPECT_EQ(radio(110), 1);
  EXPECT_EQ(text(110, kPlotLevelsHint, 44), std::string(44, ' '));
  EXPECT_NE(log().find(" prodview, iprop= 4\n prodview2, iprop= 4\n"), std::string::npos) << log();

  choose(110, kPlotPropertyMenu, 1);
  prodviewfields(app);
  for (int id :
       {kPlotTypeMenu, kPlotNorthBox, kPlotLandMenu, kPlotDefaultLevelsRadio, kPlotOwnLevelsRadio})
    EXPECT_TRUE(enabled(110, id)) << id;
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
  const std::vector<std::string> loaded = items(103, kPlotEndYearMenu);
  ASSERT_EQ(loaded.size(), 13u);
  datayears(app, 103);
  datadefaults(app, 103);
  EXPECT_EQ(items(103, kPlotEndYearMenu), loaded);
  EXPECT_EQ(items(103, kPlotStartYearMenu).back(), "2015");
  EXPECT_EQ(std::pair(selected(103, kPlotStartMonthMenu), selected(103, kPlotStartYearMenu)),
            std::pair(6, 5));

  // Data into 2016 (the altimetry's end the latest): both year menus reach
  // 2016, the end menu keeps its empty item last, selections stay on their
  // items, and the default follows the Argo end (Aug 2015) two months back.
  WDialogLoad(104);
  app.argoend = 140;
  app.avisoend = 145;
  for (int twice = 0; twice < 2; ++twice) {
    datayears(app, 104);
    std::vector<std::string> years = items(104, kPlotStartYearMenu);
    ASSERT_EQ(years.size(), 13u);
    EXPECT_EQ(years.front(), "2004");
    EXPECT_EQ(years.back(), "2016");
    years.push_back("");
    EXPECT_EQ(items(104, kPlotEndYearMenu), years);
  }
  EXPECT_EQ(std::pair(selected(104, kPlotEndMonthMenu), selected(104, kPlotEndYearMenu)),
            std::pair(6, 5));
  datadefaults(app, 104);
  EXPECT_EQ(std::pair(selected(104, kPlotEndMonthMenu), selected(104, kPlotEndYearMenu)),
            std::pair(6, 12));
  EXPECT_EQ(std::pair(selected(104, kPlotStartMonthMenu), selected(104, kPlotStartYearMenu)),
            std::pair(1, 1));
  choose(104, kPlotEndYearMenu, 0);
  app.reynoldsend = 160;
  datayears(app, 104);
  EXPECT_EQ(items(104, kPlotEndYearMenu).size(), 15u);
  EXPECT_EQ(selected(104, kPlotEndYearMenu), -999);
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
