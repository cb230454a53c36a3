#include <gtest/gtest.h>

#include "drive_root.h"
#include "update/end_dates.h"

namespace {

const std::string kTwoLines = " header\n second\n";

TEST(EndDates, ReadsLineThreeAfterTwentyThreeColumns) {
  DriveRoot drive;
  drive.write("tmp/ArgoEndDate.txt", kTwoLines + " ARGO END DATE INDEX =   56   (Aug 2008)\n");
  EXPECT_EQ(readenddatefile("c:\\tidecharter\\tmp\\ArgoEndDate.txt"), 56);

  drive.write("tmp/x.txt", kTwoLines + std::string(23, '#') + "  56");
  EXPECT_EQ(readenddatefile("c:\\tidecharter\\tmp\\x.txt"), 56);

  // Windows line ends and a field cut short by the end of the line.
  drive.write("tmp/x.txt", kTwoLines + std::string(23, '#') + "  7\r\n");
  EXPECT_EQ(readenddatefile("c:\\tidecharter\\tmp\\x.txt"), 7);
}

TEST(EndDates, UnreadableFilesGiveOneHundred) {
  DriveRoot drive;
  const std::string path = "c:\\tidecharter\\tmp\\x.txt";
  drive.write("tmp/x.txt", kTwoLines);
  EXPECT_EQ(readenddatefile(path), 100);
  drive.write("tmp/x.txt", "");
  EXPECT_EQ(readenddatefile(path), 100);
  drive.write("tmp/x.txt", kTwoLines + "short\n");
  EXPECT_EQ(readenddatefile(path), 100);
  drive.write("tmp/x.txt", kTwoLines + std::string(23, ' ') + "5x6\n");
  EXPECT_EQ(readenddatefile(path), 100);
  drive.write("tmp/x.txt", std::string("\0\xff\n\0\n\xfe\xfd", 7));
  EXPECT_EQ(readenddatefile(path), 100);
  EXPECT_EQ(readenddatefile("c:\\tidecharter\\tmp\\missing.txt"), 100);
}

TEST(EndDates, MissingAvisoFileLeavesTheOthersRead) {
  DriveRoot drive;
  drive.write("tmp/ArgoEndDate.txt", kTwoLines + std::string(23, ' ') + "  56\n");
  drive.write("tmp/ReynoldsEndDate.txt", kTwoLines + std::string(23, ' ') + "  61\n");
  int argoend = 0, avisoend = 0, reynoldsend = 0;
  getenddates(argoend, avisoend, reynoldsend);
  EXPECT_EQ(argoend, 56);
  EXPECT_EQ(avisoend, 100);
  EXPECT_EQ(reynoldsend, 61);
}

// The start-up recovery runs for a commit stopped half way, and for what
// a killed import left in tmp; otherwise it costs nothing.
TEST(EndDates, RecoveryRunsWhenSomethingWasLeft) {
  DriveRoot drive;
  drive.write("bin/tc_update_check.py", "#!/bin/sh\necho \"$@\" >> \"$0.ran\"\n");
  std::filesystem::permissions(drive.path("bin/tc_update_check.py"), std::filesystem::perms::owner_all);
  finishstoppedcommit();
  EXPECT_FALSE(drive.exists("bin/tc_update_check.py.ran"));
  std::filesystem::create_directory(drive.path("tmp/.import-derived-x"));
  finishstoppedcommit();
  EXPECT_EQ(drive.read("bin/tc_update_check.py.ran"), "recover\n");
}

}  // namespace
