#include "classlib/controls/PageLists.h"

#include "ControlsForm.h"
#include "classlib/controls/Buttons.h"

namespace {
class PageListsTest : public FormTest {
 protected:
  void SetUp() override {
    FormTest::SetUp();
    List = Add<TPageList>(1, 141, 378, 150);
    Search = Add<TStandardPage>(0, 0, 10, 10, List);
    Settings = Add<TStandardPage>(0, 0, 10, 10, List);
    Apply = Add<TButton>(10, 10, 75, 25, Settings);
  }
  TPageList* List;
  TStandardPage *Search, *Settings;
  TButton* Apply;
};
}  // namespace

TEST_F(PageListsTest, FirstPageIsActiveAndOnlyTheActivePageShows) {
  ShowForm();
  EXPECT_EQ(List->PageCount(), 2);
  EXPECT_EQ(List->ActivePage(), Search);
  EXPECT_TRUE(Search->Visible());
  EXPECT_FALSE(Settings->Visible());
  EXPECT_EQ(Search->Width(), 378);  // pages fill the container
  List->SetActivePage(Settings);
  EXPECT_FALSE(Search->Visible());
  EXPECT_TRUE(Settings->Showing());
  EXPECT_EQ(List->ActivePageIndex(), 1);
  delete Settings;
  EXPECT_EQ(List->PageCount(), 1);
  EXPECT_EQ(List->ActivePage(), Search);
}

TEST_F(PageListsTest, OnPaintRunsAfterTheBackgroundWithTheClientRectangle) {
  Search->SetColor(static_cast<TColor>(0xF0F0F0));
  TRect painted;
  uint32_t under = 0;
  Search->OnPaint = [&](TObject* sender, TCanvas* canvas, TRect rect) {
    EXPECT_EQ(sender, Search);
    painted = rect;
    under = static_cast<uint32_t>(canvas->Pixel(200, 5));  // filled already
    canvas->Brush().SetColor(static_cast<TColor>(0xF0F0F0));
    canvas->FillRect(TRect(0, 0, 180, rect.bottom));
    canvas->Pen().SetColor(static_cast<TColor>(0xCDCDCD));
    canvas->MoveTo(180, 0);
    canvas->LineTo(180, rect.bottom);
  };
  ShowForm();
  EXPECT_EQ(painted, TRect(0, 0, 378, 150));
  EXPECT_EQ(under, 0xF0F0F0u);
  EXPECT_EQ(HeadlessPixel(Search->Handle(), 180, 50) & 0xFFFFFF, 0xCDCDCDu);
}

TEST_F(PageListsTest, PropagateEnableDecidesWhetherPagesFollow) {
  List->PropagateEnable = false;
  List->SetEnabled(false);
  EXPECT_TRUE(Settings->Enabled());
  List->SetEnabled(true);
  List->PropagateEnable = true;
  List->SetEnabled(false);
  EXPECT_FALSE(Settings->Enabled());
  EXPECT_FALSE(Apply->CanFocus());
}
