// The card by the screen's edge: a tall entry whose point lies at the top
// edge is shown whole inside the work area (under openbox, below a
// panel's strut), through its refreshes, and the point the user chose is
// what config.ini keeps.
#include "tests/card-x11/CardDisplayFixture.h"

namespace {

using hktest::kExitY;
using hktest::TWindowManager;

class CardPlacementTest : public hktest::CardOnTheDisplayTest, public ::testing::WithParamInterface<TWindowManager> {
 protected:
  TWindowManager WindowManager() const override { return GetParam(); }

  struct TArea {
    int left, top, right, bottom;
  };
  // The root's _NET_WORKAREA, or the screen where nobody sets one.
  TArea WorkArea() {
    TArea area{0, 0, DisplayWidth(D, DefaultScreen(D)), DisplayHeight(D, DefaultScreen(D))};
    Atom type;
    int format;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(D, DefaultRootWindow(D), XInternAtom(D, "_NET_WORKAREA", False), 0, 4, False, XA_CARDINAL,
                           &type, &format, &n, &after, &data) == Success &&
        data != nullptr && n >= 4) {
      const long* a = reinterpret_cast<long*>(data);
      area = TArea{static_cast<int>(a[0]), static_cast<int>(a[1]), static_cast<int>(a[0] + a[2]),
                  static_cast<int>(a[1] + a[3])};
    }
    if (data) XFree(data);
    return area;
  }
  // A panel along the top of the screen that reserves its height, as a
  // desktop's panel does.
  void AddTopPanel(int height) {
    const int width = DisplayWidth(D, DefaultScreen(D));
    Window panel = XCreateSimpleWindow(D, DefaultRootWindow(D), 0, 0, static_cast<unsigned>(width),
                                       static_cast<unsigned>(height), 0, 0, 0x303030);
    Atom dock = XInternAtom(D, "_NET_WM_WINDOW_TYPE_DOCK", False);
    XChangeProperty(D, panel, XInternAtom(D, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&dock), 1);
    long strut[12] = {0, 0, height, 0, 0, 0, 0, 0, 0, width - 1, 0, 0};
    XChangeProperty(D, panel, XInternAtom(D, "_NET_WM_STRUT_PARTIAL", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(strut), 12);
    XMapWindow(D, panel);
    XSync(D, False);
  }
  // The card lies whole inside the work area.
  ::testing::AssertionResult Inside(Window card, const TArea& area) {
    const auto [x, y] = Origin(card);
    const XWindowAttributes a = Attributes(card);
    if (x >= area.left && y >= area.top && x + a.width <= area.right && y + a.height <= area.bottom)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "the card lies at " << x << ", " << y << ", " << a.width << " x "
                                         << a.height << "; the work area is " << area.left << ", " << area.top
                                         << " - " << area.right << ", " << area.bottom;
  }
};

TEST_P(CardPlacementTest, ATallCardWithItsPointAtTheTopEdgeLiesInsideTheWorkArea) {
  constexpr int kPanel = 40;
  if (GetParam() == TWindowManager::Openbox) {
    AddTopPanel(kPanel);
    ASSERT_TRUE(WaitFor([&] { return WorkArea().top == kPanel; }, 20))
        << "openbox kept no strut for the panel: the work area starts at " << WorkArea().top;
  }
  const TArea area = WorkArea();
  std::string entry = "水 [みず] /";
  for (int i = 1; i <= 30; ++i) entry += "(" + std::to_string(i) + ") water, a gloss of some length " + std::to_string(i) + "/";
  std::ofstream(Dir / "dict.txt") << entry << "\n";
  WriteConfig("FirstRun=0\nRefreshTime=1000\nResizingPointX=640\nResizingPointY=5\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  Window card = 0;
  ASSERT_TRUE(WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30)) << "no card";
  Window icon = 0;
  ASSERT_TRUE(WaitFor([&] { return (icon = DockedIcon()) != 0; }, 10)) << "the icon did not dock";
  EXPECT_GT(Attributes(card).height, 400) << "not the tall card this is about";
  EXPECT_TRUE(Inside(card, area));
  // A refresh hides the card and shows the next where the point puts it.
  ASSERT_TRUE(WaitForNewCard(card, 10));
  EXPECT_TRUE(Inside(card, area));
  const auto [x, y] = Origin(card);
  EXPECT_EQ(x + Attributes(card).width / 2, 640) << "moved sideways";

  Window menu = OpenTrayMenu(icon);
  ASSERT_NE(menu, 0u) << "no menu";
  ChooseItem(menu, kExitY);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 10)) << "Exit did not end the program";
  const std::string config = ReadConfig();
  EXPECT_NE(config.find("ResizingPointX=640\n"), std::string::npos) << config;
  EXPECT_NE(config.find("ResizingPointY=5\n"), std::string::npos) << config;
}

INSTANTIATE_TEST_SUITE_P(Desktops, CardPlacementTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const auto& info) { return std::string(hktest::WindowManagerName(info.param)); });

}  // namespace
