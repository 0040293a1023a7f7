// A combo box as a drop-down list, drawn by us. ItemIndex -1 selects
// nothing (the box shows no text). The user chooses by clicking the box and
// an item of the list that drops down, or with the arrow, page, Home and End
// keys and a first letter while it is closed; F4 or Alt+Down drops it down.
// OnChange fires on the user's choices only, not on ItemIndex set in code.
#pragma once

#include <string>

#include "classlib/Controls.h"
#include "classlib/controls/ItemLists.h"

enum TComboBoxStyle { csDropDown, csSimple, csDropDownList, csOwnerDrawFixed, csOwnerDrawVariable };

class TComboBox : public TWinControl, public TItemsObserver {
 public:
  explicit TComboBox(TComponent* owner);
  ~TComboBox() override;

  TListBoxItems<std::string>& Items() { return FItems; }
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int index);
  TComboBoxStyle Style = csDropDownList;
  int DropDownCount = 8;
  int ItemHeight() const;
  // Drops the list down and tracks it until the user chooses or leaves it.
  void DropDown();
  bool DroppedDown() const { return FDropped; }
  // Ends a drop-down being tracked (from any thread), choosing nothing.
  static void CloseDropDown();

  void Loaded() override;

  TNotifyEvent OnChange;
  TNotifyEvent OnSelect;
  TNotifyEvent OnDropDown;
  TNotifyEvent OnCloseUp;

 protected:
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void KeyPress(char16_t& key) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& message) override;
  void ItemsInserted(int index) override;
  void ItemsDeleted(int index) override;
  void ItemsCleared() override;
  void ItemChanged(int index) override;
  void EndItemsUpdate() override { Invalidate(); }

 private:
  void ChooseByUser(int index);
  void SyncText();

  TListBoxItems<std::string> FItems;
  TControlCanvas FCanvas;
  int FItemIndex = -1;
  int FLoadedIndex = -1;  // ItemIndex read before the items
  bool FDropped = false;
};
