#include "classlib/controls/Menus.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "ControlsFixture.h"

namespace {

// The card's tray menu, in part: check items, a radio submenu, separators.
class MenusTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    FOwner = std::make_unique<TComponent>(nullptr);
    FMenu = new TPopupMenu(FOwner.get());
    Disable = Item(FMenu->Items(), "&Disable");
    Disable->SetAutoCheck(true);
    Lock = Item(FMenu->Items(), "&Lock");
    Lock->SetAutoCheck(true);
    Resize = Item(FMenu->Items(), "&Resize From");
    Center = Radio("&Center");
    TopLeft = Radio("&Top Left");
    Center->SetChecked(true);
    Item(FMenu->Items(), "-");
    Exit = Item(FMenu->Items(), "&Exit");
  }
  void TearDown() override {
    FOwner.reset();
    HeadlessTest::TearDown();
  }

  TMenuItem* Item(TMenuItem* parent, const char* caption) {
    auto* item = new TMenuItem(FOwner.get());
    item->SetCaption(caption);
    item->OnClick = [this, item](TObject* sender) {
      EXPECT_EQ(sender, item);
      EXPECT_FALSE(TPopupMenu::Tracking());  // the menu is gone first
      Clicked.push_back(item);
    };
    parent->Add(item);
    return item;
  }
  TMenuItem* Radio(const char* caption) {
    TMenuItem* item = Item(Resize, caption);
    item->SetRadioItem(true);
    item->SetGroupIndex(1);
    return item;
  }
  // Tracks the menu with input queued beforehand; a watchdog ends a menu
  // that the input failed to end, so a fault fails instead of hanging.
  void Track(int x = 100, int y = 100) {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) {
        TimedOut = true;
        TPopupMenu::CancelTracking();
      }
    });
    FMenu->Popup(x, y);
    done = true;
    watchdog.join();
  }

  std::unique_ptr<TComponent> FOwner;
  TPopupMenu* FMenu = nullptr;
  TMenuItem *Disable, *Lock, *Resize, *Center, *TopLeft, *Exit;
  std::vector<TMenuItem*> Clicked;
  std::atomic<bool> TimedOut{false};
};

}  // namespace

TEST_F(MenusTest, RadioItemsOfAGroupExcludeEachOther) {
  auto* other = Radio("&Other");
  other->SetGroupIndex(2);
  other->SetChecked(true);
  TopLeft->SetChecked(true);
  EXPECT_FALSE(Center->Checked());
  EXPECT_TRUE(other->Checked());  // another group
  Center->SetChecked(true);
  EXPECT_FALSE(TopLeft->Checked());
}

TEST_F(MenusTest, ClickTogglesAutoCheckFirstAndNothingWhenDisabled) {
  bool checkedInHandler = false;
  Disable->OnClick = [&](TObject*) { checkedInHandler = Disable->Checked(); };
  Disable->Click();
  EXPECT_TRUE(checkedInHandler);
  Lock->SetEnabled(false);
  Lock->Click();
  EXPECT_FALSE(Lock->Checked());
  EXPECT_TRUE(Clicked.empty());
}

TEST_F(MenusTest, CaptionsMnemonicsAndTheTree) {
  struct Case {
    const char* caption;
    const char* plain;
    char hotkey;
  } cases[] = {{"&Disable", "Disable", 'D'}, {"T&op Right", "Top Right", 'O'},
               {"Save && &quit", "Save & quit", 'Q'}, {"None", "None", 0}, {"&&Only", "&Only", 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(StripHotkey(c.caption), c.plain) << c.caption;
    EXPECT_EQ(GetHotkey(c.caption), c.hotkey) << c.caption;
  }
  EXPECT_TRUE(FMenu->Items()->Items(3)->IsLine());
  EXPECT_EQ(FMenu->Items()->Find("resize from"), Resize);
  EXPECT_THROW(Resize->Add(Center), EMenuError);        // already placed
  EXPECT_THROW(Center->Add(FMenu->Items()), EMenuError);  // its own ancestor
  EXPECT_THROW(FMenu->Items()->Items(99), EMenuError);
  delete TopLeft;  // freeing an item takes it out of its parent
  EXPECT_EQ(Resize->Count(), 1);
}

TEST_F(MenusTest, KeysMoveOverSeparatorsAndEnterChoosesAfterTheMenuCloses) {
  MakeFocusWindow();
  // Up wraps to the last item; moving between "Resize From" and "Exit" skips the "-".
  for (int vk : {VK_UP, VK_UP, VK_DOWN, VK_RETURN}) HeadlessKeyPress(vk);
  Track();
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(Clicked, std::vector<TMenuItem*>{Exit});
  EXPECT_EQ(TPopupMenu::TrackingWindow(), nullptr);
}

TEST_F(MenusTest, MnemonicChoosesAndSubmenusOpenWithTheRightKey) {
  MakeFocusWindow();
  HeadlessChars(u"l");
  Track();
  EXPECT_EQ(Clicked, std::vector<TMenuItem*>{Lock});
  EXPECT_TRUE(Lock->Checked());

  Clicked.clear();
  for (int vk : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_DOWN, VK_RETURN}) HeadlessKeyPress(vk);
  Track();
  EXPECT_EQ(Clicked, std::vector<TMenuItem*>{TopLeft});
  EXPECT_FALSE(TimedOut);
}

TEST_F(MenusTest, ItemsSharingAMnemonicAreGoneThroughInTurnAndEnterActs) {
  // The card's "Resize From": "T&op Right" and "B&ottom Right" share O.
  TMenuItem* topRight = Radio("T&op Right");
  Radio("&Bottom Left");
  TMenuItem* bottomRight = Radio("B&ottom Right");
  MakeFocusWindow();
  struct Case {
    const char16_t* chars;
    int then;  // a key after the letters, 0 for none
    std::vector<TMenuItem*> clicked;
  } cases[] = {
      {u"ro", VK_RETURN, {topRight}},            // one press selects the first, Enter acts
      {u"roo", VK_RETURN, {bottomRight}},        // a second press moves on
      {u"rooo", VK_RETURN, {topRight}},          // and round
      {u"ro", VK_ESCAPE, {}},                    // the press alone acts on nothing
      {u"rc", 0, {Center}},                      // a letter of one item acts at once
      {u"rt", 0, {TopLeft}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.chars, c.chars + std::char_traits<char16_t>::length(c.chars)));
    Clicked.clear();
    HeadlessChars(c.chars);
    if (c.then) HeadlessKeyPress(c.then);
    if (c.then == VK_ESCAPE) HeadlessKeyPress(VK_ESCAPE);  // the submenu, then the menu
    Track();
    EXPECT_FALSE(TimedOut);
    EXPECT_EQ(Clicked, c.clicked);
  }
}

TEST_F(MenusTest, EscapeAndAClickElsewhereDismissWithoutChoosing) {
  MakeFocusWindow();
  for (int vk : {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_ESCAPE, VK_ESCAPE}) HeadlessKeyPress(vk);
  Track();
  EXPECT_FALSE(TimedOut);
  HeadlessClick(600, 500);
  Track();
  EXPECT_FALSE(TimedOut);
  EXPECT_TRUE(Clicked.empty());
}

TEST_F(MenusTest, MouseChoosesButTheReleaseOfTheOpeningPressDoesNot) {
  MakeFocusWindow();
  // The right button went down on a tray icon at (100, 100) and opened the
  // menu there: its release over the first item chooses nothing.
  HeadlessMouseMove(100, 100);
  HeadlessMouseUp(THeadlessButton::Right);
  HeadlessClick(130, 100 + 2 + 22 + 11);  // the middle of the second item
  Track();
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(Clicked, std::vector<TMenuItem*>{Lock});
}

TEST_F(MenusTest, TheMenuTakesTheKeysWithNoWindowFocused) {
  // Opened from a tray icon, the program has no focus window: the keys are
  // the menu's all the same.
  ASSERT_EQ(GetFocus(), nullptr);
  for (int vk : {VK_DOWN, VK_DOWN, VK_RETURN}) HeadlessKeyPress(vk);
  Track();
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(Clicked, std::vector<TMenuItem*>{Lock});
  Clicked.clear();
  HeadlessChars(u"e");
  Track();
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(Clicked, std::vector<TMenuItem*>{Exit});
}

TEST_F(MenusTest, AMenuOpenedAtTheScreensCornerOpensLeftOfAndAboveTheCursor) {
  int screenW = GetSystemMetrics(SM_CXSCREEN), screenH = GetSystemMetrics(SM_CYSCREEN);
  RECT shown{};
  // Looked at once the window is there, then dismissed.
  std::thread look([&] {
    for (int i = 0; i < 300 && !TPopupMenu::TrackingWindow(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (HWND w = TPopupMenu::TrackingWindow()) GetWindowRect(w, &shown);
    TPopupMenu::CancelTracking();
  });
  Track(screenW - 3, screenH - 3);
  look.join();
  EXPECT_FALSE(TimedOut);
  EXPECT_EQ(shown.right, screenW - 3);
  EXPECT_EQ(shown.bottom, screenH - 3);
  EXPECT_GE(shown.left, 0);
  EXPECT_GE(shown.top, 0);
}

TEST_F(MenusTest, AnItemMayFreeItselfFromItsOwnClick) {
  // What the handler holds stays alive until it returns.
  int ran = 0;
  std::string seen;
  auto* item = new TMenuItem(FOwner.get());
  std::string kept(64, 'k');  // too long to live inside the handler object
  item->OnClick = [&ran, &seen, item, kept](TObject*) {
    FreeComponent(item);
    seen = kept;
    ++ran;
  };
  FMenu->Items()->Add(item);
  item->Click();
  EXPECT_EQ(ran, 1);
  EXPECT_EQ(seen, kept);
  EXPECT_EQ(FMenu->Items()->IndexOf(item), -1);
}
