#include "card/SimpleTimer.h"

#include <memory>

#include "ComponentsFixture.h"
#include "platform/Messages.h"

namespace {

class SimpleTimerTest : public CardComponentsTest {};

}  // namespace

TEST_F(SimpleTimerTest, StartsWithDefaultsAndTicksWithItselfAsSender) {
  int ticks = 0;
  TSimpleTimer timer;
  EXPECT_FALSE(timer.Enabled());
  EXPECT_EQ(timer.Interval(), 1000u);
  EXPECT_FALSE(timer.OneShot);
  timer.SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    ++ticks;
  });
  HeadlessAdvance(5000);
  EXPECT_EQ(ticks, 0);  // stopped until enabled
  timer.SetEnabled(true);
  EXPECT_TRUE(timer.Enabled());
  HeadlessAdvance(999);
  EXPECT_EQ(ticks, 0);
  HeadlessAdvance(1);
  EXPECT_EQ(ticks, 1);
  HeadlessAdvance(2000);
  EXPECT_EQ(ticks, 3);
  timer.SetEnabled(false);
  EXPECT_FALSE(timer.Enabled());
  HeadlessAdvance(5000);
  EXPECT_EQ(ticks, 3);
}

TEST_F(SimpleTimerTest, IntervalZeroRefusesToStartAndPausesARunningTimer) {
  int ticks = 0;
  TSimpleTimer timer(0, [&](TObject*) { ++ticks; });
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Enabled());
  EXPECT_FALSE(timer.StartTimer());

  timer.SetInterval(200);
  EXPECT_FALSE(timer.Enabled());  // a new interval does not start a stopped timer
  timer.SetEnabled(true);
  HeadlessAdvance(200);
  EXPECT_EQ(ticks, 1);
  timer.SetInterval(0);
  EXPECT_TRUE(timer.Enabled());
  HeadlessAdvance(5000);
  EXPECT_EQ(ticks, 1);
  timer.SetInterval(500);
  HeadlessAdvance(499);
  EXPECT_EQ(ticks, 1);
  HeadlessAdvance(1);
  EXPECT_EQ(ticks, 2);
}

TEST_F(SimpleTimerTest, NewIntervalRestartsThePeriodAndTheSameOneDoesNot) {
  int ticks = 0;
  TSimpleTimer timer(1000, [&](TObject*) { ++ticks; });
  timer.SetEnabled(true);
  HeadlessAdvance(600);
  timer.SetInterval(1000);  // same: the period goes on
  HeadlessAdvance(400);
  EXPECT_EQ(ticks, 1);
  HeadlessAdvance(600);
  timer.SetInterval(800);  // new: a full period from now
  HeadlessAdvance(799);
  EXPECT_EQ(ticks, 1);
  HeadlessAdvance(1);
  EXPECT_EQ(ticks, 2);
  // Enabling a running timer starts its period again too.
  HeadlessAdvance(500);
  timer.SetEnabled(true);
  HeadlessAdvance(500);
  EXPECT_EQ(ticks, 2);
  HeadlessAdvance(300);
  EXPECT_EQ(ticks, 3);
}

TEST_F(SimpleTimerTest, NoHandlerStopsTheTimerButKeepsItEnabled) {
  int ticks = 0;
  TSimpleTimer timer(100, [&](TObject*) { ++ticks; });
  timer.SetEnabled(true);
  timer.SetOnTimer(nullptr);
  EXPECT_TRUE(timer.Enabled());
  HeadlessAdvance(1000);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  HeadlessAdvance(1000);
  EXPECT_EQ(ticks, 0);  // a handler alone does not restart it
  timer.SetInterval(150);
  HeadlessAdvance(150);
  EXPECT_EQ(ticks, 1);
}

TEST_F(SimpleTimerTest, OneShotStopsAfterItsFirstTick) {
  int ticks = 0;
  TSimpleTimer timer(100, [&](TObject* sender) {
    EXPECT_FALSE(static_cast<TSimpleTimer*>(sender)->Enabled());
    ++ticks;
  });
  timer.OneShot = true;
  timer.SetEnabled(true);
  HeadlessAdvance(1000);
  EXPECT_EQ(ticks, 1);
  EXPECT_FALSE(timer.Enabled());
}

TEST_F(SimpleTimerTest, TimersShareOneWindowWhileAnyExists) {
  EXPECT_EQ(TimerHandler, nullptr);
  auto first = std::make_unique<TSimpleTimer>();
  ASSERT_NE(TimerHandler, nullptr);
  HWND window = TimerHandler->Handle();
  EXPECT_TRUE(IsWindow(window));
  auto second = std::make_unique<TSimpleTimer>();
  EXPECT_EQ(TimerHandler->Handle(), window);
  EXPECT_EQ(TimerHandler->Users(), 2u);
  EXPECT_NE(first->Id(), second->Id());
  second.reset();
  ASSERT_NE(TimerHandler, nullptr);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_EQ(TimerHandler->Users(), 1u);
  first.reset();
  EXPECT_EQ(TimerHandler, nullptr);
  EXPECT_FALSE(IsWindow(window));
  // A release too many does nothing.
  ReleaseTimerHandler();
  EXPECT_EQ(TimerHandler, nullptr);
}

TEST_F(SimpleTimerTest, TwoTimersTickApartOnTheSharedWindow) {
  int a = 0, b = 0;
  TSimpleTimer fast(100, [&](TObject*) { ++a; });
  TSimpleTimer slow(300, [&](TObject*) { ++b; });
  fast.SetEnabled(true);
  slow.SetEnabled(true);
  HeadlessAdvance(600);
  EXPECT_EQ(a, 6);
  EXPECT_EQ(b, 2);
}

TEST_F(SimpleTimerTest, FreedTimerStopsAndUnknownIdsReachNothing) {
  int ticks = 0, other = 0;
  TSimpleTimer keeper(100000, [&](TObject*) { ++other; });  // keeps the shared window
  HWND window = TimerHandler->Handle();
  auto timer = std::make_unique<TSimpleTimer>(100, [&](TObject*) { ++ticks; });
  timer->SetEnabled(true);
  HeadlessAdvance(100);
  EXPECT_EQ(ticks, 1);
  UINT_PTR freedId = timer->Id();
  timer.reset();
  HeadlessAdvance(1000);
  EXPECT_EQ(ticks, 1);

  // Ticks naming a freed timer, an id never given out, or a live object's
  // address are looked up and dropped.
  for (WPARAM id : {static_cast<WPARAM>(freedId), static_cast<WPARAM>(0), static_cast<WPARAM>(0xDEADBEEF),
                    reinterpret_cast<WPARAM>(&keeper)}) {
    PostMessageA(window, WM_TIMER, id, 0);
    SendMessageA(window, WM_TIMER, id, 0);
  }
  HeadlessPumpMessages();
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(other, 0);
  // The live timer's own id still reaches it.
  SendMessageA(window, WM_TIMER, keeper.Id(), 0);
  EXPECT_EQ(other, 1);
}

TEST_F(SimpleTimerTest, HandlerMayFreeItsOwnTimer) {
  int ticks = 0;
  std::unique_ptr<TSimpleTimer> timer;
  timer = std::make_unique<TSimpleTimer>(100, [&](TObject*) {
    ++ticks;
    timer.reset();
  });
  timer->SetEnabled(true);
  HeadlessAdvance(1000);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timer, nullptr);
  EXPECT_EQ(TimerHandler, nullptr);
}
