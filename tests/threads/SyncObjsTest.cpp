#include "classlib/SyncObjs.h"

#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(Events, AutoResetReleasesOneWaitManualResetStays) {
  TEvent autoReset(false, true);
  EXPECT_EQ(autoReset.WaitFor(0), wrSignaled);
  EXPECT_EQ(autoReset.WaitFor(0), wrTimeout);  // the first wait took the signal

  TEvent manual(true, false);
  EXPECT_EQ(manual.WaitFor(0), wrTimeout);
  manual.SetEvent();
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);
  EXPECT_EQ(manual.WaitFor(0), wrSignaled);
  manual.ResetEvent();
  EXPECT_EQ(manual.WaitFor(0), wrTimeout);
}

TEST(Events, SetFromAnotherThreadEndsAnEndlessWait) {
  TSimpleEvent event;
  std::thread setter([&] { event.SetEvent(); });
  EXPECT_EQ(event.WaitFor(INFINITE), wrSignaled);
  setter.join();
}

TEST(Events, StaleOrForeignHandlesAreRefused) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_FALSE(CloseHandle(event));
  int local = 0;
  EXPECT_EQ(WaitForSingleObject(&local, INFINITE), WAIT_FAILED);
  EXPECT_EQ(WaitForSingleObject(nullptr, INFINITE), WAIT_FAILED);
  // Named events would not be shared between processes here: refused.
  EXPECT_EQ(CreateEventA(nullptr, TRUE, FALSE, "Global\\Name"), nullptr);
}

TEST(CriticalSections, ReentrantForTheOwnerExclusiveForOthers) {
  TCriticalSection section;
  section.Enter();
  EXPECT_TRUE(section.TryEnter());  // the owner enters again
  std::atomic<bool> otherGotIt{true};
  std::thread other([&] { otherGotIt = section.TryEnter(); });
  other.join();
  EXPECT_FALSE(otherGotIt);
  section.Leave();
  section.Leave();

  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 10000; ++i) {
      TLockGuard guard(section);
      ++counter;
    }
  };
  std::thread a(work), b(work);
  a.join();
  b.join();
  EXPECT_EQ(counter, 20000);
}

TEST(Events, TimedWaitsFollowTheVirtualClock) {
  UseVirtualClock(true);
  TEvent event(false, false);
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = static_cast<int>(event.WaitFor(10000)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(result, -1);  // real time passing does not end it
  AdvanceClock(9999);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(result, -1);
  AdvanceClock(1);
  waiter.join();
  EXPECT_EQ(result, wrTimeout);

  // Signalling ends a long wait at once, with no clock movement.
  std::thread stopped([&] { result = static_cast<int>(event.WaitFor(10000)); });
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  event.SetEvent();
  stopped.join();
  EXPECT_EQ(result, wrSignaled);

  uint64_t before = ClockNowMs();
  Sleep(250);
  EXPECT_EQ(ClockNowMs() - before, 250u);  // the sleeper moves the virtual clock itself
}
