#include "dict/LoadingForm.h"

#include "classlib/FormReader.h"

void TLoadingForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.WindowClass.style |= CS_DROPSHADOW;
}

void TLoadingForm::FormPaint(TObject*) {
  // A light grey face with a one-pixel grey frame.
  Canvas().Brush().SetColor(0xF5F5F5);
  Canvas().Pen().SetColor(0x808080);
  Canvas().Rectangle(ClientRect());
}

namespace {

const bool registered = [] {
  RegisterClass<TLoadingForm, TForm>("TLoadingForm");
  RegisterField("lblLoading", &TLoadingForm::lblLoading);
  RegisterHandler("FormPaint", &TLoadingForm::FormPaint);
  return true;
}();

}  // namespace
