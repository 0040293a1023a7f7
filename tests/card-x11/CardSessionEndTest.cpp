// The end of a session on the card whose config.ini its user may not write,
// as in a system-wide install: SIGTERM at logout, or the display closing
// under it, ends it in a few seconds with status 0. The failed save is
// written to standard error, no box waits for a user, and nothing spins on
// a dead connection.
#include "tests/card-x11/CardDisplayFixture.h"

#include "tests/support/ProcessTimes.h"

namespace {

using hktest::CardOnTheDisplayTest;
using hktest::kExitY;
using hktest::TWindowManager;
namespace fs = std::filesystem;

enum class TEndKind { Signal, DisplayCloses, SignalUnderTheBox, DisplayClosesUnderTheBox };

struct TCase {
  TWindowManager Manager;
  TEndKind Kind;
};
const char* const kKindNames[] = {"Signal", "DisplayCloses", "SignalUnderTheBox", "DisplayClosesUnderTheBox"};
void PrintTo(const TCase& c, std::ostream* out) {
  *out << kKindNames[static_cast<int>(c.Kind)] << " " << hktest::WindowManagerName(c.Manager);
}

std::string CaseName(const testing::TestParamInfo<TCase>& info) {
  return std::string(kKindNames[static_cast<int>(info.param.Kind)]) + "_" + hktest::WindowManagerName(info.param.Manager);
}

class CardSessionEndTest : public CardOnTheDisplayTest, public ::testing::WithParamInterface<TCase> {
 protected:
  TWindowManager WindowManager() const override { return GetParam().Manager; }
  std::string Log() {
    std::stringstream text;
    text << std::ifstream(Dir / "program.log").rdbuf();
    return text.str();
  }
  // The program's box (its title is the program's), under a window
  // manager's frame or not.
  bool BoxShown() {
    const Window box = FindTop("HanakumoCard");
    return box != 0 && Viewable(box);
  }
};

TEST_P(CardSessionEndTest, EndsInAFewSecondsWithoutABoxOrASpin) {
  const std::string before = StartWithAReadOnlyConfig("FirstRun=0\nAlpha=200\n");
  ASSERT_TRUE(WaitForCardAndIcon());
  switch (GetParam().Kind) {
    case TEndKind::Signal: kill(Card, SIGTERM); break;
    case TEndKind::DisplayCloses: CloseTheDisplay(); break;
    case TEndKind::SignalUnderTheBox:
    case TEndKind::DisplayClosesUnderTheBox: {
      // Exit from the menu is no session end: the failure is said in a box,
      // and the user logs out with it up.
      Window menu = OpenTrayMenu(Icon);
      ASSERT_NE(menu, 0u) << "no menu";
      ChooseItem(menu, kExitY);
      ASSERT_TRUE(WaitFor([&] { return BoxShown(); }, 10)) << "the failure was not said";
      if (GetParam().Kind == TEndKind::SignalUnderTheBox) kill(Card, SIGTERM);
      else CloseTheDisplay();
      break;
    }
  }
  const hktest::TEnd end = hktest::WatchTheEnd(Card, 5);
  if (end.Exited) Card = -1;
  ASSERT_TRUE(end.Exited) << "still running 5 s after the end began, " << end.Cpu << " CPU seconds in its first 2 s";
  EXPECT_TRUE(WIFEXITED(end.WaitStatus) && WEXITSTATUS(end.WaitStatus) == 0) << "status " << end.WaitStatus;
  EXPECT_LT(end.Cpu, 0.5) << "CPU seconds in the 2 s after the end began";
  // The failure reaches standard error, whether its box was never shown
  // or was up when the end came.
  EXPECT_NE(Log().find("HanakumoCard: Unable to write to " + (Dir / "config.ini").string()), std::string::npos)
      << Log();
  EXPECT_EQ(ReadConfig(), before);
  EXPECT_FALSE(fs::exists(Dir / "config.ini.new"));
}

INSTANTIATE_TEST_SUITE_P(
    Ends, CardSessionEndTest,
    ::testing::Values(TCase{TWindowManager::NoWindowManager, TEndKind::Signal},
                      TCase{TWindowManager::Openbox, TEndKind::Signal},
                      TCase{TWindowManager::NoWindowManager, TEndKind::DisplayCloses},
                      TCase{TWindowManager::Openbox, TEndKind::DisplayCloses},
                      TCase{TWindowManager::NoWindowManager, TEndKind::SignalUnderTheBox},
                      TCase{TWindowManager::Openbox, TEndKind::SignalUnderTheBox},
                      TCase{TWindowManager::NoWindowManager, TEndKind::DisplayClosesUnderTheBox},
                      TCase{TWindowManager::Openbox, TEndKind::DisplayClosesUnderTheBox}),
    CaseName);

}  // namespace
