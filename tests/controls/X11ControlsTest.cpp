// Our controls on a real display: text typed through XTest reaches an edit,
// and a popup menu opened on the display chooses the item clicked.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "ControlsForm.h"
#include "classlib/controls/Edits.h"
#include "classlib/controls/Menus.h"
#include "XTestInput.h"

namespace {

class X11ControlsTest : public FormTest {
 protected:
  bool Probe = false;

  void SetUp() override {
    const char* display = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (display == nullptr || *display == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    HeadlessTest::SetUp();
    ASSERT_TRUE(SelectPlatformDriver("x11", display));
    Probe = XTestOpen(display);
    ASSERT_TRUE(Probe);
    FormTest::SetUp();
    Form->SetBounds(100, 100, 300, 200);
  }
  void TearDown() override {
    if (!Probe) return;
    Form.reset();
    ResetPlatformForTests();
    SelectPlatformDriver("headless");
    XTestClose();
  }
  template <typename F>
  bool PumpUntil(F done) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < end) {
      HeadlessPumpMessages();
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }
};

}  // namespace

TEST_F(X11ControlsTest, TextTypedThroughXTestReachesTheEdit) {
  auto* edit = Add<TWideEdit>(10, 10, 200, 21);
  ShowForm();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Form->Handle()) != FALSE; }));
  SetForegroundWindow(Form->Handle());
  edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return edit->Focused(); }));
  POINT over = edit->ClientToScreen(POINT{20, 10});
  XTestMove(over.x, over.y);  // where the pointer is, the keyboard goes too without a window manager
  XTestType("hana");
  EXPECT_TRUE(PumpUntil([&] { return edit->Text() == u"hana"; }));
  XTestType("\b");
  EXPECT_TRUE(PumpUntil([&] { return edit->Text() == u"han"; }));
}

TEST_F(X11ControlsTest, APopupMenuOpensOnTheDisplayAndAClickChooses) {
  ShowForm();
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(Form->Handle()) != FALSE; }));
  TPopupMenu menu(nullptr);
  std::vector<std::string> chosen;
  std::vector<std::unique_ptr<TMenuItem>> items;
  for (const char* caption : {"&Settings", "&About", "&Exit"}) {
    items.push_back(std::make_unique<TMenuItem>(nullptr));
    items.back()->SetCaption(caption);
    items.back()->OnClick = [&, caption](TObject*) { chosen.push_back(caption); };
    menu.Items()->Add(items.back().get());
  }
  std::atomic<bool> done{false}, timedOut{false}, shown{false};
  std::thread user([&] {
    // Wait for the menu's window, then click the second item.
    for (int i = 0; i < 300 && !done && !TPopupMenu::TrackingWindow(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    shown = TPopupMenu::TrackingWindow() != nullptr;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    XTestClick(200 + 30, 150 + 2 + 22 + 11);  // the middle of the second item
    for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
      timedOut = true;
      TPopupMenu::CancelTracking();
    }
  });
  menu.Popup(200, 150);
  done = true;
  user.join();
  EXPECT_TRUE(shown);
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(chosen, std::vector<std::string>{"&About"});
}
