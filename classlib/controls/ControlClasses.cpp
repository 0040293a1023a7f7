#include "classlib/controls/ControlClasses.h"

#include <mutex>

#include "classlib/FormReader.h"
#include "classlib/controls/Buttons.h"
#include "classlib/controls/ComboBoxes.h"
#include "classlib/controls/Dialogs.h"
#include "classlib/controls/Edits.h"
#include "classlib/controls/ListBoxes.h"
#include "classlib/controls/Menus.h"
#include "classlib/controls/MessageDialogs.h"
#include "classlib/controls/PageLists.h"
#include "classlib/controls/Timer.h"
#include "classlib/controls/TrackBars.h"
#include "classlib/controls/TextUnits.h"

namespace {

using V = const TFormValue&;

// An event whose handler goes through a setter rather than a field.
template <typename T, typename E>
void RegisterEventSetter(const std::string& name, void (T::*set)(E)) {
  std::string key;
  for (char c : name) key += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  ClassInfoOf(typeid(T)).Properties[key] = [set, name](TPersistent& object, V value, TFormContext& context) {
    auto* t = dynamic_cast<T*>(&object);
    if (!t) RaisePropertyError("Property does not belong to " + object.ClassName());
    std::any bound = FindHandler(context.Root, value.AsIdent());
    using F = std::decay_t<E>;
    F* fn = std::any_cast<F>(&bound);
    if (!fn) RaisePropertyError("Handler " + value.AsIdent() + " of " + name + " not found or of other arguments");
    (t->*set)(*fn);
  };
}

TBorderStyle BorderStyleOf(V v) { return v.AsEnum({"bsNone", "bsSingle"}) == 0 ? bsNone : bsSingle; }

void RegisterEdits() {
  RegisterClass<TCustomEdit, TWinControl>("TCustomEdit");
  RegisterClass<TEdit, TCustomEdit>("TEdit");
  RegisterClass<TWideEdit, TCustomEdit>("TWideEdit");
  RegisterProperty<TCustomEdit>("MaxLength", [](TCustomEdit& e, V v) { e.SetMaxLength(v.AsInteger()); });
  RegisterProperty<TCustomEdit>("ReadOnly", [](TCustomEdit& e, V v) { e.SetReadOnly(v.AsBoolean()); });
  RegisterProperty<TCustomEdit>("AutoSelect", [](TCustomEdit& e, V v) { e.SetAutoSelect(v.AsBoolean()); });
  RegisterProperty<TCustomEdit>("BorderStyle", [](TCustomEdit& e, V v) { e.SetBorderStyle(BorderStyleOf(v)); });
  RegisterEvent<TCustomEdit>("OnChange", &TCustomEdit::OnChange);
}

void RegisterButtons() {
  RegisterClass<TButtonControl, TWinControl>("TButtonControl");
  RegisterClass<TButton, TButtonControl>("TButton");
  RegisterProperty<TButton>("Default", [](TButton& b, V v) { b.SetDefault(v.AsBoolean()); });
  RegisterProperty<TButton>("Cancel", [](TButton& b, V v) { b.SetCancel(v.AsBoolean()); });
  RegisterProperty<TButton>("ModalResult", [](TButton& b, V v) { b.ModalResult = v.AsInteger(); });
  RegisterClass<TCheckBox, TButtonControl>("TCheckBox");
  // While loading, a check box takes its state without firing OnClick.
  RegisterProperty<TCheckBox>("Checked", [](TCheckBox& c, V v) {
    TNotifyEvent keep = std::move(c.OnClick);
    c.OnClick = nullptr;
    c.SetChecked(v.AsBoolean());
    c.OnClick = std::move(keep);
  });
  RegisterProperty<TCheckBox>("State", [](TCheckBox& c, V v) {
    TNotifyEvent keep = std::move(c.OnClick);
    c.OnClick = nullptr;
    c.SetState(static_cast<TCheckBoxState>(v.AsEnum({"cbUnchecked", "cbChecked", "cbGrayed"})));
    c.OnClick = std::move(keep);
  });
  RegisterProperty<TCheckBox>("AllowGrayed", [](TCheckBox& c, V v) { c.AllowGrayed = v.AsBoolean(); });
}

template <typename L>
void AddItems(L& list, V v) {
  list.Items().BeginUpdate();
  list.Items().Clear();
  for (const std::string& s : v.AsStringList()) {
    if constexpr (std::is_same_v<decltype(list.Items().Strings(0)), std::u16string>)
      list.Items().Add(Utf8ToUtf16(s));
    else
      list.Items().Add(s);
  }
  list.Items().EndUpdate();
}

void RegisterLists() {
  RegisterClass<TCustomListBox, TWinControl>("TCustomListBox");
  RegisterClass<TListBox, TCustomListBox>("TListBox");
  RegisterClass<TWideListBox, TCustomListBox>("TWideListBox");
  RegisterProperty<TCustomListBox>("Style", [](TCustomListBox& l, V v) {
    l.SetStyle(static_cast<TListBoxStyle>(v.AsEnum({"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"})));
  });
  RegisterProperty<TCustomListBox>("ItemHeight", [](TCustomListBox& l, V v) { l.SetItemHeight(v.AsInteger()); });
  RegisterProperty<TCustomListBox>("ItemIndex", [](TCustomListBox& l, V v) { l.SetItemIndex(v.AsInteger()); });
  // Our list boxes are flat and draw no frame; the value is taken and kept.
  RegisterProperty<TCustomListBox>("BorderStyle", [](TCustomListBox&, V v) { BorderStyleOf(v); });
  RegisterEvent<TCustomListBox>("OnDrawItem", &TCustomListBox::OnDrawItem);
  RegisterProperty<TListBox>("Items", [](TListBox& l, V v) { AddItems(l, v); });
  RegisterProperty<TWideListBox>("Items", [](TWideListBox& l, V v) { AddItems(l, v); });

  RegisterClass<TComboBox, TWinControl>("TComboBox");
  RegisterProperty<TComboBox>("Style", [](TComboBox& c, V v) {
    c.Style = static_cast<TComboBoxStyle>(
        v.AsEnum({"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed", "csOwnerDrawVariable"}));
  });
  RegisterProperty<TComboBox>("Items", [](TComboBox& c, V v) { AddItems(c, v); });
  RegisterProperty<TComboBox>("ItemIndex", [](TComboBox& c, V v) { c.SetItemIndex(v.AsInteger()); });
  RegisterProperty<TComboBox>("DropDownCount", [](TComboBox& c, V v) { c.DropDownCount = v.AsInteger(); });
  RegisterProperty<TComboBox>("ItemHeight", [](TComboBox&, V v) { v.AsInteger(); });
  RegisterEvent<TComboBox>("OnChange", &TComboBox::OnChange);
  RegisterEvent<TComboBox>("OnSelect", &TComboBox::OnSelect);
  RegisterEvent<TComboBox>("OnDropDown", &TComboBox::OnDropDown);
  RegisterEvent<TComboBox>("OnCloseUp", &TComboBox::OnCloseUp);
}

void RegisterTrackBars() {
  RegisterClass<TTrackBar, TWinControl>("TTrackBar");
  RegisterProperty<TTrackBar>("Min", [](TTrackBar& t, V v) { t.SetMin(v.AsInteger()); });
  RegisterProperty<TTrackBar>("Max", [](TTrackBar& t, V v) { t.SetMax(v.AsInteger()); });
  RegisterProperty<TTrackBar>("Position", [](TTrackBar& t, V v) { t.SetPosition(v.AsInteger()); });
  RegisterProperty<TTrackBar>("Frequency", [](TTrackBar& t, V v) { t.SetFrequency(v.AsInteger()); });
  RegisterProperty<TTrackBar>("LineSize", [](TTrackBar& t, V v) { t.LineSize = v.AsInteger(); });
  RegisterProperty<TTrackBar>("PageSize", [](TTrackBar& t, V v) { t.PageSize = v.AsInteger(); });
  RegisterProperty<TTrackBar>("SelStart", [](TTrackBar& t, V v) { t.SetSelection(v.AsInteger(), t.SelEnd()); });
  RegisterProperty<TTrackBar>("SelEnd", [](TTrackBar& t, V v) { t.SetSelection(t.SelStart(), v.AsInteger()); });
  RegisterEvent<TTrackBar>("OnChange", &TTrackBar::OnChange);
}

void RegisterPages() {
  RegisterClass<TPageList, TWinControl>("TPageList");
  RegisterProperty<TPageList>("ActivePage", [](TPageList& p, V v) { p.SetActivePageName(v.AsIdent()); });
  RegisterProperty<TPageList>("PropagateEnable", [](TPageList& p, V v) { p.PropagateEnable = v.AsBoolean(); });
  RegisterEvent<TPageList>("OnChange", &TPageList::OnChange);
  RegisterClass<TStandardPage, TWinControl>("TStandardPage");
  RegisterEvent<TStandardPage>("OnPaint", &TStandardPage::OnPaint);
}

void RegisterMenusAndTimers() {
  RegisterClass<TMenuItem, TComponent>("TMenuItem");
  RegisterProperty<TMenuItem>("Caption", [](TMenuItem& m, V v) { m.SetCaption(v.AsString()); });
  RegisterProperty<TMenuItem>("Checked", [](TMenuItem& m, V v) { m.SetChecked(v.AsBoolean()); });
  RegisterProperty<TMenuItem>("Enabled", [](TMenuItem& m, V v) { m.SetEnabled(v.AsBoolean()); });
  RegisterProperty<TMenuItem>("Visible", [](TMenuItem& m, V v) { m.SetVisible(v.AsBoolean()); });
  RegisterProperty<TMenuItem>("Default", [](TMenuItem& m, V v) { m.SetDefault(v.AsBoolean()); });
  RegisterProperty<TMenuItem>("AutoCheck", [](TMenuItem& m, V v) { m.SetAutoCheck(v.AsBoolean()); });
  RegisterProperty<TMenuItem>("RadioItem", [](TMenuItem& m, V v) { m.SetRadioItem(v.AsBoolean()); });
  RegisterProperty<TMenuItem>("GroupIndex",
                              [](TMenuItem& m, V v) { m.SetGroupIndex(static_cast<uint8_t>(v.AsInteger())); });
  RegisterProperty<TMenuItem>("Hint", [](TMenuItem& m, V v) { m.Hint = v.AsString(); });
  RegisterEvent<TMenuItem>("OnClick", &TMenuItem::OnClick);

  RegisterClass<TPopupMenu, TComponent>("TPopupMenu");
  RegisterProperty<TPopupMenu>("AutoPopup", [](TPopupMenu& m, V v) { m.AutoPopup = v.AsBoolean(); });
  RegisterEvent<TPopupMenu>("OnPopup", &TPopupMenu::OnPopup);

  RegisterClass<TTimer, TComponent>("TTimer");
  RegisterProperty<TTimer>("Enabled", [](TTimer& t, V v) { t.SetEnabled(v.AsBoolean()); });
  RegisterProperty<TTimer>("Interval", [](TTimer& t, V v) { t.SetInterval(static_cast<uint32_t>(v.AsInteger())); });
  RegisterEventSetter<TTimer>("OnTimer", &TTimer::SetOnTimer);
}

void RegisterDialogs() {
  RegisterClass<TOpenDialog, TComponent>("TOpenDialog");
  RegisterProperty<TOpenDialog>("Filter", [](TOpenDialog& d, V v) { d.Filter = v.AsString(); });
  RegisterProperty<TOpenDialog>("FilterIndex", [](TOpenDialog& d, V v) { d.FilterIndex = v.AsInteger(); });
  RegisterProperty<TOpenDialog>("FileName", [](TOpenDialog& d, V v) { d.FileName = v.AsString(); });
  RegisterProperty<TOpenDialog>("InitialDir", [](TOpenDialog& d, V v) { d.InitialDir = v.AsString(); });
  RegisterProperty<TOpenDialog>("Title", [](TOpenDialog& d, V v) { d.Title = v.AsString(); });
}

}  // namespace

void RegisterStandardControls() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterEdits();
    RegisterButtons();
    RegisterLists();
    RegisterTrackBars();
    RegisterPages();
    RegisterMenusAndTimers();
    RegisterDialogs();
    // On a display, MessageBoxA shows our own window.
    hk::SetMessageBoxPresenter(&hk::ShowMessageBoxWindow);
  });
}
