#include "platform/Resources.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Resources, FoundByTypeAndNameWithoutRegardToCase) {
  HRSRC r = FindResourceA(nullptr, "testimage", "png");
  ASSERT_NE(r, nullptr);
  HGLOBAL g = LoadResource(nullptr, r);
  ASSERT_EQ(SizeofResource(nullptr, r), 15u);
  EXPECT_EQ(std::memcmp(LockResource(g), "hello resource\n", 15), 0);
}

TEST(Resources, MissingOrForeignLookupsAreRefused) {
  EXPECT_EQ(FindResourceA(nullptr, "NOSUCH", "PNG"), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, "TESTIMAGE", "GIF"), nullptr);
  EXPECT_EQ(FindResourceA(nullptr, nullptr, "PNG"), nullptr);
  int local = 0;
  HRSRC foreign = reinterpret_cast<HRSRC>(&local);
  EXPECT_EQ(LoadResource(nullptr, foreign), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, foreign), 0u);
}

TEST(Resources, LanguageIsMatchedWhenAsked) {
  EXPECT_NE(FindResourceExA(nullptr, "RCDATA", "TESTFORM", 1041), nullptr);
  EXPECT_EQ(FindResourceExA(nullptr, "RCDATA", "TESTFORM", 1033), nullptr);
  EXPECT_NE(FindResourceExA(nullptr, "PNG", "TESTIMAGE", 1033), nullptr);  // neutral serves any
}
