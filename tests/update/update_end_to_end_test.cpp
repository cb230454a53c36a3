// The Update button's procedure with the real batch files, the real Ferret
// scripts and the sample data: a drive root at August 2008 is updated from
// its local, signed update directory, and a September 2008 map then draws.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/app_state.h"
#include "plots/mapview.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"
#include "update/end_dates.h"
#include "update/update_files.h"

namespace fs = std::filesystem;

namespace {

std::string readfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A local port that nothing listens on.
int closedport() {
  int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(s, reinterpret_cast<sockaddr*>(&address), length);
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  close(s);
  return ntohs(address.sin_port);
}

class UpdateEndToEnd : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WInitialise();
    WindowOpen(128);
    WDialogLoad(111);
    ASSERT_EQ(InfoError(1), 0) << "dialog 111 did not load";
  }

  void SetUp() override {
    char pattern[] = "/tmp/tidecharter-update-e2e-XXXXXX";
    root_ = mkdtemp(pattern);
    const char* cache = getenv("TIDECHARTER_UPDATE_CACHE");
    const std::string command = "sh '" TIDECHARTER_SOURCE_DIR "/tests/update/make_drive_root.sh' '" +
                                root_ + "' '" +
                                (cache ? cache : "/tmp/tidecharter-update-cache") + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    setenv("TIDECHARTER_DRIVE_C", root_.c_str(), 1);
    ASSERT_TRUE(app_.log.open());
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string home(const std::string& relative) const { return root_ + "/tidecharter/" + relative; }
  std::string field(int id) {
    WDialogSelect(111);
    std::string text(120, ' ');
    WDialogGetString(id, text);
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }

  // Draws a September 2008 temperature map without a display, as Create
  // JPG's first step does; returns the picture's size in bytes.
  std::uintmax_t drawseptember() {
    MapDialog dialog;
    dialog.startMonth = 9;
    dialog.startYear = 5;
    MapRequest request = maprequest(dialog);
    const MapLayout layout = maplayout(request);
    const PlotSlot slot = slots_.advance();
    const DataEnds ends{app_.argoend, app_.avisoend, app_.reynoldsend};
    EXPECT_TRUE(writeplotfile(slot, kActionJpg, mapviewlines(request, layout, ends)));
    const std::string picture = home("tmp/meta" + slot.outputName);
    fs::remove(picture);
    IOsCommand("c:\\tidecharter\\bin\\tcferret.bat " + slot.cygwinPath, 3, 300);
    return fs::exists(picture) ? fs::file_size(picture) : 0;
  }

  std::string root_;
  AppState app_;
  SlotCounter slots_{"map"};
};

TEST_F(UpdateEndToEnd, UpdateBringsSeptember2008AndItsMapDraws) {
  MapDialog september;
  september.startMonth = 9;
  september.startYear = 5;
  const MapRequest request = maprequest(september);
  ASSERT_EQ(request.A, 57);
  EXPECT_TRUE(mapdatecheck(request, DataEnds{56, 56, 56}).has_value());
  // Before the update the go script has no September to draw: it writes
  // that into an otherwise empty frame.
  app_.argoend = app_.avisoend = app_.reynoldsend = 57;
  const std::uintmax_t empty = drawseptember();
  EXPECT_GT(empty, 0u);

  // The end dates are on record: the query after the append must see that
  // the data have changed.
  enddatequery(60);
  ASSERT_TRUE(fs::exists(home("tmp/EndDates.stamp")));
  updatefiles(app_);
  EXPECT_EQ(field(kUpdateEndDate), "Aug-2008");
  EXPECT_EQ(field(kUpdateStep2), "Downloading Argo update for Sep-2008 ...");
  EXPECT_EQ(field(kUpdateStep2Result), "Done!");
  EXPECT_EQ(field(kUpdateCompletion), "Done !   Data files were updated.");
  EXPECT_EQ(app_.argoend, 57);
  EXPECT_EQ(app_.avisoend, 57);
  EXPECT_EQ(app_.reynoldsend, 57);
  EXPECT_NE(readfile(home("tmp/runup_detail.log")).find("092008: good signature by key"),
            std::string::npos);
  app_.log.flush();
  EXPECT_NE(readfile(home("tmp/tidecharter.log"))
                .find(" update end dates argo,aviso,reynolds: 57 57 57"),
            std::string::npos);

  EXPECT_FALSE(mapdatecheck(request, DataEnds{app_.argoend, app_.avisoend, app_.reynoldsend})
                   .has_value());
  // A filled map of the new month is many times the empty frame.
  EXPECT_GT(drawseptember(), 4 * empty);
  EXPECT_EQ(readfile(home("tmp/tcferret.log")).find("ERROR"), std::string::npos);
}

TEST_F(UpdateEndToEnd, MissingPackageUnreachableSourceAndUnsignedPackageSayWhy) {
  fs::create_directories(home("empty_source"));
  std::ofstream(home("bin/update_source.txt")) << "file:///cygdrive/c/tidecharter/empty_source/\n";
  updatefiles(app_);
  EXPECT_EQ(field(kUpdateEndDate), "Aug-2008");
  EXPECT_EQ(field(kUpdateLineA), "The update file does not exist yet, try after the 15th of the");
  EXPECT_EQ(field(kUpdateLineB), "following month.  (eg. Oct 2008 ready after Nov 15, 2008)");
  EXPECT_EQ(field(kUpdateStep2Result), "");

  const std::string source = "http://127.0.0.1:" + std::to_string(closedport()) + "/";
  std::ofstream(home("bin/update_source.txt")) << source << "\n";
  updatefiles(app_);
  EXPECT_EQ(field(kUpdateLineA), "I can not access the internet to download the update file.");
  EXPECT_EQ(field(kUpdateLineB), "Go to " + source);
  EXPECT_EQ(field(kUpdateLineC), "Download 092008_monthly_update.exe file to c:\\tidecharter\\tmp");
  EXPECT_EQ(field(kUpdateLineD), "Then click on the \"Update\" button in the Tidecharter main window.");
  EXPECT_EQ(app_.argoend, 56);

  // A package without its signature is downloaded but never set up.
  std::ofstream(home("bin/update_source.txt")) << "file:///cygdrive/c/tidecharter/update_source/\n";
  fs::remove(home("update_source/092008.tar.gz.sig"));
  updatefiles(app_);
  EXPECT_EQ(field(kUpdateStep2Result), "Done!");
  EXPECT_EQ(field(kUpdateLineE), "The setup was not finished.      To try again: Click \"Update\"");
  EXPECT_EQ(field(kUpdateCompletion), "");
  EXPECT_EQ(app_.argoend, 56);
  EXPECT_NE(readfile(home("tmp/runup_detail.log")).find("092008: no signature 092008.tar.gz.sig"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(home("tmp/update/092008")));
}

}  // namespace
