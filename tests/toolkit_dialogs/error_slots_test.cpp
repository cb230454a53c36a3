// The error slots as InfoError reads them.
#include <gtest/gtest.h>

#include "toolkit/error_slots.h"
#include "toolkit/toolkit.h"

namespace {

TEST(ErrorSlots, KindsOneToThreeResetOnRead) {
  toolkit::ResetErrors();
  toolkit::RecordError(1008);
  toolkit::RecordFileError(2, 6);
  toolkit::RecordStartError(5);
  EXPECT_EQ(InfoError(1), 1008);
  EXPECT_EQ(InfoError(1), 0);
  EXPECT_EQ(InfoError(2), 2);
  EXPECT_EQ(InfoError(2), 0);
  EXPECT_EQ(InfoError(3), 5);
  EXPECT_EQ(InfoError(3), 0);
  EXPECT_EQ(InfoError(5), 6);
  EXPECT_EQ(InfoError(5), 6);  // kind 5 stays
  EXPECT_EQ(InfoError(4), 0);
}

TEST(ErrorSlots, OtherKindsRepeatThePreviousResult) {
  toolkit::ResetErrors();
  toolkit::RecordError(1010);
  toolkit::RecordError(1006);  // the last code counts
  EXPECT_EQ(InfoError(1), 1006);
  EXPECT_EQ(InfoError(9), 1006);
  EXPECT_EQ(InfoError(0), 1006);
}

TEST(ErrorSlots, ReportingModeOneWritesTheLine) {
  toolkit::ResetErrors(1);
  testing::internal::CaptureStdout();
  toolkit::RecordError(1009);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Toolkit error 1009: Attempt to store an out of range dialog field value\n");
  EXPECT_EQ(InfoError(4), 1);
  toolkit::ResetErrors();
}

TEST(ErrorSlots, SecondInitialiseChangesNothing) {
  WInitialise();
  toolkit::RecordError(1007);
  WInitialise();
  EXPECT_EQ(InfoError(1), 1007);
}

}  // namespace
