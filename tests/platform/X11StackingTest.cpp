// The stacking policy on its own, fed the events a server would send: which
// restacks keep a stay-on-top window above other programs' ordinary windows
// without passing over their override-redirect ones, and how the picture
// of the root's children follows events, our own echoes among them. The
// same policy on a real server with real clients is tests/card-x11's.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/drivers/x11/X11Stacking.h"

namespace {

using hkx11::TKeptWindow;
using hkx11::TRestack;
using hkx11::TRootStack;

constexpr Window kRoot = 1;

XEvent Created(Window w, bool overrideRedirect, unsigned long serial = 1) {
  XEvent ev{};
  ev.xcreatewindow.type = CreateNotify;
  ev.xcreatewindow.serial = serial;
  ev.xcreatewindow.parent = kRoot;
  ev.xcreatewindow.window = w;
  ev.xcreatewindow.override_redirect = overrideRedirect;
  return ev;
}
XEvent Mapped(Window w, bool overrideRedirect, unsigned long serial = 1) {
  XEvent ev{};
  ev.xmap.type = MapNotify;
  ev.xmap.serial = serial;
  ev.xmap.event = kRoot;
  ev.xmap.window = w;
  ev.xmap.override_redirect = overrideRedirect;
  return ev;
}
XEvent Configured(Window w, Window above, unsigned long serial, bool overrideRedirect = false) {
  XEvent ev{};
  ev.xconfigure.type = ConfigureNotify;
  ev.xconfigure.serial = serial;
  ev.xconfigure.event = kRoot;
  ev.xconfigure.window = w;
  ev.xconfigure.above = above;
  ev.xconfigure.override_redirect = overrideRedirect;
  return ev;
}

std::vector<Window> Order(const TRootStack& stack) {
  std::vector<Window> out;
  for (const auto& c : stack.Children()) out.push_back(c.Xid);
  return out;
}

struct TPlanCase {
  const char* Name;
  std::vector<std::pair<Window, bool>> Children;  // bottom first, all mapped
  std::vector<Window> Refused;                    // windows left be
  std::vector<TRestack> Expected;
};

// The card is 10, its own dialog 11; 20s are other programs' ordinary
// windows, 30s their override-redirect ones (a menu, a locker, a card).
TEST(X11StackingTest, TheCardGoesJustAboveTheTopmostOrdinaryWindowAndNoHigher) {
  const std::vector<TPlanCase> cases = {
      {"in place", {{20, false}, {10, true}}, {}, {}},
      {"covered by an ordinary window", {{10, true}, {20, false}}, {}, {{10, 20, true}}},
      {"covered by an override-redirect window only", {{20, false}, {10, true}, {30, true}}, {}, {}},
      {"under a locker over an ordinary window", {{10, true}, {20, false}, {30, true}}, {}, {{10, 20, true}}},
      {"under another card", {{10, true}, {31, true}}, {}, {}},
      {"the window over it is left be", {{21, false}, {10, true}, {20, false}}, {20}, {}},
      {"left be, the next one down still counts", {{10, true}, {21, false}, {20, false}}, {20}, {{10, 21, true}}},
  };
  for (const TPlanCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TRootStack stack;
    stack.Reset(kRoot);
    for (auto [w, overrideRedirect] : c.Children) {
      stack.Follow(Created(w, overrideRedirect));
      stack.Follow(Mapped(w, overrideRedirect));
    }
    std::vector<Window> asked;
    auto mayAnswer = [&](Window w) {
      asked.push_back(w);
      return std::find(c.Refused.begin(), c.Refused.end(), w) == c.Refused.end();
    };
    const auto plan = hkx11::PlanRestacks(stack, {TKeptWindow{10, {}, 0}}, mayAnswer);
    ASSERT_EQ(plan.size(), c.Expected.size());
    for (size_t i = 0; i < plan.size(); ++i) {
      EXPECT_EQ(plan[i].Xid, c.Expected[i].Xid);
      EXPECT_EQ(plan[i].Sibling, c.Expected[i].Sibling);
      EXPECT_EQ(plan[i].GoesAbove, c.Expected[i].GoesAbove);
    }
  }
}

TEST(X11StackingTest, TheCardsOwnWindowsFollowItAndAFramedDialogStaysAboveIt) {
  TRootStack stack;
  stack.Reset(kRoot);
  for (Window w : {11, 10, 20}) {
    stack.Follow(Created(w, w == 10));
    stack.Follow(Mapped(w, w == 10));
  }
  auto always = [](Window) { return true; };
  // Its dialog below it, both under another window: the card goes above
  // that window, the dialog just above the card.
  auto plan = hkx11::PlanRestacks(stack, {TKeptWindow{10, {11}, 0}}, always);
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].Xid, 10u);
  EXPECT_EQ(plan[0].Sibling, 20u);
  EXPECT_EQ(plan[1].Xid, 11u);
  EXPECT_EQ(plan[1].Sibling, 10u);
  // A dialog framed by a window manager (frame 40) that keeps it above:
  // the card above the frame goes just below it.
  TRootStack framed;
  framed.Reset(kRoot);
  for (Window w : {20, 40, 10}) {
    framed.Follow(Created(w, w == 10));
    framed.Follow(Mapped(w, w == 10));
  }
  plan = hkx11::PlanRestacks(framed, {TKeptWindow{10, {}, 40}}, always);
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].Xid, 10u);
  EXPECT_EQ(plan[0].Sibling, 40u);
  EXPECT_FALSE(plan[0].GoesAbove);
}

TEST(X11StackingTest, AnEchoOlderThanOurLastRestackIsNoNews) {
  TRootStack stack;
  stack.Reset(kRoot);
  for (Window w : {10, 20, 21}) {
    stack.Follow(Created(w, false));
    stack.Follow(Mapped(w, false));
  }
  // We raise 10 over 21 (request 50); the echo of an older restack of ours
  // (request 40, 10 over 20) arrives after that.
  stack.Restacked(10, 21, true, 50);
  EXPECT_EQ(Order(stack), (std::vector<Window>{20, 21, 10}));
  EXPECT_TRUE(stack.Follow(Configured(10, 20, 40)));
  EXPECT_EQ(Order(stack), (std::vector<Window>{20, 21, 10}));
  // Ours and newer: taken. Another client's: always taken.
  EXPECT_TRUE(stack.Follow(Configured(10, 20, 60)));
  EXPECT_EQ(Order(stack), (std::vector<Window>{20, 10, 21}));
  EXPECT_TRUE(stack.Follow(Configured(20, None, 30)));
  EXPECT_EQ(Order(stack), (std::vector<Window>{20, 10, 21}));
  EXPECT_TRUE(stack.Follow(Configured(21, None, 30)));
  EXPECT_EQ(Order(stack), (std::vector<Window>{21, 20, 10}));
  EXPECT_FALSE(stack.Stale());
  // A sibling never heard of: the picture must be read again.
  stack.Follow(Configured(20, 99, 70));
  EXPECT_TRUE(stack.Stale());
}

TEST(X11StackingTest, AWindowThatKeepsComingBackIsLeftBeForAWhile) {
  hkx11::TCoverBackoff backoff;
  const auto t0 = hkx11::TCoverBackoff::TClock::now();
  using std::chrono::milliseconds;
  for (int i = 0; i < hkx11::TCoverBackoff::kAnswers; ++i) EXPECT_TRUE(backoff.Answer(20, t0 + milliseconds(100 * i)));
  EXPECT_FALSE(backoff.Answer(20, t0 + milliseconds(400)));
  EXPECT_TRUE(backoff.Answer(21, t0 + milliseconds(400))) << "another window is not held against";
  EXPECT_FALSE(backoff.Answer(20, t0 + milliseconds(400) + hkx11::TCoverBackoff::kLetBeFor - milliseconds(1)));
  EXPECT_TRUE(backoff.Answer(20, t0 + milliseconds(400) + hkx11::TCoverBackoff::kLetBeFor));
  // Answers spread out are no fight.
  hkx11::TCoverBackoff slow;
  for (int i = 0; i < 10; ++i) EXPECT_TRUE(slow.Answer(20, t0 + milliseconds(1500 * i)));
}

}  // namespace
