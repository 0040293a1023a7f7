#include "classlib/controls/Timer.h"

#include <memory>

#include "ControlsFixture.h"

namespace {
class TimerTest : public HeadlessTest {};
}  // namespace

TEST_F(TimerTest, RunsOnlyWhenEnabledWithIntervalAndHandler) {
  auto timer = std::make_unique<TTimer>(nullptr);
  int ticks = 0;
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 1000u);
  EXPECT_FALSE(timer->Running());  // no handler yet
  timer->SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, timer.get());
    ++ticks;
  });
  EXPECT_TRUE(timer->Running());
  HeadlessAdvance(999);
  EXPECT_EQ(ticks, 0);
  HeadlessAdvance(1);
  EXPECT_EQ(ticks, 1);
  HeadlessAdvance(2000);
  EXPECT_EQ(ticks, 3);

  timer->SetInterval(0);
  EXPECT_FALSE(timer->Running());
  HeadlessAdvance(5000);
  EXPECT_EQ(ticks, 3);
  timer->SetInterval(500);
  HeadlessAdvance(500);
  EXPECT_EQ(ticks, 4);
  timer->SetEnabled(false);
  HeadlessAdvance(5000);
  EXPECT_EQ(ticks, 4);
  timer->SetOnTimer(nullptr);
  timer->SetEnabled(true);
  EXPECT_FALSE(timer->Running());
}

TEST_F(TimerTest, DisableThenEnableStartsAFullPeriod) {
  TTimer timer(nullptr);
  int ticks = 0;
  timer.SetInterval(900000);
  timer.SetOnTimer([&](TObject*) { ++ticks; });
  HeadlessAdvance(600000);
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  HeadlessAdvance(600000);
  EXPECT_EQ(ticks, 0);
  HeadlessAdvance(300000);
  EXPECT_EQ(ticks, 1);
}

TEST_F(TimerTest, FreedTimerGetsNoTick) {
  int ticks = 0;
  {
    TTimer timer(nullptr);
    timer.SetInterval(100);
    timer.SetOnTimer([&](TObject*) { ++ticks; });
    HeadlessAdvance(100);
  }
  HeadlessAdvance(1000);
  EXPECT_EQ(ticks, 1);
}
