// A form that becomes active gives the keyboard focus to its active control,
// else to the first control in tab order, so typing needs no click first.
#include "ControlsForm.h"
#include "classlib/controls/Edits.h"

namespace {

class FormFocusTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Second = Add<TWideEdit>(10, 50, 200, 21);
    Second->SetTabOrder(1);
    First = Add<TWideEdit>(10, 10, 200, 21);
    First->SetTabOrder(0);
  }
  HWND Focus() { return GetFocus(); }
  TWideEdit* First = nullptr;
  TWideEdit* Second = nullptr;
};

}  // namespace

TEST_F(FormFocusTest, AShownFormFocusesItsFirstControlInTabOrder) {
  ShowForm();
  EXPECT_EQ(Focus(), First->Handle());
  HeadlessChars(u"water");
  HeadlessPumpMessages();
  EXPECT_EQ(First->Text(), u"water");
}

TEST_F(FormFocusTest, TheActiveControlIsFocusedAndComesBackAfterDeactivationAndMinimise) {
  Form->SetActiveControl(Second);
  ShowForm();
  EXPECT_EQ(Focus(), Second->Handle());
  First->SetFocus();
  // Another window takes the activation, then the form gets it back.
  HWND other = MakeFocusWindow(300, 300, 50, 50);
  EXPECT_NE(Focus(), First->Handle());
  SetActiveWindow(Form->Handle());
  HeadlessPumpMessages();
  EXPECT_EQ(Focus(), First->Handle());
  ShowWindow(Form->Handle(), SW_MINIMIZE);
  HeadlessPumpMessages();
  ShowWindow(Form->Handle(), SW_RESTORE);
  HeadlessPumpMessages();
  EXPECT_EQ(Focus(), First->Handle());
  // A control that has gone is no active control any more.
  First->SetFocus();
  SetActiveWindow(other);
  FreeComponent(First);
  First = nullptr;
  EXPECT_EQ(Form->ActiveControl(), nullptr);
  SetActiveWindow(Form->Handle());
  HeadlessPumpMessages();
  EXPECT_EQ(Focus(), Second->Handle());
}
