// Queues and the loop: order, WM_QUIT, filters, threads, registered messages.
#include <atomic>
#include <thread>

#include "WindowTestUtil.h"

namespace {

class MessageLoopTest : public PlatformTest {};

TEST_F(MessageLoopTest, PostedMessagesComeInOrderAndQuitAfterThem) {
  HWND h = MakeTop(0, 0, 10, 10);
  PostMessageA(h, WM_USER + 1, 1, 0);
  PostQuitMessage(7);
  PostMessageA(h, WM_USER + 2, 2, 0);
  PostThreadMessageA(GetCurrentThreadId(), WM_USER + 3, 3, 0);
  MSG msg;
  std::vector<UINT> got;
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    got.push_back(msg.message);
    DispatchMessageA(&msg);
  }
  EXPECT_EQ(got, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  EXPECT_EQ(msg.message, WM_QUIT);
  EXPECT_EQ(msg.wParam, 7u);
  // The thread message has no window and reaches no procedure.
  EXPECT_EQ(Logged(WM_USER + 3).size(), 0u);
  EXPECT_EQ(Logged(WM_USER + 2, h).size(), 1u);
}

TEST_F(MessageLoopTest, PeekFiltersAndNoRemove) {
  HWND a = MakeTop(0, 0, 10, 10);
  HWND b = MakeTop(0, 0, 10, 10);
  PostMessageA(a, WM_USER, 0, 0);
  PostMessageA(b, WM_USER + 5, 0, 0);
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, b, 0, 0, PM_NOREMOVE));
  EXPECT_EQ(msg.message, WM_USER + 5u);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 5, WM_USER + 5, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, b);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.hwnd, a);
  EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(static_cast<uintptr_t>(0x999)), 0, 0), -1);
}

TEST_F(MessageLoopTest, AWaitingGetMessageWakesOnAPostFromAnotherThread) {
  DWORD self = GetCurrentThreadId();
  HWND h = MakeTop(0, 0, 10, 10);
  std::thread poster([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_NE(GetCurrentThreadId(), self);
    PostMessageA(h, WM_USER + 9, 42, 0);
  });
  MSG msg;
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 9u);
  EXPECT_EQ(msg.wParam, 42u);
  poster.join();
  // PostThreadMessage too.
  std::thread poster2([&] { PostThreadMessageA(self, WM_NULL, 1, 2); });
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_NULL);
  EXPECT_EQ(msg.lParam, 2);
  poster2.join();
  EXPECT_FALSE(PostThreadMessageA(0x7FFFFFF0, WM_NULL, 0, 0));
}

TEST_F(MessageLoopTest, ConcurrentPostersLoseNothingAndKeepTheirOrder) {
  HWND h = MakeTop(0, 0, 10, 10);
  constexpr int kThreads = 4, kEach = 2000;
  std::vector<std::thread> posters;
  for (int t = 0; t < kThreads; ++t)
    posters.emplace_back([h, t] {
      for (int i = 0; i < kEach; ++i) {
        PostMessageA(h, WM_USER, static_cast<WPARAM>(t), static_cast<LPARAM>(i));
        if (i % 500 == 0) std::this_thread::yield();
      }
    });
  std::vector<int> next(kThreads, 0);
  MSG msg;
  int got = 0;
  // GetMessage sleeps whenever the posters pause: every wake-up must come.
  while (got < kThreads * kEach && GetMessageA(&msg, nullptr, 0, 0)) {
    if (msg.message != WM_USER) continue;
    int t = static_cast<int>(msg.wParam);
    ASSERT_EQ(msg.lParam, next[static_cast<size_t>(t)]);
    ++next[static_cast<size_t>(t)];
    ++got;
  }
  for (auto& p : posters) p.join();
  EXPECT_EQ(got, kThreads * kEach);
}

TEST_F(MessageLoopTest, SendFromAnotherThreadRunsOnTheWindowsThread) {
  HWND h = MakeTop(0, 0, 10, 10);
  DWORD self = GetCurrentThreadId();
  std::atomic<DWORD> ranOn{0};
  MessageHook() = [&](HWND, UINT m, WPARAM w, LPARAM, LRESULT* r) {
    if (m != WM_USER) return false;
    ranOn = GetCurrentThreadId();
    *r = static_cast<LRESULT>(w * 2);
    return true;
  };
  std::atomic<LRESULT> result{0};
  std::thread sender([&] {
    result = SendMessageA(h, WM_USER, 21, 0);
    PostMessageA(h, WM_USER + 1, 0, 0);
  });
  MSG msg;
  // GetMessage runs the sent message inside, then returns the post.
  ASSERT_TRUE(GetMessageA(&msg, nullptr, 0, 0));
  EXPECT_EQ(msg.message, WM_USER + 1u);
  sender.join();
  EXPECT_EQ(result.load(), 42);
  EXPECT_EQ(ranOn.load(), self);
}

TEST_F(MessageLoopTest, RegisteredMessagesAreStableAndCaseless) {
  UINT a = RegisterWindowMessageA("TaskbarCreated");
  UINT b = RegisterWindowMessageA("taskbarcreated");
  UINT c = RegisterWindowMessageA("SomethingElse");
  EXPECT_GE(a, 0xC000u);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, c);
  EXPECT_EQ(RegisterWindowMessageA(""), 0u);
  EXPECT_EQ(RegisterWindowMessageA(nullptr), 0u);
}

TEST_F(MessageLoopTest, TranslateMessageTypesTheKeysText) {
  HWND h = MakeTop(0, 0, 10, 10, WS_POPUP | WS_VISIBLE);
  SetFocus(h);
  HeadlessKeyDown(VK_SHIFT);
  HeadlessKeyPress('A');
  HeadlessKeyUp(VK_SHIFT);
  HeadlessKeyPress('1');
  HeadlessKeyPress(VK_RETURN);
  HeadlessKeyPress(VK_LEFT);  // types nothing
  HeadlessPumpMessages();
  std::u16string typed;
  for (auto& m : Logged(WM_CHAR, h)) typed.push_back(static_cast<char16_t>(m.WParam));
  EXPECT_EQ(typed, u"A1\r");
  // Every WM_CHAR came after its WM_KEYDOWN.
  EXPECT_LT(IndexOf(WM_KEYDOWN, h), IndexOf(WM_CHAR, h));
  EXPECT_EQ(Logged(WM_KEYDOWN, h).size(), 5u);
  // The character comes before what was posted after the key.
  MessageLog().clear();
  HeadlessKeyDown('Q');
  MSG msg;
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  ASSERT_EQ(msg.message, WM_KEYDOWN);
  PostMessageA(h, WM_USER, 0, 0);
  TranslateMessage(&msg);
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(msg.message, WM_CHAR);
  EXPECT_EQ(msg.wParam, static_cast<WPARAM>(u'q'));
}

TEST_F(MessageLoopTest, HoverAndWheel) {
  HWND h = MakeTop(0, 0, 100, 100, WS_POPUP | WS_VISIBLE);
  SetFocus(h);
  HeadlessMouseMove(10, 10);
  HeadlessPumpMessages();
  TRACKMOUSEEVENT tme{sizeof tme, TME_HOVER | TME_LEAVE, h, 300};
  ASSERT_TRUE(TrackMouseEvent(&tme));
  HeadlessAdvance(299);
  EXPECT_TRUE(Logged(WM_MOUSEHOVER, h).empty());
  HeadlessAdvance(1);
  ASSERT_EQ(Logged(WM_MOUSEHOVER, h).size(), 1u);
  EXPECT_EQ(Logged(WM_MOUSEHOVER, h)[0].LParam, MAKELPARAM(10, 10));
  HeadlessAdvance(1000);
  EXPECT_EQ(Logged(WM_MOUSEHOVER, h).size(), 1u);  // once per tracking
  HeadlessMouseWheel(-WHEEL_DELTA);
  HeadlessPumpMessages();
  auto wheel = Logged(WM_MOUSEWHEEL, h);
  ASSERT_EQ(wheel.size(), 1u);
  EXPECT_EQ(static_cast<SHORT>(HIWORD(wheel[0].WParam)), -WHEEL_DELTA);
}

}  // namespace
