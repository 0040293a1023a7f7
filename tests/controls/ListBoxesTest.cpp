#include "classlib/controls/ListBoxes.h"

#include <memory>

#include "ControlsForm.h"

namespace {

class ListBoxesTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    List = Add<TWideListBox>(10, 10, 180, 200);  // 10 rows of 20
    List->SetItemHeight(20);
    List->SetStyle(lbOwnerDrawFixed);
    List->OnClick = [this](TObject*) { ++Clicks; };
    List->OnDrawItem = [this](TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
      EXPECT_EQ(control, List);
      Drawn.push_back({index, rect.top, state});
    };
    ShowForm();
  }
  void Fill(int count) {
    List->Items().BeginUpdate();
    for (int i = 0; i < count; ++i) List->Items().Add(u"item " + Utf16(i));
    List->Items().EndUpdate();
  }
  static std::u16string Utf16(int n) {
    std::string s = std::to_string(n);
    return std::u16string(s.begin(), s.end());
  }
  void Repaint() {
    Drawn.clear();
    InvalidateRect(List->Handle(), nullptr, FALSE);
    HeadlessPumpMessages();
  }
  // Screen point of a client point of the list.
  POINT At(int x, int y) { return List->ClientToScreen(POINT{x, y}); }

  struct DrawnItem {
    int Index;
    int Top;
    TOwnerDrawState State;
  };
  TWideListBox* List = nullptr;
  std::vector<DrawnItem> Drawn;
  int Clicks = 0;
};

}  // namespace

TEST_F(ListBoxesTest, PaintingDrawsOnlyTheRowsInViewWhateverTheCount) {
  Fill(700000);
  List->SetItemIndex(699999);  // scrolls it into view
  EXPECT_EQ(List->TopIndex(), 700000 - 10);
  List->SetFocus();
  Repaint();
  ASSERT_EQ(Drawn.size(), 10u);
  EXPECT_EQ(Drawn.front().Index, 699990);
  EXPECT_EQ(Drawn.front().Top, 0);
  EXPECT_EQ(Drawn.back().Index, 699999);
  EXPECT_EQ(Drawn.back().Top, 180);
  EXPECT_EQ(Drawn.back().State, odSelected | odFocused);
  EXPECT_EQ(Drawn.front().State, 0);
  EXPECT_EQ(Clicks, 0);  // set in code: no OnClick
  EXPECT_TRUE(List->ScrollBarVisible());
}

TEST_F(ListBoxesTest, KeysMoveTheSelectionAndFireOnClick) {
  Fill(50);
  List->SetFocus();
  struct Step {
    int vk;
    int index;
    int top;
  } steps[] = {{VK_DOWN, 0, 0}, {VK_DOWN, 1, 0}, {VK_NEXT, 10, 1}, {VK_END, 49, 40},
               {VK_DOWN, 49, 40}, {VK_PRIOR, 40, 40}, {VK_UP, 39, 39}, {VK_HOME, 0, 0}};
  int expectedClicks = 0;
  for (const Step& s : steps) {
    int before = List->ItemIndex();
    HeadlessKeyPress(s.vk);
    HeadlessPumpMessages();
    if (s.index != before) ++expectedClicks;
    EXPECT_EQ(List->ItemIndex(), s.index) << s.vk;
    EXPECT_EQ(List->TopIndex(), s.top) << s.vk;
  }
  EXPECT_EQ(Clicks, expectedClicks);
}

TEST_F(ListBoxesTest, MouseSelectsAnItemAndAnEmptyPartChangesNothing) {
  Fill(3);
  POINT p = At(50, 2 * 20 + 5);
  HeadlessClick(p.x, p.y);
  HeadlessPumpMessages();
  EXPECT_EQ(List->ItemIndex(), 2);
  EXPECT_EQ(Clicks, 1);
  EXPECT_TRUE(List->Focused());
  p = At(50, 150);
  HeadlessClick(p.x, p.y);
  HeadlessPumpMessages();
  EXPECT_EQ(List->ItemIndex(), 2);
  EXPECT_EQ(Clicks, 1);

  List->Items().Clear();
  p = At(50, 5);
  HeadlessClick(p.x, p.y);
  HeadlessPumpMessages();
  EXPECT_EQ(List->ItemIndex(), -1);
  EXPECT_EQ(Clicks, 1);
}

TEST_F(ListBoxesTest, ScrollBarWheelAndThumbScroll) {
  Fill(100);
  const int bar = TInnerScrollBar::DefaultWidth();
  POINT down = At(180 - bar / 2, 200 - 3);  // the down arrow
  HeadlessClick(down.x, down.y);
  HeadlessPumpMessages();
  EXPECT_EQ(List->TopIndex(), 1);
  EXPECT_EQ(List->ItemIndex(), -1);  // scrolling selects nothing

  POINT middle = At(90, 100);
  HeadlessMouseMove(middle.x, middle.y);
  HeadlessMouseWheel(-WHEEL_DELTA);
  HeadlessPumpMessages();
  EXPECT_EQ(List->TopIndex(), 4);

  List->SetTopIndex(0);  // the thumb sits right below the up arrow
  POINT grab = At(180 - bar / 2, bar + 5);
  HeadlessMouseMove(grab.x, grab.y);
  HeadlessMouseDown(THeadlessButton::Left);
  HeadlessMouseMove(grab.x, grab.y + 400);  // far past the end
  HeadlessMouseUp(THeadlessButton::Left);
  HeadlessPumpMessages();
  EXPECT_EQ(List->TopIndex(), 90);
}

TEST_F(ListBoxesTest, ItemsKeepObjectsAndTheSelectionFollowsChanges) {
  TObject a, b;
  List->Items().AddObject(u"Alpha", &a);
  List->Items().AddObject(u"beta", &b);
  EXPECT_EQ(List->Items().Objects(1), &b);
  EXPECT_EQ(List->Items().IndexOf(u"BETA"), 1);
  EXPECT_EQ(List->Items().IndexOf(u"gamma"), -1);
  EXPECT_THROW(List->Items().Strings(2), EListError);
  EXPECT_THROW(List->Items().Delete(-1), EListError);

  List->SetItemIndex(1);
  List->Items().Insert(0, u"first");
  EXPECT_EQ(List->ItemIndex(), 2);
  List->Items().Delete(0);
  EXPECT_EQ(List->ItemIndex(), 1);
  List->Items().Delete(1);
  EXPECT_EQ(List->ItemIndex(), -1);
  List->SetItemIndex(5);  // out of range selects nothing
  EXPECT_EQ(List->ItemIndex(), -1);
  EXPECT_EQ(Clicks, 0);
}

TEST_F(ListBoxesTest, SharedItemsShowTheCallersTextUntilReplaced) {
  const std::u16string text = u"one two three";
  TObject a;
  List->Items().Add(u"own");
  List->Items().AddObjectShared(std::u16string_view(text).substr(4, 3), &a);
  List->Items().Insert(0, u"first");  // the others move, their texts stay
  EXPECT_EQ(List->Items()[2], u"two");
  EXPECT_EQ(List->Items().StringView(2).data(), text.data() + 4);
  EXPECT_EQ(List->Items().Objects(2), &a);
  EXPECT_EQ(List->Items().IndexOf(u"TWO"), 2);
  List->Items().Put(2, u"copied");
  EXPECT_NE(List->Items().StringView(2).data(), text.data() + 4);
  EXPECT_EQ(List->Items()[2], u"copied");
  EXPECT_EQ(List->Items()[1], u"own");
  List->Items().Delete(0);
  EXPECT_EQ(List->Items()[0], u"own");
}

TEST_F(ListBoxesTest, StandardStyleDrawsTheSelectionInHighlightColours) {
  List->SetStyle(lbStandard);
  List->Items().Add(u"日本語");
  List->Items().Add(u"two");
  List->SetItemIndex(1);
  HeadlessPumpMessages();
  Repaint();
  EXPECT_TRUE(Drawn.empty());  // no owner drawing in the standard style
  const uint32_t highlight = GetSysColor(COLOR_HIGHLIGHT);
  auto bgr = [](COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
  EXPECT_EQ(HeadlessPixel(List->Handle(), 150, 25) & 0xFFFFFF, bgr(highlight));
  EXPECT_EQ(HeadlessPixel(List->Handle(), 150, 5) & 0xFFFFFF, bgr(GetSysColor(COLOR_WINDOW)));
}
