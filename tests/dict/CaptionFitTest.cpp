// On the real font engine every caption of every form of the program fits
// the control that shows it: the layout was made for Tahoma's metrics.
#include "MainFormTestSupport.h"
#include "classlib/StdCtrls.h"
#include "classlib/controls/Buttons.h"
#include "dict/LoadingForm.h"

namespace {

class CaptionFitTest : public MainFormTest {
 protected:
  std::shared_ptr<TFontEngine> Engine() override {
    auto real = CreateFreeTypeFontEngine();
    return real ? real : CreateFakeFontEngine();
  }

  // The size the caption takes in the control's font, laid out as it is drawn.
  static TRect Measure(TControl* control, const std::string& caption, int width, UINT flags) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(control->Font().Handle()));
    std::u16string text = UTF8Decode(caption);
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, flags | DT_CALCRECT);
    SelectObject(dc, old);
    DeleteDC(dc);
    return TRect(r.left, r.top, r.right, r.bottom);
  }

  void ExpectCaptionsFit(TComponent* owner) {
    for (int i = 0; i < owner->ComponentCount(); ++i) {
      TComponent* c = owner->Components(i);
      if (auto* label = dynamic_cast<TLabel*>(c)) {
        if (label->Caption().empty()) continue;
        UINT flags = DT_EXPANDTABS | (label->WordWrap() ? DT_WORDBREAK : 0);
        TRect r = Measure(label, label->Caption(), label->WordWrap() ? label->ClientWidth() : 0, flags);
        EXPECT_LE(r.Width(), label->ClientWidth()) << label->Name() << " \"" << label->Caption() << "\"";
        EXPECT_LE(r.Height(), label->ClientHeight()) << label->Name() << " \"" << label->Caption() << "\"";
        ++Checked;
      } else if (auto* box = dynamic_cast<TCheckBox*>(c)) {
        // The box and the gap before the text take 17 pixels.
        TRect r = Measure(box, box->Caption(), 0, 0);
        EXPECT_LE(r.Width() + 17, box->Width()) << box->Name();
        EXPECT_LE(r.Height(), box->Height()) << box->Name();
        ++Checked;
      } else if (auto* button = dynamic_cast<TButton*>(c)) {
        TRect r = Measure(button, button->Caption(), 0, 0);
        EXPECT_LE(r.Width() + 4, button->Width()) << button->Name();
        EXPECT_LE(r.Height() + 4, button->Height()) << button->Name();
        ++Checked;
      }
    }
  }
  int Checked = 0;
};

}  // namespace

TEST_F(CaptionFitTest, EveryCaptionOfEveryFormFitsItsControl) {
  if (!CreateFreeTypeFontEngine()) GTEST_SKIP() << "no FreeType";
  ExpectCaptionsFit(form);
  TLoadingForm* loading = CreateFormOf<TLoadingForm>(Application);
  ExpectCaptionsFit(loading);
  EXPECT_GE(Checked, 13);
}
