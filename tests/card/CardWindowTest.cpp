// The card window's life: start, config.ini, anchoring, the refresh cycle,
// the full-screen pause and the tray menu's commands.
#include "CardTestSupport.h"

namespace {

TEST_F(CardTest, FirstStartWithoutConfigFile) {
  WriteConfig();  // only to name the dictionary
  std::filesystem::remove(Path("config.ini"));
  std::ofstream(Path("config.ini")) << "[Card]\nDictionaryFileName=" << Path("dict.txt") << "\n";
  Start();
  EXPECT_TRUE(IsWindowVisible(CardWindow()));
  EXPECT_EQ(CardOpacity(), 99);
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

}  // namespace
