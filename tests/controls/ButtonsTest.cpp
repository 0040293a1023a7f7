#include "classlib/controls/Buttons.h"

#include "ControlsForm.h"
#include "classlib/controls/DialogKeys.h"
#include "classlib/controls/Edits.h"

namespace {

// The settings dialog's shape: an edit, a check box, OK (Default) and
// Cancel (Cancel).
class ButtonsTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Edit = Add<TEdit>(16, 32, 185, 21);
    Edit->SetTabOrder(0);
    Check = Add<TCheckBox>(16, 200, 265, 17);
    Check->SetCaption("&Lock");
    Check->SetTabOrder(1);
    Ok = Add<TButton>(128, 250, 75, 25);
    Ok->SetCaption("&OK");
    Ok->SetDefault(true);
    Ok->SetTabOrder(3);  // out of creation order on purpose
    Cancel = Add<TButton>(208, 250, 75, 25);
    Cancel->SetCaption("&Cancel");
    Cancel->SetCancel(true);
    Cancel->SetTabOrder(2);
    Ok->OnClick = [this](TObject*) { Events.push_back("ok"); };
    Cancel->OnClick = [this](TObject*) { Events.push_back("cancel"); };
    Check->OnClick = [this](TObject*) { Events.push_back(Check->Checked() ? "checked" : "unchecked"); };
    ShowForm();
    Edit->SetFocus();
    HeadlessPumpMessages();
  }
  TWinControl* Focus() {
    for (TWinControl* c : {static_cast<TWinControl*>(Edit), static_cast<TWinControl*>(Check),
                           static_cast<TWinControl*>(Ok), static_cast<TWinControl*>(Cancel)})
      if (c->Focused()) return c;
    return nullptr;
  }

  TEdit* Edit;
  TCheckBox* Check;
  TButton *Ok, *Cancel;
  std::vector<std::string> Events;
};

}  // namespace

TEST_F(ButtonsTest, TabFollowsTabOrderBothWaysAndWraps) {
  std::vector<TWinControl*> seen;
  for (int i = 0; i < 4; ++i) {
    Keys({VK_TAB});
    seen.push_back(Focus());
  }
  EXPECT_EQ(seen, (std::vector<TWinControl*>{Check, Cancel, Ok, Edit}));
  HeadlessKeyDown(VK_SHIFT);
  Keys({VK_TAB});
  HeadlessKeyUp(VK_SHIFT);
  EXPECT_EQ(Focus(), Ok);
  Check->SetEnabled(false);  // skipped while disabled
  Edit->SetFocus();
  Keys({VK_TAB});
  EXPECT_EQ(Focus(), Cancel);
}

TEST_F(ButtonsTest, EnterPressesTheDefaultButtonWithoutMovingTheFocusEscapeTheCancel) {
  Edit->SetText("0");
  Keys({VK_RETURN});
  EXPECT_EQ(Focus(), Edit);
  Keys({VK_ESCAPE});
  Cancel->SetFocus();
  Keys({VK_RETURN});  // a focused button is pressed by Enter itself
  EXPECT_EQ(Events, (std::vector<std::string>{"ok", "cancel", "cancel"}));
}

TEST_F(ButtonsTest, CheckBoxTogglesBySpaceClickMnemonicAndCode) {
  Check->SetFocus();
  Keys({VK_SPACE});
  ClickAt(Check, 5, 8);
  Chord(VK_MENU, 'L');  // Alt+L names "&Lock"
  Check->SetChecked(false);  // already unchecked: nothing
  Check->SetChecked(true);   // a change in code fires OnClick too
  EXPECT_EQ(Events, (std::vector<std::string>{"checked", "unchecked", "checked", "unchecked", "checked"}));
  Check->AllowGrayed = true;
  Check->Click();
  EXPECT_EQ(Check->State(), cbGrayed);
}

TEST_F(ButtonsTest, AButtonClicksOnReleaseInsideOnly) {
  ClickAt(Ok, 10, 10);
  EXPECT_EQ(Events, std::vector<std::string>{"ok"});
  EXPECT_EQ(Focus(), Ok);
  POINT in = Ok->ClientToScreen(POINT{10, 10});
  POINT out = Ok->ClientToScreen(POINT{10, 80});
  HeadlessMouseMove(in.x, in.y);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(out.x, out.y);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_EQ(Events.size(), 1u);
  Chord(VK_MENU, 'C');
  EXPECT_EQ(Events.back(), "cancel");
}

TEST_F(ButtonsTest, DefaultButtonIsDrawnWithADoubleFrame) {
  HeadlessPumpMessages();
  uint32_t okInner = HeadlessPixel(Ok->Handle(), 1, 12) & 0xFFFFFF;
  uint32_t cancelInner = HeadlessPixel(Cancel->Handle(), 1, 12) & 0xFFFFFF;
  EXPECT_NE(okInner, cancelInner);
  EXPECT_EQ(FindNextControl(Form.get(), nullptr, true), Edit);
}

TEST_F(ButtonsTest, ControlsSharingAMnemonicTakeTheFocusInTurnAndOneAlonePresses) {
  auto* centre = Add<TCheckBox>(16, 224, 265, 17);
  centre->SetCaption("&Center");
  centre->SetTabOrder(4);
  centre->OnClick = [this](TObject*) { Events.push_back("centre"); };
  Edit->SetFocus();
  // Alt+C names "&Cancel" and "&Center": the focus goes round them, in tab
  // order from the focused control, and nothing is pressed.
  std::vector<TWinControl*> seen;
  for (int i = 0; i < 3; ++i) {
    Chord(VK_MENU, 'C');
    seen.push_back(Focus() ? Focus() : (centre->Focused() ? centre : nullptr));
  }
  EXPECT_EQ(seen, (std::vector<TWinControl*>{Cancel, centre, Cancel}));
  EXPECT_TRUE(Events.empty());
  Chord(VK_MENU, 'O');  // one control alone: pressed at once
  EXPECT_EQ(Events, std::vector<std::string>{"ok"});
}
