// The card's tray icon and menu, with and without a notification area.
#include "CardTestSupport.h"

#include "card/TrayIcon.h"
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
  EXPECT_EQ(icon.Icon, card->TrayIcon->Icon().Handle());
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
  card->Lock1->Click();  // a locked card lets the press through
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 1);
  card->Lock1->Click();
  // A notification area appears: the icon docks and takes over.
  hk::SetNotificationAreaPresent(true);
  HeadlessPumpMessages();
  EXPECT_TRUE(card->TrayIconDocked());
  RightPressOnCard();
  EXPECT_EQ(MenuOpened, 1);
}

}  // namespace
