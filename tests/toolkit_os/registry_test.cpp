// IOsRegistryGet: the reading rules over the override file, and the live
// values the start-up reads.
#include <QGuiApplication>
#include <QScreen>
#include <cmath>
#include <cstdint>

#include "drive_root_fixture.h"
#include "toolkit/drive_paths.h"
#include "toolkit/registry.h"

namespace {

class RegistryTest : public DriveRootTest {
 protected:
  void SetUp() override {
    DriveRootTest::SetUp();
    unsetenv("TIDECHARTER_REGISTRY");
  }
  void TearDown() override {
    unsetenv("TIDECHARTER_REGISTRY");
    DriveRootTest::TearDown();
  }
  void useOverrides(const std::string& lines) {
    writeFile("tmp/registry.txt", lines);
    setenv("TIDECHARTER_REGISTRY", host("tmp/registry.txt").c_str(), 1);
  }

  // Reads into a variable of `size` characters first filled with 'x'.
  std::string read(const std::string& key, const std::string& name, std::size_t size) {
    std::string value(size, 'x');
    type = length = 99;
    IOsRegistryGet(key, value, name, &type, &length);
    return value;
  }

  int type = 0;
  int length = 0;
};

const char* const kOverrides =
    "# values for the tests\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tide|Name|1|Pacific | text\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tide|Count|4|0x01020304\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tide|Blob|3|00ff10\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty\r\n"
    "\n"
    "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0|ProcessorNameString|1|Test Core Duo\n"
    "HKLM\\SOFTWARE\\Ignored|Name|1|never\n"
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tide|Broken|4|twelve\n";

TEST_F(RegistryTest, ReadingRulesOverTheOverrideFile) {
  useOverrides(kOverrides);
  const std::string tide = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tide";

  EXPECT_EQ(read(tide, "Name", 20), "Pacific | text      ");
  EXPECT_EQ(type, 1);
  EXPECT_EQ(length, 14);
  EXPECT_EQ(InfoError(1), 0);
  // Roots, keys and value names ignore letter case; trailing blanks of the
  // key and the name are not part of them.
  EXPECT_EQ(read("hkey_local_machine\\software\\TIDE    ", "NAME   ", 14), "Pacific | text");
  EXPECT_EQ(type, 1);

  std::string number = read(tide, "Count", 4);
  EXPECT_EQ(type, 4);
  EXPECT_EQ(length, 4);
  std::uint32_t decoded = 0;
  for (int i = 3; i >= 0; --i) decoded = decoded << 8 | static_cast<unsigned char>(number[i]);
  EXPECT_EQ(decoded, 0x01020304u);
  EXPECT_EQ(InfoError(1), 0);

  read(tide, "Count", 1);
  EXPECT_EQ(InfoError(1), 1023);
  EXPECT_EQ(type, 4);
  EXPECT_EQ(length, 4);
  read(tide, "Name", 13);
  EXPECT_EQ(InfoError(1), 1023);
  EXPECT_EQ(length, 14);

  EXPECT_EQ(read(tide, "Blob", 3), std::string("\x00\xff\x10", 3));
  EXPECT_EQ(type, 3);

  EXPECT_EQ(read(tide, "Absent", 6), "      ");
  EXPECT_EQ(type, -2);
  EXPECT_EQ(length, 0);
  read(tide, "Broken", 4);  // a malformed line adds nothing
  EXPECT_EQ(type, -2);
  read("HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty", "Name", 4);
  EXPECT_EQ(type, -2);
  read("HKEY_LOCAL_MACHINE\\SOFTWARE", "Name", 4);  // a key on the way to others
  EXPECT_EQ(type, -2);

  EXPECT_EQ(read("HKEY_LOCAL_MACHINE\\SOFTWARE\\Nowhere", "Name", 5), "     ");
  EXPECT_EQ(type, -1);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(InfoError(1), 0) << "a missing key or value is no error";

  read("HKLM\\SOFTWARE\\Ignored", "Name", 5);
  EXPECT_EQ(InfoError(1), 1050);
  EXPECT_EQ(type, -1);
  EXPECT_EQ(read("HKEY_LOCAL_MACHINE", "Name", 5), "xxxxx") << "no sub-key reads nothing";
  EXPECT_EQ(type, -1);
  EXPECT_EQ(InfoError(1), 0);

  // The type and length variables are optional.
  std::string value(4, ' ');
  IOsRegistryGet(tide, value, "Count");
  EXPECT_EQ(value, std::string("\x04\x03\x02\x01", 4));
  EXPECT_EQ(InfoError(1), 0);

  // Overrides replace live values; a bare key line removes them.
  EXPECT_EQ(read("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                 "ProcessorNameString", 100),
            "Test Core Duo" + std::string(87, ' '));
  useOverrides("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0\n");
  read("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
       "ProcessorNameString", 100);
  EXPECT_EQ(type, -2);
}

TEST_F(RegistryTest, ProcessorNameComesFromTheMachine) {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line, model;
  while (model.empty() && std::getline(cpuinfo, line))
    if (line.rfind("model name", 0) == 0) model = line.substr(line.find(':') + 2);

  const std::string name =
      read("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
           "ProcessorNameString", 100);
  if (model.empty()) {
    EXPECT_EQ(type, -2);
  } else {
    EXPECT_EQ(type, 1);
    EXPECT_EQ(name, (model + std::string(100, ' ')).substr(0, 100));
  }
}

// The start-up's way to the screen size: characters 58 to 100 of the
// Video0 text complete the settings key.
TEST_F(RegistryTest, VideoEntryLeadsToTheScreenSize) {
  const std::string video0 = read("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\VIDEO", "\\Device\\Video0", 100);
  ASSERT_EQ(type, 1);
  std::string key = "HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Control\\VIDEO\\";
  ASSERT_EQ(key.size(), 59u);
  key += video0.substr(57, 43);
  key.resize(108, ' ');
  EXPECT_EQ(toolkit::TrimTrailingBlanks(key), toolkit::kVideoSettingsKey);

  auto number = [&](const std::string& name) {
    const std::string bytes = read(key, name, 4);
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = n << 8 | static_cast<unsigned char>(bytes[i]);
    return static_cast<int>(n);
  };

  // Without a GUI there is no screen to measure.
  number("DefaultSettings.XResolution");
  EXPECT_EQ(type, -2);

  useOverrides(std::string(toolkit::kVideoSettingsKey) + "|DefaultSettings.XResolution|4|1280\n" +
               toolkit::kVideoSettingsKey + "|DefaultSettings.YResolution|4|1024\n");
  EXPECT_EQ(number("DefaultSettings.XResolution"), 1280);
  EXPECT_EQ(type, 4);
  EXPECT_EQ(number("DefaultSettings.YResolution"), 1024);
  unsetenv("TIDECHARTER_REGISTRY");

  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  int argc = 1;
  char name[] = "toolkit_os_tests";
  char* argv[] = {name, nullptr};
  QGuiApplication app(argc, argv);
  const QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const double ratio = screen->devicePixelRatio();
  EXPECT_EQ(number("DefaultSettings.XResolution"),
            static_cast<int>(std::lround(screen->geometry().width() * ratio)));
  EXPECT_EQ(type, 4);
  EXPECT_EQ(number("DefaultSettings.YResolution"),
            static_cast<int>(std::lround(screen->geometry().height() * ratio)));
  EXPECT_GT(number("DefaultSettings.YResolution"), 0);
}

}  // namespace
