#include "classlib/controls/TrackBars.h"

#include "ControlsForm.h"

namespace {
class TrackBarsTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Bar = Add<TTrackBar>(8, 152, 273, 41);
    Bar->SetRange(54, 254);
    Bar->SetFrequency(20);
    Bar->OnChange = [this](TObject*) { Seen.push_back(Bar->Position()); };
    ShowForm();
    Bar->SetFocus();
    HeadlessPumpMessages();
  }
  TTrackBar* Bar;
  std::vector<int> Seen;
};
}  // namespace

TEST_F(TrackBarsTest, PositionIsKeptInRangeAndChangesInCodeFireOnChange) {
  EXPECT_EQ(Bar->Position(), 54);  // raised with the minimum (before OnChange was set)
  Bar->SetPosition(100);
  Bar->SetPosition(100);
  Bar->SetPosition(999);
  Bar->SetPosition(-5);
  EXPECT_EQ(Seen, (std::vector<int>{100, 254, 54}));
}

TEST_F(TrackBarsTest, ArrowPageHomeAndEndKeys) {
  Bar->SetPosition(100);
  Seen.clear();
  Bar->PageSize = 10;
  Keys({VK_RIGHT, VK_UP, VK_NEXT, VK_PRIOR, VK_PRIOR, VK_END, VK_HOME});
  EXPECT_EQ(Seen, (std::vector<int>{101, 100, 110, 100, 90, 254, 54}));
}

TEST_F(TrackBarsTest, ClickingTheChannelPagesDraggingTheThumbFollows) {
  Bar->SetPosition(100);
  Bar->PageSize = 20;
  ClickAt(Bar, 260, 12);  // right of the thumb
  EXPECT_EQ(Bar->Position(), 120);
  POINT grab = Bar->ClientToScreen(POINT{Bar->PositionToX(120), 12});  // the thumb's middle
  POINT end = Bar->ClientToScreen(POINT{Bar->PositionToX(200), 30});
  HeadlessMouseMove(grab.x, grab.y);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(end.x, end.y);
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_NEAR(Bar->Position(), 200, 1);
}

TEST_F(TrackBarsTest, SelectionRangeStyleBitCanBeTakenAway) {
  HWND h = Bar->Handle();
  ASSERT_NE(GetWindowLongA(h, GWL_STYLE) & TBS_ENABLESELRANGE, 0);
  int channelTop = 10;
  HeadlessPumpMessages();
  uint32_t wide = HeadlessPixel(h, 20, channelTop + 6) & 0xFFFFFF;
  SetWindowLongA(h, GWL_STYLE, GetWindowLongA(h, GWL_STYLE) & ~static_cast<LONG_PTR>(TBS_ENABLESELRANGE));
  EXPECT_FALSE(Bar->SelectionRangeEnabled());
  HeadlessPumpMessages();
  uint32_t narrow = HeadlessPixel(h, 20, channelTop + 6) & 0xFFFFFF;
  EXPECT_NE(wide, narrow);  // the channel is narrower without the range
}
