// The items of list controls: strings with attached objects in a vector,
// whose changes the control hears of, so it repaints only what moved.
#pragma once

#include <string>
#include <vector>

#include "classlib/SysTypes.h"

class TItemsObserver {
 public:
  virtual ~TItemsObserver() = default;

 protected:
  template <typename S>
  friend class TListBoxItems;
  virtual void ItemsInserted(int index) = 0;
  virtual void ItemsDeleted(int index) = 0;
  virtual void ItemsCleared() = 0;
  virtual void ItemChanged(int index) = 0;
  virtual void EndItemsUpdate() = 0;
  int FUpdating = 0;  // BeginUpdate nesting: no repaint meanwhile
};

// Strings with attached objects, kept for a list control (which never owns
// the objects). IndexOf ignores the case of ASCII letters.
template <typename S>
class TListBoxItems {
 public:
  explicit TListBoxItems(TItemsObserver& owner) : FOwner(owner) {}

  int Count() const { return static_cast<int>(FItems.size()); }
  S Strings(int index) const { return At(index).Text; }
  S operator[](int index) const { return At(index).Text; }
  TObject* Objects(int index) const { return At(index).Object; }
  void Put(int index, const S& s) {
    At(index).Text = s;
    FOwner.ItemChanged(index);
  }
  void PutObject(int index, TObject* object) { At(index).Object = object; }
  int Add(const S& s) { return AddObject(s, nullptr); }
  int AddObject(const S& s, TObject* object) {
    FItems.push_back(Item{s, object});
    FOwner.ItemsInserted(Count() - 1);
    return Count() - 1;
  }
  void Insert(int index, const S& s) { InsertObject(index, s, nullptr); }
  void InsertObject(int index, const S& s, TObject* object) {
    if (index < 0 || index > Count()) OutOfBounds(index);
    FItems.insert(FItems.begin() + index, Item{s, object});
    FOwner.ItemsInserted(index);
  }
  void Delete(int index) {
    At(index);
    FItems.erase(FItems.begin() + index);
    FOwner.ItemsDeleted(index);
  }
  void Clear() {
    FItems.clear();
    FOwner.ItemsCleared();
  }
  int IndexOf(const S& s) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (SameAsciiText(FItems[i].Text, s)) return static_cast<int>(i);
    return -1;
  }
  void Reserve(int count) { FItems.reserve(static_cast<size_t>(count)); }
  // Between the two, changes do not repaint; EndUpdate repaints once.
  void BeginUpdate() { ++FOwner.FUpdating; }
  void EndUpdate() {
    if (FOwner.FUpdating > 0 && --FOwner.FUpdating == 0) FOwner.EndItemsUpdate();
  }

 private:
  struct Item {
    S Text;
    TObject* Object;
  };
  [[noreturn]] static void OutOfBounds(int index) {
    throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  }
  Item& At(int index) {
    if (index < 0 || index >= Count()) OutOfBounds(index);
    return FItems[static_cast<size_t>(index)];
  }
  const Item& At(int index) const {
    if (index < 0 || index >= Count()) OutOfBounds(index);
    return FItems[static_cast<size_t>(index)];
  }
  static bool SameAsciiText(const S& a, const S& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      auto x = a[i], y = b[i];
      if (x >= 'a' && x <= 'z') x = static_cast<decltype(x)>(x - 'a' + 'A');
      if (y >= 'a' && y <= 'z') y = static_cast<decltype(y)>(y - 'a' + 'A');
      if (x != y) return false;
    }
    return true;
  }

  TItemsObserver& FOwner;
  std::vector<Item> FItems;
};

