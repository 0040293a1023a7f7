// A box or dialog of the card that the window manager minimised (openbox,
// jwm and fluxbox offer it whatever the Motif hints say) has no taskbar
// button: a click on the tray icon, or the card's own right click where
// there is no tray, brings it back, and never a second one; the menu opens
// again once it is closed.
#include "tests/card-x11/CardDisplayFixture.h"

#include <X11/keysym.h>

#include "tests/card-x11/OtherDesktops.h"

namespace {

using hktest::kExitY;
using hktest::TWindowManager;

// The tray menu's Disable, Settings and About items, from the menu's top.
constexpr int kDisableY = 2 + 11;
constexpr int kSettingsY = 2 + 3 * 22 + 9 + 11;
constexpr int kAboutY = 2 + 3 * 22 + 9 + 22 + 9 + 11;

enum class TDesktop { JwmWithItsTray, OpenboxWithTrayer, OpenboxWithoutTray };

struct TCase {
  TDesktop Desktop;
  const char* Title;  // the window the menu item opens
  int ItemY;
  KeySym CloseKey;  // what closes it once it has the keyboard
  bool CardDisabled = false;  // hidden first: a box then belongs to no window
};

std::string CaseName(const TCase& c) {
  const char* desktop = c.Desktop == TDesktop::JwmWithItsTray      ? "JwmWithItsTray"
                        : c.Desktop == TDesktop::OpenboxWithTrayer ? "OpenboxWithTrayer"
                                                                   : "OpenboxWithoutTray";
  return std::string(desktop) + (c.ItemY == kAboutY ? "About" : "Settings") + (c.CardDisabled ? "OfADisabledCard" : "");
}

void PrintTo(const TCase& c, std::ostream* out) { *out << CaseName(c); }

class CardDialogComesBackTest : public hktest::CardOnTheDisplayTest, public ::testing::WithParamInterface<TCase> {
 protected:
  // jwm brings its own tray; the display starts without a window manager.
  TWindowManager WindowManager() const override {
    return GetParam().Desktop == TDesktop::JwmWithItsTray ? TWindowManager::NoWindowManager
                                                          : TWindowManager::Openbox;
  }

  // Where a right click opens the menu: the icon in the tray, or the card.
  std::pair<int, int> MenuPoint() {
    Window target = Icon != 0 ? Icon : CardWindow;
    XWindowAttributes a = Attributes(target);
    auto [x, y] = Origin(target);
    return {x + a.width / 2, y + a.height / 2};
  }
  // A right press and release as a hand makes them.
  void RightClick() {
    auto [x, y] = MenuPoint();
    XTestFakeMotionEvent(D, DefaultScreen(D), x, y, CurrentTime);
    XFlush(D);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    XTestFakeButtonEvent(D, 3, True, CurrentTime);
    XFlush(D);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    XTestFakeButtonEvent(D, 3, False, CurrentTime);
    XFlush(D);
  }
  Window OpenMenu() {
    std::vector<Window> before = TopWindows();
    RightClick();
    Window menu = 0;
    WaitFor(
        [&] {
          for (Window w : TopWindows())
            if (std::find(before.begin(), before.end(), w) == before.end() && Viewable(w) &&
                Attributes(w).override_redirect)
              menu = w;
          return menu != 0;
        },
        10);
    return menu;
  }
  // Every window of the card's named `title`, shown or not.
  std::vector<Window> AllNamed(const char* title, Window under = 0, int depth = 0) {
    if (under == 0) under = DefaultRootWindow(D);
    std::vector<Window> out;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(D, under, &root, &parent, &children, &n)) return out;
    for (unsigned i = 0; i < n; ++i) {
      char* name = nullptr;
      if (XFetchName(D, children[i], &name) && name != nullptr) {
        if (std::strcmp(name, title) == 0) out.push_back(children[i]);
        XFree(name);
      } else if (depth < 2) {
        for (Window w : AllNamed(title, children[i], depth + 1)) out.push_back(w);
      }
    }
    if (children) XFree(children);
    return out;
  }
  bool HasTheKeyboard(Window w) {
    Window focus = 0;
    int revert;
    XGetInputFocus(D, &focus, &revert);
    for (Window at = focus; at != 0 && at != DefaultRootWindow(D) && at != PointerRoot;) {
      if (at == w) return true;
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      if (!XQueryTree(D, at, &root, &parent, &children, &n)) return false;
      if (children) XFree(children);
      at = parent;
    }
    return false;
  }
  // Whether the program has asked the window manager to activate `w`, as
  // it does when it shows a window: a request of ours sent after that
  // reaches the window manager after the program's. Needs the root's
  // SubstructureNotifyMask.
  bool AskedToActivate(Window w) {
    const Atom active = XInternAtom(D, "_NET_ACTIVE_WINDOW", False);
    while (XPending(D) > 0) {
      XEvent ev;
      XNextEvent(D, &ev);
      if (ev.type == ClientMessage && ev.xclient.message_type == active) Activated.insert(ev.xclient.window);
    }
    return Activated.count(w) > 0;
  }
  void Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(D, sym);
    XTestFakeKeyEvent(D, code, True, CurrentTime);
    XTestFakeKeyEvent(D, code, False, CurrentTime);
    XFlush(D);
  }

  Window CardWindow = 0;
  std::set<Window> Activated;
};

TEST_P(CardDialogComesBackTest, AMinimisedBoxOrDialogComesBackOnceAtAClickAndTheMenuOpensAfterIt) {
  const TCase& c = GetParam();
  if (c.Desktop == TDesktop::JwmWithItsTray) {
    ASSERT_EQ(Server.StartTray({"jwm", "-f", "/etc/jwm/system.jwmrc"}), "");
  } else if (c.Desktop == TDesktop::OpenboxWithTrayer) {
    ASSERT_EQ(Server.StartTray({"trayer", "--edge", "bottom"}), "");
  }
  WriteConfig("FirstRun=0\nAlpha=255\nRefreshTime=600000\n");
  StartCard();
  ASSERT_TRUE(WaitFor([&] { return (CardWindow = FindTop("Card")) != 0 && Viewable(CardWindow); }, 30)) << "no card";
  if (c.Desktop != TDesktop::OpenboxWithoutTray) {
    ASSERT_TRUE(WaitFor([&] { return (Icon = hktest::EmbeddedIconOf(D, Card)) != 0; }, 10))
        << "the tray holds no icon of the card";
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the fade-in, whole

  Window menu = 0;
  if (c.CardDisabled) {
    ASSERT_NE(menu = OpenMenu(), 0u) << "no menu";
    ChooseItem(menu, kDisableY);
    ASSERT_TRUE(WaitFor([&] { return !Viewable(CardWindow); }, 10)) << "Disable left the card shown";
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no double click
  }
  menu = OpenMenu();
  ASSERT_NE(menu, 0u) << "no menu";
  XSelectInput(D, DefaultRootWindow(D), SubstructureNotifyMask);
  ChooseItem(menu, c.ItemY);
  Window box = 0;
  ASSERT_TRUE(WaitFor([&] { return (box = FindTop(c.Title)) != 0 && Viewable(box) && hktest::WmStateOf(D, box) == 1; },
                      10))
      << "no " << c.Title;
  // Minimised before the program's own activation of it reached the window
  // manager, it would come back by itself.
  ASSERT_TRUE(WaitFor([&] { return AskedToActivate(box); }, 10)) << c.Title << " was never activated";

  hktest::MinimiseThroughTheWindowManager(D, box);
  ASSERT_TRUE(WaitFor([&] { return !Viewable(box) && hktest::WmStateOf(D, box) == 3; }, 10))
      << "the window manager did not minimise " << c.Title;

  // The program hears of the unmap before the click, which comes after it.
  const std::vector<Window> before = TopWindows();
  RightClick();
  std::set<Window> seen;
  const bool back = WaitFor(
      [&] {
        for (Window w : AllNamed(c.Title)) seen.insert(w);
        return Viewable(box) && hktest::WmStateOf(D, box) == 1;
      },
      1);
  EXPECT_TRUE(back) << c.Title << " is still minimised a second after the click";
  EXPECT_EQ(seen.size(), 1u) << "a second " << c.Title << " opened";
  EXPECT_TRUE(WaitFor([&] { return HasTheKeyboard(box); }, 5)) << c.Title << " came back without the keyboard";
  for (Window w : TopWindows())
    if (std::find(before.begin(), before.end(), w) == before.end() && Viewable(w) && Attributes(w).override_redirect)
      ADD_FAILURE() << "the click opened a popup (the menu) over " << c.Title;
  ASSERT_TRUE(back);

  Key(c.CloseKey);
  ASSERT_TRUE(WaitFor([&] { return !Viewable(box); }, 5)) << c.Title << " did not close";
  std::this_thread::sleep_for(std::chrono::milliseconds(600));  // no double click
  menu = OpenMenu();
  ASSERT_NE(menu, 0u) << "no menu after " << c.Title << " closed";
  ChooseItem(menu, kExitY);
  EXPECT_TRUE(WaitFor([&] { return Exited(); }, 20)) << "Exit did not end the program";
}

INSTANTIATE_TEST_SUITE_P(Desktops, CardDialogComesBackTest,
                         ::testing::Values(TCase{TDesktop::JwmWithItsTray, "About", kAboutY, XK_Return},
                                           TCase{TDesktop::JwmWithItsTray, "About", kAboutY, XK_Return, true},
                                           TCase{TDesktop::JwmWithItsTray, "Card Settings", kSettingsY, XK_Escape},
                                           TCase{TDesktop::OpenboxWithTrayer, "About", kAboutY, XK_Return},
                                           TCase{TDesktop::OpenboxWithoutTray, "About", kAboutY, XK_Return}),
                         [](const auto& info) { return CaseName(info.param); });

}  // namespace
