// The items of list controls: strings with attached objects, whose changes
// the control hears of, so it repaints only what moved.
#pragma once

#include <algorithm>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

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
// the objects). IndexOf ignores the case of ASCII letters. Items sit in a
// deque, so adding one never moves the others; an item either holds its own
// copy of its text or, added through AddObjectShared, a slice of text the
// caller keeps (a result list of 700,000 entries of one large text).
template <typename S>
class TListBoxItems {
 public:
  using TChar = typename S::value_type;
  using TView = std::basic_string_view<TChar>;

  explicit TListBoxItems(TItemsObserver& owner) : FOwner(owner) {}

  int Count() const { return static_cast<int>(FItems.size()); }
  S Strings(int index) const { return S(At(index).Text()); }
  S operator[](int index) const { return S(At(index).Text()); }
  // The text without a copy; valid until the item changes.
  TView StringView(int index) const { return At(index).Text(); }
  TObject* Objects(int index) const { return At(index).Object; }
  void Put(int index, const S& s) {
    At(index).SetText(s, true);
    FOwner.ItemChanged(index);
  }
  void PutObject(int index, TObject* object) { At(index).Object = object; }
  int Add(const S& s) { return AddObject(s, nullptr); }
  int AddObject(const S& s, TObject* object) { return Append(s, object, true); }
  // The item shows `text` without copying it: the caller keeps those units
  // unchanged for as long as the item is listed.
  int AddObjectShared(TView text, TObject* object) { return Append(text, object, false); }
  void Insert(int index, const S& s) { InsertObject(index, s, nullptr); }
  void InsertObject(int index, const S& s, TObject* object) {
    if (index < 0 || index > Count()) OutOfBounds(index);
    FItems.emplace(FItems.begin() + index, s, object, true);
    FOwner.ItemsInserted(index);
  }
  void Delete(int index) {
    At(index);
    FItems.erase(FItems.begin() + index);
    FOwner.ItemsDeleted(index);
  }
  void Clear() {
    FItems.clear();
    FItems.shrink_to_fit();
    FOwner.ItemsCleared();
  }
  int IndexOf(const S& s) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (SameAsciiText(FItems[i].Text(), s)) return static_cast<int>(i);
    return -1;
  }
  // Kept for callers that size the list ahead; a deque needs no room made.
  void Reserve(int) {}
  // Between the two, changes do not repaint; EndUpdate repaints once.
  void BeginUpdate() { ++FOwner.FUpdating; }
  void EndUpdate() {
    if (FOwner.FUpdating > 0 && --FOwner.FUpdating == 0) FOwner.EndItemsUpdate();
  }

 private:
  // 24 bytes: the text's units and length (its top bit: the units are ours)
  // and the object.
  class Item {
   public:
    Item(TView text, TObject* object, bool copy) : Object(object) { SetText(text, copy); }
    Item(Item&& other) noexcept : Object(other.Object), FData(other.FData), FLength(other.FLength) {
      other.FData = nullptr;
      other.FLength = 0;
    }
    Item& operator=(Item&& other) noexcept {
      if (this != &other) {
        Release();
        Object = other.Object;
        FData = other.FData;
        FLength = other.FLength;
        other.FData = nullptr;
        other.FLength = 0;
      }
      return *this;
    }
    Item(const Item&) = delete;
    Item& operator=(const Item&) = delete;
    ~Item() { Release(); }

    TView Text() const { return TView(FData, FLength & ~kOwned); }
    void SetText(TView text, bool copy) {
      const TChar* data = text.data();
      size_t length = text.size();
      if (copy && length > 0) {
        TChar* units = std::allocator<TChar>().allocate(length);
        std::copy(text.begin(), text.end(), units);
        data = units;
        length |= kOwned;
      }
      Release();
      FData = data;
      FLength = length;
    }

    TObject* Object;

   private:
    static constexpr size_t kOwned = size_t(1) << (sizeof(size_t) * 8 - 1);
    void Release() {
      if (FLength & kOwned) std::allocator<TChar>().deallocate(const_cast<TChar*>(FData), FLength & ~kOwned);
      FData = nullptr;
      FLength = 0;
    }
    const TChar* FData = nullptr;
    size_t FLength = 0;
  };

  int Append(TView text, TObject* object, bool copy) {
    FItems.emplace_back(text, object, copy);
    FOwner.ItemsInserted(Count() - 1);
    return Count() - 1;
  }
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
  static bool SameAsciiText(TView a, TView b) {
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
  std::deque<Item> FItems;
};
