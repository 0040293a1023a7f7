// The card's tray icon and menu, with and without a notification area.
#include "CardTestSupport.h"

#include "card/TrayIcon.h"
#include "platform/Icons.h"
#include "platform/services/NotifyIcon.h"

#include <chrono>
#include <thread>

namespace {

class CardTrayTest : public CardTest {
 public:
  // Counts the menu's openings; each is dismissed once it tracks.
  void WatchMenu() {
    card->pmTray->OnPopup = [this](TObject*) {
      ++MenuOpened;
      Dismissers.emplace_back([] {
        for (int i = 0; i < 300 && !TPopupMenu::Tracking(); ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
        TPopupMenu::CancelTracking();
      });
    };
  }
  void TearDown() override {
    for (auto& t : Dismissers) t.join();
    CardTest::TearDown();
  }
  std::vector<std::thread> Dismissers;
  void RightPressOnCard() {
    HeadlessAdvance(GetDoubleClickTime() + 1);  // a press of its own, no double click
    RECT r = CardRect();
    HeadlessMouseMove((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    HeadlessMouseDown(THeadlessButton::Right);
    HeadlessPumpMessages();
    HeadlessMouseUp(THeadlessButton::Right);
    HeadlessPumpMessages();
  }
  int MenuOpened = 0;
};

TEST_F(CardTrayTest, TheIconShowsTheProgramsIconAndOpensTheMenu) {
  WriteConfig();
  Start();
  hk::TrayIconRecord icon;
  ASSERT_TRUE(card->TrayIconDocked());
  ASSERT_TRUE(hk::FindTrayIcon(card->TrayIcon->NotifyData().hWnd, card->TrayIcon->NotifyId(), &icon));
  EXPECT_NE(icon.Icon, nullptr);
  // The area's own copy of the program's icon.
  int w = 0, h = 0, cw = 0, ch = 0;
  std::vector<uint32_t> shown, own;
  ASSERT_TRUE(GetIconPixels(icon.Icon, &w, &h, &shown));
  ASSERT_TRUE(GetIconPixels(card->TrayIcon->Icon().Handle(), &cw, &ch, &own));
  EXPECT_EQ(shown, own);
  EXPECT_EQ(Application->Icon().Width(), 24);
  EXPECT_EQ(card->TrayIcon->PopupMenu(), card->pmTray);
  WatchMenu();
  HeadlessMouseMove(1200, 1000);
  hk::NotifyTrayIconEvent(icon.Window, icon.Id, WM_RBUTTONDOWN);
  HeadlessPumpMessages();
  EXPECT_EQ(MenuOpened, 1);
  hk::NotifyTrayIconEvent(icon.Window, icon.Id, WM_RBUTTONUP);
  HeadlessPumpMessages();
  EXPECT_EQ(MenuOpened, 1);
  // With a notification area the card itself has no menu.
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 1);
  // The program's end takes the icon away.
  Finish();
  EXPECT_TRUE(hk::TrayIcons().empty());
}

TEST_F(CardTrayTest, WithoutANotificationAreaTheCardOpensTheMenu) {
  hk::SetNotificationAreaPresent(false);
  WriteConfig();
  Start();
  EXPECT_FALSE(card->TrayIconDocked());
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  WatchMenu();
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 1);
  auto passesClicks = [&] { return (GetWindowLongA(CardWindow(), GWL_EXSTYLE) & WS_EX_TRANSPARENT) != 0; };
  // Lock waits for a notification area: the card is still the way to the menu.
  card->Lock1->Click();
  EXPECT_TRUE(card->Lock1->Checked());
  EXPECT_FALSE(passesClicks());
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 2);
  // A notification area appears: the icon docks and takes over, and the
  // locked card lets clicks through.
  hk::SetNotificationAreaPresent(true);
  HeadlessPumpMessages();
  EXPECT_TRUE(card->TrayIconDocked());
  EXPECT_TRUE(passesClicks());
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 2);
  // It goes away: by the next refresh the card takes clicks again.
  hk::SetNotificationAreaPresent(false);
  HeadlessAdvance(card->tmrRefresh->Interval() + 100);
  EXPECT_FALSE(card->TrayIconDocked());
  EXPECT_FALSE(passesClicks());
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 3);
}

}  // namespace
