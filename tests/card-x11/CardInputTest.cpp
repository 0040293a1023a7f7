// How the card takes input and keeps its place among other programs'
// windows on a real X server: quick clicks on its menu, clicks that pass
// through it, the keyboard it leaves alone, its stacking and its dialog's,
// and how it is drawn with and without a compositing manager.
#include "tests/card-x11/CardDisplayFixture.h"

#include <X11/extensions/shape.h>

namespace {

using hktest::CardOnTheDisplayTest;
using hktest::kLockY;
using hktest::TWindowManager;

// The tray menu's Settings item, from the menu window's top.
constexpr int kSettingsY = 2 + 3 * 22 + 9 + 11;

class CardInputTest : public CardOnTheDisplayTest {
 protected:
  Window CardWindow = 0, Icon = 0;

  // The card shown and faded in, its icon docked.
  void StartAll(const std::string& config) {
    WriteConfig("FirstRun=0\n" + config);
    ASSERT_NO_FATAL_FAILURE(StartTray());
    StartCard();
    ASSERT_TRUE(WaitFor([&] { return (CardWindow = FindTop("Card")) != 0 && Viewable(CardWindow); }, 30)) << "no card";
    ASSERT_TRUE(WaitFor([&] { return (Icon = DockedIcon()) != 0; }, 10)) << "the icon did not dock";
    std::this_thread::sleep_for(std::chrono::milliseconds(700));  // the fade-in
  }
  bool InputShapeEmpty(Window w) {
    int count = -1, ordering = 0;
    XRectangle* rects = XShapeGetRectangles(D, w, ShapeInput, &count, &ordering);
    if (rects) XFree(rects);
    return count == 0;
  }
  // Position in the root's stacking, bottom first, of the window or its frame.
  long StackPos(Window w) {
    std::vector<Window> stack = TopWindows();
    return std::find(stack.begin(), stack.end(), TopOf(w)) - stack.begin();
  }
  bool IsAbove(Window a, Window b) { return StackPos(a) > StackPos(b); }
  // A plain window of another program, managed by a window manager if one runs.
  Window ManagedWindow(const char* title, int x, int y, int w, int h, long events) {
    Window win = XCreateSimpleWindow(D, DefaultRootWindow(D), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h),
                                     0, 0, 0xFFFFFF);
    XStoreName(D, win, title);
    XSelectInput(D, win, events);
    XMapRaised(D, win);
    XSync(D, False);
    WaitFor([&] { return Viewable(win); }, 10);
    return win;
  }
  bool PressReaches(Window w, double seconds) {
    return WaitFor(
        [&] {
          XEvent ev;
          return XCheckTypedWindowEvent(D, w, ButtonPress, &ev) != 0;
        },
        seconds);
  }
  void Drain() {
    XSync(D, False);
    while (XPending(D) > 0) {
      XEvent ev;
      XNextEvent(D, &ev);
    }
  }
  // The screen as the user sees it, from the root.
  std::vector<uint32_t> Screen(int x, int y, int w, int h) {
    std::vector<uint32_t> out;
    XImage* img = XGetImage(D, DefaultRootWindow(D), x, y, static_cast<unsigned>(w), static_cast<unsigned>(h), AllPlanes,
                            ZPixmap);
    if (img == nullptr) return out;
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i) out.push_back(static_cast<uint32_t>(XGetPixel(img, i, j)) & 0xFFFFFF);
    XDestroyImage(img);
    return out;
  }
  static int Brightness(uint32_t p) {
    return static_cast<int>(std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}));
  }
};

class CardInputBothTest : public CardInputTest, public ::testing::WithParamInterface<TWindowManager> {
 protected:
  TWindowManager WindowManager() const override { return GetParam(); }
};

// A tap sends its press and release at once; they may be read together
// with a reply and wait in Xlib's queue, where no wait on the socket sees
// them. Nothing else happens meanwhile: the refresh is a minute away.
TEST_F(CardInputTest, APressAndReleaseSentTogetherOnLockActAtOnce) {
  ASSERT_NO_FATAL_FAILURE(StartAll("RefreshTime=60000\n"));
  for (int round = 0; round < 6; ++round) {
    const bool wasLocked = InputShapeEmpty(CardWindow);
    Window menu = OpenTrayMenu(Icon);
    ASSERT_NE(menu, 0u) << "no menu, round " << round;
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    auto [mx, my] = Origin(menu);
    Click(mx + 30, my + kLockY, 1);
    EXPECT_TRUE(WaitFor([&] { return InputShapeEmpty(CardWindow) != wasLocked; }, 0.3))
        << "Lock did not act within 300 ms, round " << round;
    ASSERT_TRUE(WaitFor([&] { return InputShapeEmpty(CardWindow) != wasLocked && !Viewable(menu); }, 5))
        << "Lock did not act at all, round " << round;
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

// Where the card's pixels are fully transparent the click goes below; once
// locked, everywhere.
TEST_P(CardInputBothTest, ClicksPassWhereTheCardIsTransparentAndEverywhereOnceLocked) {
  ASSERT_NO_FATAL_FAILURE(StartAll("Alpha=255\nRefreshTime=60000\n"));
  auto [cx, cy] = Origin(CardWindow);
  Window below = ManagedWindow("Below", cx - 40, cy - 40, 400, 300, ButtonPressMask);
  ASSERT_TRUE(WaitFor([&] { return IsAbove(CardWindow, below); }, 5)) << "the card stayed under the other window";
  std::tie(cx, cy) = Origin(CardWindow);
  Drain();

  Click(cx + 2, cy + 85, 1);  // the margin: alpha 0
  EXPECT_TRUE(PressReaches(below, 3)) << "the card's transparent margin caught the click";
  Drain();
  Click(cx + 140, cy + 85, 1);  // the opaque centre
  EXPECT_FALSE(PressReaches(below, 1)) << "an opaque pixel let the click through";

  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u) << "no menu";
  auto [mx, my] = Origin(menu);
  Click(mx + 30, my + kLockY, 1);
  ASSERT_TRUE(WaitFor([&] { return !Viewable(menu) && InputShapeEmpty(CardWindow); }, 5)) << "not locked";
  ASSERT_TRUE(WaitFor([&] { return IsAbove(CardWindow, below); }, 5));
  Drain();
  Click(cx + 140, cy + 85, 1);
  EXPECT_TRUE(PressReaches(below, 3)) << "the locked card caught the click";
}

// A card shown on its timer never takes the keyboard, at its show or later.
TEST_P(CardInputBothTest, TheFocusStaysOnAnotherWindowAcrossRefreshes) {
  ASSERT_NO_FATAL_FAILURE(StartAll("RefreshTime=2000\n"));
  Window typing = ManagedWindow("Typing", 500, 400, 500, 400, FocusChangeMask);
  XSetInputFocus(D, typing, RevertToParent, CurrentTime);
  XSync(D, False);
  Window focus = 0;
  int revert = 0;
  ASSERT_TRUE(WaitFor(
      [&] {
        XGetInputFocus(D, &focus, &revert);
        return focus == typing;
      },
      5));
  for (int refresh = 0; refresh < 3; ++refresh) {
    ASSERT_TRUE(WaitForNewCard(CardWindow, 10)) << "no new card";
    // Sampled through the fade-in and the moments after it.
    for (int i = 0; i < 10; ++i) {
      XGetInputFocus(D, &focus, &revert);
      ASSERT_EQ(focus, typing) << "the keyboard left the window after refresh " << refresh;
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
    }
  }
}

// The settings dialog belongs to the card: it stays above it through
// every show of the card.
TEST_P(CardInputBothTest, TheSettingsDialogStaysAboveTheCard) {
  ASSERT_NO_FATAL_FAILURE(StartAll("RefreshTime=2000\n"));
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u) << "no menu";
  auto [mx, my] = Origin(menu);
  Click(mx + 30, my + kSettingsY, 1);
  Window dialog = 0;
  ASSERT_TRUE(WaitFor([&] { return (dialog = FindTop("Card Settings")) != 0 && Viewable(dialog); }, 10))
      << "no settings dialog";
  int samples = 0, covered = 0;
  const auto end = hktest::Clock::now() + std::chrono::seconds(7);  // three refreshes
  while (hktest::Clock::now() < end) {
    if (Viewable(CardWindow) && Viewable(dialog)) {
      ++samples;
      if (!IsAbove(dialog, CardWindow)) ++covered;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_GT(samples, 50);
  EXPECT_EQ(covered, 0) << "the card covered its dialog in " << covered << " of " << samples << " samples";
}

// Behind another program's full-screen window the card skips its refreshes;
// once that window is destroyed the next tick refreshes again.
TEST_P(CardInputBothTest, TheRefreshPausedBehindAFullScreenWindowResumesOnceItIsDestroyed) {
  constexpr double kPeriod = 3;
  ASSERT_NO_FATAL_FAILURE(StartAll("RefreshTime=3000\n"));
  const bool managed = GetParam() == TWindowManager::Openbox;
  const int sw = DisplayWidth(D, DefaultScreen(D)), sh = DisplayHeight(D, DefaultScreen(D));
  // Borderless and as large as the screen without a window manager; made
  // full-screen by the window manager under one.
  Window full = XCreateSimpleWindow(D, DefaultRootWindow(D), 0, 0, static_cast<unsigned>(sw),
                                    static_cast<unsigned>(sh), 0, 0, 0x202020);
  XStoreName(D, full, "Full screen");
  if (managed) {
    Atom state = XInternAtom(D, "_NET_WM_STATE_FULLSCREEN", False);
    XChangeProperty(D, full, XInternAtom(D, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&state), 1);
  }
  XMapRaised(D, full);
  XSync(D, False);
  ASSERT_TRUE(WaitFor([&] { return Viewable(full); }, 10));
  if (!managed) XSetInputFocus(D, full, RevertToParent, CurrentTime);
  Atom activeAtom = XInternAtom(D, "_NET_ACTIVE_WINDOW", False);
  auto inFront = [&] {
    Window front = 0;
    if (managed) {
      Atom type;
      int format;
      unsigned long n = 0, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(D, DefaultRootWindow(D), activeAtom, 0, 1, False, XA_WINDOW, &type, &format, &n, &after,
                             &data) == Success &&
          data != nullptr && n == 1)
        front = *reinterpret_cast<Window*>(data);
      if (data) XFree(data);
    } else {
      int revert;
      XGetInputFocus(D, &front, &revert);
    }
    return front == full && Attributes(full).width == sw && Attributes(full).height == sh;
  };
  ASSERT_TRUE(WaitFor(inFront, 10)) << "the full-screen window is not in front";

  XSelectInput(D, CardWindow, StructureNotifyMask);
  auto newCardsWithin = [&](double seconds) {
    int shown = 0;
    WaitFor(
        [&] {
          while (XPending(D) > 0) {
            XEvent ev;
            XNextEvent(D, &ev);
            if (ev.type == MapNotify && ev.xmap.window == CardWindow) ++shown;
          }
          return false;
        },
        seconds);
    return shown;
  };
  newCardsWithin(kPeriod);  // a refresh already under way ends
  EXPECT_EQ(newCardsWithin(2 * kPeriod), 0) << "the card refreshed behind a full-screen window";
  XDestroyWindow(D, full);
  XSync(D, False);
  EXPECT_TRUE(WaitForNewCard(CardWindow, 2 * kPeriod)) << "no refresh within two periods of the window's end";
}

INSTANTIATE_TEST_SUITE_P(Setups, CardInputBothTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const auto& info) { return std::string(hktest::WindowManagerName(info.param)); });

// With nobody to keep it above, the stay-on-top card goes back over a
// window that another program maps or raises over it.
TEST_F(CardInputTest, AnotherProgramsWindowMappedOverTheCardGoesBelowIt) {
  ASSERT_NO_FATAL_FAILURE(StartAll("RefreshTime=60000\n"));
  auto [cx, cy] = Origin(CardWindow);
  Window other = ManagedWindow("Other", cx - 20, cy - 20, 340, 230, 0);
  EXPECT_TRUE(WaitFor([&] { return IsAbove(CardWindow, other); }, 2)) << "a window mapped over the card stayed above it";
  XRaiseWindow(D, other);
  XSync(D, False);
  EXPECT_TRUE(WaitFor([&] { return IsAbove(CardWindow, other); }, 2)) << "a window raised over the card stayed above it";
}

// Without a compositing manager a 32-bit window is shown as it is stored:
// the card cuts itself to its own shape and is drawn opaque; with one it is
// translucent; it follows the compositor as it comes and goes.
TEST_F(CardInputTest, TheCardIsOpaqueInItsShapeWithoutACompositorAndTranslucentWithOne) {
  ASSERT_NO_FATAL_FAILURE(StartAll("Alpha=150\nRefreshTime=60000\n"));
  auto [cx, cy] = Origin(CardWindow);
  const int width = Attributes(CardWindow).width, height = Attributes(CardWindow).height;
  // The card's body: its brightest pixel (the paper) and darkest (the text).
  auto body = [&](int* light, int* dark) {
    std::vector<uint32_t> px = Screen(cx + 30, cy + 30, width - 60, height - 60);
    *light = 0;
    *dark = 255;
    for (uint32_t p : px) {
      *light = std::max(*light, Brightness(p));
      *dark = std::min(*dark, Brightness(p));
    }
  };
  // The desktop is a vertical gradient: a corner of the card shows the
  // same colour as the desktop just left of the card on its row.
  auto cornerShowsTheDesktop = [&] {
    std::vector<uint32_t> row = Screen(cx - 3, cy + 1, 5, 1);
    return row.size() == 5 && row[4] == row[0];
  };
  int light = 0, dark = 0;
  body(&light, &dark);
  EXPECT_GE(light, 240) << "the card is dimmed without a compositor";
  EXPECT_LE(dark, 80) << "the card's text is faint without a compositor";
  EXPECT_TRUE(cornerShowsTheDesktop()) << "the card's corner hides the desktop";

  ASSERT_NO_FATAL_FAILURE(StartCompositor("xcompmgr"));
  EXPECT_TRUE(WaitFor(
      [&] {
        body(&light, &dark);
        return light < 235 && light > 60;
      },
      5))
      << "the card is not translucent under a compositor (brightest " << light << ")";
  // The window holds the frame premultiplied: a clear margin, a translucent
  // centre, no colour above its alpha.
  int w = 0, h = 0;
  std::vector<uint32_t> px = Pixels(CardWindow, &w, &h);
  ASSERT_EQ(px.size(), static_cast<size_t>(w * h));
  auto at = [&](int x, int y) { return px[static_cast<size_t>(y * w + x)]; };
  EXPECT_EQ(at(0, 0) >> 24, 0u);
  EXPECT_EQ(at(5, 85) >> 24, 0u);
  EXPECT_NEAR(static_cast<int>(at(40, 33) >> 24), 150, 2);
  for (uint32_t p : px) {
    const uint32_t alpha = p >> 24;
    ASSERT_LE((p >> 16) & 0xFF, alpha);
    ASSERT_LE((p >> 8) & 0xFF, alpha);
    ASSERT_LE(p & 0xFF, alpha);
  }

  StopCompositor();
  EXPECT_TRUE(WaitFor(
      [&] {
        body(&light, &dark);
        return light >= 240 && cornerShowsTheDesktop();
      },
      5))
      << "the card did not become opaque again once the compositor left (brightest " << light << ")";

  // picom too, which paints a while after it takes the selection: the card
  // turns translucent by itself, with no refresh to come for a minute.
  ASSERT_NO_FATAL_FAILURE(StartCompositor("picom"));
  EXPECT_TRUE(WaitFor(
      [&] {
        body(&light, &dark);
        return light < 235 && light > 60;
      },
      5))
      << "the card is not translucent under picom (brightest " << light << ")";
  StopCompositor();
  EXPECT_TRUE(WaitFor(
      [&] {
        body(&light, &dark);
        return light >= 240 && cornerShowsTheDesktop();
      },
      5))
      << "the card did not become opaque again once picom left (brightest " << light << ")";
}

}  // namespace
