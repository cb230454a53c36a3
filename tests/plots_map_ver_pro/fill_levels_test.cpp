// Typed fill levels go onto Ferret's go line: only level groups may pass.
#include <gtest/gtest.h>

#include "plots/fill_levels.h"

TEST(FillTextValid, LevelGroupsPass) {
  for (const char* text : {"", "(8,22,2)(22,32,1)", "(2,6,.5)(6,12,1)(12,32,2)", "(-2,30,0.5)",
                           "(1e-3,1,+.1)", "(-inf)(0,30,2)(inf)", "(0,20,2)C", "(8,22,2)    "}) {
    EXPECT_TRUE(filltextvalid(text)) << '"' << text << '"';
  }
}

TEST(FillTextValid, AnythingThatCouldEndTheCommandIsRefused) {
  for (const char* text : {"(8,22,2);cancel data/all", "(8,22,2) (22,32,1)", " (8,22,2)", "(8,22,2)\"",
                           "(8,22,2)\n(1,2,1)", "(8,22,2)!", "(a,b,c)", "levels", "(8,22,2)x",
                           "(8,22,2", "()", "8,22,2", "(8,22\t,2)"}) {
    EXPECT_FALSE(filltextvalid(text)) << '"' << text << '"';
  }
}
