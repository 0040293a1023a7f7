// Timers on the virtual clock: only through the loop, coalesced, restarted.
#include "WindowTestUtil.h"

namespace {

class TimersTest : public PlatformTest {
 protected:
  size_t Ticks(HWND h, UINT_PTR id) {
    size_t n = 0;
    for (auto& m : Logged(WM_TIMER, h)) n += m.WParam == id;
    return n;
  }
};

TEST_F(TimersTest, TicksComeOnlyThroughTheLoopAndCoalesce) {
  HWND h = MakeTop(0, 0, 10, 10);
  ASSERT_EQ(SetTimer(h, 5, 100, nullptr), 5u);
  AdvanceClock(1000);
  EXPECT_EQ(Ticks(h, 5), 0u);  // nothing without the loop
  HeadlessPumpMessages();
  EXPECT_EQ(Ticks(h, 5), 1u);  // ten missed periods are one tick
  HeadlessAdvance(99);
  EXPECT_EQ(Ticks(h, 5), 1u);
  HeadlessAdvance(1);
  EXPECT_EQ(Ticks(h, 5), 2u);
  HeadlessAdvance(350);
  EXPECT_EQ(Ticks(h, 5), 5u);
  EXPECT_TRUE(KillTimer(h, 5));
  EXPECT_FALSE(KillTimer(h, 5));
  HeadlessAdvance(1000);
  EXPECT_EQ(Ticks(h, 5), 5u);
}

TEST_F(TimersTest, SettingAgainRestartsThePeriod) {
  HWND h = MakeTop(0, 0, 10, 10);
  SetTimer(h, 1, 100, nullptr);
  HeadlessAdvance(80);
  SetTimer(h, 1, 100, nullptr);
  HeadlessAdvance(80);
  EXPECT_EQ(Ticks(h, 1), 0u);
  HeadlessAdvance(20);
  EXPECT_EQ(Ticks(h, 1), 1u);
  // A new period takes effect at once.
  SetTimer(h, 1, 500, nullptr);
  HeadlessAdvance(400);
  EXPECT_EQ(Ticks(h, 1), 1u);
  HeadlessAdvance(100);
  EXPECT_EQ(Ticks(h, 1), 2u);
}

int gProcTicks = 0;
void CountingTimerProc(HWND, UINT msg, UINT_PTR, DWORD) {
  if (msg == WM_TIMER) ++gProcTicks;
}

TEST_F(TimersTest, ThreadTimersProceduresAndDestroyedWindows) {
  gProcTicks = 0;
  UINT_PTR a = SetTimer(nullptr, 0, 50, CountingTimerProc);
  UINT_PTR b = SetTimer(nullptr, 0, 50, CountingTimerProc);
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  HeadlessAdvance(50);
  EXPECT_EQ(gProcTicks, 2);
  KillTimer(nullptr, a);
  KillTimer(nullptr, b);
  // Periods below the minimum are raised to it.
  HWND h = MakeTop(0, 0, 10, 10);
  SetTimer(h, 2, 0, nullptr);
  HeadlessAdvance(USER_TIMER_MINIMUM - 1);
  EXPECT_EQ(Ticks(h, 2), 0u);
  HeadlessAdvance(1);
  EXPECT_EQ(Ticks(h, 2), 1u);
  // A destroyed window's timers are gone.
  DestroyWindow(h);
  HeadlessAdvance(100);
  EXPECT_EQ(Ticks(h, 2), 1u);
}

TEST_F(TimersTest, TickCountsWrapAndAutoAdvanceLetsSpinsEnd) {
  SetVirtualClock(0x1FFFFFFF0ull);
  DWORD before = GetTickCount();
  AdvanceClock(0x20);
  DWORD after = GetTickCount();
  EXPECT_LT(after, before);              // the 32-bit count wrapped
  EXPECT_EQ(static_cast<DWORD>(after - before), 0x20u);  // unsigned differences still hold
  EXPECT_EQ(timeGetTime(), after);
  SetClockAutoAdvance(1);
  DWORD start = GetTickCount();
  int spins = 0;
  while (GetTickCount() - start < 200) ++spins;
  EXPECT_GT(spins, 0);
  SetClockAutoAdvance(0);
}

}  // namespace
