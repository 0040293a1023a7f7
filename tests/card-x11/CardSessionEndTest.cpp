// The end of a session on the card whose config.ini its user may not write,
// as in a system-wide install: SIGTERM at logout, or the display closing
// under it, ends it in a few seconds with status 0. The failed save is
// written to standard error, no box waits for a user, and nothing spins on
// a dead connection.
#include "tests/card-x11/CardDisplayFixture.h"

#include "tests/support/ProcessTimes.h"
#include "tests/x11/OtherClients.h"

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

// Three cards and another program flooding the display with restacks (a
// fight's worth of events, whoever starts it): a signal still ends each
// card within a second, and a server that ends under the queued events ends
// each in order. Either way with status 0 and its settings saved.
enum class TFloodEnd { Signal, ServerEnds };
struct TFloodCase {
  TWindowManager Manager;
  TFloodEnd Kind;
};
void PrintTo(const TFloodCase& c, std::ostream* out) {
  *out << (c.Kind == TFloodEnd::Signal ? "Signal " : "ServerEnds ") << hktest::WindowManagerName(c.Manager);
}
std::string FloodCaseName(const testing::TestParamInfo<TFloodCase>& info) {
  return std::string(info.param.Kind == TFloodEnd::Signal ? "Signal" : "ServerEnds") + "_" +
         hktest::WindowManagerName(info.param.Manager);
}

class CardSessionEndUnderAFloodTest : public CardOnTheDisplayTest, public ::testing::WithParamInterface<TFloodCase> {
 protected:
  TWindowManager WindowManager() const override { return GetParam().Manager; }
  // The keys each card is started with; the rest it writes at its exit.
  static std::string Keys(int n) {
    return "FirstRun=0\nAlpha=" + std::to_string(150 + n) + "\nRefreshTime=60000\nResizingPointX=" +
           std::to_string(300 + 60 * n) + "\nResizingPointY=" + std::to_string(300 + 40 * n) + "\n";
  }
};

TEST_P(CardSessionEndUnderAFloodTest, EachCardEndsAtOnceWithItsSettingsSaved) {
  WriteConfig(Keys(0));
  ASSERT_NO_FATAL_FAILURE(StartTray());
  StartCard();
  StartAnotherCard(Keys(1));
  StartAnotherCard(Keys(2));
  std::vector<std::pair<pid_t, fs::path>> cards{{Card, Dir}};
  for (const auto& other : OtherCards) cards.emplace_back(other.Pid, other.Dir);
  for (auto& [pid, dir] : cards) {
    Window card = 0;
    ASSERT_TRUE(WaitFor([&, pid = pid] { return (card = CardOf(pid)) != 0 && Viewable(card); }, 30))
        << "no card from " << dir;
  }
  hktest::TRestackFlood flood(Server.Name(), 20, 20);
  ASSERT_TRUE(flood.Connected());
  ASSERT_TRUE(WaitFor([&] { return flood.Restacks > 5000; }, 10)) << "no flood";
  // What following the flood costs each card, for the record.
  std::vector<double> before;
  for (auto& card : cards) before.push_back(hktest::CpuSeconds(card.first));
  const long restacks = flood.Restacks;
  std::this_thread::sleep_for(std::chrono::seconds(1));
  std::printf("under %ld restacks a second:", static_cast<long>(flood.Restacks - restacks));
  for (size_t i = 0; i < cards.size(); ++i) std::printf(" %.0f %%", (hktest::CpuSeconds(cards[i].first) - before[i]) * 100);
  std::printf(" of a core\n");

  const auto start = hktest::Clock::now();
  if (GetParam().Kind == TFloodEnd::Signal) {
    for (auto& card : cards) kill(card.first, SIGTERM);
  } else {
    // The flood goes on until the server is gone.
    CloseTheDisplay();
  }
  std::vector<int> statuses(cards.size(), -1);
  std::vector<double> seconds(cards.size(), -1);
  WaitFor(
      [&] {
        bool all = true;
        for (size_t i = 0; i < cards.size(); ++i) {
          int status = 0;
          if (seconds[i] < 0 && waitpid(cards[i].first, &status, WNOHANG) == cards[i].first) {
            statuses[i] = status;
            seconds[i] = std::chrono::duration<double>(hktest::Clock::now() - start).count();
          }
          all = all && seconds[i] >= 0;
        }
        return all;
      },
      10);
  flood.Stop();
  for (size_t i = 0; i < cards.size(); ++i) {
    SCOPED_TRACE(cards[i].second.string());
    if (seconds[i] >= 0) {
      if (i == 0) Card = -1;
      else OtherCards[i - 1].Pid = -1;
    }
    ASSERT_GE(seconds[i], 0) << "still running 10 s after the end began";
    EXPECT_TRUE(WIFEXITED(statuses[i]) && WEXITSTATUS(statuses[i]) == 0)
        << "status " << statuses[i] << (WIFSIGNALED(statuses[i]) ? " (a signal)" : "");
    if (GetParam().Kind == TFloodEnd::Signal) {
      EXPECT_LT(seconds[i], 1.0) << "the signal was obeyed late";
    }
    const std::string config = ReadConfigIn(cards[i].second);
    // Written at the exit: the keys it was not given are there now, and
    // the ones it was keep their values.
    EXPECT_NE(config.find("AutoStopRefresh=1"), std::string::npos) << config;
    EXPECT_NE(config.find("Lock=0"), std::string::npos) << config;
    std::istringstream keys(Keys(static_cast<int>(i)));
    for (std::string line; std::getline(keys, line);) EXPECT_NE(config.find(line + "\n"), std::string::npos) << config;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Floods, CardSessionEndUnderAFloodTest,
    ::testing::Values(TFloodCase{TWindowManager::NoWindowManager, TFloodEnd::Signal},
                      TFloodCase{TWindowManager::Openbox, TFloodEnd::Signal},
                      TFloodCase{TWindowManager::NoWindowManager, TFloodEnd::ServerEnds},
                      TFloodCase{TWindowManager::Openbox, TFloodEnd::ServerEnds}),
    FloodCaseName);

}  // namespace
