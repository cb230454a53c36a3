// The monthly update against stand-in batch files: each stand-in records its
// call and copies the status file the test prepared, so every ending of the
// update can be reached without Ferret or a network.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/app_state.h"
#include "ferret/record.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"
#include "update/update_files.h"

namespace fs = std::filesystem;

namespace {

const char* const kStandIns[][2] = {
    {"tcferret.bat", "cp \"$S\"/ends/* \"$T\"/ 2>/dev/null || true\n"},
    {"tcGetUp.bat", "[ -f \"$S/getup\" ] && cp \"$S/getup\" \"$T/getup.log\"\nexit 0\n"},
    {"tcRunUp.bat", "[ -f \"$S/runup\" ] && cp \"$S/runup\" \"$T/runup.log\"\nexit 0\n"},
    // Minutes pass while the user installs: the first query's end-date
    // files are old by the time the append ends.
    {"tcAppUp.bat",
     "cp \"$T/tcferret$1.txt\" \"$S/appended.txt\"\n"
     "for f in \"$T\"/*EndDate.txt; do [ -f \"$f\" ] && touch -d '5 minutes ago' \"$f\"; done\n"
     "[ -f \"$S/commit\" ] && cp \"$S/commit\" \"$T/commit.log\"\n"
     "[ -d \"$S/ends_after\" ] && rm -f \"$S\"/ends/* && cp \"$S\"/ends_after/* \"$S/ends/\"\n"
     "exit 0\n"},
    {"tcKillCygwinX.bat", ""},
    {"tcInstallNewExe.bat", "touch \"$S/installed\"\n"},
};

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> readlines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void writefile(const std::string& path, const std::string& text) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

QPushButton* okbutton() {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == "Update Tidecharter")
      for (QPushButton* b : w->findChildren<QPushButton*>())
        if (b->text() == "OK") return b;
  return nullptr;
}

class UpdateFiles : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WInitialise();
    WindowOpen(128);
    WDialogLoad(111);
    ASSERT_EQ(InfoError(1), 0) << "dialog 111 did not load";
  }

  // A drive root named after the test, so that a death test's child process
  // works in the same root as its parent.
  void SetUp() override {
    const char* base = getenv("TIDECHARTER_UPDATE_TEST_ROOT");
    std::string dir = base ? base : "/tmp/tidecharter-update-test-" + std::to_string(getuid());
    root_ = dir + "/" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::remove_all(root_);
    fs::create_directories(root_ + "/tidecharter/tmp");
    setenv("TIDECHARTER_DRIVE_C", root_.c_str(), 1);
    for (const auto& standin : kStandIns)
      writefile(bin(standin[0]), std::string("S=\"$TIDECHARTER_DRIVE_C/stub\"\n"
                                             "T=\"$TIDECHARTER_DRIVE_C/tidecharter/tmp\"\n"
                                             "echo \"") +
                                     standin[0] + "${*:+ $*}\" >> \"$S/calls\"\n" + standin[1]);
    fs::create_directories(stub("ends"));
    writefile(bin("update_source.txt"), "file:///cygdrive/c/tidecharter/update_source/\n");
    ASSERT_TRUE(app_.log.open());
  }

  void TearDown() override {
    fs::remove_all(root_);
  }

  std::string bin(const std::string& name) const { return root_ + "/tidecharter/bin/" + name; }
  std::string stub(const std::string& name) const { return root_ + "/stub/" + name; }

  void enddates(const std::string& dir, int argo, int aviso, int reynolds) {
    const std::pair<const char*, int> files[] = {
        {"ArgoEndDate.txt", argo}, {"AvisoEndDate.txt", aviso}, {"ReynoldsEndDate.txt", reynolds}};
    for (const auto& f : files)
      writefile(stub(dir + "/" + f.first),
                "end date\n\nMonth index, Jan2004=1:" + FormatI(f.second, 4) + "\n");
  }
  void getup(const std::string& text) { writefile(stub("getup"), text); }
  void commit(const std::string& text) { writefile(stub("commit"), text); }
  void runup(const std::string& text) { writefile(stub("runup"), text); }

  // Runs the update, noting whether OK was disabled whenever the update let
  // the event loop run.
  void update() {
    okSeenEnabled_ = false;
    okSampled_ = false;
    QTimer::singleShot(0, [this] {
      okSampled_ = true;
      if (QPushButton* ok = okbutton()) okSeenEnabled_ = ok->isEnabled();
    });
    updatefiles(app_);
    app_.log.flush();
  }

  std::string field(int id) {
    WDialogSelect(111);
    std::string text(120, ' ');
    WDialogGetString(id, text);
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
  std::vector<std::string> calls() { return readlines(stub("calls")); }
  std::vector<std::string> log() { return readlines(root_ + "/tidecharter/tmp/tidecharter.log"); }
  bool okenabled() {
    QPushButton* ok = okbutton();
    return ok && ok->isEnabled();
  }
  void expectblank(std::initializer_list<int> ids) {
    for (int id : ids) EXPECT_EQ(field(id), "") << "field " << id;
  }

  std::string root_;
  AppState app_;
  bool okSampled_ = false, okSeenEnabled_ = true;
};

TEST_F(UpdateFiles, FullUpdateFromAugust2008AppendsSeptemberAndReadsNewEndDates) {
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 57, 57);
  getup("TRYD\nFOUN\n");
  runup("DIDI\nDONE\n");
  commit("DONE month 092008 appended\n");
  update();

  EXPECT_EQ(field(kUpdateStep1), "Checking end date on your Argo data file ...");
  EXPECT_EQ(field(kUpdateEndDate), "Aug-2008");
  EXPECT_EQ(field(kUpdateStep2), "Downloading Argo update for Sep-2008 ...");
  EXPECT_EQ(field(kUpdateStep2Result), "Done!");
  EXPECT_EQ(field(kUpdateLineB), "Checking and unpacking the update package: nothing to click.");
  EXPECT_EQ(field(kUpdateLineC), "(A packaged install gets a new program from the package manager.)");
  EXPECT_EQ(field(kUpdateLineE),
            "Now that the package is checked, the Tidecharter will append the new data");
  EXPECT_EQ(field(kUpdateLineH), "Wait for the \"Done\" on the next line.     Updating......");
  EXPECT_EQ(field(kUpdateCompletion), "Done !   Data files were updated.");
  expectblank({kUpdateLineA, kUpdateLineD, kUpdateNotice1, kUpdateNotice2, kUpdateNotice3});

  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "tcferret.bat /cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl",
                         "tcGetUp.bat 092008", "tcRunUp.bat 092008", "tcAppUp.bat 092008",
                         "tcferret.bat /cygdrive/c/tidecharter/ferret/TMAP/go/GetDates.jnl"}));
  EXPECT_EQ(readfile(stub("appended.txt")),
            " cancel mode journal\n"
            " go fer_append_new_month RG_ArgoClim_092008.nc Reynolds_092008.nc Aviso_092008.nc\n"
            " quit\n");
  const std::vector<std::string> lines = log();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], " update end dates argo,aviso,reynolds: 56 56 56");
  EXPECT_EQ(lines[1], " date1=Aug 2008");
  EXPECT_EQ(lines[2], "  0 0 0 0");
  EXPECT_EQ(lines[3], " update end dates argo,aviso,reynolds: 57 57 57");
  EXPECT_EQ(app_.argoend, 57);
  EXPECT_EQ(app_.avisoend, 57);
  EXPECT_EQ(app_.reynoldsend, 57);

  EXPECT_TRUE(okSampled_);
  EXPECT_FALSE(okSeenEnabled_) << "OK must stay disabled while the update runs";
  EXPECT_TRUE(okenabled());

  // A second press starts again from the new end date with a blank dialog.
  getup("TRYD\nERRO\nNOFI\n");
  update();
  EXPECT_EQ(field(kUpdateEndDate), "Sep-2008");
  EXPECT_EQ(field(kUpdateStep2), "Downloading Argo update for Oct-2008 ...");
  EXPECT_EQ(calls().back(), "tcGetUp.bat 102008");
  expectblank({kUpdateStep2Result, kUpdateLineC, kUpdateLineE, kUpdateCompletion});
  EXPECT_TRUE(okenabled());
}

TEST_F(UpdateFiles, DownloadFailuresEndWithTheirOwnLines) {
  enddates("ends", 60, 58, 59);
  struct Case {
    const char* getup;
    std::vector<std::string> lines;  // kUpdateLineA to kUpdateLineD
  };
  const std::string speed = "This may take a few minutes depending on internet speed.";
  const std::vector<std::string> noconnection = {
      "I can not access the internet to download the update file.",
      "Go to file:///cygdrive/c/tidecharter/update_source/",
      "Download 012009_monthly_update.exe file to c:\\tidecharter\\tmp",
      "Then click on the \"Update\" button in the Tidecharter main window."};
  const Case cases[] = {
      {"TRYD\nERRO\nNOHO\n", noconnection},
      {"TRYD\nERRO\nOTHE\n", noconnection},
      {"TRYD\nERRO\nNOFI\n",
       {"The update file does not exist yet, try after the 15th of the",
        "following month.  (eg. Oct 2008 ready after Nov 15, 2008)", "", ""}},
      {"TRYD\nERRO\nNONE\n",
       {"No update source: add Jan-2009 with tidecharter-import --argo RG_ArgoClim_200901_*.nc", "", "", ""}},
      {"TRYD\nERRO\n\n", {speed, "", "", ""}},
      {"TRYD\nERRO\n", {speed, "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.getup);
    getup(c.getup);
    update();
    EXPECT_EQ(field(kUpdateEndDate), "Dec-2008");
    EXPECT_EQ(field(kUpdateStep2), "Downloading Argo update for Jan-2009 ...");
    EXPECT_EQ(field(kUpdateLineA), c.lines[0]);
    EXPECT_EQ(field(kUpdateLineB), c.lines[1]);
    EXPECT_EQ(field(kUpdateLineC), c.lines[2]);
    EXPECT_EQ(field(kUpdateLineD), c.lines[3]);
    expectblank({kUpdateStep2Result, kUpdateLineE, kUpdateCompletion});
    EXPECT_EQ(calls().back(), "tcGetUp.bat 012009");
    EXPECT_TRUE(okenabled());
  }
  for (const std::string& call : calls()) EXPECT_EQ(call.find("tcRunUp"), std::string::npos);
}

TEST_F(UpdateFiles, UnreadableStatusFilesGiveTheErrorEnding) {
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 57, 57);
  struct Case {
    const char* name;
    const char* getup;  // nullptr: the stand-in writes none
    const char* runup;
    bool runupcalled;
  };
  const Case cases[] = {
      {"missing getup.log", nullptr, "DIDI\nDONE\n", false},
      {"one-line getup.log", "FOUN\n", "DIDI\nDONE\n", false},
      {"missing runup.log", "TRYD\nFOUN\n", nullptr, true},
      {"one-line runup.log", "TRYD\nFOUN\n", "DIDI\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(stub("getup"));
    fs::remove(stub("runup"));
    fs::remove(stub("calls"));
    fs::remove(root_ + "/tidecharter/tmp/getup.log");
    fs::remove(root_ + "/tidecharter/tmp/runup.log");
    if (c.getup) getup(c.getup);
    if (c.runup) runup(c.runup);
    update();
    EXPECT_EQ(field(kUpdateLineA), "Unknown error, you may need to download a whole new install");
    EXPECT_EQ(field(kUpdateLineB), "from file:///cygdrive/c/tidecharter/update_source/");
    EXPECT_EQ(field(kUpdateLineC),
              "Exit the Tidecharter, immediately gzip c:\\tidecharter\\tmp\\*.log files");
    EXPECT_EQ(field(kUpdateLineD), "and send the zipped file to the maintainers of your update source");
    EXPECT_EQ(field(kUpdateLineE), "so we can look at the errors.");
    EXPECT_EQ(field(kUpdateCompletion), "");
    EXPECT_EQ(log().back(), " error reading update.log");
    EXPECT_EQ(calls().back(), c.runupcalled ? "tcRunUp.bat 092008" : "tcGetUp.bat 092008");
    EXPECT_TRUE(okenabled());
  }
  EXPECT_EQ(app_.argoend, 56);

  // The installation may name the full package and where reports go.
  writefile(bin("update_source.txt"),
            "file:///cygdrive/c/tidecharter/update_source/\n"
            "file:///cygdrive/c/tidecharter/full_install/\n"
            "c:\\tidecharter\\Help\\contact.txt\n");
  fs::remove(stub("getup"));
  update();
  EXPECT_EQ(field(kUpdateLineB), "from file:///cygdrive/c/tidecharter/full_install/");
  EXPECT_EQ(field(kUpdateLineD), "and mail the zipped file to c:\\tidecharter\\Help\\contact.txt");
}

TEST_F(UpdateFiles, StatusFileLeftFromAnEarlierRunIsNotTakenForThisOne) {
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 57, 57);
  // A getup.log saying "found" from a previous update; this run's batch file
  // writes nothing.
  writefile(root_ + "/tidecharter/tmp/getup.log", "FOUN\nFOUN\n");
  const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(5);
  fs::last_write_time(root_ + "/tidecharter/tmp/getup.log", old);
  update();
  EXPECT_EQ(field(kUpdateLineA), "Unknown error, you may need to download a whole new install");
  EXPECT_EQ(log().back(), " error reading update.log");
  EXPECT_EQ(calls().back(), "tcGetUp.bat 092008");
}

TEST_F(UpdateFiles, SetupResultsDecideWhetherToAppend) {
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 57, 57);
  // Neither "TRYD" nor "FOUN" still counts as downloaded; "DIDI" with an
  // unknown second word appends without the new-executable notice.
  getup("HELO\nABCD\n");
  runup("DIDI\nXXXX\n");
  commit("DONE\n");
  update();
  EXPECT_EQ(calls().at(3), "tcAppUp.bat 092008");
  EXPECT_EQ(field(kUpdateCompletion), "Done !   Data files were updated.");
  expectblank({kUpdateNotice1, kUpdateNotice2, kUpdateNotice3});
  EXPECT_FALSE(fs::exists(stub("installed")));
  EXPECT_EQ(log().back(), " update end dates argo,aviso,reynolds: 57 57 57");
  EXPECT_TRUE(okenabled());

  // "SKIP": the setup was not finished, nothing is appended.
  runup("SKIP\nDONE\n");
  update();
  EXPECT_EQ(calls().back(), "tcRunUp.bat 102008");
  EXPECT_EQ(field(kUpdateLineE), "The setup was not finished.      To try again: Click \"Update\"");
  expectblank({kUpdateLineD, kUpdateLineF, kUpdateLineG, kUpdateLineH, kUpdateCompletion});
  EXPECT_EQ(field(kUpdateStep2Result), "Done!");
  EXPECT_EQ(app_.argoend, 57);
  EXPECT_TRUE(okenabled());
}

TEST_F(UpdateFiles, AppendThatDoesNotReachTheDataIsNotReportedAsDone) {
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 56, 57);  // AVISO did not get the month
  getup("TRYD\nFOUN\n");
  runup("DIDI\nNEWP\n");
  commit("DONE\n");
  update();
  EXPECT_EQ(field(kUpdateCompletion), "Not done !   The new month could not be appended.");
  expectblank({kUpdateNotice1});
  EXPECT_FALSE(fs::exists(stub("installed")));
  EXPECT_EQ(log().back(), " monthly update not appended, month index 57");
  EXPECT_TRUE(okenabled());
}

TEST_F(UpdateFiles, VerdictComesFromTheCommitAndTheEndDatesThisQueryWrote) {
  getup("TRYD\nFOUN\n");
  runup("DIDI\nDONE\n");
  // The append stopped before its commit; no AVISO end date is ever
  // written, and the default of 100 confirms nothing.
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 57, 57);
  fs::remove(stub("ends/AvisoEndDate.txt"));
  fs::remove(stub("ends_after/AvisoEndDate.txt"));
  update();
  EXPECT_EQ(field(kUpdateCompletion), "Not done !   The new month could not be appended.");
  EXPECT_EQ(log().back(), " monthly update not appended, month index 57");

  // Committed, but the end-date query is still running when its time is
  // up: the files it left from before say nothing about this append.
  commit("DONE\n");
  fs::remove_all(stub("ends_after"));
  fs::create_directories(stub("ends_after"));
  update();
  EXPECT_EQ(calls().at(8), "tcAppUp.bat 102008");
  EXPECT_EQ(field(kUpdateCompletion), "Done !   Data files were updated.");
  EXPECT_EQ(log().back(), " update end dates argo,aviso,reynolds: 57 100 57");
}

TEST_F(UpdateFiles, NewExecutableEndsTheProgramThroughTheInstaller) {
  enddates("ends", 56, 56, 56);
  enddates("ends_after", 57, 57, 57);
  getup("TRYD\nFOUN\n");
  runup("DIDI\nNEWG\n");
  commit("DONE\n");
  EXPECT_EXIT(update(), ::testing::ExitedWithCode(0), "");

  // The child ran in this test's drive root; the installer it started runs
  // on after it.
  for (int i = 0; i < 50 && !fs::exists(stub("installed")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(fs::exists(stub("installed")));
  // The X-server stop is not waited for, so the two calls may land in
  // either order.
  const std::vector<std::string> c = calls();
  ASSERT_GE(c.size(), 6u);
  EXPECT_EQ(c[3], "tcAppUp.bat 092008");
  std::vector<std::string> last(c.end() - 2, c.end());
  std::sort(last.begin(), last.end());
  EXPECT_EQ(last, (std::vector<std::string>{"tcInstallNewExe.bat", "tcKillCygwinX.bat"}));
  const std::vector<std::string> lines = log();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), " monthly update has new exe, run IOsExecute!");
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // The child of a death test starts afresh instead of forking a process
  // that already holds windows.
  ::testing::GTEST_FLAG(death_test_style) = "threadsafe";
  return RUN_ALL_TESTS();
}
