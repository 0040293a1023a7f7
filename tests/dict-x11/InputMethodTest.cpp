// Japanese typed into the dictionary through Debian's uim-xim and fcitx5
// (anthy), as a learner types it: Shift+Space (Ctrl+Space) turns Japanese
// on, "mizu" and Return commit みず, Space converts it to 水 first. The search box's text is read back as
// any user would take it, Ctrl+A and Ctrl+C, from the CLIPBOARD. The input
// method may come after the program, and may be killed and started again
// while the program runs.
#include "tests/dict-x11/DictionaryWindowFixture.h"
#include "tests/x11/InputMethodServer.h"

#include <X11/extensions/shape.h>

namespace {

using namespace hktest;

const std::string kMizu = "\xE3\x81\xBF\xE3\x81\x9A";  // みず
const std::string kWater = "\xE6\xB0\xB4";             // 水

class DictionaryInputMethodTest : public DictionaryWindowTest {
 protected:
  TInputMethodServer Im;
  TInputMethodServer Fcitx{TInputMethodKind::Fcitx};
  std::string Locales;

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DictionaryWindowTest::SetUp());
    if (IsSkipped()) return;
    std::string failure;
    Locales = TInputMethodServer::LocaleDir(&failure);
    ASSERT_FALSE(Locales.empty()) << failure;
    ExtraEnv = TInputMethodServer::ProgramEnvironment(Locales);
  }

  void TearDown() override {
    if (HasFailure()) std::fprintf(stderr, "--- the input method ---\n%s\n%s\n", Im.Log().c_str(), Fcitx.Log().c_str());
    Im.Stop();
    Fcitx.Stop();
    DictionaryWindowTest::TearDown();
  }

  void StartInputMethod() {
    const std::string failure = Im.Start(DisplayName);
    ASSERT_EQ(failure, "");
  }

  void Press(KeySym sym, bool down) {
    XTestFakeKeyEvent(D, XKeysymToKeycode(D, sym), down ? True : False, CurrentTime);
    XSync(D, False);
  }
  void Chord(KeySym modifier, KeySym sym) {
    Press(modifier, true);
    ASSERT_NO_FATAL_FAILURE(Key(sym));
    Press(modifier, false);
  }
  // Japanese input on (uim's on-key).
  void JapaneseOn() { ASSERT_NO_FATAL_FAILURE(Chord(XK_Shift_L, XK_space)); }

  // The search box clicked and emptied, both sides of the caret. A window
  // manager's click-to-focus grab may hold the click back while keys go on
  // to whatever has the focus (after a search, the result list): they wait
  // until it has landed.
  void ClearTheBox() {
    ClickAndLetItLand(SearchBoxX, SearchBoxY);
    for (KeySym sym : {XK_Delete, XK_BackSpace})
      for (int i = 0; i < 8; ++i) ASSERT_NO_FATAL_FAILURE(Key(sym));
  }

  // What the search box holds, copied out of it; waits until it is `wanted`.
  // Copied once, right after the keys before it: what it holds then tells
  // whether their text was taken before the copy's keys.
  bool BoxHolds(const std::string& wanted, std::string* seen) {
    Chord(XK_Control_L, XK_a);
    Chord(XK_Control_L, XK_c);
    return WaitFor([&] { return (*seen = ClipboardText(D, 1)) == wanted; }, 10);
  }

  // A window of another client over the search box: the input method's
  // preedit, drawn at the caret.
  // The input method's preedit over the spot: a window of its own inside
  // ours (our child windows are drawn into our own pixels, so any X window
  // in it is another client's), at the search box's caret.
  bool PreeditAtTheSearchBox(std::string* seen) {
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    bool found = false;
    seen->clear();
    if (!XQueryTree(D, Win, &root, &parent, &children, &n)) return false;
    for (unsigned i = 0; i < n; ++i) {
      XWindowAttributes a;
      if (!XGetWindowAttributes(D, children[i], &a) || a.map_state != IsViewable) continue;
      // It may cover the whole window, cut to its text by its shape.
      int x = a.x, y = a.y;
      Bool bounding = False, clip = False;
      int bx, by, cx, cy;
      unsigned bw, bh, cw, ch;
      if (XShapeQueryExtents(D, children[i], &bounding, &bx, &by, &bw, &bh, &clip, &cx, &cy, &cw, &ch) && bounding) {
        x += bx;
        y += by;
      }
      *seen += " at " + std::to_string(x) + "," + std::to_string(y);
      // The box runs from x 40 to 200, y 16 to 34: the preedit starts at the caret, on its line.
      found = found || (x >= 40 && x < 200 && y >= 4 && y < 40);
    }
    if (children) XFree(children);
    return found;
  }

  // Shift+Space, "mizu" and Return in the search box: みず in it, and Enter lists 水.
  void TypeMizuAndSearch() {
    ASSERT_NO_FATAL_FAILURE(ClearTheBox());
    ASSERT_NO_FATAL_FAILURE(JapaneseOn());
    ASSERT_NO_FATAL_FAILURE(Type("mizu"));
    ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
    std::string seen;
    ASSERT_TRUE(BoxHolds(kMizu, &seen)) << "the search box holds \"" << seen << "\"";
    ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
    ASSERT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "みず listed nothing";
  }
};

TEST_P(DictionaryInputMethodTest, JapaneseReachesTheSearchBoxAndTheProgramOutlivesTheInputMethod) {
  ASSERT_NO_FATAL_FAILURE(StartInputMethod());
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(TypeMizuAndSearch());

  // Converted: the preedit stands at the caret while it is typed.
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  ASSERT_NO_FATAL_FAILURE(Type("mizu"));
  std::string preedit;
  EXPECT_TRUE(WaitFor([&] { return PreeditAtTheSearchBox(&preedit); }, 10))
      << "no preedit at the search box's caret; windows in ours:" << preedit;
  ASSERT_NO_FATAL_FAILURE(Key(XK_space));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  std::string seen;
  ASSERT_TRUE(BoxHolds(kWater, &seen)) << "the search box holds \"" << seen << "\"";

  // The input method ends: keys are plain letters, and nothing crashes.
  Im.Stop();
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  ASSERT_NO_FATAL_FAILURE(Type("water"));
  ASSERT_TRUE(BoxHolds("water", &seen)) << "the search box holds \"" << seen << "\"";
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  ASSERT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "the plain keys searched nothing";

  // Started again, it types Japanese into the same program.
  ASSERT_NO_FATAL_FAILURE(StartInputMethod());
  ASSERT_NO_FATAL_FAILURE(TypeMizuAndSearch());
  EXPECT_FALSE(Exited());
}

// At a login the program may start before the input method.
TEST_P(DictionaryInputMethodTest, AProgramStartedBeforeTheInputMethodTakesItWhenItComes) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ClickAndLetItLand(SearchBoxX, SearchBoxY);
  ASSERT_NO_FATAL_FAILURE(Type("cat"));
  std::string seen;
  ASSERT_TRUE(BoxHolds("cat", &seen)) << "the search box holds \"" << seen << "\"";
  ASSERT_NO_FATAL_FAILURE(StartInputMethod());
  ASSERT_NO_FATAL_FAILURE(TypeMizuAndSearch());

  // A phrase longer than a lookup's first buffer arrives whole.
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  std::string phrase;
  for (int i = 0; i < 120; ++i) {
    ASSERT_NO_FATAL_FAILURE(Key(XK_a));
    phrase += "\xE3\x81\x82";  // あ
  }
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  EXPECT_TRUE(BoxHolds(phrase, &seen)) << "the search box holds " << seen.size() << " bytes, not " << phrase.size()
                                       << (seen.size() < 64 ? ": \"" + seen + "\"" : std::string());
}

// fcitx5 over XIM: its window with the preedit stands at the caret (below
// it), and a user restarting it (SIGTERM) leaves plain typing, then
// Japanese again once it is back.
TEST_P(DictionaryInputMethodTest, Fcitx5TypesAtTheCaretAndOutlivesARestart) {
  ExtraEnv = TInputMethodServer::ProgramEnvironment(Locales, TInputMethodKind::Fcitx);
  ASSERT_EQ(Fcitx.Start(DisplayName), "");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  ASSERT_NO_FATAL_FAILURE(Chord(XK_Control_L, XK_space));
  ASSERT_NO_FATAL_FAILURE(Type("mizu"));
  int px = -1, py = -1;
  auto atTheCaret = [&] {
    const Window popup = FindWindow("Fcitx5 Input Window");
    if (popup == 0) return false;
    Window child;
    XTranslateCoordinates(D, popup, DefaultRootWindow(D), 0, 0, &px, &py, &child);
    const auto [ox, oy] = Origin();
    px -= ox;
    py -= oy;
    // The box runs from x 40 to 200, y 16 to 34.
    return px >= 40 && px < 200 && py >= 16 && py < 70;
  };
  EXPECT_TRUE(WaitFor(atTheCaret, 10)) << "fcitx5's window is at " << px << "," << py << " of ours";
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  std::string seen;
  ASSERT_TRUE(BoxHolds(kMizu, &seen)) << "the search box holds \"" << seen << "\"";

  Fcitx.Stop(SIGTERM);
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  ASSERT_NO_FATAL_FAILURE(Type("cat"));
  ASSERT_TRUE(BoxHolds("cat", &seen)) << "the search box holds \"" << seen << "\"";

  ASSERT_EQ(Fcitx.Start(DisplayName), "");
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  ASSERT_NO_FATAL_FAILURE(Chord(XK_Control_L, XK_space));
  ASSERT_NO_FATAL_FAILURE(Type("mizu"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_space));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  ASSERT_TRUE(BoxHolds(kWater, &seen)) << "the search box holds \"" << seen << "\"";
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  EXPECT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "水 listed nothing";
}

// A user's locale the machine does not have: the program still types
// through an input method that takes any locale (fcitx5), in C.UTF-8.
TEST_P(DictionaryInputMethodTest, ALocaleTheMachineLacksFallsBackToUtf8) {
  if (UnderWindowManager()) GTEST_SKIP() << "the locale is no window manager's business";
  ExtraEnv = {"LOCPATH=", "LANG=xx_YY.UTF-8", "LC_CTYPE=", "LC_ALL=", "XMODIFIERS=@im=fcitx"};
  ASSERT_EQ(Fcitx.Start(DisplayName), "");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(ClearTheBox());
  ASSERT_NO_FATAL_FAILURE(Chord(XK_Control_L, XK_space));
  ASSERT_NO_FATAL_FAILURE(Type("mizu"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  std::string seen;
  EXPECT_TRUE(BoxHolds(kMizu, &seen)) << "the search box holds \"" << seen << "\"";
}

INSTANTIATE_TEST_SUITE_P(, DictionaryInputMethodTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const ::testing::TestParamInfo<TWindowManager>& info) {
                           return std::string(hktest::WindowManagerName(info.param));
                         });

}  // namespace
