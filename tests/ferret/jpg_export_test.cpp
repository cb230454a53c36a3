// createjpg end to end with stand-in batch files in a temporary drive root.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include <QEvent>
#include <QPushButton>

#include "dialog_driver.h"
#include "drive_root.h"
#include "ferret/command_file.h"
#include "ferret/dates.h"
#include "ferret/jpg_export.h"
#include "ferret/output_wait.h"
#include "ferret/run_log.h"
#include "resources/dialog_fields.h"
#include "toolkit/qt_access.h"
#include "toolkit/toolkit.h"

namespace {

// The stand-ins write each output with `bytes` bytes; tcMeta2PS.bat can be
// told to write nothing. Each records the argument it was given.
void WriteBatchFiles(const DriveRoot& drive, int bytes, bool writePostScript = true) {
  const std::string fill = "head -c " + std::to_string(bytes) + " /dev/zero | tr '\\0' x";
  const std::string tmp = "\"$TIDECHARTER_DRIVE_C/tidecharter/tmp";
  drive.write("bin/tcferret.bat",
              "file=$(printf '%s' \"$1\" | sed \"s#^/cygdrive/c#$TIDECHARTER_DRIVE_C#\")\n"
              "printf '%s\\n' \"$1\" > " + tmp + "/ferret.arg\"\n"
              "name=$(sed -n 's/^set mode metafile meta//p' \"$file\")\n" +
              fill + " > " + tmp + "/meta$name\"\n");
  drive.write("bin/tcMeta2PS.bat", "printf '%s\\n' \"$1\" > " + tmp + "/meta2ps.arg\"\n" +
                                       (writePostScript ? fill + " > " + tmp + "/$1.ps\"\n" : ""));
  drive.write("bin/tcPS2jpg.bat",
              "printf '%s\\n' \"$1\" > " + tmp + "/ps2jpg.arg\"\n" + fill + " > " + tmp + "/$1.jpg\"\n");
}

std::string Field(int id) {
  WDialogSelect(107);
  std::string text(80, ' ');
  WDialogGetString(id, text);
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

// The command file of a Create JPG request in slot 1 of `kind`.
PlotSlot WriteCommandFile(const std::string& kind) {
  SlotCounter counter(kind);
  PlotSlot slot = counter.advance();
  CommandFile file;
  file.open(slot, kActionJpg);
  file.finish();
  return slot;
}

std::vector<std::string> WithoutNumbers(const std::vector<std::string>& lines) {
  // The clock lines carry times; keep their text only.
  std::vector<std::string> result;
  for (const std::string& line : lines) {
    std::string::size_type cut = line.size();
    for (std::string::size_type i = 0; i + 1 < line.size(); ++i)
      if (line[i] == ' ' && std::isdigit(static_cast<unsigned char>(line[i + 1]))) {
        cut = i + 1;
        break;
      }
    result.push_back(line.rfind(" call ", 0) == 0 ? line.substr(0, cut) : line);
  }
  return result;
}

TEST(FerretLimit, FromKindProcessorAndFlags) {
  EXPECT_EQ(jpgferretlimit("map1", 0, 0, 2), 45);
  EXPECT_EQ(jpgferretlimit("lin4", 1, 0, 0), 5);
  EXPECT_EQ(jpgferretlimit("lin4", 0, 1, 0), 4);
  EXPECT_EQ(jpgferretlimit("pro2", 1, 1, 1), 10);
  EXPECT_EQ(quietperiod("lin1", 1), 1);
  EXPECT_EQ(quietperiod("lin1", 0), 2);
  EXPECT_EQ(quietperiod("map1", 1), 2);
  EXPECT_EQ(quietperiod("map1", 0), 6);
}

// Calls `paint` whenever the watched widget is painted.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(std::function<void()> paint) : paint_(std::move(paint)) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) paint_();
    return false;
  }

 private:
  std::function<void()> paint_;
};

TEST(CreateJpg, CompletedExport) {
  DriveRoot drive;
  WriteBatchFiles(drive, 5000);
  RunLog log;
  ASSERT_TRUE(log.open());
  PlotSlot slot = WriteCommandFile("map");
  int ierror = -1;
  // Batch files that are done at once make an export that is done at once:
  // each output is there, whole, when its batch file ends.
  Stopwatch watch;
  createjpg(log, slot.cygwinPath, slot.outputName, ierror, 1, 1, 0);
  EXPECT_LT(watch.seconds(), 1.0);

  EXPECT_EQ(ierror, kWaitFinished);
  EXPECT_EQ(drive.read("tmp/ferret.arg"), "/cygdrive/c/tidecharter/tmp/tcferretinmap1.txt\n");
  EXPECT_EQ(drive.read("tmp/meta2ps.arg"), "map1\n");
  EXPECT_EQ(drive.read("tmp/ps2jpg.arg"), "map1\n");
  EXPECT_TRUE(drive.exists("tmp/map1.jpg"));

  EXPECT_EQ(Field(kJpgMetafileStep), "Running Ferret to create metafile");
  EXPECT_EQ(Field(kJpgPostscriptStep), "Translating metafile to postscript");
  EXPECT_EQ(Field(kJpgJpgStep), "Translating postscript to jpg");
  EXPECT_EQ(Field(kJpgMetafileDone), "Done!");
  EXPECT_EQ(Field(kJpgPostscriptDone), "Done!");
  EXPECT_EQ(Field(kJpgJpgDone), "Done!");
  EXPECT_EQ(Field(kJpgLocatedLabel), "Your file is located in:");
  // The file's own path on this machine, not the c:\ name.
  EXPECT_EQ(Field(kJpgPathBox), drive.path("tmp/map1.jpg"));
  EXPECT_EQ(Field(kJpgRenameLabel), "Please rename it, since the Tidecharter will overwrite it.");
  QPushButton* ok = Button(ShownDialog("Tidecharter"), "OK");
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->isEnabled());

  log.flush();
  const std::vector<std::string> expected = {
      " call ferret/meta ", " call ferret/meta ", " creating psmap1", " call meta2ps ",
      " looking for ps", " creating jpg", " call ps2jpg ", " looking for jpg", " ierror= 0"};
  EXPECT_EQ(WithoutNumbers(drive.lines("tmp/tidecharter.log")), expected);
  const std::vector<std::string> lines = drive.lines("tmp/tidecharter.log");
  // year month day hour minute second milliseconds, then the start time.
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0, start = 0;
  ASSERT_EQ(sscanf(lines[0].c_str(), " call ferret/meta %d %d %d %d %d %d %d", &y, &mo, &d, &h, &mi, &s, &ms), 7);
  ASSERT_EQ(sscanf(lines[1].c_str(), " call ferret/meta %d", &start), 1);
  int expectedStart = 0;
  dateinseconds(y, mo, d, h, mi, s, expectedStart);
  EXPECT_EQ(start, expectedStart);
  EXPECT_TRUE(ms >= 0 && ms <= 999) << ms;
  int h2 = 0, mi2 = 0, s2 = 0, ms2 = 0, start2 = 0;
  ASSERT_EQ(sscanf(lines[3].c_str(), " call meta2ps %d %d %d %d %d", &h2, &mi2, &s2, &ms2, &start2), 5);
  EXPECT_EQ(start2 % 86400, h2 * 3600 + mi2 * 60 + s2);

  WDialogSelect(107);
  WDialogHide();
}

TEST(CreateJpg, CancelDuringPostScriptStep) {
  DriveRoot drive;
  WriteBatchFiles(drive, 8, false);
  RunLog log;
  ASSERT_TRUE(log.open());
  PlotSlot slot = WriteCommandFile("ver");
  DelayedPress cancel("Tidecharter", "Cancel",
                      [] { return Field(kJpgPostscriptStep) == "Translating metafile to postscript"; });
  int ierror = -1;
  createjpg(log, slot.cygwinPath, slot.outputName, ierror, 0, 1, 0);

  EXPECT_TRUE(cancel.pressed());
  EXPECT_EQ(ierror, kWaitCancelled);
  EXPECT_EQ(ShownDialog("Tidecharter"), nullptr);
  EXPECT_FALSE(drive.exists("tmp/ver1.jpg"));
  EXPECT_FALSE(drive.exists("tmp/ps2jpg.arg"));
  EXPECT_EQ(Field(kJpgMetafileDone), "Done!");
  EXPECT_EQ(Field(kJpgJpgDone), "");
  EXPECT_EQ(Field(kJpgPathBox), "");
  log.flush();
  const std::vector<std::string> lines = drive.lines("tmp/tidecharter.log");
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], " TRYING TO EXIT");
  EXPECT_EQ(lines.back(), " ierror= 2");
}

TEST(CreateJpg, ProgressIsPaintedWhileFerretRuns) {
  DriveRoot drive;
  WriteBatchFiles(drive, 5000);
  drive.write("bin/tcferret.bat", "sleep 1\n" + drive.read("bin/tcferret.bat") +
                                      "touch \"$TIDECHARTER_DRIVE_C/tidecharter/tmp/ferret.done\"\n");
  RunLog log;
  ASSERT_TRUE(log.open());
  PlotSlot slot = WriteCommandFile("tim");
  QWidget* step = toolkit::testing::FieldWidget(107, kJpgMetafileStep);
  ASSERT_NE(step, nullptr);
  bool paintedWhileRunning = false;
  PaintWatch watch([&] {
    if (!drive.exists("tmp/ferret.done") &&
        step->property("text").toString() == "Running Ferret to create metafile")
      paintedWhileRunning = true;
  });
  step->installEventFilter(&watch);
  int ierror = -1;
  createjpg(log, slot.cygwinPath, slot.outputName, ierror, 1, 1, 0);
  step->removeEventFilter(&watch);
  EXPECT_EQ(ierror, kWaitFinished);
  EXPECT_TRUE(paintedWhileRunning);
  WDialogSelect(107);
  WDialogHide();
}

TEST(CreateJpg, ConverterLeavingAWriterAtWorkIsWaitedOut) {
  DriveRoot drive;
  WriteBatchFiles(drive, 5000);
  // The converter returns while a writer it started still grows the file.
  const std::string tmp = "\"$TIDECHARTER_DRIVE_C/tidecharter/tmp";
  drive.write("bin/tcMeta2PS.bat",
              "chunk() { head -c 1000 /dev/zero | tr '\\0' p >> " + tmp + "/$1.ps\"; }\n"
              "chunk \"$1\"\n"
              "( for i in 2 3 4 5; do sleep 0.2; chunk \"$1\"; done ) &\n");
  drive.write("bin/tcPS2jpg.bat", "cp " + tmp + "/$1.ps\" " + tmp + "/$1.jpg\"\n");
  RunLog log;
  ASSERT_TRUE(log.open());
  PlotSlot slot = WriteCommandFile("pro");
  int ierror = -1;
  Stopwatch watch;
  createjpg(log, slot.cygwinPath, slot.outputName, ierror, 1, 1, 0);
  EXPECT_EQ(ierror, kWaitFinished);
  // The PostScript counted as finished only when whole and quiet for Q.
  EXPECT_EQ(drive.read("tmp/pro1.jpg").size(), 5000u);
  EXPECT_GE(watch.seconds(), 2.0 + quietperiod("pro1", 1));
  WDialogSelect(107);
  WDialogHide();
}

}  // namespace
