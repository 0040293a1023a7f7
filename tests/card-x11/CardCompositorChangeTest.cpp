// The card while compositing managers start and stop beside it, as a user
// sees it: a client of its own samples the screen at the card's place many
// times a second, and no sample may show the card's rectangle black, in
// the middle of a refresh's fade as much as between refreshes.
#include <atomic>
#include <mutex>
#include <tuple>

#include "tests/card-x11/CardDisplayFixture.h"

namespace {

using hktest::TWindowManager;

class CardCompositorChangeTest : public hktest::CardOnTheDisplayTest,
                                 public ::testing::WithParamInterface<TWindowManager> {
 protected:
  TWindowManager WindowManager() const override { return GetParam(); }
};

// Reads the screen over a rectangle as fast as it can on a connection of
// its own, and keeps what the black samples were doing: more than half of
// them black. The card's paper is dark, yet brighter than this when drawn
// opaque (about 10) and far brighter when blended at its opacity over the
// desktop; its image shown unblended at opacity 99, as the server shows a
// 32-bit window while nothing composites it, is darker (about 4).
class TBlackSampler {
 public:
  static constexpr unsigned long kBlack = 6;

  TBlackSampler(const std::string& display, int x, int y, int width, int height)
      : X(x), Y(y), Width(width), Height(height), Thread([this, display] { Run(display); }) {}
  ~TBlackSampler() {
    Stop = true;
    Thread.join();
  }
  // What the desktop is doing now; `settled`: a black sample from now on is
  // one the card could have prevented. A compositor that stops takes the
  // card's translucent picture off the screen before it can say so: the
  // samples right after, until the card hears of it, are no such fault.
  void SetPhase(const std::string& phase, bool settled) {
    std::lock_guard<std::mutex> guard(Lock);
    Phase = phase;
    Settled = settled;
    Unsettled = 0;
  }
  int Samples() const { return Count; }
  std::vector<std::string> Black() {
    std::lock_guard<std::mutex> guard(Lock);
    return Blacks;
  }

 private:
  void Run(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (d == nullptr) return;
    const auto start = hktest::Clock::now();
    while (!Stop) {
      XImage* img = XGetImage(d, DefaultRootWindow(d), X, Y, static_cast<unsigned>(Width),
                              static_cast<unsigned>(Height), AllPlanes, ZPixmap);
      if (img == nullptr) continue;
      long black = 0;
      for (int j = 0; j < Height; ++j)
        for (int i = 0; i < Width; ++i) {
          const unsigned long p = XGetPixel(img, i, j);
          black += std::max({(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF}) <= kBlack;
        }
      XDestroyImage(img);
      ++Count;
      if (black * 2 > static_cast<long>(Width) * Height) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(hktest::Clock::now() - start).count();
        std::lock_guard<std::mutex> guard(Lock);
        if (Settled || ++Unsettled > kAnswerSamples)
          Blacks.push_back(Phase + " at " + std::to_string(ms) + " ms (" +
                           std::to_string(black * 100 / (Width * Height)) + "% black)");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    XCloseDisplay(d);
  }

  const int X, Y, Width, Height;
  std::atomic<bool> Stop{false};
  std::atomic<int> Count{0};
  std::mutex Lock;
  std::string Phase = "start";
  bool Settled = true;
  // Black samples let pass after a compositor stops: the card answers its
  // going at once, a fade in the middle or not (a fade held the black for
  // up to 400 ms, a hundred samples or more).
  static constexpr int kAnswerSamples = 8;
  int Unsettled = 0;
  std::vector<std::string> Blacks;
  std::thread Thread;
};

TEST_P(CardCompositorChangeTest, NoBlackCardWhileCompositorsStartAndStop) {
  // One entry, a refresh every second: the card keeps its place and size,
  // and a change often comes in the middle of a fade.
  std::ofstream(Dir / "dict.txt") << "水 [みず] /(n) water/\n";
  WriteConfig("FirstRun=0\nAlpha=100\nRefreshTime=1000\n");
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  Window card = 0;
  ASSERT_TRUE(WaitFor([&] { return (card = FindTop("Card")) != 0 && Viewable(card); }, 30)) << "no card";
  ASSERT_TRUE(WaitForNewCard(card, 10));
  const auto [cx, cy] = Origin(card);
  const XWindowAttributes a = Attributes(card);

  TBlackSampler sampler(Server.Name(), cx, cy, a.width, a.height);
  for (int round = 0; round < 3; ++round) {
    for (const char* name : {"picom", "xcompmgr"}) {
      const std::string which = std::string(name) + " " + std::to_string(round);
      sampler.SetPhase(which + " starting", true);
      ASSERT_NO_FATAL_FAILURE(StartCompositor(name));
      sampler.SetPhase(which + " running", true);
      // A refresh or two under it, the change landing elsewhere each time.
      ASSERT_TRUE(WaitForNewCard(card, 10));
      std::this_thread::sleep_for(std::chrono::milliseconds(150 * round));
      sampler.SetPhase(which + " stopping", false);
      StopCompositor();
      ASSERT_TRUE(WaitFor([&] { return !CompositorRunning(); }, 10));
      ASSERT_TRUE(WaitForNewCard(card, 10));
      sampler.SetPhase(which + " stopped", true);
      std::this_thread::sleep_for(std::chrono::milliseconds(150 * round));
    }
  }
  const std::vector<std::string> black = sampler.Black();
  EXPECT_GT(sampler.Samples(), 200);
  std::string list;
  for (size_t i = 0; i < black.size() && i < 20; ++i) list += "\n  " + black[i];
  EXPECT_TRUE(black.empty()) << black.size() << " of " << sampler.Samples() << " samples show a black card:" << list;
}

INSTANTIATE_TEST_SUITE_P(Setups, CardCompositorChangeTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const auto& info) { return std::string(hktest::WindowManagerName(info.param)); });

}  // namespace
