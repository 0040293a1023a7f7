#include "common/WindowUtils.h"

#include <gtest/gtest.h>

#include "platform/Modules.h"

namespace {

struct ModuleExportsRestored : ::testing::Test {
  void TearDown() override {
    ResetModuleExports();
    BindLayeredWindowFunctions();
  }
};

}  // namespace

TEST_F(ModuleExportsRestored, BindsAllThreeFromUser32) {
  InitializeWindowUtils();
  EXPECT_EQ(UpdateLayeredWindowFunc, &UpdateLayeredWindow);
  EXPECT_EQ(AnimateWindowFunc, &AnimateWindow);
  EXPECT_EQ(SetLayeredWindowAttributesFunc, &SetLayeredWindowAttributes);
}

TEST_F(ModuleExportsRestored, MissingExportLeavesOnlyItsPointerNil) {
  SetModuleExport("User32.dll", "UpdateLayeredWindow", nullptr);
  BindLayeredWindowFunctions();
  EXPECT_EQ(UpdateLayeredWindowFunc, nullptr);
  EXPECT_NE(AnimateWindowFunc, nullptr);
  EXPECT_NE(SetLayeredWindowAttributesFunc, nullptr);
}
