// The nine dialogs loaded into real widgets by the toolkit: every field is
// there, inside its dialog, clear of its neighbours and wide enough for its
// text; and a picture of each dialog is saved for a look by eye.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <map>
#include <set>

#include "expected_dialogs.h"
#include "resources/dialog_fields.h"
#include "toolkit/dialog.h"
#include "toolkit/dialog_table.h"
#include "toolkit/toolkit.h"

namespace {

using toolkit::Dialog;
using toolkit::Field;
using toolkit::FieldKind;

std::string Name(const Field& f) { return "field " + std::to_string(f.id()); }

// Each test may run in a process of its own: load before use (a second
// load of a dialog only selects it).
Dialog* Shown(int id) {
  WDialogLoad(id);
  WDialogShow(-1, -1, 0, 2);
  QApplication::processEvents();
  return toolkit::FindDialog(id);
}

// The part of a field that shows something. A radio button's box is
// taller than its one line of text, and the dialog definitions let the
// empty margins of stacked radio buttons overlap.
QRect Visible(const Field& f) {
  QRect r = f.widget->geometry();
  if (f.kind == FieldKind::RadioButton || f.kind == FieldKind::CheckBox) {
    // Stacked radio buttons of the fixed layouts sit closer than their
    // indicator's margins; what must stay clear is their text line.
    const int line = f.widget->fontMetrics().height();
    if (line < r.height()) r = QRect(r.x(), r.center().y() - line / 2, r.width(), line);
  }
  return r;
}

// Width available to the text of a field, or -1 for fields without a
// caption of their own.
int TextRoom(const Field& f) {
  QWidget* w = f.widget;
  switch (f.kind) {
    case FieldKind::Label:
      return w->contentsRect().width();
    case FieldKind::PushButton: {
      QStyleOptionButton opt;
      opt.initFrom(w);
      return w->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, w).width();
    }
    case FieldKind::RadioButton:
    case FieldKind::CheckBox: {
      QStyleOptionButton opt;
      opt.initFrom(w);
      const auto element = f.kind == FieldKind::RadioButton ? QStyle::SE_RadioButtonContents
                                                            : QStyle::SE_CheckBoxContents;
      return w->style()->subElementRect(element, &opt, w).width();
    }
    case FieldKind::TextEdit:
    case FieldKind::NumericEdit: {
      auto* e = static_cast<QLineEdit*>(w);
      const int frame = w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, w);
      // QLineEdit keeps two more pixels clear on each side of its text.
      return e->contentsRect().width() - e->textMargins().left() - e->textMargins().right() -
             2 * frame - 4;
    }
    default:
      return -1;
  }
}

QString Caption(const Field& f) {
  if (auto* l = qobject_cast<QLabel*>(f.widget)) return l->text();
  if (auto* b = qobject_cast<QAbstractButton*>(f.widget)) return b->text();
  if (auto* e = qobject_cast<QLineEdit*>(f.widget)) return e->text();
  return QString();
}

// Why a field's text does not fit it, or empty. `designed`: measured in the
// font the definition asks for; otherwise in the font the toolkit settled
// on, which may be smaller where the installed fonts run wider than the
// fonts the dialogs were laid out for.
std::string Clipped(const Field& f, bool designed) {
  const int room = TextRoom(f);
  const QString text = Caption(f);
  if (room < 0 || text.isEmpty()) return {};
  // A read-only line scrolls: a long path in it is meant to run on.
  if (auto* e = qobject_cast<QLineEdit*>(f.widget); e && e->isReadOnly()) return {};
  const QFont font = designed && f.font.pixelSize() > 0 ? f.font : f.widget->font();
  if (designed && f.widget->font().pixelSize() < font.pixelSize())
    return Name(f) + " \"" + text.toStdString() + "\" is shown in a smaller font than designed";
  const int need = QFontMetrics(font).horizontalAdvance(text);
  if (need <= room) return {};
  return Name(f) + " \"" + text.toStdString() + "\" needs " + std::to_string(need) +
         " px, has " + std::to_string(room);
}

void ExpectTextsFit(Dialog& d, bool designed) {
  for (const Field& f : d.fields()) {
    const std::string problem = Clipped(f, designed);
    if (!problem.empty()) ADD_FAILURE() << (designed ? "" : "cut off: ") << problem;
  }
}

QString ScreenshotPath(int id, const char* suffix = "") {
  QDir().mkpath(QStringLiteral(SCREENSHOT_DIR));
  return QStringLiteral(SCREENSHOT_DIR "/dialog_%1%2.png").arg(id).arg(QLatin1String(suffix));
}

void SaveScreenshot(Dialog& d, const char* suffix = "") {
  const QPixmap picture = d.grab();
  EXPECT_EQ(picture.size(), d.size());
  EXPECT_TRUE(picture.save(ScreenshotPath(d.id(), suffix))) << ScreenshotPath(d.id(), suffix).toStdString();
}

TEST(DialogLayout, EveryDialogLoadsWithItsFields) {
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    InfoError(1);
    WDialogLoad(expected.id);
    EXPECT_EQ(InfoError(1), 0);
    Dialog* d = toolkit::FindDialog(expected.id);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle().toStdString(), expected.title);
    for (int id : expected.fields) {
      const Field* f = d->field(id);
      ASSERT_NE(f, nullptr) << "field " << id << " missing";
      EXPECT_NE(f->widget, nullptr);
    }
  }
}

TEST(DialogLayout, FieldsLieInsideTheClientArea) {
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    Dialog* d = Shown(expected.id);
    ASSERT_NE(d, nullptr);
    const QRect client = d->contentsRect();
    for (const Field& f : d->fields())
      EXPECT_TRUE(client.contains(f.widget->geometry()))
          << Name(f) << " at " << f.widget->geometry().x() << "," << f.widget->geometry().y()
          << " size " << f.widget->width() << "x" << f.widget->height() << " in "
          << client.width() << "x" << client.height();
    WDialogHide();
  }
}

TEST(DialogLayout, VisibleFieldsDoNotOverlap) {
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    Dialog* d = Shown(expected.id);
    ASSERT_NE(d, nullptr);
    const auto& fields = d->fields();
    for (std::size_t i = 0; i < fields.size(); ++i) {
      for (std::size_t j = i + 1; j < fields.size(); ++j) {
        const Field& a = fields[i];
        const Field& b = fields[j];
        if (a.widget->isHidden() || b.widget->isHidden()) continue;
        const bool boxA = a.kind == FieldKind::GroupBox, boxB = b.kind == FieldKind::GroupBox;
        // Frames may share their edges; a field meeting a frame lies wholly within it.
        if (boxA && boxB) continue;
        if (boxA || boxB) {
          const Field& box = boxA ? a : b;
          const Field& inner = boxA ? b : a;
          const QRect r = inner.widget->geometry();
          if (box.widget->geometry().intersects(r)) {
            EXPECT_TRUE(box.widget->geometry().contains(r))
                << Name(inner) << " straddles the frame " << Name(box);
          }
          continue;
        }
        EXPECT_FALSE(Visible(a).intersects(Visible(b))) << Name(a) << " overlaps " << Name(b);
      }
    }
    WDialogHide();
  }
}

TEST(DialogLayout, TextsFitTheirFields) {
  // Positions fixed by the definitions may need the toolkit's smaller font;
  // the dialogs laid out freely must fit at their designed size.
  const std::set<int> freeLayout = {103, 107, 108, 110, 111, 112};
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    Dialog* d = Shown(expected.id);
    ASSERT_NE(d, nullptr);
    ExpectTextsFit(*d, false);
    if (freeLayout.count(expected.id)) ExpectTextsFit(*d, true);
    WDialogHide();
  }
}

// The progress dialogs show nothing until their procedures fill them: fill
// them with the longest lines they are given and look again.
TEST(DialogLayout, ProgressLinesFitWhenFilled) {
  const std::map<int, std::vector<std::pair<int, std::vector<std::string>>>> lines = {
      {107,
       {{kJpgMetafileStep, {"Running Ferret to create metafile"}},
        {kJpgMetafileDone, {"Done!"}},
        {kJpgPostscriptStep, {"Translating metafile to postscript"}},
        {kJpgPostscriptDone, {"Done!"}},
        {kJpgJpgStep, {"Translating postscript to jpg"}},
        {kJpgJpgDone, {"Done!"}},
        {kJpgLocatedLabel, {"Your file is located in:"}},
        {kJpgPathBox,
         {"/home/oceanographer/.local/share/tidecharter/drive_c/tidecharter/tmp/map1.jpg"}},
        {kJpgRenameLabel, {"Please rename it, since the Tidecharter will overwrite it."}}}},
      {111,
       {{kUpdateStep1, {"Checking end date on your Argo data file ..."}},
        {kUpdateEndDate, {"Aug-2008"}},
        {kUpdateStep2, {"Downloading Argo update for Sep-2008 ..."}},
        {kUpdateStep2Result, {"Done!"}},
        {kUpdateLineA,
         {"This may take a few minutes depending on internet speed.",
          "I can not access the internet to download the update file.",
          "The update file does not exist yet, try after the 15th of the",
          "Unknown error, you may need to download a whole new install"}},
        {kUpdateLineB,
         {"following month.  (eg. Oct 2008 ready after Nov 15, 2008)",
          "Checking and unpacking the update package: nothing to click.",
          "Go to the update directory given in c:\\tidecharter\\bin\\update_source.txt"}},
        {kUpdateLineC,
         {"(A packaged install gets a new program from the package manager.)",
          "Download 092008_monthly_update.exe file to c:\\tidecharter\\tmp",
          "Exit the Tidecharter, immediately gzip c:\\tidecharter\\tmp\\*.log files"}},
        {kUpdateLineD,
         {"Then click on the \"Update\" button in the Tidecharter main window.",
          "and mail the zipped file to the address in c:\\tidecharter\\Help\\README_tdc.txt"}},
        {kUpdateLineE,
         {"Now that the package is checked, the Tidecharter will append the new data",
          "The setup was not finished.      To try again: Click \"Update\""}},
        {kUpdateLineF,
         {"to the old netcdf files.  The Tidecharter will become nonresponsive during"}},
        {kUpdateLineG, {"the update.   This may take several minutes.  Do not exit!"}},
        {kUpdateLineH, {"Wait for the \"Done\" on the next line.     Updating......"}},
        {kUpdateCompletion, {"Done !   Data files were updated."}},
        {kUpdateNotice1, {"There is a new Tidecharter executable.   I will exit this instance of"}},
        {kUpdateNotice2, {"the Tidecharter in 5 seconds to install the new executable.   Give me"}},
        {kUpdateNotice3, {"a minute before restarting the Tidecharter."}}}},
      {112,
       {{kSetupReasonLabel,
         {"Laying out Tidecharter's drive root (first start)",
          "Laying out Tidecharter's drive root (an earlier set-up did not finish)",
          "Laying out Tidecharter's drive root (laid out by version 1.0, this is 1.1)"}},
        {kSetupRootLabel, {"/home/oceanographer/.local/share/tidecharter/drive_c"}},
        {kSetupFileLabel,
         {"building the sample data in tidecharter/data (half a minute or so)",
          "Setting up the monthly update"}},
        {kSetupTurnLabel, {"\\"}},
        {kSetupDetailLabel,
         {"installed tidecharter/ferret/TMAP/go/fer_alt_ht_hovmoller_monthly_anom.jnl",
          "kept your edited TDC_city_locations.csv; the new one is beside it (.new)",
          "installed tidecharter/bin/update_source.txt"}},
        {kSetupOnceLabel, {"This is done once.  Your data and files are kept."}}}},
  };
  for (const auto& [id, fills] : lines) {
    SCOPED_TRACE("dialog " + std::to_string(id));
    Dialog* d = Shown(id);
    ASSERT_NE(d, nullptr);
    for (const auto& [field, texts] : fills) {
      for (const auto& text : texts) {
        WDialogPutString(field, text);
        const Field* f = d->field(field);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(Clipped(*f, true), "");
      }
    }
    SaveScreenshot(*d, "_filled");
    for (const auto& [field, texts] : fills) WDialogPutString(field, " ");
    WDialogHide();
  }
}

TEST(DialogLayout, ScreenshotOfEveryDialog) {
  for (const auto& expected : ExpectedDialogs()) {
    SCOPED_TRACE("dialog " + std::to_string(expected.id));
    Dialog* d = Shown(expected.id);
    ASSERT_NE(d, nullptr);
    SaveScreenshot(*d);
    WDialogHide();
  }
}

// The data as the procedures read it through the toolkit: the main choice
// reads 1 to 5, untouched end-date menus read undefined, fill levels start
// at the default choice.
TEST(DialogLayout, ValuesReadThroughTheToolkit) {
  const int choices[] = {kMainMapRadio, kMainSectionRadio, kMainSeriesRadio, kMainLineRadio,
                         kMainProductRadio};
  for (int id : {101, 108}) {
    WDialogLoad(id);
    int value = 0;
    WDialogGetRadioButton(kMainMapRadio, value);
    EXPECT_EQ(value, 1) << "dialog " << id;
    for (int i = 0; i < 5; ++i) {
      WDialogPutRadioButton(choices[i]);
      WDialogGetRadioButton(kMainMapRadio, value);
      EXPECT_EQ(value, i + 1) << "dialog " << id << " choice " << choices[i];
    }
    WDialogPutRadioButton(kMainMapRadio);
  }
  for (auto [id, month, year] : {std::tuple{103, kPlotEndMonthMenu, kPlotEndYearMenu},
                                 std::tuple{105, kVertEndMonthMenu, kVertEndYearMenu},
                                 std::tuple{110, kPlotEndMonthMenu, kPlotEndYearMenu}}) {
    WDialogLoad(id);
    for (int field : {month, year}) {
      int value = 0;
      InfoError(1);
      WDialogGetMenu(field, value);
      EXPECT_EQ(value, -999) << "dialog " << id << " menu " << field;
      EXPECT_EQ(InfoError(1), 1010) << "dialog " << id << " menu " << field;
    }
  }
  for (int id : {103, 104, 105, 110}) {
    WDialogLoad(id);
    int value = 0;
    WDialogGetRadioButton(kPlotDefaultLevelsRadio, value);
    EXPECT_EQ(value, 1) << "dialog " << id;
  }
  // Dialog 109 has no formats: its latitude shows the general format.
  WDialogLoad(109);
  std::string text(10, ' ');
  WDialogGetString(kPlotNorthBox, text);
  EXPECT_EQ(text, "40.000    ");
  int lower = 0;
  WDialogGetInteger(kPlotLowerMenu, lower);
  EXPECT_EQ(lower, 100);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  WInitialise();
  WindowOpen(128);
  return RUN_ALL_TESTS();
}
