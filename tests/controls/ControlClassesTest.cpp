#include "classlib/controls/ControlClasses.h"

#include "ControlsForm.h"
#include "classlib/FormReader.h"
#include "classlib/controls/Buttons.h"
#include "classlib/controls/ComboBoxes.h"
#include "classlib/controls/Edits.h"
#include "classlib/controls/ListBoxes.h"
#include "classlib/controls/Menus.h"
#include "classlib/controls/PageLists.h"
#include "classlib/controls/Timer.h"
#include "classlib/controls/TrackBars.h"

namespace {

class TResourceForm : public TForm {
 public:
  using TForm::TForm;
  int Ticks = 0;
  void tmrRefreshTimer(TObject*) { ++Ticks; }
  void PagePaint(TObject*, TCanvas*, TRect) {}
};

const char* const kForm = R"(
object Form1: TResourceForm
  Caption = 'Card Settings'
  ClientWidth = 290
  ClientHeight = 319
  object edtRefreshTime: TEdit
    Left = 96
    Top = 64
    Width = 49
    Height = 21
    TabOrder = 2
    Text = '15'
  end
  object cbbResizeFrom: TComboBox
    Left = 96
    Top = 96
    Width = 185
    Height = 21
    Style = csDropDownList
    ItemIndex = 1
    Items = ('Center' 'Top Left' 'Top Right')
  end
  object trkTransparency: TTrackBar
    Left = 8
    Top = 152
    Width = 273
    Height = 41
    Position = 100
    Min = 54
    Max = 254
    Frequency = 20
  end
  object chkAutoStop: TCheckBox
    Caption = 'Auto stop'
    Checked = True
  end
  object btnOK: TButton
    Caption = '&OK'
    Default = True
  end
  object lstExactMatch: TWideListBox
    Style = lbOwnerDrawFixed
    ItemHeight = 20
    BorderStyle = bsNone
  end
  object plMain: TPageList
    ActivePage = pageSettings
    PropagateEnable = False
    object pageSearch: TStandardPage
      OnPaint = PagePaint
    end
    object pageSettings: TStandardPage
    end
  end
  object tmrRefresh: TTimer
    Interval = 900000
    OnTimer = tmrRefreshTimer
  end
  object pmTray: TPopupMenu
    object Lock1: TMenuItem
      Caption = '&Lock'
      AutoCheck = True
    end
    object ResizeFrom1: TMenuItem
      Caption = '&Resize From'
      object Center1: TMenuItem
        Caption = '&Center'
        RadioItem = True
        GroupIndex = 1
        Checked = True
      end
    end
  end
end
)";

class ControlClassesTest : public HeadlessTest {};

}  // namespace

TEST_F(ControlClassesTest, AFormResourceMakesTheControlsWithTheirProperties) {
  RegisterClass<TResourceForm, TForm>("TResourceForm");
  RegisterHandler("tmrRefreshTimer", &TResourceForm::tmrRefreshTimer);
  RegisterHandler("PagePaint", &TResourceForm::PagePaint);
  TResourceForm form(nullptr);
  ReadFormText(&form, "TRESOURCEFORM", kForm);
  auto find = [&](const char* name) { return form.FindComponent(name); };

  EXPECT_EQ(dynamic_cast<TEdit*>(find("edtRefreshTime"))->WideText(), u"15");
  auto* combo = dynamic_cast<TComboBox*>(find("cbbResizeFrom"));
  EXPECT_EQ(combo->ItemIndex(), 1);  // read before its items, applied after
  EXPECT_EQ(combo->Text(), "Top Left");
  EXPECT_EQ(dynamic_cast<TTrackBar*>(find("trkTransparency"))->Position(), 100);  // read before Min and Max
  EXPECT_TRUE(dynamic_cast<TCheckBox*>(find("chkAutoStop"))->Checked());
  EXPECT_TRUE(dynamic_cast<TButton*>(find("btnOK"))->Default());
  EXPECT_EQ(dynamic_cast<TWideListBox*>(find("lstExactMatch"))->ItemHeight(), 20);
  auto* pages = dynamic_cast<TPageList*>(find("plMain"));
  ASSERT_EQ(pages->PageCount(), 2);
  EXPECT_EQ(pages->ActivePage(), find("pageSettings"));
  EXPECT_FALSE(pages->PropagateEnable);
  EXPECT_TRUE(static_cast<bool>(dynamic_cast<TStandardPage*>(find("pageSearch"))->OnPaint));

  auto* menu = dynamic_cast<TPopupMenu*>(find("pmTray"));
  ASSERT_EQ(menu->Items()->Count(), 2);
  EXPECT_EQ(menu->Items()->Items(1)->Items(0), find("Center1"));
  EXPECT_TRUE(dynamic_cast<TMenuItem*>(find("Center1"))->Checked());

  auto* timer = dynamic_cast<TTimer*>(find("tmrRefresh"));
  EXPECT_TRUE(timer->Running());  // started once loaded
  HeadlessAdvance(900000);
  EXPECT_EQ(form.Ticks, 1);
}
