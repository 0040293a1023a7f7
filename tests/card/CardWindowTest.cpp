// The card window's life: start, config.ini, anchoring, the refresh cycle,
// the full-screen pause and the tray menu's commands.
#include "CardTestSupport.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <functional>

#include "tests/support/AsAnotherUser.h"

namespace {

TEST_F(CardTest, FirstStartWithoutConfigFile) {
  // Only the dictionary is named: every other key is missing.
  WriteFile("config.ini", "[Card]\nDictionaryFileName=" + Path("dict.txt") + "\n");
  Start();
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  EXPECT_EQ(CardOpacity(), 99);
  // On top of other windows, out of the taskbar, never taking the keyboard.
  const LONG_PTR ex = GetWindowLongA(CardWindow(), GWL_EXSTYLE);
  EXPECT_NE(ex & WS_EX_TOPMOST, 0);
  EXPECT_NE(ex & WS_EX_TOOLWINDOW, 0);
  EXPECT_NE(ex & WS_EX_NOACTIVATE, 0);
  EXPECT_NE(ex & WS_EX_LAYERED, 0);
  EXPECT_NE(GetActiveWindow(), CardWindow());
  RECT r = CardRect();
  EXPECT_EQ(r.right - r.left, 280);
  EXPECT_EQ(r.bottom - r.top, 170);
  EXPECT_EQ((r.left + r.right) / 2, 640);
  EXPECT_EQ((r.top + r.bottom) / 2, 512);
  EXPECT_EQ(card->tmrRefresh->Interval(), 900000u);
  EXPECT_EQ(AutostartEntry(), Application->ExeName());
  EXPECT_TRUE(BoxTexts().empty());
  Finish();
  TIniFile ini(Path("config.ini"));
  EXPECT_EQ(ini.ReadString("Card", "FirstRun", "?"), "0");
  EXPECT_EQ(ini.ReadString("Card", "Alpha", "?"), "100");
  EXPECT_EQ(ini.ReadString("Card", "AutoStopRefresh", "?"), "1");
  EXPECT_EQ(ini.ReadString("Card", "ResizingPointX", "?"), "640");
  EXPECT_EQ(ini.ReadString("Card", "ResizingPointY", "?"), "512");
  EXPECT_EQ(ini.ReadString("Card", "ResizingFrom", "?"), "0");
  EXPECT_EQ(ini.ReadString("Card", "RefreshTime", "?"), "900000");
  EXPECT_EQ(ini.ReadString("Card", "Lock", "?"), "0");
  EXPECT_EQ(ini.ReadString("Card", "DictionaryFileName", "?"), Path("dict.txt"));
}
struct TConfigCase {
  std::map<std::string, std::string> Keys;
  std::function<void(CardTest&, THanakumoCardForm&)> Check;
  const char* What;
};

TEST_F(CardTest, KeysAreReadBack) {
  const TConfigCase cases[] = {
      {{{"Alpha", "200"}}, [](CardTest& t, THanakumoCardForm&) { EXPECT_EQ(t.CardOpacity(), 199); }, "alpha"},
      {{{"AutoStopRefresh", "0"}}, [](CardTest&, THanakumoCardForm&) { EXPECT_FALSE(AutoStopRefresh); }, "auto stop"},
      {{{"ResizingFrom", "256"}},
       [](CardTest&, THanakumoCardForm& c) {
         EXPECT_EQ(ResizingFrom, 0);
         EXPECT_TRUE(c.Center1->Checked());
       },
       "256 keeps its low byte"},
      {{{"ResizingFrom", "2"}, {"ResizingPointX", "1000"}, {"ResizingPointY", "100"}},
       [](CardTest& t, THanakumoCardForm& c) {
         EXPECT_TRUE(c.TopRight1->Checked());
         EXPECT_FALSE(c.Center1->Checked());
         EXPECT_EQ(t.CardRect().right, 1000);
         EXPECT_EQ(t.CardRect().top, 100);
       },
       "top right"},
      {{{"ResizingFrom", "-1"}, {"ResizingPointX", "10"}, {"ResizingPointY", "10"}},
       [](CardTest& t, THanakumoCardForm& c) {
         EXPECT_EQ(ResizingFrom, 255);
         EXPECT_TRUE(c.Center1->Checked());  // as designed
         const RECT before = t.CardRect();
         c.SetLeft(before.left + 50);  // no anchoring: moves store nothing
         c.RefreshCard();
         EXPECT_EQ(t.CardRect().left, before.left + 50);
         EXPECT_EQ(ResizingPointX, 10);
       },
       "-1 turns anchoring off"},
      {{{"ResizingPointX", "5000"}, {"ResizingPointY", "-3"}},
       [](CardTest&, THanakumoCardForm&) {
         EXPECT_EQ(ResizingPointX, 640);
         EXPECT_EQ(ResizingPointY, 512);
       },
       "anchor off the screen"},
      {{{"ResizingFrom", "4"}, {"ResizingPointX", "1280"}, {"ResizingPointY", "1024"}},
       [](CardTest& t, THanakumoCardForm&) {
         EXPECT_EQ(t.CardRect().right, 1280);
         EXPECT_EQ(t.CardRect().bottom, 1024);
       },
       "a corner on the screen's far edge"},
      {{{"RefreshTime", "30000"}},
       [](CardTest&, THanakumoCardForm& c) { EXPECT_EQ(c.tmrRefresh->Interval(), 30000u); },
       "under a minute is kept"},
      {{{"RefreshTime", "2147483647"}},
       [](CardTest&, THanakumoCardForm& c) { EXPECT_EQ(c.tmrRefresh->Interval(), 2147483647u); },
       "largest"},
      {{{"RefreshTime", "0"}},
       [](CardTest&, THanakumoCardForm& c) { EXPECT_EQ(c.tmrRefresh->Interval(), 900000u); }, "zero"},
      {{{"RefreshTime", "-60000"}},
       [](CardTest&, THanakumoCardForm& c) { EXPECT_EQ(c.tmrRefresh->Interval(), 900000u); }, "negative"},
      {{{"RefreshTime", "2147483648"}},
       [](CardTest&, THanakumoCardForm& c) { EXPECT_EQ(c.tmrRefresh->Interval(), 900000u); }, "2^31"},
      {{{"RefreshTime", "ten"}},
       [](CardTest&, THanakumoCardForm& c) { EXPECT_EQ(c.tmrRefresh->Interval(), 900000u); }, "not a number"},
      {{{"Lock", "1"}},
       [](CardTest& t, THanakumoCardForm& c) {
         EXPECT_TRUE(c.Lock1->Checked());
         EXPECT_NE(GetWindowLongA(t.CardWindow(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
       },
       "lock"},
      {{}, [](CardTest&, THanakumoCardForm&) { EXPECT_EQ(AutostartEntry(), ""); }, "not the first run"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    WriteConfig(c.Keys);
    Start();
    c.Check(*this, *card);
    Finish();
  }
}

TEST_F(CardTest, EveryKeyWrittenInOrderAtExit) {
  WriteConfig({{"Alpha", "180"}, {"ResizingFrom", "3"}, {"RefreshTime", "120000"}, {"Lock", "1"}});
  Start();
  Finish();
  TIniFile ini(Path("config.ini"));
  EXPECT_EQ(ini.ReadInteger("Card", "Alpha", 0), 180);
  EXPECT_EQ(ini.ReadInteger("Card", "ResizingFrom", 0), 3);
  EXPECT_EQ(ini.ReadInteger("Card", "RefreshTime", 0), 120000);
  EXPECT_EQ(ini.ReadInteger("Card", "Lock", 0), 1);
  EXPECT_EQ(ini.ReadInteger("Card", "ResizingPointX", 0), 640);
  // A fresh file gets the keys in the program's order.
  std::filesystem::remove(Path("config.ini"));
  Start();
  Finish();
  const std::string text = ReadFile("config.ini");
  std::vector<size_t> at;
  for (const char* key : {"AutoStopRefresh=", "Alpha=", "ResizingPointX=", "ResizingPointY=", "ResizingFrom=",
                          "DictionaryFileName=", "RefreshTime=", "Lock=", "FirstRun="})
    at.push_back(text.find(key));
  for (size_t i = 0; i < at.size(); ++i) {
    ASSERT_NE(at[i], std::string::npos) << i;
    if (i > 0) {
      EXPECT_LT(at[i - 1], at[i]) << i;
    }
  }
}

TEST_F(CardTest, FailedWriteAtExitIsReportedAndKeepsTheOldFileWhole) {
  WriteConfig({{"Alpha", "180"}});
  const std::string before = ReadFile("config.ini");
  Start();
  Alpha = 120;
  ResizingFrom = 4;
  // The new content cannot be written whole, as on a full disk: no file
  // of ours may grow past the old one's size.
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = before.size();
  auto* previous = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  hk::ClearMessageBoxes();
  Finish();
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, previous);
  EXPECT_EQ(ReadFile("config.ini"), before);
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "Unable to write to " + Path("config.ini") + ".");  // the handler ends it with a stop
  // A folder that does not exist: the same report.
  Start();
  ConfigFileName = Path("missing/config.ini");
  hk::ClearMessageBoxes();
  Finish();
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0], "Unable to write to " + Path("missing/config.ini") + ".");
}

TEST_F(CardTest, ALinkedConfigIsSavedAtItsTargetAndAReadOnlyOneIsKept) {
  namespace fs = std::filesystem;
  WriteConfig({{"Alpha", "180"}});
  fs::create_directory(Path("real"));
  fs::rename(Path("config.ini"), Path("real/config.ini"));
  fs::create_symlink("real/config.ini", Path("config.ini"));
  Start();
  Alpha = 120;
  Finish();
  EXPECT_TRUE(fs::is_symlink(Path("config.ini")));
  EXPECT_EQ(TIniFile(Path("real/config.ini")).ReadInteger("Card", "Alpha", 0), 120);
  EXPECT_EQ(TIniFile(Path("real/config.ini")).ReadInteger("Card", "FirstRun", 1), 0);
  EXPECT_FALSE(fs::exists(Path("real/config.ini.new")));
  // Read-only, run by a user who may not write it: left byte for byte.
  fs::remove(Path("config.ini"));
  WriteConfig({{"Alpha", "180"}});
  const std::string before = ReadFile("config.ini");
  ASSERT_EQ(chmod(Path("config.ini").c_str(), 0444), 0);
  ASSERT_EQ(chmod(FDir.c_str(), 0777), 0);
  const int code = hktest::RunAsNobody([&] {
    Start();
    Alpha = 120;
    hk::ClearMessageBoxes();
    Finish();
    return BoxTexts() == std::vector<std::string>{"Unable to write to " + Path("config.ini") + "."} ? 0 : 1;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadFile("config.ini"), before);
  EXPECT_FALSE(fs::exists(Path("config.ini.new")));
}

TEST_F(CardTest, FailedAutostartWriteIsReportedOnceAndTheStartGoesOn) {
  WriteFile("config.ini", "[Card]\nDictionaryFileName=" + Path("dict.txt") + "\n");
  // A file where the autostart folder should be.
  WriteFile("config/autostart", "");
  Start();
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_NE(BoxTexts()[0].find("autostart entry 'HanakumoCard'"), std::string::npos) << BoxTexts()[0];
  EXPECT_NE(BoxTexts()[0].find(Path("config/autostart/HanakumoCard.desktop")), std::string::npos) << BoxTexts()[0];
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
}

// Where the point lies on the card for each anchor kind, in halves of its
// width and height.
constexpr int kAnchorHalves[5][2] = {{1, 1}, {0, 0}, {2, 0}, {0, 2}, {2, 2}};

TEST_F(CardTest, PlaceAtAnchorForEachKind) {
  WriteConfig();
  Start();
  ResizingPointX = 600;
  ResizingPointY = 400;
  const struct {
    uint8_t Kind;
    int Left, Top;
  } cases[] = {{0, 600 - 140, 400 - 85}, {1, 600, 400}, {2, 600 - 280, 400}, {3, 600, 400 - 170},
               {4, 600 - 280, 400 - 170}, {7, 600 - 280, 400 - 170}};
  for (auto& c : cases) {
    ResizingFrom = c.Kind;
    // Moving by the program itself, as a refresh does.
    const int x = ResizingPointX, y = ResizingPointY;
    card->PlaceAtAnchor();
    ResizingPointX = x;
    ResizingPointY = y;
    EXPECT_EQ(CardRect().left, c.Left) << int(c.Kind);
    EXPECT_EQ(CardRect().top, c.Top) << int(c.Kind);
  }
}

TEST_F(CardTest, GrowingCardKeepsItsAnchoredCorner) {
  WriteConfig({{"ResizingFrom", "4"}, {"ResizingPointX", "900"}, {"ResizingPointY", "700"}});
  // Wider and taller, and still left of and above the point.
  WriteFile("long.txt", "水 [みず] /(n) water/" + std::string(100, 'w') + " " + std::string(80, 'x') + "/\n");
  Start();
  EXPECT_EQ(CardRect().right, 900);
  EXPECT_EQ(CardRect().bottom, 700);
  ASSERT_TRUE(card->ReplaceDictionary(Path("long.txt")));
  card->RefreshCard();
  RECT r = CardRect();
  EXPECT_GT(r.right - r.left, 280);
  EXPECT_EQ(r.right, 900);
  EXPECT_EQ(r.bottom, 700);
  EXPECT_EQ(ResizingPointX, 900);
  EXPECT_EQ(ResizingPointY, 700);
}

// A point by the screen's edge, where panels take part of it: the card is
// moved just inside the work area, along that edge only, and the point
// stays the user's through the refreshes (each hides and shows the card)
// and in config.ini.
TEST_F(CardTest, ACardByAnEdgeLiesInsideTheWorkAreaAndThePointStays) {
  const RECT work{40, 30, 1280 - 50, 1024 - 60};
  HeadlessSetWorkArea(work);
  enum TEdge { Top, Bottom, Left, Right };
  const struct {
    TEdge Edge;
    int X, Y;  // a point within 5 px of the screen's edge, in a panel
  } edges[] = {{Top, 640, 5}, {Bottom, 640, 1019}, {Left, 5, 512}, {Right, 1275, 512}};
  for (int kind = 0; kind < 5; ++kind) {
    for (const auto& e : edges) {
      SCOPED_TRACE("kind " + std::to_string(kind) + ", edge " + std::to_string(e.Edge));
      WriteConfig({{"ResizingFrom", std::to_string(kind)},
                   {"ResizingPointX", std::to_string(e.X)},
                   {"ResizingPointY", std::to_string(e.Y)}});
      Start();
      card->RefreshCard();
      const RECT r = CardRect();
      EXPECT_EQ(r.right - r.left, 280);
      EXPECT_EQ(r.bottom - r.top, 170);
      // Just inside, along that edge only.
      const int anchoredLeft = e.X - 280 * kAnchorHalves[kind][0] / 2;
      const int anchoredTop = e.Y - 170 * kAnchorHalves[kind][1] / 2;
      EXPECT_EQ(r.left, e.Edge == Left ? work.left : e.Edge == Right ? work.right - 280 : anchoredLeft);
      EXPECT_EQ(r.top, e.Edge == Top ? work.top : e.Edge == Bottom ? work.bottom - 170 : anchoredTop);
      Finish();
      TIniFile ini(Path("config.ini"));
      EXPECT_EQ(ini.ReadInteger("Card", "ResizingPointX", 0), e.X);
      EXPECT_EQ(ini.ReadInteger("Card", "ResizingPointY", 0), e.Y);
    }
  }
}

// A tall entry, taller than twice the room above its point: capped to
// the work area and put inside it. The next, smaller card is centred on the
// point again, and the point is kept in config.ini.
TEST_F(CardTest, ATallCardIsKeptOnTheScreenAndTheNextIsPlacedFromThePoint) {
  std::string tall = "水 [みず] /";
  for (int i = 1; i <= 30; ++i) tall += "(" + std::to_string(i) + ") water of a rather long gloss " + std::to_string(i) + "/";
  WriteFile("dict.txt", tall + "\n");
  WriteFile("short.txt", kShortDictionary);
  WriteConfig({{"ResizingPointX", "640"}, {"ResizingPointY", "200"}});
  Start();
  for (int refresh = 0; refresh < 2; ++refresh) {
    const RECT r = CardRect();
    EXPECT_EQ(r.top, 0);
    EXPECT_GT(r.bottom - r.top, 2 * 200);  // more than the room above the point allows
    EXPECT_LE(r.bottom, 1024);
    EXPECT_EQ((r.left + r.right) / 2, 640);
    EXPECT_EQ(ResizingPointY, 200);
    card->RefreshCard();
  }
  ASSERT_TRUE(card->ReplaceDictionary(Path("short.txt")));
  card->RefreshCard();
  EXPECT_EQ(CardRect().top, 200 - 85);
  EXPECT_EQ(CardRect().left, 640 - 140);
  Finish();
  TIniFile ini(Path("config.ini"));
  EXPECT_EQ(ini.ReadString("Card", "ResizingPointY", "?"), "200");
}

// A drag of a card moved inside takes the point from where it is let go.
TEST_F(CardTest, DraggingACardKeptInsideTakesThePointFromTheDrop) {
  WriteConfig({{"ResizingPointX", "640"}, {"ResizingPointY", "5"}});
  Start();
  const RECT r = CardRect();
  ASSERT_EQ(r.top, 0);
  HeadlessMouseMove(r.left + 100, r.top + 60);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessPumpMessages();
  HeadlessMouseMove(r.left + 100, r.top + 80);
  HeadlessPumpMessages();
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_EQ(CardRect().top, 20);
  EXPECT_EQ(ResizingPointY, 20 + 85);
  card->RefreshCard();
  EXPECT_EQ(CardRect().top, 20);
}

TEST_F(CardTest, DraggingStoresTheAnchorAndRefreshesDoNot) {
  WriteConfig();
  Start();
  RECT r = CardRect();
  HeadlessMouseMove(r.left + 100, r.top + 60);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessPumpMessages();
  HeadlessMouseMove(r.left + 150, r.top + 30);
  HeadlessPumpMessages();
  HeadlessMouseMove(r.left + 200, r.top + 20);
  HeadlessPumpMessages();
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  RECT moved = CardRect();
  EXPECT_EQ(moved.left, r.left + 100);
  EXPECT_EQ(moved.top, r.top - 40);
  EXPECT_EQ(ResizingPointX, 640 + 100);
  EXPECT_EQ(ResizingPointY, 512 - 40);
  card->RefreshCard();
  EXPECT_EQ(ResizingPointX, 640 + 100);
  EXPECT_EQ(ResizingPointY, 512 - 40);
  EXPECT_EQ(CardRect().left, moved.left);
}

TEST_F(CardTest, NewAnchorKindFromTheMenuKeepsTheCardInPlace) {
  WriteConfig();
  Start();
  const RECT before = CardRect();
  card->TopLeft1->Click();
  EXPECT_EQ(ResizingFrom, 1);
  EXPECT_TRUE(card->TopLeft1->Checked());
  EXPECT_FALSE(card->Center1->Checked());
  EXPECT_EQ(CardRect().left, before.left);  // not moved until the next refresh
  // The refresh's hide reports the card's place while no refresh is
  // drawing, so the anchor becomes its top-left corner: no jump.
  card->RefreshCard();
  EXPECT_EQ(CardRect().left, before.left);
  EXPECT_EQ(CardRect().top, before.top);
  EXPECT_EQ(ResizingPointX, before.left);
  EXPECT_EQ(ResizingPointY, before.top);
}

TEST_F(CardTest, RefreshEveryPeriodAndThePauseBehindAFullScreenProgram) {
  WriteConfig({{"RefreshTime", "60000"}});
  Start();
  EXPECT_EQ(ImageUpdates(), 1);
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 2);
  // A borderless program covering the screen: ticks are skipped.
  HeadlessSetForeignForeground(RECT{0, 0, 1280, 1024});
  HeadlessAdvance(60000);
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 2);
  // A maximised window with a caption does not count.
  HeadlessSetForeignForeground(RECT{0, 20, 1280, 1024});
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 3);
  HeadlessSetForeignForeground(RECT{0, 0, 1280, 1024});
  AutoStopRefresh = false;
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 4);
  AutoStopRefresh = true;
  HeadlessSetForeignForeground(RECT{0, 0, 0, 0});
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 5);
}

// A tick that comes while the user drags the card waits for the drop: the
// new card then comes where the card was let go.
TEST_F(CardTest, ARefreshDueDuringADragComesAtTheDrop) {
  WriteConfig({{"RefreshTime", "60000"}, {"ResizingFrom", "1"}});
  Start();
  const RECT r = CardRect();
  HeadlessMouseMove(r.left + 100, r.top + 60);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(r.left + 130, r.top + 80);
  HeadlessPumpMessages();
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 1) << "refreshed under the user's hand";
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  HeadlessMouseMove(r.left + 160, r.top + 100);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_EQ(ImageUpdates(), 2);
  EXPECT_EQ(CardRect().left, r.left + 60);
  EXPECT_EQ(CardRect().top, r.top + 40);
  EXPECT_EQ(ResizingPointX, r.left + 60);
  // The next tick comes a period after the one put off.
  HeadlessAdvance(60000);
  EXPECT_EQ(ImageUpdates(), 3);
}

TEST_F(CardTest, DisableAndItsUndoBringBackTheSameEntryOnePeriodLater) {
  WriteConfig({{"RefreshTime", "60000"}});
  Start();
  HeadlessAdvance(30000);
  const WideString shown = card->Headword();
  card->Disable1->Click();
  EXPECT_TRUE(card->Disable1->Checked());
  EXPECT_FALSE(IsWindowVisible(CardWindow()));
  HeadlessAdvance(300000);
  EXPECT_EQ(ImageUpdates(), 1);
  card->Disable1->Click();
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  EXPECT_EQ(CardOpacity(), 99);
  EXPECT_EQ(card->Headword(), shown);
  HeadlessAdvance(59000);
  EXPECT_EQ(ImageUpdates(), 1);
  HeadlessAdvance(2000);
  EXPECT_EQ(ImageUpdates(), 2);
}

TEST_F(CardTest, LockLetsTheMouseThrough) {
  WriteConfig();
  Start();
  card->Lock1->Click();
  EXPECT_TRUE(card->Lock1->Checked());
  EXPECT_NE(GetWindowLongA(CardWindow(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
  card->Lock1->Click();
  EXPECT_EQ(GetWindowLongA(CardWindow(), GWL_EXSTYLE) & WS_EX_TRANSPARENT, 0);
}

TEST_F(CardTest, AboutAndExit) {
  WriteConfig();
  Start();
  card->About1->Click();
  ASSERT_EQ(hk::MessageBoxesShown().size(), 1u);
  EXPECT_EQ(hk::MessageBoxesShown()[0].Text, "Hanakumo Card 1.0\r\na part of Hanakumo project");
  EXPECT_EQ(hk::MessageBoxesShown()[0].Caption, "About");
  std::filesystem::remove(Path("config.ini"));
  card->Exit1->Click();
  Application->Run();  // ends at once, freeing the forms
  EXPECT_TRUE(Application->Terminated());
  EXPECT_NE(ReadFile("config.ini").find("FirstRun=0"), std::string::npos);
}

// A dictionary that cannot be read, or a file that holds none (a program
// or an image chosen by mistake), is told at start and the card stays
// hidden; config.ini keeps the name, so the file can be mended in place.
TEST_F(CardTest, MissingOrEmptyDictionaryKeepsTheProgramRunning) {
  const struct {
    const char* Name;
    std::string Bytes;  // written unless the name is "none.txt" or "folder"
    const char* Says;   // after "The dictionary file NAME "
  } cases[] = {
      {"none.txt", "", "cannot be read:\r\n"},
      {"folder", "", "cannot be read:\r\n"},
      {"empty.txt", "", "holds no entry."},
      {"blank.txt", "\r\n \n\t\n", "holds no entry."},
      {"ls", kProgramBytes, "is not a UTF-8 text file."},
      {"photo.png", kImageBytes, "is not a UTF-8 text file."},
  };
  std::filesystem::create_directories(Path("folder"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Name != std::string("none.txt") && c.Name != std::string("folder")) WriteFile(c.Name, c.Bytes);
    WriteFile("config.ini", "[Card]\nFirstRun=0\nDictionaryFileName=" + Path(c.Name) + "\n");
    hk::ClearMessageBoxes();
    Start();
    ASSERT_EQ(BoxTexts().size(), 1u);
    EXPECT_EQ(BoxTexts()[0].rfind("The dictionary file " + Path(c.Name) + " " + c.Says, 0), 0u) << BoxTexts()[0];
    EXPECT_EQ(DictFileName, Path(c.Name));
    EXPECT_FALSE(IsWindowVisible(CardWindow()));
    HeadlessAdvance(900000);  // refreshes find nothing to show
    EXPECT_FALSE(IsWindowVisible(CardWindow()));
    card->Disable1->Click();
    card->Disable1->Click();
    EXPECT_FALSE(IsWindowVisible(CardWindow()));
    // The dialog can choose a dictionary that works.
    card->Settings1->Click();
    settings->edtDictFileName->SetText(Path("dict.txt"));
    settings->btnOK->Click();
    EXPECT_TRUE(IsWindowVisible(CardWindow()));
    EXPECT_EQ(DictFileName, Path("dict.txt"));
    EXPECT_EQ(BoxTexts().size(), 1u);
    Finish();
  }
}

// A damaged byte (a Latin-1 letter typed into a gloss) costs nothing but
// itself: the dictionary is taken whole and the card shown.
TEST_F(CardTest, ADictionaryWithADamagedByteIsShown) {
  WriteFile("damaged.txt", "水 [みず] /(n) water/(P)/\n火 [ひ] /(n) fire/caf\xE9/\n");
  WriteFile("config.ini", "[Card]\nFirstRun=0\nDictionaryFileName=" + Path("damaged.txt") + "\n");
  hk::ClearMessageBoxes();
  Start();
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  EXPECT_EQ(DictionaryLines->Count(), 2);
  Finish();
}

}  // namespace

namespace {

TEST_F(CardTest, TheEndOfTheSessionSavesTheSettings) {
  WriteConfig({{"Alpha", "150"}});
  Start();
  ResizingFrom = 3;
  std::filesystem::remove(Path("config.ini"));
  InstallSessionEndHandlers();
  RequestSessionEnd();  // as at logout
  Application->Run();   // ends, freeing the forms
  hkwin::ResetSessionEndForTests();
  TIniFile ini(Path("config.ini"));
  EXPECT_EQ(ini.ReadInteger("Card", "FirstRun", 1), 0);
  EXPECT_EQ(ini.ReadInteger("Card", "Alpha", 0), 150);
  EXPECT_EQ(ini.ReadInteger("Card", "ResizingFrom", 0), 3);
}

}  // namespace
