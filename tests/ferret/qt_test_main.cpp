// Test entry for the tests that need the toolkit's windows: initialises the
// toolkit off screen and loads the dialogs the tests drive.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "toolkit/toolkit.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  WInitialise();
  WindowOpen(128);
  WDialogLoad(103);
  WDialogLoad(107);
  return RUN_ALL_TESTS();
}
