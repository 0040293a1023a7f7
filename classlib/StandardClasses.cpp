// The class library's classes, their published properties and events, as
// form resources name them.
#include "classlib/ExtCtrls.h"
#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "classlib/Streams.h"
#include "classlib/StdCtrls.h"
#include "classlib/SysUtils.h"
#include "classlib/controls/ControlClasses.h"

void LoadPicture(TPicture& picture, const TFormValue& v) {
  // "TPNGObject {...}" or "TPNGObject resource 'PNG' 'NAME'"; nil clears.
  if (v.Kind == TFormValue::vkIdent && SameText(v.Str, "nil")) {
    picture.Assign(nullptr);
    return;
  }
  if (v.Kind != TFormValue::vkSequence || v.Items.empty() || v.Items[0].Kind != TFormValue::vkIdent)
    RaisePropertyError("Invalid property value: a picture class and its data expected");
  const std::string& cls = v.Items[0].Str;
  if (v.Items.size() == 2 && v.Items[1].Kind == TFormValue::vkBinary) {
    TMemoryStream m;
    m.WriteBuffer(v.Items[1].Str.data(), static_cast<int64_t>(v.Items[1].Str.size()));
    m.SetPosition(0);
    picture.LoadFromStreamAs(cls, m);
    return;
  }
  if (v.Items.size() == 4 && v.Items[1].Kind == TFormValue::vkIdent && SameText(v.Items[1].Str, "resource")) {
    TResourceStream res(nullptr, v.Items[3].AsString(), v.Items[2].AsString().c_str());
    picture.LoadFromStreamAs(cls, res);
    return;
  }
  RaisePropertyError("Invalid property value: a picture class and its data expected");
}

namespace {

using V = const TFormValue&;

void RegisterPersistentClasses() {
  RegisterClass<TPersistent>("TPersistent");
  RegisterClass<TComponent, TPersistent>("TComponent");
  RegisterProperty<TComponent>("Tag", [](TComponent& c, V v) { c.Tag = v.AsInteger(); });

  RegisterClass<TFont, TPersistent>("TFont");
  RegisterProperty<TFont>("Name", [](TFont& f, V v) { f.SetName(v.AsString()); });
  RegisterProperty<TFont>("Size", [](TFont& f, V v) { f.SetSize(v.AsInteger()); });
  RegisterProperty<TFont>("Height", [](TFont& f, V v) { f.SetHeight(v.AsInteger()); });
  RegisterProperty<TFont>("Color", [](TFont& f, V v) { f.SetColor(v.AsColor()); });
  RegisterProperty<TFont>("Charset", [](TFont& f, V v) {
    f.SetCharset(static_cast<uint8_t>(v.Kind == TFormValue::vkInteger
                                          ? v.AsInteger()
                                          : v.AsEnum({"ANSI_CHARSET", "DEFAULT_CHARSET"})));
  });
  RegisterProperty<TFont>("Style", [](TFont& f, V v) {
    f.SetStyle(static_cast<TFontStyles>(v.AsSetBits({"fsBold", "fsItalic", "fsUnderline", "fsStrikeOut"})));
  });
  RegisterProperty<TFont>("Pitch",
                          [](TFont& f, V v) { f.SetPitch(static_cast<TFontPitch>(v.AsEnum({"fpDefault", "fpVariable", "fpFixed"}))); });

  RegisterClass<TSizeConstraints, TPersistent>("TSizeConstraints");
  RegisterProperty<TSizeConstraints>("MinWidth", [](TSizeConstraints& c, V v) {
    c.MinWidth = v.AsInteger();
    c.Changed();
  });
  RegisterProperty<TSizeConstraints>("MinHeight", [](TSizeConstraints& c, V v) {
    c.MinHeight = v.AsInteger();
    c.Changed();
  });
  RegisterProperty<TSizeConstraints>("MaxWidth", [](TSizeConstraints& c, V v) {
    c.MaxWidth = v.AsInteger();
    c.Changed();
  });
  RegisterProperty<TSizeConstraints>("MaxHeight", [](TSizeConstraints& c, V v) {
    c.MaxHeight = v.AsInteger();
    c.Changed();
  });

  RegisterClass<TPicture, TPersistent>("TPicture");
}

void RegisterControlClasses() {
  RegisterClass<TControl, TComponent>("TControl");
  RegisterProperty<TControl>("Left", [](TControl& c, V v) { c.SetLeft(v.AsInteger()); });
  RegisterProperty<TControl>("Top", [](TControl& c, V v) { c.SetTop(v.AsInteger()); });
  RegisterProperty<TControl>("Width", [](TControl& c, V v) { c.SetWidth(v.AsInteger()); });
  RegisterProperty<TControl>("Height", [](TControl& c, V v) { c.SetHeight(v.AsInteger()); });
  RegisterProperty<TControl>("ClientWidth", [](TControl& c, V v) { c.SetClientWidth(v.AsInteger()); });
  RegisterProperty<TControl>("ClientHeight", [](TControl& c, V v) { c.SetClientHeight(v.AsInteger()); });
  RegisterProperty<TControl>("Align", [](TControl& c, V v) {
    c.SetAlign(static_cast<TAlign>(v.AsEnum({"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"})));
  });
  RegisterProperty<TControl>("Anchors", [](TControl& c, V v) {
    c.SetAnchors(static_cast<TAnchors>(v.AsSetBits({"akLeft", "akTop", "akRight", "akBottom"})));
  });
  RegisterProperty<TControl>("Visible", [](TControl& c, V v) { c.SetVisible(v.AsBoolean()); });
  RegisterProperty<TControl>("Enabled", [](TControl& c, V v) { c.SetEnabled(v.AsBoolean()); });
  RegisterProperty<TControl>("Cursor", [](TControl& c, V v) {
    static const std::pair<const char*, TCursor> names[] = {
        {"crDefault", crDefault}, {"crNone", crNone},       {"crArrow", crArrow},         {"crCross", crCross},
        {"crIBeam", crIBeam},     {"crSizeNESW", crSizeNESW}, {"crSizeNS", crSizeNS},     {"crSizeNWSE", crSizeNWSE},
        {"crSizeWE", crSizeWE},   {"crHourGlass", crHourGlass}, {"crNo", crNo},           {"crHandPoint", crHandPoint},
        {"crSizeAll", crSizeAll}};
    if (v.Kind == TFormValue::vkInteger) {
      c.SetCursor(v.AsInteger());
      return;
    }
    for (auto& n : names)
      if (SameText(v.AsIdent(), n.first)) {
        c.SetCursor(n.second);
        return;
      }
    RaisePropertyError("Invalid property value " + v.Str);
  });
  RegisterProperty<TControl>("Hint", [](TControl& c, V v) { c.SetHint(v.AsString()); });
  RegisterProperty<TControl>("ShowHint", [](TControl& c, V v) { c.SetShowHint(v.AsBoolean()); });
  RegisterProperty<TControl>("ParentShowHint", [](TControl& c, V v) { c.SetParentShowHint(v.AsBoolean()); });
  RegisterProperty<TControl>("ParentFont", [](TControl& c, V v) { c.SetParentFont(v.AsBoolean()); });
  RegisterProperty<TControl>("Color", [](TControl& c, V v) { c.SetColor(v.AsColor()); });
  RegisterProperty<TControl>("ParentColor", [](TControl& c, V v) { c.SetParentColor(v.AsBoolean()); });
  RegisterProperty<TControl>("Caption", [](TControl& c, V v) { c.SetCaption(v.AsString()); });
  RegisterProperty<TControl>("Text", [](TControl& c, V v) { c.SetText(v.AsString()); });
  RegisterObjectProperty<TControl>("Font", [](TControl& c) -> TPersistent* { return &c.Font(); });
  RegisterObjectProperty<TControl>("Constraints", [](TControl& c) -> TPersistent* { return &c.Constraints(); });
  RegisterEvent<TControl>("OnClick", &TControl::OnClick);
  RegisterEvent<TControl>("OnDblClick", &TControl::OnDblClick);
  RegisterEvent<TControl>("OnMouseDown", &TControl::OnMouseDown);
  RegisterEvent<TControl>("OnMouseUp", &TControl::OnMouseUp);
  RegisterEvent<TControl>("OnMouseMove", &TControl::OnMouseMove);
  RegisterEvent<TControl>("OnResize", &TControl::OnResize);

  RegisterClass<TGraphicControl, TControl>("TGraphicControl");
  RegisterClass<TWinControl, TControl>("TWinControl");
  RegisterProperty<TWinControl>("TabOrder", [](TWinControl& c, V v) { c.SetTabOrder(v.AsInteger()); });
  RegisterProperty<TWinControl>("TabStop", [](TWinControl& c, V v) { c.SetTabStop(v.AsBoolean()); });
  RegisterEvent<TWinControl>("OnEnter", &TWinControl::OnEnter);
  RegisterEvent<TWinControl>("OnExit", &TWinControl::OnExit);
  RegisterEvent<TWinControl>("OnKeyDown", &TWinControl::OnKeyDown);
  RegisterEvent<TWinControl>("OnKeyUp", &TWinControl::OnKeyUp);
  RegisterEvent<TWinControl>("OnKeyPress", &TWinControl::OnKeyPress);

  RegisterClass<TCustomForm, TWinControl>("TCustomForm");
  RegisterClass<TForm, TCustomForm>("TForm");
  RegisterProperty<TCustomForm>("BorderStyle", [](TCustomForm& f, V v) {
    f.SetBorderStyle(static_cast<TFormBorderStyle>(
        v.AsEnum({"bsNone", "bsSingle", "bsSizeable", "bsDialog", "bsToolWindow", "bsSizeToolWin"})));
  });
  RegisterProperty<TCustomForm>("FormStyle", [](TCustomForm& f, V v) {
    f.SetFormStyle(static_cast<TFormStyle>(v.AsEnum({"fsNormal", "fsMDIChild", "fsMDIForm", "fsStayOnTop"})));
  });
  RegisterProperty<TCustomForm>("BorderIcons", [](TCustomForm& f, V v) {
    f.SetBorderIcons(static_cast<TBorderIcons>(v.AsSetBits({"biSystemMenu", "biMinimize", "biMaximize", "biHelp"})));
  });
  RegisterProperty<TCustomForm>("Position", [](TCustomForm& f, V v) {
    f.SetPosition(static_cast<TPosition>(v.AsEnum({"poDesigned", "poDefault", "poDefaultPosOnly", "poDefaultSizeOnly",
                                                    "poScreenCenter", "poDesktopCenter", "poMainFormCenter",
                                                    "poOwnerFormCenter"})));
  });
  RegisterProperty<TCustomForm>("WindowState", [](TCustomForm& f, V v) {
    f.SetWindowState(static_cast<TWindowState>(v.AsEnum({"wsNormal", "wsMinimized", "wsMaximized"})));
  });
  RegisterProperty<TCustomForm>("ScreenSnap", [](TCustomForm& f, V v) { f.ScreenSnap = v.AsBoolean(); });
  RegisterProperty<TCustomForm>("SnapBuffer", [](TCustomForm& f, V v) { f.SnapBuffer = v.AsInteger(); });
  RegisterProperty<TCustomForm>("KeyPreview", [](TCustomForm& f, V v) { f.KeyPreview = v.AsBoolean(); });
  RegisterEvent<TCustomForm>("OnCreate", &TCustomForm::OnCreate);
  RegisterEvent<TCustomForm>("OnDestroy", &TCustomForm::OnDestroy);
  RegisterEvent<TCustomForm>("OnShow", &TCustomForm::OnShow);
  RegisterEvent<TCustomForm>("OnHide", &TCustomForm::OnHide);
  RegisterEvent<TCustomForm>("OnPaint", &TCustomForm::OnPaint);
  RegisterEvent<TCustomForm>("OnActivate", &TCustomForm::OnActivate);
  RegisterEvent<TCustomForm>("OnDeactivate", &TCustomForm::OnDeactivate);
  RegisterEvent<TCustomForm>("OnClose", &TCustomForm::OnClose);
  RegisterEvent<TCustomForm>("OnCloseQuery", &TCustomForm::OnCloseQuery);

  RegisterClass<TLabel, TGraphicControl>("TLabel");
  RegisterProperty<TLabel>("Alignment", [](TLabel& l, V v) {
    l.SetAlignment(static_cast<TAlignment>(v.AsEnum({"taLeftJustify", "taRightJustify", "taCenter"})));
  });
  RegisterProperty<TLabel>("Layout",
                           [](TLabel& l, V v) { l.SetLayout(static_cast<TTextLayout>(v.AsEnum({"tlTop", "tlCenter", "tlBottom"}))); });
  RegisterProperty<TLabel>("AutoSize", [](TLabel& l, V v) { l.SetAutoSize(v.AsBoolean()); });
  RegisterProperty<TLabel>("Transparent", [](TLabel& l, V v) { l.SetTransparent(v.AsBoolean()); });
  RegisterProperty<TLabel>("WordWrap", [](TLabel& l, V v) { l.SetWordWrap(v.AsBoolean()); });
  RegisterProperty<TLabel>("ShowAccelChar", [](TLabel& l, V v) { l.SetShowAccelChar(v.AsBoolean()); });

  RegisterClass<TPaintBox, TGraphicControl>("TPaintBox");
  RegisterEvent<TPaintBox>("OnPaint", &TPaintBox::OnPaint);

  RegisterClass<TImage, TGraphicControl>("TImage");
  RegisterProperty<TImage>("Picture", [](TImage& i, V v) { LoadPicture(i.Picture(), v); });
  RegisterProperty<TImage>("Stretch", [](TImage& i, V v) { i.SetStretch(v.AsBoolean()); });
  RegisterProperty<TImage>("Center", [](TImage& i, V v) { i.SetCenter(v.AsBoolean()); });
  RegisterProperty<TImage>("Proportional", [](TImage& i, V v) { i.SetProportional(v.AsBoolean()); });
  RegisterProperty<TImage>("Transparent", [](TImage& i, V v) { i.SetTransparent(v.AsBoolean()); });
  RegisterProperty<TImage>("AutoSize", [](TImage& i, V v) { i.SetAutoSize(v.AsBoolean()); });

  RegisterClass<TBevel, TGraphicControl>("TBevel");
  RegisterProperty<TBevel>("Shape", [](TBevel& b, V v) {
    b.SetShape(static_cast<TBevelShape>(
        v.AsEnum({"bsBox", "bsFrame", "bsTopLine", "bsBottomLine", "bsLeftLine", "bsRightLine", "bsSpacer"})));
  });
  RegisterProperty<TBevel>("Style",
                           [](TBevel& b, V v) { b.SetStyle(static_cast<TBevelStyle>(v.AsEnum({"bsLowered", "bsRaised"}))); });
}

}  // namespace

void RegisterStandardClasses() {
  RegisterPersistentClasses();
  RegisterControlClasses();
  // The standard controls too, whichever of their units the program links.
  RegisterStandardControls();
}
