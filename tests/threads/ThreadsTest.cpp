#include "classlib/Threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>

namespace {

// Runs `body` as its Execute.
class TLambdaThread : public TThread {
 public:
  TLambdaThread(bool suspended, std::function<void(TLambdaThread&)> body)
      : TThread(suspended), FBody(std::move(body)) {}
  ~TLambdaThread() override { TerminateAndWait(); }
  using TThread::SetReturnValue;
  using TThread::Synchronize;
  std::atomic<bool>* DestroyedFlag = nullptr;

 protected:
  void Execute() override { FBody(*this); }

 private:
  std::function<void(TLambdaThread&)> FBody;

};

class TFlaggedThread : public TLambdaThread {
 public:
  using TLambdaThread::TLambdaThread;
  ~TFlaggedThread() override {
    TerminateAndWait();
    if (DestroyedFlag) *DestroyedFlag = true;
  }
};

// Pumps synchronised calls on the main thread until `done` or 5 s pass.
bool PumpUntil(const std::function<bool()>& done) {
  auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    CheckSynchronize(10);
  }
  return true;
}

}  // namespace

TEST(Threads, SuspendedThreadRunsOnlyAfterResume) {
  std::atomic<bool> ran{false};
  auto thread = std::unique_ptr<TLambdaThread>(TThread::Create<TLambdaThread>(true, [&](TLambdaThread& self) {
    ran = true;
    self.SetReturnValue(7);
  }));
  EXPECT_TRUE(thread->Suspended());
  EXPECT_NE(thread->ThreadID(), 0u);
  EXPECT_NE(thread->ThreadID(), MainThreadID);
  EXPECT_THROW(thread->WaitFor(), EThread);  // it would never end
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(ran);
  thread->Resume();
  EXPECT_EQ(thread->WaitFor(), 7);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(thread->Finished());
  EXPECT_EQ(WaitForSingleObject(thread->Handle(), 0), WAIT_OBJECT_0);
}

TEST(Threads, ThreadNotCreatedSuspendedStartsAtOnce) {
  std::atomic<bool> ran{false};
  auto thread = std::unique_ptr<TLambdaThread>(
      TThread::Create<TLambdaThread>(false, [&](TLambdaThread&) { ran = true; }));
  thread->WaitFor();
  EXPECT_TRUE(ran);
}

TEST(Threads, NeverStartedThreadIsFreedWithoutRunning) {
  std::atomic<bool> ran{false};
  {
    TLambdaThread thread(true, [&](TLambdaThread&) { ran = true; });
  }
  EXPECT_FALSE(ran);
}

TEST(Threads, TerminateEndsALoopAndFreeingARunningThreadWaitsForIt) {
  std::atomic<int> loops{0};
  std::atomic<bool> left{false};
  {
    auto thread = std::unique_ptr<TLambdaThread>(TThread::Create<TLambdaThread>(false, [&](TLambdaThread& self) {
      while (!self.Terminated()) {
        ++loops;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      left = true;
    }));
    while (loops == 0) std::this_thread::yield();
  }
  EXPECT_TRUE(left);
}

TEST(Threads, SynchronizeRunsOnTheMainThreadAndWakesIt) {
  std::atomic<int> wakes{0};
  WakeMainThread = [&] { ++wakes; };
  DWORD ranOn = 0;
  auto thread = std::unique_ptr<TLambdaThread>(TThread::Create<TLambdaThread>(false, [&](TLambdaThread& self) {
    self.Synchronize([&] { ranOn = CurrentKernelThreadId(); });
  }));
  thread->WaitFor();  // runs the queued call meanwhile
  WakeMainThread = nullptr;
  EXPECT_EQ(ranOn, MainThreadID);
  EXPECT_EQ(wakes, 1);
}

TEST(Threads, SynchronizeOnTheMainThreadRunsDirectly) {
  bool ran = false;
  TThread::Synchronize(nullptr, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_FALSE(CheckSynchronize());
}

TEST(Threads, ExceptionOfASynchronisedCallReachesTheCallingThread) {
  std::string caught;
  auto thread = std::unique_ptr<TLambdaThread>(TThread::Create<TLambdaThread>(false, [&](TLambdaThread& self) {
    try {
      self.Synchronize([] { throw Exception("from the main thread"); });
    } catch (const Exception& e) {
      caught = e.Message();
    }
  }));
  thread->WaitFor();
  EXPECT_EQ(caught, "from the main thread");
  EXPECT_EQ(thread->FatalException(), nullptr);
}

TEST(Threads, ExceptionEscapingExecuteIsKept) {
  auto thread = std::unique_ptr<TLambdaThread>(TThread::Create<TLambdaThread>(
      false, [](TLambdaThread&) { throw std::runtime_error("broken"); }));
  thread->WaitFor();
  ASSERT_NE(thread->FatalException(), nullptr);
  EXPECT_THROW(std::rethrow_exception(thread->FatalException()), std::runtime_error);
}

TEST(Threads, CheckSynchronizeWaitsForACallAndIsRefusedOffTheMainThread) {
  EXPECT_FALSE(CheckSynchronize(5));  // nothing queued: false after the wait
  std::atomic<bool> refused{false};
  bool ran = false;
  auto thread = std::unique_ptr<TLambdaThread>(TThread::Create<TLambdaThread>(false, [&](TLambdaThread& self) {
    try {
      CheckSynchronize();
    } catch (const EThread&) {
      refused = true;
    }
    self.Synchronize([&] { ran = true; });
  }));
  EXPECT_TRUE(PumpUntil([&] { return ran; }));
  thread->WaitFor();
  EXPECT_TRUE(refused);
}

TEST(Threads, OnTerminateRunsOnTheMainThreadAfterExecute) {
  std::atomic<bool> executed{false};
  bool executedFirst = false;
  DWORD ranOn = 0;
  TLambdaThread thread(true, [&](TLambdaThread&) { executed = true; });
  thread.OnTerminate = [&](TThread* sender) {
    executedFirst = executed && sender == &thread;
    ranOn = CurrentKernelThreadId();
  };
  thread.Resume();
  thread.WaitFor();
  EXPECT_TRUE(executedFirst);
  EXPECT_EQ(ranOn, MainThreadID);
}

TEST(Threads, FreeOnTerminateThreadFreesItselfAfterOnTerminate) {
  std::atomic<bool> destroyed{false};
  bool terminated = false;
  auto* thread = TThread::Create<TFlaggedThread>(true, [](TLambdaThread&) {});
  thread->DestroyedFlag = &destroyed;
  thread->SetFreeOnTerminate(true);
  thread->OnTerminate = [&](TThread*) { terminated = true; };
  EXPECT_THROW(thread->WaitFor(), EThread);  // it may vanish under the wait
  thread->Resume();
  EXPECT_TRUE(PumpUntil([&] { return destroyed.load(); }));
  EXPECT_TRUE(terminated);
}

TEST(ThreadList, IgnoresDuplicatesAndGuardsAccess) {
  TThreadList<int> list;
  int a = 1, b = 2;
  list.Add(&a);
  list.Add(&b);
  list.Add(&a);
  auto& items = list.LockList();
  EXPECT_EQ(items.size(), 2u);
  std::atomic<bool> added{false};
  std::thread other([&] {
    list.Add(&b);
    added = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(added);  // blocked by our lock
  list.UnlockList();
  other.join();
  list.Remove(&a);
  EXPECT_EQ(list.LockList().size(), 1u);
  list.UnlockList();
}
