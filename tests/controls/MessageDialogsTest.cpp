#include "classlib/controls/MessageDialogs.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "ControlsFixture.h"
#include "classlib/controls/Buttons.h"

namespace {

class MessageDialogsTest : public HeadlessTest {
 protected:
  // Shows the window with input queued; a watchdog ends a box the input
  // failed to end.
  int Show(UINT type) {
    hk::MessageBoxRecord box;
    box.Text = "Please enter valid number";
    box.Caption = "Error";
    box.Type = type;
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) {
        TimedOut = true;
        hk::CancelMessageBoxWindow();
      }
    });
    int answer = hk::ShowMessageBoxWindow(box);
    done = true;
    watchdog.join();
    return answer;
  }
  std::atomic<bool> TimedOut{false};
};

}  // namespace

TEST_F(MessageDialogsTest, EnterTakesTheDefaultButtonEscapeTheCancelOne) {
  HeadlessKeyPress(VK_RETURN);
  EXPECT_EQ(Show(MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION), IDNO);
  HeadlessKeyPress(VK_ESCAPE);
  EXPECT_EQ(Show(MB_YESNOCANCEL), IDCANCEL);
  HeadlessKeyPress(VK_ESCAPE);
  EXPECT_EQ(Show(MB_OK | MB_ICONERROR), IDOK);  // one button: Escape is it
  HeadlessKeyPress(VK_TAB);  // from Retry to Cancel
  HeadlessKeyPress(VK_SPACE);
  EXPECT_EQ(Show(MB_RETRYCANCEL), IDCANCEL);
  EXPECT_FALSE(TimedOut);
}

namespace {

struct TStackSeen {
  HWND Box = nullptr, Owner = nullptr, AtCardCentre = nullptr;
  bool BoxTopmost = false;
};
TStackSeen gSeen;
HWND gCard = nullptr;

// Runs inside the box's modal loop: what is on top where the card is.
LRESULT LookProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m != WM_USER + 7) return DefWindowProcA(h, m, w, l);
  gSeen.Box = GetActiveWindow();
  gSeen.Owner = GetWindow(gSeen.Box, GW_OWNER);
  gSeen.BoxTopmost = (GetWindowLongPtrA(gSeen.Box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  RECT box{};
  GetWindowRect(gSeen.Box, &box);
  HWND at = WindowFromPoint(POINT{box.left + 5, box.top + 5});
  gSeen.AtCardCentre = at ? GetAncestor(at, GA_ROOT) : nullptr;
  hk::CancelMessageBoxWindow();
  return 0;
}

}  // namespace

TEST_F(MessageDialogsTest, ABoxOpensAboveTheProgramsStayOnTopWindowAndBelongsToItsOwner) {
  // A stay-on-top card over the whole screen, shown without activation.
  TComponentPtr<TForm> card(new TForm(nullptr));
  card->InitializeForm();
  card->SetBorderStyle(bsNone);
  card->SetFormStyle(fsStayOnTop);
  card->SetBounds(0, 0, 1280, 1024);
  ShowWindow(card->Handle(), SW_SHOWNOACTIVATE);
  card->TControl::SetVisible(true);
  gCard = card->Handle();
  HWND look = CreateHelperWindow(&LookProc);
  // A box of the program as a whole (no window, or the application's, as
  // the card's About box) belongs to the card as one given the card does.
  for (HWND owner : {static_cast<HWND>(nullptr), Application->Handle(), gCard}) {
    gSeen = {};
    PostMessageA(look, WM_USER + 7, 0, 0);
    hk::MessageBoxRecord box;
    box.Owner = owner;
    box.Text = "Hanakumo Card 1.0";
    box.Caption = "About";
    hk::ShowMessageBoxWindow(box);
    ASSERT_NE(gSeen.Box, nullptr);
    EXPECT_NE(gSeen.Box, gCard);
    EXPECT_TRUE(gSeen.BoxTopmost);
    EXPECT_EQ(gSeen.AtCardCentre, gSeen.Box) << "the box is hidden behind the card";
    EXPECT_EQ(gSeen.Owner, gCard);
  }
  DestroyWindow(look);
}

TEST_F(MessageDialogsTest, ABoxOfTheProgramBelongsToTheActiveFormElseTheMainFormAndAControlsToItsForm) {
  auto makeForm = [](const char* caption) {
    TForm* form = nullptr;
    Application->CreateForm(form);  // the first made is the main form
    form->SetCaption(caption);
    form->SetBounds(100, 100, 300, 200);
    return form;
  };
  TForm* main = makeForm("Main");
  TForm* dialog = makeForm("Dialog");
  auto* button = new TButton(dialog);
  button->SetParent(dialog);
  EXPECT_EQ(hk::MessageBoxOwner(nullptr), nullptr) << "nothing is shown";
  main->Show();
  EXPECT_EQ(hk::MessageBoxOwner(Application->Handle()), main->Handle());
  dialog->Show();
  SetActiveWindow(dialog->Handle());
  EXPECT_EQ(hk::MessageBoxOwner(Application->Handle()), dialog->Handle());
  EXPECT_EQ(hk::MessageBoxOwner(nullptr), dialog->Handle());
  EXPECT_EQ(hk::MessageBoxOwner(button->Handle()), dialog->Handle());
  EXPECT_EQ(hk::MessageBoxOwner(main->Handle()), main->Handle());
  DoneApplication();
}

// As a dialog's end does, the box gives the keyboard back to its owner,
// which it kept disabled while it was up; without a window manager nothing
// else would.
TEST_F(MessageDialogsTest, TheOwnerIsActiveAgainOnceTheBoxIsAnswered) {
  TComponentPtr<TForm> owner(new TForm(nullptr));
  owner->InitializeForm();
  owner->SetBounds(100, 100, 300, 200);
  owner->Show();
  ASSERT_EQ(GetActiveWindow(), owner->Handle());
  HeadlessKeyPress(VK_RETURN);
  hk::MessageBoxRecord box;
  box.Owner = owner->Handle();
  box.Text = "The dictionary file edict.txt holds no entry.";
  box.Caption = "Hanakumo Dictionary";
  box.Type = MB_OK | MB_ICONERROR;
  EXPECT_EQ(hk::ShowMessageBoxWindow(box), IDOK);
  EXPECT_TRUE(IsWindowEnabled(owner->Handle()));
  EXPECT_EQ(GetActiveWindow(), owner->Handle());
}

namespace {

// Runs inside the box's modal loop: the box's client height.
int gBoxHeight = 0;
LRESULT MeasureProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m != WM_USER + 8) return DefWindowProcA(h, m, w, l);
  RECT r{};
  GetClientRect(GetActiveWindow(), &r);
  gBoxHeight = r.bottom - r.top;
  hk::CancelMessageBoxWindow();
  return 0;
}

}  // namespace

// A long text makes the box taller, not cut; so does a path too long for
// a line, broken at its edge.
TEST_F(MessageDialogsTest, ALongTextMakesTheBoxTaller) {
  HWND measure = CreateHelperWindow(&MeasureProc);
  std::vector<int> heights;
  std::string many = "The marker list cannot be read:";
  for (int i = 0; i < 40; ++i) many += " no such file";
  const std::string path = "The dictionary file /" + std::string(300, 'd') + "/edict.txt cannot be read.";
  for (const std::string& text : {std::string("Short."), many, path}) {
    PostMessageA(measure, WM_USER + 8, 0, 0);
    hk::MessageBoxRecord box;
    box.Text = text;
    box.Caption = "Hanakumo Dictionary";
    box.Type = MB_OK | MB_ICONERROR;
    hk::ShowMessageBoxWindow(box);
    heights.push_back(gBoxHeight);
  }
  DestroyWindow(measure);
  EXPECT_EQ(heights[0], 130);
  EXPECT_GT(heights[1], 130 + 13);
  EXPECT_GT(heights[2], 130) << "a path too long for a line is broken, not cut";
}
