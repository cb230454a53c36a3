// The time-series and line-drawing dialogs (104, 109) driven through the
// real toolkit off screen: location menus, field enabling, and requests
// from button press to command file and batch run.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "batch/batch_front_end.h"
#include "batch/fill_dialog.h"
#include "ferret/drive_root.h"
#include "locations/location_menu.h"
#include "plots/plot_kinds.h"
#include "plots/plot_procedures.h"
#include "core/user_message.h"
#include "resources/dialog_fields.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

namespace {

// Record 1 is the prompt row; 2 lies on the equator, 3 is given in western
// longitudes. Columns (A34,I6,I8,I8,I8,F12.2,F12.2,I11,I12).
std::string locationfile() {
  const struct { const char* name; int s, n, w, e; } rows[] = {
      {"Choose  location", -40, -40, 220, 220},
      {"Equator \"box\"", -5, 5, 190, 240},
      {"Dateline west", 10, 20, -170, -160}};
  std::string text;
  for (const auto& r : rows) {
    char line[160];
    std::snprintf(line, sizeof line, "%-34s%6d%8d%8d%8d%12.2f%12.2f%11d%12d\n", r.name, r.s, r.n, r.w, r.e,
                  0.0, 0.0, 0, 0);
    text += line;
  }
  return text;
}

void choose(int dialog, int id, int item) {
  auto* combo = qobject_cast<QComboBox*>(toolkit::testing::FieldWidget(dialog, id));
  ASSERT_NE(combo, nullptr) << dialog << "/" << id;
  combo->setCurrentIndex(item - 1);
}

int menu(int id) {
  int item = 0;
  WDialogGetMenu(id, item);
  return item;
}

float real(int id) {
  float value = 0;
  WDialogGetReal(id, value);
  return value;
}

bool enabled(int dialog, int id) { return toolkit::testing::FieldWidget(dialog, id)->isEnabled(); }

// Closes the next message box shown while it lives and keeps its title and
// text.
class BoxCloser {
 public:
  BoxCloser() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
          seen = box->windowTitle().toStdString() + "/" + box->text().toStdString();
          box->accept();
        }
    });
    timer_.start(50);
  }
  std::string seen;

 private:
  QTimer timer_;
};

class TimLinDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(drive.path("bin/tcferret.bat")) << "echo \"$1\" >> \"$(dirname \"$0\")/../tmp/ran.txt\"\n";
    ASSERT_TRUE(app.log.open());
    std::istringstream in(locationfile());
    app.ncity = readbuoy(in, app.locations);
    for (int dialog : {104, 109}) {
      WDialogSelect(dialog);
      fillLocationMenu(app);
      for (auto [id, item] : {std::pair{kPlotPropertyMenu, 1},
                              {kPlotTypeMenu, 1},
                              {kPlotUpperMenu, 1},
                              {kPlotStartMonthMenu, 1},
                              {kPlotStartYearMenu, 1},
                              {kPlotEndMonthMenu, 6},
                              {kPlotEndYearMenu, 5}})
        choose(dialog, id, item);
    }
    choose(104, kPlotLowerMenu, 15);
    choose(109, kPlotLowerMenu, 2);
    app.frontend = &noting;
  }

  void press(int dialog, int button, void (*procedure)(CoreState&)) {
    app.itype = PushButton;
    app.message.win = dialog;
    app.message.value1 = button;
    procedure(app);
  }

  DriveRoot drive;
  AppState app;
  // The desktop's command files and runs; refusals noted, not shown.
  struct NotingFrontEnd : DesktopFrontEnd {
    std::vector<UserMessage> messages;
    void message(const UserMessage& m) override { messages.push_back(m); }
  } noting;
  std::vector<UserMessage>& messages = noting.messages;
};

TEST_F(TimLinDialogs, ChosenLocationFillsTheRegionAtEveryFieldChange) {
  ASSERT_EQ(
      qobject_cast<QComboBox*>(toolkit::testing::FieldWidget(104, kPlotLocationMenu))->count(), 3);
  for (auto [dialog, fields] : {std::pair{104, timeviewfields}, {109, lineviewfields}}) {
    SCOPED_TRACE(dialog);
    WDialogSelect(dialog);
    // Location 1's box was applied at loading.
    EXPECT_FLOAT_EQ(real(kPlotSouthBox), 40.0f);
    EXPECT_EQ(menu(kPlotSouthLetterMenu), 2);
    EXPECT_FLOAT_EQ(real(kPlotWestBox), 220.0f);
    EXPECT_EQ(menu(kPlotWestLetterMenu), 1);

    choose(dialog, kPlotLocationMenu, 2);
    fields(app);
    EXPECT_FLOAT_EQ(real(kPlotSouthBox), 5.0f);
    EXPECT_EQ(menu(kPlotSouthLetterMenu), 2);  // S
    EXPECT_FLOAT_EQ(real(kPlotNorthBox), 5.0f);
    EXPECT_EQ(menu(kPlotNorthLetterMenu), 1);  // N
    EXPECT_FLOAT_EQ(real(kPlotWestBox), 190.0f);
    EXPECT_FLOAT_EQ(real(kPlotEastBox), 240.0f);
    EXPECT_EQ(menu(kPlotWestLetterMenu), 1);
    EXPECT_EQ(menu(kPlotEastLetterMenu), 1);

    // The user edits a field; the next field change puts the box back.
    WDialogPutReal(kPlotNorthBox, 12.0f);
    choose(dialog, kPlotTypeMenu, 2);
    fields(app);
    EXPECT_FLOAT_EQ(real(kPlotNorthBox), 5.0f);

    choose(dialog, kPlotLocationMenu, 3);
    fields(app);
    EXPECT_FLOAT_EQ(real(kPlotWestBox), 170.0f);
    EXPECT_EQ(menu(kPlotWestLetterMenu), 2);  // W
    EXPECT_FLOAT_EQ(real(kPlotEastBox), 160.0f);
    EXPECT_EQ(menu(kPlotEastLetterMenu), 2);
    EXPECT_EQ(menu(kPlotNorthLetterMenu), 1);
  }
  // Dialog 104 shows its latitudes with two decimals.
  EXPECT_EQ(qobject_cast<QLineEdit*>(toolkit::testing::FieldWidget(104, kPlotSouthBox))->text(),
            "10.00");
}

TEST_F(TimLinDialogs, TimeSeriesOfALocationPrintsItsName) {
  choose(104, kPlotPropertyMenu, 2);
  choose(104, kPlotLocationMenu, 2);
  timeviewfields(app);
  EXPECT_FALSE(enabled(104, kPlotLevelsBox));
  press(104, kPlotButton, plottimeseries);
  ASSERT_TRUE(messages.empty());
  const std::vector<std::string> lines = drive.lines("tmp/tcferretintim1.txt");
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], " cancel mode journal");
  EXPECT_EQ(lines[1].substr(0, 77),
            "go fer_temp_hovmoller   1.0  54.0    0 2000    -5.00    5.00  190.00  240.00 ");
  EXPECT_EQ(lines[3].substr(30), " \" 5.0^oS- 5.0^oN, 190.0^oE-240.0^oE\"");
  // The quotes of the name cannot end the label.
  EXPECT_EQ(lines[4].substr(30), " \"Equator ''box''" + std::string(19, ' ') + "\"");
  EXPECT_EQ(drive.read("tmp/ran.txt"), "/cygdrive/c/tidecharter/tmp/tcferretintim1.txt\n");
  EXPECT_NE(drive.read("tmp/tidecharter.log").find(" time stringfill=" + std::string(44, ' ')),
            std::string::npos);

  // A region typed outside every box puts the menu back to its prompt row.
  WDialogSelect(104);
  WDialogPutReal(kPlotNorthBox, 30.0f);
  press(104, kPlotButton, plottimeseries);
  EXPECT_EQ(menu(kPlotLocationMenu), 1);
  EXPECT_EQ(drive.lines("tmp/tcferretintim2.txt")[4].substr(30), " \"Averaged    0-2000 dbar\"");
}

TEST_F(TimLinDialogs, TimeSeriesRefusalsWriteNothing) {
  // The thirteenth, empty end year lies beyond the data.
  choose(104, kPlotEndYearMenu, 13);
  press(104, kPlotButton, plottimeseries);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "Input out of range");
  EXPECT_EQ(messages[0].line1, " Argo grid current through Apr2012");

  // Upper above lower is refused even for the satellite properties.
  choose(104, kPlotPropertyMenu, 9);
  choose(104, kPlotUpperMenu, 15);
  choose(104, kPlotLowerMenu, 1);
  press(104, kPlotJpgButton, plottimeseries);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].line2, "Min is less than or equal to Max value.");
  EXPECT_FALSE(drive.exists("tmp/tcferretintim1.txt"));
  EXPECT_FALSE(drive.exists("tmp/tcferretintim2.txt"));
  EXPECT_EQ(app.tim.slot.value(), 2);
  EXPECT_EQ(drive.read("tmp/tidecharter.log"), "");
}

TEST_F(TimLinDialogs, LineDrawingFieldsAndRequests) {
  // Satellite series have no pressures; their fields still count.
  choose(109, kPlotPropertyMenu, 12);
  lineviewfields(app);
  for (int id : {kPlotUnitsLabel, kPlotUpperMenu, kPlotUpperLabel, kPlotLowerMenu, kPlotLowerLabel,
                 kPlotPressureLabel})
    EXPECT_FALSE(enabled(109, id)) << id;
  choose(109, kPlotUpperMenu, 15);
  press(109, kPlotButton, plotlinedrawing);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].title, "Input Error");

  // A monthly anomaly against pressure needs the start month only.
  choose(109, kPlotPropertyMenu, 2);
  choose(109, kPlotUpperMenu, 1);
  choose(109, kPlotTypeMenu, 3);
  lineviewfields(app);
  for (int id : {kPlotEndLabel, kPlotEndMonthMenu, kPlotEndYearMenu})
    EXPECT_FALSE(enabled(109, id)) << id;
  for (int id : {kPlotUpperMenu, kPlotLowerMenu}) EXPECT_TRUE(enabled(109, id)) << id;
  press(109, kPlotButton, plotlinedrawing);
  EXPECT_EQ(messages.size(), 1u);
  const std::vector<std::string> lines = drive.lines("tmp/tcferretinlin2.txt");
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[1], " go fer_temp_line_monthly_anom  2 1 1 0 100 -40.0 -40.0 220.0 220.0");
  EXPECT_EQ(lines[3], "label/nouser 7.05,0.70,0,0,0.15 \"@C016Jan 2004           \"");
  EXPECT_EQ(drive.read("tmp/ran.txt"), "/cygdrive/c/tidecharter/tmp/tcferretinlin2.txt\n");

  // Temperature against salinity has no anomaly: the file keeps its first
  // line and nothing runs.
  choose(109, kPlotPropertyMenu, 9);
  press(109, kPlotButton, plotlinedrawing);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].title + "/" + messages[1].line1, "Not an option/This combination is not an option.");
  EXPECT_EQ(drive.read("tmp/tcferretinlin3.txt"), " cancel mode journal\n");
  EXPECT_EQ(drive.read("tmp/ran.txt"), "/cygdrive/c/tidecharter/tmp/tcferretinlin2.txt\n");
}

TEST_F(TimLinDialogs, LocationFileAtStartUp) {
  std::ofstream(drive.path("bin/pacific/TDC_city_locations.csv")) << locationfile();
  AppState fresh;
  ASSERT_TRUE(fresh.log.open());
  EXPECT_TRUE(loadlocations(fresh));
  EXPECT_EQ(fresh.ncity, 3);
  fresh.log.flush();
  EXPECT_EQ(drive.read("tmp/tidecharter.log"), " ReadBuoy ncity= 3\n");

  std::remove(drive.path("bin/pacific/TDC_city_locations.csv").c_str());
  BoxCloser box;
  EXPECT_FALSE(loadlocations(fresh));
  EXPECT_EQ(box.seen.substr(0, 12), "Tidecharter/");
  EXPECT_NE(box.seen.find("c:\\tidecharter\\bin\\pacific\\TDC_city_locations.csv"), std::string::npos)
      << box.seen;
}

// Each kind's dialog filled away from its defaults and plotted: the request
// beside the command file, read back by the batch run, fills the dialog
// again to the same command file (less the batch run's metafile line).
TEST_F(TimLinDialogs, RequestBesideThePlotDrawsTheSameCommandFile) {
  struct Case {
    int dialog;
    std::vector<std::pair<int, int>> items;    // menu field, item
    std::vector<std::pair<int, float>> boxes;  // region box, value
    const char* fill;
  };
  const Case cases[] = {
      {103, {{kPlotPropertyMenu, 2}, {kPlotUpperMenu, 3}, {kPlotLowerMenu, 6}, {kPlotTypeMenu, 3},
             {kPlotWestLetterMenu, 2}, {kPlotStartMonthMenu, 3}, {kPlotStartYearMenu, 4}, {kPlotLandMenu, 1}},
       {{kPlotWestBox, 150.125f}, {kPlotNorthBox, 10.5f}}, "(-1,1,0.1)"},
      {105, {{kPlotPropertyMenu, 3}, {kVertDirectionMenu, 2}, {kPlotTypeMenu, 2}, {kVertLowerMenu, 11},
             {kVertEndMonthMenu, 2}, {kVertEndYearMenu, 6}},
       {{kPlotSouthBox, 10.0f}, {kPlotEastBox, 260.0f}}, nullptr},
      {104, {{kPlotPropertyMenu, 4}, {kPlotLocationMenu, 3}, {kPlotTypeMenu, 3}}, {}, "(-2,2,0.5)"},
      {109, {{kPlotPropertyMenu, 2}, {kPlotLowerMenu, 3}}, {{kPlotEastBox, 230.0f}}, nullptr},
      {110, {{kPlotPropertyMenu, 1}, {kPlotTypeMenu, 2}, {kPlotEndMonthMenu, 12}, {kPlotEndYearMenu, 4}},
       {{kPlotNorthBox, 20.0f}}, "(50,250,25)"},
  };
  for (const Case& c : cases) {
    const PlotKind& kind = *plotkindofdialog(c.dialog);
    SCOPED_TRACE(kind.batchName);
    if (c.dialog != 104 && c.dialog != 109) loadparameterdialog(app, c.dialog);
    for (auto [field, item] : c.items) choose(c.dialog, field, item);
    kind.fields(app);
    WDialogSelect(c.dialog);
    for (auto [box, value] : c.boxes) WDialogPutReal(box, value);
    if (c.fill) {
      WDialogPutRadioButton(kPlotOwnLevelsRadio);
      WDialogPutString(kPlotLevelsBox, c.fill);
    }
    messages.clear();
    press(c.dialog, kPlotButton, kind.plot);
    ASSERT_TRUE(messages.empty()) << messages[0].line1;
    const std::string slot = std::string("tmp/tcferretin") + kind.code + "1";
    std::istringstream ini(drive.read(slot + ".ini") + "output = again.ps\n");
    const RequestFile request = parserequestfile("again.ini", ini);
    ASSERT_EQ(request.products.size(), 1u) << drive.read(slot + ".ini");
    ASSERT_EQ(request.products[0].errors, std::vector<std::string>{});

    BatchFrontEnd batch;
    app.frontend = &batch;
    batch.begin(drive.path("tmp/again.jnl"), {});
    EXPECT_EQ(filldialog(app, request.products[0], {}).errors, std::vector<std::string>{});
    pressplot(app, request.products[0]);
    app.frontend = &noting;
    std::vector<std::string> again = drive.lines("tmp/again.jnl");
    ASSERT_GT(again.size(), 3u);
    EXPECT_EQ(again[1].substr(0, 17), "set mode metafile");
    again.erase(again.begin() + 1);
    EXPECT_EQ(again, drive.lines(slot + ".txt"));
    if (c.dialog == 104 || c.dialog == 109) {
      WDialogLoad(c.dialog);
      fillLocationMenu(app);
    }
  }
  EXPECT_NE(drive.read("tmp/tcferretinmap1.ini").find("\nproperty = Salinity - Argo data\n"), std::string::npos);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  WInitialise();
  WindowOpen(128);
  for (int dialog : {104, 109}) WDialogLoad(dialog);
  return RUN_ALL_TESTS();
}
