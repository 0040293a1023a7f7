#include "platform/services/MessageBox.h"

#include <gtest/gtest.h>

#include "platform/drivers/headless/Headless.h"

namespace {
class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override { hk::ClearMessageBoxes(); }
  void TearDown() override {
    hk::SetMessageBoxAnswerer(nullptr);
    hk::ClearMessageBoxes();
  }
};
}  // namespace

TEST_F(MessageBoxTest, HeadlessBoxesAreRecordedAndGiveTheDefaultButton) {
  ASSERT_EQ(PlatformDriverName(), "headless");
  EXPECT_EQ(MessageBoxA(nullptr, "Please enter valid number", "Error", MB_ICONERROR), IDOK);
  EXPECT_EQ(MessageBoxA(nullptr, "Sure?", nullptr, MB_YESNO | MB_DEFBUTTON2), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, "t", MB_YESNOCANCEL | MB_DEFBUTTON3), IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, "x", "t", MB_OKCANCEL | MB_DEFBUTTON3), IDOK);  // no third button
  auto shown = hk::MessageBoxesShown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].Text, "Please enter valid number");
  EXPECT_EQ(shown[0].Type & MB_ICONMASK, MB_ICONERROR);
  EXPECT_EQ(shown[1].Caption, "Error");  // a null caption
  EXPECT_EQ(shown[1].Answer, IDNO);
  EXPECT_EQ(shown[2].Text, "");
}

TEST_F(MessageBoxTest, TheTestAnswersAndForeignAnswersFallBackToTheDefault) {
  std::string seen;
  hk::SetMessageBoxAnswerer([&](const hk::MessageBoxRecord& box) {
    seen = box.Caption + ":" + box.Text;
    return box.Caption == "Quit" ? IDYES : IDRETRY;
  });
  EXPECT_EQ(MessageBoxA(nullptr, "Leave now?", "Quit", MB_YESNO), IDYES);
  EXPECT_EQ(seen, "Quit:Leave now?");
  EXPECT_EQ(MessageBoxA(nullptr, "About", "About", MB_OK), IDOK);  // IDRETRY is no button of it
  EXPECT_EQ(hk::MessageBoxButtons(MB_ABORTRETRYIGNORE), (std::vector<int>{IDABORT, IDRETRY, IDIGNORE}));
}
