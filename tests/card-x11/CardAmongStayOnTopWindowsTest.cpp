// The card beside other windows that stay on top: a second card, a window
// of another program that raises itself whenever it is covered, a screen
// locker. None of them becomes a fight: the stacking settles, the card
// stays idle, and it is never drawn over a locker.
#include "tests/card-x11/CardDisplayFixture.h"

#include "tests/support/ProcessTimes.h"
#include "tests/x11/OtherClients.h"

namespace {

using hktest::CardOnTheDisplayTest;
using hktest::TWindowManager;

class CardAmongOthersOnTop : public CardOnTheDisplayTest {
 protected:
  // The card of `pid` shown and faded in.
  Window WaitForCardOf(pid_t pid) {
    Window card = 0;
    EXPECT_TRUE(WaitFor([&] { return (card = CardOf(pid)) != 0 && Viewable(card); }, 30)) << "no card of " << pid;
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the fade-in
    return card;
  }
  // Share of a core the processes used over `seconds`, measured together.
  std::vector<double> CpuShares(const std::vector<pid_t>& pids, double seconds) {
    std::vector<double> before;
    for (pid_t p : pids) before.push_back(hktest::CpuSeconds(p));
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    std::vector<double> shares;
    for (size_t i = 0; i < pids.size(); ++i) shares.push_back((hktest::CpuSeconds(pids[i]) - before[i]) / seconds);
    return shares;
  }
  long StackPos(Window w) {
    std::vector<Window> stack = TopWindows();
    return std::find(stack.begin(), stack.end(), TopOf(w)) - stack.begin();
  }
  std::vector<uint32_t> Screen(int x, int y, int w, int h) {
    std::vector<uint32_t> out;
    XImage* img = XGetImage(D, DefaultRootWindow(D), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                            AllPlanes, ZPixmap);
    if (img == nullptr) return out;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) out.push_back(static_cast<uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF);
    XDestroyImage(img);
    return out;
  }
};

class CardAmongStayOnTopWindowsTest : public CardAmongOthersOnTop,
                                      public ::testing::WithParamInterface<TWindowManager> {
 protected:
  TWindowManager WindowManager() const override { return GetParam(); }
};

std::string ManagerName(const testing::TestParamInfo<TWindowManager>& info) {
  return hktest::WindowManagerName(info.param);
}

// Two cards that overlap: once both are shown neither raises itself over
// the other for ever. Each idles as it does alone, the order of the root's
// children stays put and a client watching the root hears next to nothing.
TEST_P(CardAmongStayOnTopWindowsTest, TwoCardsSettleAndIdleAsOneDoesAlone) {
  WriteConfig("FirstRun=0\nRefreshTime=600000\nResizingPointX=400\nResizingPointY=300\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  ASSERT_NE(WaitForCardOf(Card), 0u);
  const double alone = CpuShares({Card}, 5)[0];

  const pid_t second = StartAnotherCard("FirstRun=0\nRefreshTime=600000\nResizingPointX=480\nResizingPointY=340\n").Pid;
  ASSERT_NE(WaitForCardOf(second), 0u);
  hktest::TRootWatcher watcher(Server.Name());
  ASSERT_TRUE(watcher.Connected());
  std::vector<double> before;
  for (pid_t p : {Card, second}) before.push_back(hktest::CpuSeconds(p));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const std::vector<Window> first = TopWindows();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const std::vector<Window> again = TopWindows();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const double one = (hktest::CpuSeconds(Card) - before[0]) / 5, two = (hktest::CpuSeconds(second) - before[1]) / 5;
  const long configures = watcher.Configures;

  std::printf("idle CPU: one card alone %.1f %%; beside a second card %.1f %% and %.1f %%; %ld ConfigureNotify in 5 s\n",
              alone * 100, one * 100, two * 100, configures);
  RecordProperty("IdleAlonePercent", std::to_string(alone * 100));
  RecordProperty("IdleBesideAnotherPercent", std::to_string(std::max(one, two) * 100));
  EXPECT_LT(one, 0.05) << "the first card beside a second";
  EXPECT_LT(two, 0.05) << "the second card beside the first";
  EXPECT_EQ(first, again) << "the stacking order did not settle";
  EXPECT_LT(configures, 20) << "the root's children were restacked " << configures << " times in 5 s";
}

// Another program's override-redirect window that raises itself whenever
// it is covered (a notification) stays above the card, through the card's
// refreshes too, and neither spins.
TEST_P(CardAmongStayOnTopWindowsTest, AWindowThatRaisesItselfStaysAboveTheCard) {
  WriteConfig("FirstRun=0\nRefreshTime=1500\nResizingPointX=400\nResizingPointY=300\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  const Window card = WaitForCardOf(Card);
  ASSERT_NE(card, 0u);
  auto [cx, cy] = Origin(card);
  hktest::TSelfRaiser raiser(Server.Name(), cx + 40, cy + 40, 200, 100, 0x30a030);
  ASSERT_TRUE(raiser.Connected());
  ASSERT_TRUE(WaitFor([&] { return Viewable(raiser.Xid); }, 10));
  const double cpuBefore = hktest::CpuSeconds(Card);
  int samples = 0, covered = 0;
  const auto end = hktest::Clock::now() + std::chrono::seconds(4);  // two refreshes
  while (hktest::Clock::now() < end) {
    ++samples;
    if (Viewable(card) && StackPos(card) > StackPos(raiser.Xid)) ++covered;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const double share = (hktest::CpuSeconds(Card) - cpuBefore) / 4;
  EXPECT_EQ(covered, 0) << "the card was above the window in " << covered << " of " << samples << " samples";
  EXPECT_LT(raiser.Raises, 20) << "the window had to raise itself " << raiser.Raises << " times";
  EXPECT_LT(share, 0.05) << "the card's share of a core beside the window";
}

// A screen locker (i3lock, an override-redirect window that raises itself)
// over a running card: the screen shows the lock where the card is, in
// every sample, through the card's refreshes (each a second apart, which
// is also why the card's own time is not the measure here).
TEST_P(CardAmongStayOnTopWindowsTest, AScreenLockerCoversTheCardThroughItsRefreshes) {
  WriteConfig("FirstRun=0\nAlpha=255\nRefreshTime=1000\nResizingPointX=300\nResizingPointY=300\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  const Window card = WaitForCardOf(Card);
  ASSERT_NE(card, 0u);
  auto [cx, cy] = Origin(card);
  const XWindowAttributes size = Attributes(card);
  const pid_t locker = Spawn("/usr/bin/i3lock", {"-n", "-c", "ff0000"}, (Dir / "i3lock.log").string());
  ASSERT_GT(locker, 0);
  // The whole card's place is red once the lock is up.
  auto locked = [&] {
    std::vector<uint32_t> px = Screen(cx + 10, cy + 10, size.width - 20, size.height - 20);
    return !px.empty() && std::all_of(px.begin(), px.end(), [](uint32_t p) { return p == 0xFF0000; });
  };
  EXPECT_TRUE(WaitFor(locked, 10)) << "the lock did not come up";
  // The locker restacks itself only when it is covered: too quick to be
  // caught on the screen, but every time is seen by a client watching the root.
  Window lock = 0;
  const int sw = DisplayWidth(D, DefaultScreen(D)), sh = DisplayHeight(D, DefaultScreen(D));
  for (Window w : TopWindows()) {
    const XWindowAttributes a = Attributes(w);
    if (a.map_state == IsViewable && a.override_redirect && a.width == sw && a.height == sh) lock = w;
  }
  ASSERT_NE(lock, 0u) << "no window of the locker's";
  hktest::TRootWatcher watcher(Server.Name());
  watcher.Only = lock;
  int samples = 0, shown = 0;
  const double lockerBefore = hktest::CpuSeconds(locker);
  const auto end = hktest::Clock::now() + std::chrono::seconds(3);
  while (hktest::Clock::now() < end) {
    ++samples;
    if (!locked()) ++shown;
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  const double lockerShare = (hktest::CpuSeconds(locker) - lockerBefore) / 3;
  kill(locker, SIGTERM);
  int status = 0;
  waitpid(locker, &status, 0);
  EXPECT_EQ(shown, 0) << "the card showed through the lock in " << shown << " of " << samples << " samples";
  EXPECT_EQ(watcher.Configures, 0) << "the locker had to raise itself over the card " << watcher.Configures << " times";
  // A locker that had to raise itself again and again would show it.
  EXPECT_LT(lockerShare, 0.05) << "the locker's share of a core over the card";
}

INSTANTIATE_TEST_SUITE_P(Managers, CardAmongStayOnTopWindowsTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox), ManagerName);

// Without a window manager, another program's ordinary window that raises
// itself whenever it is covered: the card answers it a few times, then
// leaves it above, and neither spins.
using CardBesideAnOrdinaryWindowOnTopTest = CardAmongOthersOnTop;
TEST_F(CardBesideAnOrdinaryWindowOnTopTest, TheCardLeavesItAboveAfterAFewTries) {
  WriteConfig("FirstRun=0\nRefreshTime=600000\nResizingPointX=400\nResizingPointY=300\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  const Window card = WaitForCardOf(Card);
  ASSERT_NE(card, 0u);
  auto [cx, cy] = Origin(card);
  hktest::TSelfRaiser raiser(Server.Name(), cx + 40, cy + 40, 200, 100, 0x30a030, false);
  ASSERT_TRUE(raiser.Connected());
  ASSERT_TRUE(WaitFor([&] { return Viewable(raiser.Xid); }, 10));
  ASSERT_TRUE(WaitFor([&] { return StackPos(raiser.Xid) > StackPos(card); }, 10)) << "the card kept above it";
  const double cpuBefore = hktest::CpuSeconds(Card);
  const int raisesBefore = raiser.Raises;
  std::this_thread::sleep_for(std::chrono::seconds(3));
  const double share = (hktest::CpuSeconds(Card) - cpuBefore) / 3;
  EXPECT_GT(StackPos(raiser.Xid), StackPos(card)) << "the card went back over it";
  EXPECT_LT(raiser.Raises, 20) << "the window had to raise itself " << raiser.Raises << " times";
  EXPECT_LT(raiser.Raises - raisesBefore, 3) << "the card kept answering it";
  EXPECT_LT(share, 0.05) << "the card's share of a core beside the window";
}

}  // namespace
