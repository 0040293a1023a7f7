// Feeds arbitrary text to the form-resource reader on a form of our own that
// knows the class library's controls and handlers by the names the programs'
// forms use, so mutations of real forms get past the first line.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "classlib/ExtCtrls.h"
#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "classlib/controls/ListBoxes.h"
#include "png/PngObject.h"

namespace {

class TFuzzImage : public TImage {
 public:
  using TImage::TImage;
};

class TFuzzForm : public TForm {
 public:
  using TForm::TForm;
  void Notify(TObject*) {}
  void Paint(TObject*, TCanvas*, TRect) {}
  void Mouse(TObject*, TMouseButton, TShiftState, int, int) {}
  void Key(TObject*, WORD&, TShiftState) {}
  void DrawItem(TWinControl*, int, TRect, TOwnerDrawState) {}
};

void RegisterFuzzForm() {
  RegisterClass<TFuzzForm, TForm>("TFuzzForm");
  RegisterClass<TFuzzImage, TImage>("TMainImage");
  for (const char* name :
       {"FormCreate", "FormDestroy", "FormPaint", "pbTopBoxPaint", "pbMenuBoxPaint", "imgCloseMouseEnter",
        "imgMaximizeMouseEnter", "imgMinimizeMouseEnter", "imgDictionaryClick", "imgSettingsClick", "imgAboutClick",
        "btnBrowseDictFileClick", "btnApplyClick", "lblEDICTLinkClick", "lblMakerLinkClick", "lblDonateClick",
        "edtSearchEnter", "edtSearchExit", "lblStopClick", "lblExactMatchClick", "lblSimiliarMatchClick",
        "ResultListClick", "pbResultPaint", "tmrRefreshTimer"})
    RegisterHandler(name, &TFuzzForm::Notify);
  for (const char* name : {"pageSearchPaint", "pageSettingsPaint", "PagePaint"})
    RegisterHandler(name, &TFuzzForm::Paint);
  for (const char* name : {"imgCloseMouseDown", "imgCloseMouseUp", "imgMaximizeMouseDown", "imgMaximizeMouseUp",
                           "imgMinimizeMouseDown", "imgMinimizeMouseUp"})
    RegisterHandler(name, &TFuzzForm::Mouse);
  RegisterHandler("edtSearchKeyDown", &TFuzzForm::Key);
  RegisterHandler("ResultListDrawItem", &TFuzzForm::DrawItem);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("HANAKUMO_DRIVER", "headless", 0);
  RegisterStandardClasses();
  RegisterFuzzForm();
  // Pulls the PNG picture class (and its registration) into the program.
  TPNGObject keep;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Freed as every form is, so OnDestroy runs on the whole form.
  TComponentPtr<TFuzzForm> form(new TFuzzForm(nullptr));
  try {
    ReadFormText(form.get(), "TFUZZFORM", text);
  } catch (const Exception&) {
  }
  return 0;
}
