// A clean headless platform on the virtual clock for each test.
#pragma once

#include <gtest/gtest.h>

#include "card/TrayIcon.h"
#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"

class CardComponentsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetPlatformForTests();
    UseVirtualClock(true);
    RegisterTrayIconClass();
  }
  void TearDown() override { ResetPlatformForTests(); }
};
