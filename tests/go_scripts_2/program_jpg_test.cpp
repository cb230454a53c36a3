// Create JPG through the real program code, end to end: the time-series,
// line-drawing and derived-product dialogs (104, 109, 110) loaded as at
// start-up, the Create JPG button pressed with their default entries, and
// the command file run by the installed batch files and Ferret on the
// sample data. Each press must leave a decodable JPG of a real picture.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/load_dialogs.h"
#include "locations/location_menu.h"
#include "plots/plot_procedures.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace fs = std::filesystem;

namespace {

// A drive root made by install.sh, with the sample data linked in from the
// cache the test fixture built.
class InstalledDrive {
 public:
  InstalledDrive() {
    char pattern[] = "/tmp/tc-go2-program-XXXXXX";
    root_ = mkdtemp(pattern);
    const char* cache = getenv("TC_TEST_DATA_CACHE");
    if (cache && fs::is_directory(cache)) {
      fs::create_directories(root_ / "tidecharter/data");
      for (const auto& entry : fs::directory_iterator(cache))
        if (entry.path().extension() == ".nc")
          fs::create_symlink(entry.path(), root_ / "tidecharter/data" / entry.path().filename());
    }
    const std::string command = "sh '" TC_SOURCE_DIR "/installation/install.sh' --display 0 '" +
                                root_.string() + "' > '" + root_.string() + "/install.log' 2>&1";
    installed_ = std::system(command.c_str()) == 0;
    setenv("TIDECHARTER_DRIVE_C", root_.c_str(), 1);
  }
  ~InstalledDrive() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  bool installed() const { return installed_; }
  fs::path tmp(const std::string& name) const { return root_ / "tidecharter/tmp" / name; }

 private:
  fs::path root_;
  bool installed_ = false;
};

std::vector<std::string> Lines(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The share of the commonest colour and the number of colours of the
// picture shrunk to 300 pixels across.
std::pair<double, int> Colours(const QImage& image) {
  const QImage small = image.scaledToWidth(300, Qt::FastTransformation).convertToFormat(QImage::Format_RGB32);
  std::map<QRgb, int> counts;
  for (int y = 0; y < small.height(); ++y)
    for (int x = 0; x < small.width(); ++x) ++counts[small.pixel(x, y)];
  int most = 0;
  for (const auto& [colour, n] : counts) most = std::max(most, n);
  return {static_cast<double>(most) / (small.width() * small.height()), static_cast<int>(counts.size())};
}

struct Request {
  int dialog;
  void (*procedure)(CoreState&);
  const char* outputName;
  double maxCommonest;  // a line drawing is mostly paper
};

TEST(ProgramCreateJpg, EveryKindDrawsAPictureFromItsDialogDefaults) {
  InstalledDrive drive;
  ASSERT_TRUE(drive.installed()) << "install.sh failed, see its log in the drive root";

  AppState app;
  // The sample data runs from January 2004 to August 2008.
  app.argoend = app.avisoend = app.reynoldsend = 56;
  app.multicore = 1;
  ASSERT_TRUE(app.log.open());
  ASSERT_TRUE(loadlocations(app));
  loaddialogs(app);

  for (const Request& request : {Request{104, plottimeseries, "tim1", 0.9},
                                 Request{109, plotlinedrawing, "lin1", 0.985},
                                 Request{110, plotprodview, "pro1", 0.9}}) {
    SCOPED_TRACE(request.dialog);
    QElapsedTimer clock;
    clock.start();
    WDialogSelect(request.dialog);
    WDialogShow(-1, -1, 0, 2);
    app.itype = PushButton;
    app.message.win = request.dialog;
    app.message.value1 = kPlotJpgButton;
    request.procedure(app);
    app.log.flush();
    std::fprintf(stderr, "dialog %d: Create JPG took %.1f s\n", request.dialog, clock.elapsed() / 1000.0);

    const std::vector<std::string> log = Lines(drive.tmp("tidecharter.log"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), " ierror= 0");
    const fs::path jpg = drive.tmp(std::string(request.outputName) + ".jpg");
    ASSERT_TRUE(fs::exists(jpg)) << jpg;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(jpg.string()), "JPG")) << "not a decodable JPG: " << jpg;
    EXPECT_GT(image.width(), image.height());
    EXPECT_GE(image.width(), 1000);
    const auto [commonest, colours] = Colours(image);
    EXPECT_GT(colours, 8) << "a picture of a few colours only";
    EXPECT_LT(commonest, request.maxCommonest) << "a nearly blank picture";

    // Ferret drew the request's own plot, not its error picture.
    std::ifstream ferretLog(drive.tmp("tcferret.log"));
    const std::string text((std::istreambuf_iterator<char>(ferretLog)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.find("**ERROR"), std::string::npos) << text.substr(text.size() > 3000 ? text.size() - 3000 : 0);
    EXPECT_EQ(text.find("Empty frame"), std::string::npos);
  }
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  WInitialise();
  WindowOpen(128);
  return RUN_ALL_TESTS();
}
