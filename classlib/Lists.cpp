#include "classlib/Lists.h"

#include <algorithm>

#include "classlib/SysUtils.h"

void TList::Check(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
}

void* TList::Get(int index) const {
  Check(index);
  return FItems[static_cast<size_t>(index)];
}

void TList::Put(int index, void* item) {
  Check(index);
  FItems[static_cast<size_t>(index)] = item;
}

int TList::Add(void* item) {
  FItems.push_back(item);
  return Count() - 1;
}

void TList::Insert(int index, void* item) {
  if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", index));
  FItems.insert(FItems.begin() + index, item);
}

void TList::Delete(int index) {
  Check(index);
  FItems.erase(FItems.begin() + index);
}

int TList::Remove(void* item) {
  int i = IndexOf(item);
  if (i >= 0) Delete(i);
  return i;
}

int TList::IndexOf(void* item) const {
  auto it = std::find(FItems.begin(), FItems.end(), item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  std::swap(FItems[static_cast<size_t>(a)], FItems[static_cast<size_t>(b)]);
}

void TList::Move(int from, int to) {
  if (from == to) return;
  void* item = Get(from);
  Check(to);
  Delete(from);
  Insert(to, item);
}

void TList::Clear() {
  FItems.clear();
  FItems.shrink_to_fit();
}

void TList::Pack() { FItems.erase(std::remove(FItems.begin(), FItems.end(), nullptr), FItems.end()); }

void TList::SetCount(int count) {
  if (count < 0) throw EListError(Format("List count out of bounds (%d)", count));
  FItems.resize(static_cast<size_t>(count), nullptr);
}

void TList::SetCapacity(int capacity) {
  if (capacity < Count()) throw EListError(Format("List capacity out of bounds (%d)", capacity));
  FItems.reserve(static_cast<size_t>(capacity));
}

void TList::Sort(const std::function<int(void*, void*)>& compare) {
  std::stable_sort(FItems.begin(), FItems.end(), [&](void* a, void* b) { return compare(a, b) < 0; });
}
