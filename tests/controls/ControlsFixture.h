// A clean headless platform with the fixed-metric font engine for each test, with a focused top-level window
// that key input goes to.
#pragma once

#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"
#include "platform/text/FontEngine.h"

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPlatformForTests();
    UseVirtualClock(true);
    // Fixed metrics: layouts exact and independent of the installed fonts.
    SetFontEngine(CreateFakeFontEngine());
  }
  void TearDown() override { ResetPlatformForTests(); }

  // A plain visible window at (x, y) with the focus.
  HWND MakeFocusWindow(int x = 0, int y = 0, int w = 200, int h = 150);
};
