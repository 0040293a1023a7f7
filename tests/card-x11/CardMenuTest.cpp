// The card's menus as an X11 desktop program's: the tray menu and the
// settings dialog's drop-down list are popups that take the pointer and the
// keyboard while open, close on a press outside (which reaches nothing
// else), take their keys, and stay above the panel.
#include "tests/card-x11/CardDisplayFixture.h"

#include <X11/keysym.h>

namespace {

using hktest::kExitY;
using hktest::TWindowManager;

// The tray menu's Settings item, from the menu's top.
constexpr int kSettingsY = 2 + 3 * 22 + 9 + 11;

class CardMenuTest : public hktest::CardOnTheDisplayTest, public ::testing::WithParamInterface<TWindowManager> {
 protected:
  TWindowManager WindowManager() const override { return GetParam(); }

  // The card shown and its icon docked; a long period keeps the card still.
  void StartCardWithTray(const std::string& keys = "") {
    WriteConfig("FirstRun=0\nAlpha=255\nRefreshTime=600000\n" + keys);
    ASSERT_NO_FATAL_FAILURE(StartTray());
    StartCard();
    ASSERT_TRUE(WaitFor([&] { return (CardWindow = FindTop("Card")) != 0 && Viewable(CardWindow); }, 30))
        << "no card";
    ASSERT_TRUE(WaitFor([&] { return (Icon = DockedIcon()) != 0; }, 10)) << "the icon did not dock";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // the fade-in
  }
  void Key(KeySym sym) {
    KeyCode code = XKeysymToKeycode(D, sym);
    XTestFakeKeyEvent(D, code, True, CurrentTime);
    XTestFakeKeyEvent(D, code, False, CurrentTime);
    XFlush(D);
  }
  // A click as a hand makes it, each part on its own: a press and release
  // sent together are another matter.
  void Press(int x, int y, unsigned button) {
    XTestFakeMotionEvent(D, DefaultScreen(D), x, y, CurrentTime);
    XFlush(D);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    XTestFakeButtonEvent(D, button, True, CurrentTime);
    XFlush(D);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    XTestFakeButtonEvent(D, button, False, CurrentTime);
    XFlush(D);
  }
  // The tray icon's menu, opened again: a second right press within the
  // double-click time would be a double click.
  Window OpenMenuAgain() {
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    return OpenTrayMenu(Icon);
  }
  bool Closes(Window popup) { return WaitFor([&] { return !Viewable(popup); }, 5); }
  bool Ends() { return WaitFor([&] { return Exited(); }, 10); }
  // The new viewable top-level window that an action brings.
  template <typename F>
  Window NewWindowAfter(F action) {
    std::vector<Window> before = TopWindows();
    action();
    Window found = 0;
    WaitFor(
        [&] {
          for (Window w : TopWindows())
            if (std::find(before.begin(), before.end(), w) == before.end() && Viewable(w)) found = w;
          return found != 0;
        },
        10);
    return found;
  }
  // Whether `window` is what the screen shows at the point: the topmost
  // viewable child of the root there.
  bool ShownAt(Window window, int x, int y) {
    Window top = 0;
    for (Window w : TopWindows()) {
      XWindowAttributes a = Attributes(w);
      if (a.map_state == IsViewable && x >= a.x && y >= a.y && x < a.x + a.width && y < a.y + a.height) top = w;
    }
    return top == TopOf(window);
  }
  Window Panel() {
    std::istringstream lines(TrayLog());
    std::string word, id;
    while (lines >> word >> id)
      if (word == "ready") return static_cast<Window>(std::stoul(id, nullptr, 16));
    return 0;
  }
  // Events of another client's window, drained: whether a press came.
  bool PressReached(Window w) {
    XSync(D, False);
    bool pressed = false;
    XEvent ev;
    while (XCheckWindowEvent(D, w, ButtonPressMask | ButtonReleaseMask, &ev)) pressed |= ev.type == ButtonPress;
    return pressed;
  }

  Window CardWindow = 0, Icon = 0;
};

TEST_P(CardMenuTest, TheTrayMenuClosesOnAPressOutsideAndOnEscapeAndItsMnemonicEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartCardWithTray());
  Window other = MakeWindow(40, 40, 200, 150, ButtonPressMask | ButtonReleaseMask);

  // A popup of its own, outside the window manager's care.
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u) << "no menu at a right press on the icon";
  EXPECT_TRUE(Attributes(menu).override_redirect);
  // A press on another program's window closes the menu and is not a click there.
  Press(140, 110, 1);
  EXPECT_TRUE(Closes(menu)) << "a press outside left the menu open";
  EXPECT_FALSE(PressReached(other)) << "the press that closed the menu reached the window below";
  // A press on the desktop, too.
  menu = OpenMenuAgain();
  ASSERT_NE(menu, 0u);
  Press(600, 300, 1);
  EXPECT_TRUE(Closes(menu)) << "a press on the desktop left the menu open";

  menu = OpenMenuAgain();
  ASSERT_NE(menu, 0u);
  Key(XK_Escape);
  EXPECT_TRUE(Closes(menu)) << "Escape left the menu open";

  // The keyboard is the menu's, wherever the focus was: "&Exit" by its letter.
  menu = OpenMenuAgain();
  ASSERT_NE(menu, 0u);
  Key(XK_e);
  EXPECT_TRUE(Ends()) << "\"e\" did not end the program";
}

TEST_P(CardMenuTest, ExitIsShownAboveThePanelAndAClickOnItsMiddleEndsTheProgram) {
  ASSERT_NO_FATAL_FAILURE(StartCardWithTray());
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u) << "no menu";
  XWindowAttributes a = Attributes(menu);
  auto [mx, my] = Origin(menu);
  const int sw = DisplayWidth(D, DefaultScreen(D)), sh = DisplayHeight(D, DefaultScreen(D));
  EXPECT_GE(mx, 0);
  EXPECT_GE(my, 0);
  EXPECT_LE(mx + a.width, sw);
  EXPECT_LE(my + a.height, sh);
  std::vector<Window> stack = TopWindows();
  auto pos = [&](Window x) { return std::find(stack.begin(), stack.end(), x) - stack.begin(); };
  ASSERT_NE(Panel(), 0u);
  EXPECT_GT(pos(TopOf(menu)), pos(Panel())) << "the panel covers the menu";
  const int ex = mx + a.width / 2, ey = my + kExitY;
  EXPECT_TRUE(ShownAt(menu, ex, ey)) << "Exit is covered";
  Press(ex, ey, 1);
  EXPECT_TRUE(Ends()) << "a click on Exit did not end the program";
}

TEST_P(CardMenuTest, WithoutANotificationAreaALockedCardStillOpensItsMenu) {
  WriteConfig("FirstRun=0\nAlpha=255\nRefreshTime=600000\nLock=1\n");
  StartCard();
  ASSERT_TRUE(WaitFor([&] { return (CardWindow = FindTop("Card")) != 0 && Viewable(CardWindow); }, 30)) << "no card";
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // the fade-in, whole
  XWindowAttributes a = Attributes(CardWindow);
  auto [cx, cy] = Origin(CardWindow);
  Window menu = NewWindowAfter([&] { Press(cx + a.width / 2, cy + a.height / 2, 3); });
  ASSERT_NE(menu, 0u) << "a locked card without a tray opened no menu";
  Key(XK_Escape);
  EXPECT_TRUE(Closes(menu));
  // Lock stays chosen for a desktop that has a tray. (A second press right
  // after the first would be a double click.)
  std::this_thread::sleep_for(std::chrono::milliseconds(600));
  menu = NewWindowAfter([&] { Press(cx + a.width / 2, cy + a.height / 2, 3); });
  ASSERT_NE(menu, 0u);
  Key(XK_e);
  ASSERT_TRUE(Ends());
  EXPECT_NE(ReadConfig().find("Lock=1"), std::string::npos) << ReadConfig();
}

TEST_P(CardMenuTest, InResizeFromOTwiceThenEnterChoosesBottomRightAndOneOLeavesTheMenuOpen) {
  ASSERT_NO_FATAL_FAILURE(StartCardWithTray("ResizingFrom=0\n"));
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u);
  Key(XK_r);  // "&Resize From", the one R: its submenu opens
  // "T&op Right" and "B&ottom Right" share O: one press selects the first
  // and acts on nothing, so the menu stays.
  Key(XK_o);
  EXPECT_FALSE(WaitFor([&] { return !Viewable(menu); }, 1)) << "one O acted and closed the menu";
  Key(XK_o);
  Key(XK_Return);
  ASSERT_TRUE(Closes(menu)) << "Enter left the menu open";
  menu = OpenMenuAgain();
  ASSERT_NE(menu, 0u);
  Key(XK_e);  // a letter one item has acts at once
  ASSERT_TRUE(Ends());
  EXPECT_NE(ReadConfig().find("ResizingFrom=4"), std::string::npos) << ReadConfig();
}

// The tray menu's About item: below Settings and a separator.
constexpr int kAboutY = 2 + 3 * 22 + 9 + 22 + 9 + 11;

// WM_NORMAL_HINTS: whether the window's least and largest sizes are set and
// equal, so no window manager offers to resize or maximise it.
bool FixedSize(Display* d, Window w, std::string* said) {
  XSizeHints hints{};
  long supplied = 0;
  if (!XGetWMNormalHints(d, w, &hints, &supplied)) {
    *said = "no WM_NORMAL_HINTS";
    return false;
  }
  std::ostringstream out;
  out << "flags " << hints.flags << ", min " << hints.min_width << "x" << hints.min_height << ", max "
      << hints.max_width << "x" << hints.max_height;
  *said = out.str();
  return (hints.flags & PMinSize) && (hints.flags & PMaxSize) && hints.min_width == hints.max_width &&
         hints.min_height == hints.max_height && hints.min_width > 0 && hints.min_height > 0;
}

// Under a window manager: whether it lets the user resize or maximise the
// window (_NET_WM_ALLOWED_ACTIONS, once it has set them).
bool ResizableByTheWindowManager(Display* d, Window w) {
  Atom type;
  int format;
  unsigned long n = 0, after;
  unsigned char* data = nullptr;
  bool resizable = false;
  if (XGetWindowProperty(d, w, XInternAtom(d, "_NET_WM_ALLOWED_ACTIONS", False), 0, 64, False, XA_ATOM, &type,
                         &format, &n, &after, &data) == Success &&
      data != nullptr) {
    for (const char* name : {"_NET_WM_ACTION_RESIZE", "_NET_WM_ACTION_MAXIMIZE_HORZ", "_NET_WM_ACTION_MAXIMIZE_VERT"})
      for (unsigned long i = 0; i < n; ++i)
        resizable |= reinterpret_cast<Atom*>(data)[i] == XInternAtom(d, name, False);
  }
  if (data) XFree(data);
  return resizable;
}

TEST_P(CardMenuTest, TheAboutBoxBelongsToTheCardAndIsAboveItAndTheDialogsKeepTheirSize) {
  ASSERT_NO_FATAL_FAILURE(StartCardWithTray());
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u);
  ChooseItem(menu, kAboutY);
  Window box = 0;
  ASSERT_TRUE(WaitFor([&] { return (box = FindTop("About")) != 0 && Viewable(box); }, 10)) << "no About box";
  Window owner = 0;
  EXPECT_TRUE(XGetTransientForHint(D, box, &owner));
  EXPECT_EQ(owner, CardWindow) << "the box is not transient for the card";
  // Above the card: the box's frame comes after the card in the root's
  // children, bottom to top (a window manager may restack a moment later).
  auto above = [&] {
    std::vector<Window> stack = TopWindows();
    auto pos = [&](Window x) { return std::find(stack.begin(), stack.end(), x) - stack.begin(); };
    return pos(TopOf(box)) > pos(TopOf(CardWindow));
  };
  EXPECT_TRUE(WaitFor(above, 5)) << "the card covers the About box";
  std::string said;
  EXPECT_TRUE(FixedSize(D, box, &said)) << "About: " << said;
  const bool managed = GetParam() != TWindowManager::NoWindowManager;
  if (managed) {
    EXPECT_FALSE(ResizableByTheWindowManager(D, box)) << "the window manager offers to resize About";
  }
  Key(XK_Return);
  EXPECT_TRUE(WaitFor([&] { return !Viewable(box); }, 5)) << "OK left the box";

  menu = OpenMenuAgain();
  ASSERT_NE(menu, 0u);
  ChooseItem(menu, kSettingsY);
  Window dialog = 0;
  ASSERT_TRUE(WaitFor([&] { return (dialog = FindTop("Card Settings")) != 0 && Viewable(dialog); }, 10))
      << "no settings dialog";
  EXPECT_TRUE(FixedSize(D, dialog, &said)) << "Card Settings: " << said;
  if (managed) {
    EXPECT_FALSE(ResizableByTheWindowManager(D, dialog)) << "the window manager offers to resize Card Settings";
  }
}

INSTANTIATE_TEST_SUITE_P(Desktops, CardMenuTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const auto& info) { return std::string(hktest::WindowManagerName(info.param)); });

class CardSettingsListTest : public CardMenuTest {};

TEST_P(CardSettingsListTest, TheResizeFromListClosesOnAPressOutsideAndTakesTheArrowKeysAndReturn) {
  ASSERT_NO_FATAL_FAILURE(StartCardWithTray("ResizingFrom=0\n"));
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u);
  auto [mx, my] = Origin(menu);
  Window dialog = 0;
  Press(mx + 30, my + kSettingsY, 1);
  ASSERT_TRUE(WaitFor([&] { return (dialog = FindTop("Card Settings")) != 0 && Viewable(dialog); }, 10))
      << "no settings dialog";
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  // The dialog's client area (290 x 319) sits at the bottom of its window,
  // inside the frame's border.
  XWindowAttributes d = Attributes(dialog);
  auto [dx, dy] = Origin(dialog);
  const int border = (d.width - 290) / 2;
  const int clientX = dx + border, clientY = dy + d.height - 319 - border;
  const int boxX = clientX + 96 + 92, boxY = clientY + 96 + 10;
  auto openList = [&] { return NewWindowAfter([&] { Press(boxX, boxY, 1); }); };

  Window list = openList();
  ASSERT_NE(list, 0u) << "no list at a press on the box";
  EXPECT_TRUE(Attributes(list).override_redirect);
  Press(700, 600, 1);  // the desktop
  EXPECT_TRUE(Closes(list)) << "a press outside left the list open";

  list = openList();
  ASSERT_NE(list, 0u);
  Key(XK_Down);
  Key(XK_Return);
  EXPECT_TRUE(Closes(list)) << "Return left the list open";
  // OK keeps "Top Left", which the end writes into config.ini.
  Press(clientX + 128 + 37, clientY + 288 + 12, 1);
  ASSERT_TRUE(WaitFor([&] { return !Viewable(dialog); }, 5)) << "OK did not close the dialog";
  menu = OpenMenuAgain();
  ASSERT_NE(menu, 0u);
  Key(XK_e);
  ASSERT_TRUE(Ends());
  EXPECT_NE(ReadConfig().find("ResizingFrom=1"), std::string::npos) << ReadConfig();
}

INSTANTIATE_TEST_SUITE_P(Desktops, CardSettingsListTest, ::testing::Values(TWindowManager::Openbox),
                         [](const auto& info) { return std::string(hktest::WindowManagerName(info.param)); });

}  // namespace
