// Menus: TMenuItem trees and TPopupMenu, whose Popup tracks the menu in a
// modal loop of its own windows (drawn by us) and runs the chosen item's
// Click after the menu has closed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "classlib/Components.h"
#include "platform/Types.h"

HK_DECLARE_EXCEPTION(EMenuError, Exception);

class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* owner);
  // Frees the items beneath it and leaves its parent.
  ~TMenuItem() override;

  // "&" marks the mnemonic ("&&" is an "&"); "-" makes a separator.
  const std::string& Caption() const { return FCaption; }
  void SetCaption(const std::string& caption) { FCaption = caption; }
  bool IsLine() const { return FCaption == "-"; }
  bool Checked() const { return FChecked; }
  // Checking a radio item unchecks the radio items of its group beside it.
  void SetChecked(bool value);
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value) { FEnabled = value; }
  bool Visible() const { return FVisible; }
  void SetVisible(bool value) { FVisible = value; }
  bool Default() const { return FDefault; }
  void SetDefault(bool value) { FDefault = value; }
  bool AutoCheck() const { return FAutoCheck; }
  void SetAutoCheck(bool value) { FAutoCheck = value; }
  bool RadioItem() const { return FRadioItem; }
  void SetRadioItem(bool value);
  uint8_t GroupIndex() const { return FGroupIndex; }
  void SetGroupIndex(uint8_t value);
  std::string Hint;

  int Count() const { return static_cast<int>(FItems.size()); }
  TMenuItem* Items(int index) const;
  TMenuItem* Parent() const { return FParent; }
  void Add(TMenuItem* item);
  void Insert(int index, TMenuItem* item);
  // Takes the item out of this one's list; it is not freed.
  void Remove(TMenuItem* item);
  void Delete(int index);
  void Clear();  // frees every item beneath
  int IndexOf(const TMenuItem* item) const;
  int MenuIndex() const { return FParent ? FParent->IndexOf(this) : -1; }
  // The first item beneath whose caption, without its "&", is `caption`.
  TMenuItem* Find(const std::string& caption) const;

  // Toggles the check of an AutoCheck item, then runs OnClick; nothing when
  // disabled. OnClick may free the item.
  virtual void Click();
  TNotifyEvent OnClick;
  // A form resource nests items in their popup menu or parent item.
  void SetParentComponent(TComponent* parent) override;

 private:
  void TurnSiblingsOff();

  std::string FCaption;
  bool FChecked = false;
  bool FEnabled = true;
  bool FVisible = true;
  bool FDefault = false;
  bool FAutoCheck = false;
  bool FRadioItem = false;
  uint8_t FGroupIndex = 0;
  TMenuItem* FParent = nullptr;
  std::vector<TMenuItem*> FItems;
};

// The caption without its mnemonic marks, and the mnemonic (upper case, or 0).
std::string StripHotkey(const std::string& caption);
char GetHotkey(const std::string& caption);

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  TMenuItem* Items() const { return FItems; }
  bool AutoPopup = true;
  TComponent* PopupComponent = nullptr;
  TNotifyEvent OnPopup;

  // Shows the menu with its top-left corner at the screen point (moved to
  // stay on the screen) and tracks it until an item is chosen or the menu
  // is dismissed (Escape, a click elsewhere, another program's activation,
  // WM_CANCELMODE). Messages keep being dispatched meanwhile. The chosen
  // item's Click runs after the menu windows are gone.
  virtual void Popup(int x, int y);
  // Whether a Popup is being tracked (of any menu), and its top window.
  static bool Tracking();
  static HWND TrackingWindow();
  // Ends the tracking as if dismissed.
  static void CancelTracking();

 private:
  TMenuItem* FItems;
};
