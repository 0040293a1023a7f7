// TLabel: text drawn on its parent.
#pragma once

#include "classlib/Controls.h"

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);
  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment a);
  TTextLayout Layout() const { return FLayout; }
  void SetLayout(TTextLayout l);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  // A transparent label draws only its text over what is behind it.
  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool value);
  // Without it "&" draws as it is; with it (the default) "&" marks the next
  // character and "&&" is one "&".
  bool ShowAccelChar() const { return FShowAccelChar; }
  void SetShowAccelChar(bool value);
  void Loaded() override;

 protected:
  void Paint() override;
  void TextChanged() override;
  void FontChanged() override;
  virtual UINT DrawFlags() const;
  void AdjustBounds();

 private:
  TAlignment FAlignment = taLeftJustify;
  TTextLayout FLayout = tlTop;
  bool FAutoSize = true;
  bool FTransparent = false;
  bool FWordWrap = false;
  bool FShowAccelChar = true;
};
