// The splash window shown while the dictionary loads.
#pragma once

#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"

class TLoadingForm : public TForm {
 public:
  explicit TLoadingForm(TComponent* owner) : TForm(owner) {}
  TLabel* lblLoading = nullptr;
  void FormPaint(TObject* sender);

 protected:
  void CreateParams(TCreateParams& params) override;
};
