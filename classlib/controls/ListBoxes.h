// List boxes: TListBox (byte strings) and TWideListBox (UTF-16), drawn by
// us, standard or owner-drawn with a fixed item height. Items live in a
// vector and only the rows in view are painted, so adding an item and
// painting cost the same with ten items or with 700,000.
#pragma once

#include <cstdint>
#include <string>

#include "classlib/Controls.h"
#include "classlib/controls/ItemLists.h"
#include "classlib/controls/ScrollBar.h"

enum TListBoxStyle { lbStandard, lbOwnerDrawFixed, lbOwnerDrawVariable };

enum TOwnerDrawStateFlag : uint16_t {
  odSelected = 1,
  odGrayed = 2,
  odDisabled = 4,
  odChecked = 8,
  odFocused = 16,
  odDefault = 32,
  odComboBoxEdit = 0x1000,
};
using TOwnerDrawState = uint16_t;

using TDrawItemEvent = std::function<void(TWinControl* control, int index, TRect rect, TOwnerDrawState state)>;

class TCustomListBox : public TWinControl, public TItemsObserver {
 public:
  explicit TCustomListBox(TComponent* owner);
  ~TCustomListBox() override;

  virtual int ItemCount() const = 0;

  // -1 selects nothing; an index outside the items selects nothing too.
  // Setting it scrolls the item into view and does not fire OnClick.
  int ItemIndex() const { return FItemIndex; }
  void SetItemIndex(int index);
  // The first row in view, kept so that the last page stays full.
  int TopIndex() const { return FTopIndex; }
  void SetTopIndex(int index);
  int ItemHeight() const { return FItemHeight; }
  void SetItemHeight(int height);
  TListBoxStyle Style() const { return FStyle; }
  void SetStyle(TListBoxStyle style);
  // Rows that fit in the client area whole (at least 1).
  int VisibleRows() const;
  TRect ItemRect(int index) const;
  // The item at a client point; with `existing` false a point below the
  // last item answers the count, otherwise -1.
  int ItemAtPos(POINT p, bool existing) const;
  bool ScrollBarVisible() const;

  TCanvas& Canvas() { return FCanvas; }
  TDrawItemEvent OnDrawItem;

  void Click() override {}  // OnClick fires when the user changes the selection

 protected:
  void CreateParams(TCreateParams& params) override;
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override;
  void KeyDown(WORD& key, TShiftState shift) override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void Dispatch(TMessage& message) override;
  void Resize() override;

  // Draws one item without an OnDrawItem handler.
  virtual void DrawItemText(int index, const TRect& rect) = 0;
  virtual void DrawItem(int index, const TRect& rect, TOwnerDrawState state);

  void ItemsInserted(int index) override;
  void ItemsDeleted(int index) override;
  void ItemsCleared() override;
  void ItemChanged(int index) override;
  void EndItemsUpdate() override;

 private:
  void SelectByUser(int index);
  void ScrollIntoView(int index);
  int MaxTop() const;
  void LayoutScrollBar();
  void InvalidateItem(int index);
  void InvalidateScrollBar();
  void ScrollBarAction(TInnerScrollBar::THit hit);

  TControlCanvas FCanvas;
  TListBoxStyle FStyle = lbStandard;
  int FItemIndex = -1;
  int FTopIndex = 0;
  int FItemHeight = 13;
  TInnerScrollBar FScrollBar;
  TInnerScrollBar::THit FPressed = TInnerScrollBar::shNone;
  int FThumbGrab = 0;  // where in the thumb the mouse took it
  bool FSelecting = false;
  bool FPendingLayout = false;
  bool FScrollBarInvalid = false;
};

class TListBox : public TCustomListBox {
 public:
  explicit TListBox(TComponent* owner) : TCustomListBox(owner), FItems(*this) {}
  ~TListBox() override { SetParent(nullptr); }  // its window's last messages still see the items
  TListBoxItems<std::string>& Items() { return FItems; }
  int ItemCount() const override { return FItems.Count(); }

 protected:
  void DrawItemText(int index, const TRect& rect) override;

 private:
  TListBoxItems<std::string> FItems;
};

class TWideListBox : public TCustomListBox {
 public:
  explicit TWideListBox(TComponent* owner) : TCustomListBox(owner), FItems(*this) {}
  ~TWideListBox() override { SetParent(nullptr); }
  TListBoxItems<std::u16string>& Items() { return FItems; }
  int ItemCount() const override { return FItems.Count(); }

 protected:
  void DrawItemText(int index, const TRect& rect) override;

 private:
  TListBoxItems<std::u16string> FItems;
};
