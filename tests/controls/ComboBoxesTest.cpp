#include "classlib/controls/ComboBoxes.h"

#include "ControlsForm.h"

namespace {
class ComboBoxesTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    Box = Add<TComboBox>(96, 96, 185, 21);
    for (const char* s : {"Center", "Top Left", "Top Right", "Bottom Left", "Bottom Right"}) Box->Items().Add(s);
    Box->OnChange = [this](TObject*) { Seen.push_back(Box->ItemIndex()); };
    ShowForm();
    Box->SetFocus();
    HeadlessPumpMessages();
  }
  TComboBox* Box;
  std::vector<int> Seen;
};
}  // namespace

TEST_F(ComboBoxesTest, ItemIndexInCodeSelectsQuietlyAndMinusOneShowsNothing) {
  Box->SetItemIndex(4);
  EXPECT_EQ(Box->Text(), "Bottom Right");
  Box->SetItemIndex(5);  // beyond the items: nothing selected
  EXPECT_EQ(Box->ItemIndex(), -1);
  EXPECT_EQ(Box->Text(), "");
  EXPECT_TRUE(Seen.empty());
}

TEST_F(ComboBoxesTest, KeysAndFirstLettersChooseWithOnChange) {
  Keys({VK_DOWN, VK_DOWN, VK_UP, VK_END, VK_DOWN, VK_HOME});
  EXPECT_EQ(Seen, (std::vector<int>{0, 1, 0, 4, 0}));
  Seen.clear();
  HeadlessChars(u"ttb");
  HeadlessPumpMessages();
  EXPECT_EQ(Seen, (std::vector<int>{1, 2, 3}));  // "T" twice goes round the T items
}

TEST_F(ComboBoxesTest, TheListDropsDownAndAClickChooses) {
  Box->SetItemIndex(0);
  const int row = Box->ItemHeight();
  POINT box = Box->ClientToScreen(POINT{100, 10});
  POINT third = Box->ClientToScreen(POINT{50, Box->Height() + 1 + 2 * row + row / 2});
  HeadlessClick(box.x, box.y);
  HeadlessMouseMove(third.x, third.y);
  HeadlessClick(third.x, third.y);
  HeadlessPumpMessages();
  EXPECT_FALSE(Box->DroppedDown());
  EXPECT_EQ(Seen, std::vector<int>{2});
  EXPECT_EQ(Box->Text(), "Top Right");

  // Keys in the open list; Escape leaves it unchanged.
  HeadlessKeyPress(VK_F4);
  Keys({VK_DOWN, VK_ESCAPE});
  HeadlessKeyPress(VK_F4);
  Keys({VK_DOWN, VK_RETURN});
  EXPECT_EQ(Seen, (std::vector<int>{2, 3}));

  // Letters in the open list go round the items that start with them and
  // choose nothing until Enter.
  HeadlessKeyPress(VK_F4);
  HeadlessChars(u"bb");
  Keys({VK_ESCAPE});
  EXPECT_EQ(Seen, (std::vector<int>{2, 3}));
  HeadlessKeyPress(VK_F4);
  HeadlessChars(u"tt");
  Keys({VK_RETURN});
  EXPECT_EQ(Seen, (std::vector<int>{2, 3, 2}));
}
