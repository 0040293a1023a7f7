// The concrete wide string list, optionally sorted.
#include "classlib/SysUtils.h"
#include "unicode/WideStrings.h"

namespace {

[[noreturn]] void ListError(const char* message, int value) { throw EStringListError(Format(message, value)); }

constexpr const char* SListIndexError = "List index out of bounds (%d)";
constexpr const char* SListCapacityError = "List capacity out of bounds (%d)";
constexpr const char* SSortedListError = "Operation not allowed on sorted list";
constexpr const char* SDuplicateString = "String list does not allow duplicates";

}  // namespace

TWideStringList::~TWideStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  Clear();
}

void TWideStringList::CheckIndex(int index) const {
  if (index < 0 || index >= FCount) ListError(SListIndexError, index);
}

WideString TWideStringList::Normalized(const WideString& s) const {
  return NormalForm() != nfNone && !s.empty() ? NormalizeWide(s, NormalForm()) : s;
}

WideString TWideStringList::Get(int index) const {
  CheckIndex(index);
  return FItems[static_cast<size_t>(index)].FString;
}

TObject* TWideStringList::GetObject(int index) const {
  CheckIndex(index);
  return FItems[static_cast<size_t>(index)].FObject;
}

void TWideStringList::Put(int index, const WideString& s) {
  if (FSorted) ListError(SSortedListError, 0);
  CheckIndex(index);
  WideString stored = Normalized(s);
  Changing();
  FItems[static_cast<size_t>(index)].FString = std::move(stored);
  Changed();
}

void TWideStringList::PutObject(int index, TObject* object) {
  CheckIndex(index);
  Changing();
  FItems[static_cast<size_t>(index)].FObject = object;
  Changed();
}

void TWideStringList::SetCapacity(int capacity) {
  if (capacity < 0) ListError(SListCapacityError, capacity);
  FItems.resize(static_cast<size_t>(capacity));
  if (capacity < FCount) FCount = capacity;
}

void TWideStringList::Grow() {
  const int capacity = GetCapacity();
  const int delta = capacity > 64 ? capacity / 4 : capacity > 8 ? 16 : 4;
  SetCapacity(capacity + delta);
}

void TWideStringList::InsertItem(int index, const WideString& s) {
  WideString stored = Normalized(s);
  Changing();
  if (FCount == GetCapacity()) Grow();
  auto at = FItems.begin() + index;
  std::move_backward(at, FItems.begin() + FCount, FItems.begin() + FCount + 1);
  *at = TWideStringItem{std::move(stored), nullptr};
  ++FCount;
  Changed();
}

int TWideStringList::Add(const WideString& s) {
  int index = FCount;
  if (FSorted && Find(s, index)) {
    if (FDuplicates == wdupIgnore) return index;
    if (FDuplicates == wdupError) ListError(SDuplicateString, 0);
  }
  // Sorted lists insert here, not through Insert, which refuses them.
  InsertItem(index, s);
  return index;
}

void TWideStringList::Insert(int index, const WideString& s) {
  if (FSorted) ListError(SSortedListError, 0);
  if (index < 0 || index > FCount) ListError(SListIndexError, index);
  InsertItem(index, s);
}

void TWideStringList::Delete(int index) {
  CheckIndex(index);
  Changing();
  std::move(FItems.begin() + index + 1, FItems.begin() + FCount, FItems.begin() + index);
  --FCount;
  FItems[static_cast<size_t>(FCount)] = TWideStringItem{};
  Changed();
}

void TWideStringList::ExchangeItems(int index1, int index2) {
  std::swap(FItems[static_cast<size_t>(index1)], FItems[static_cast<size_t>(index2)]);
}

void TWideStringList::Exchange(int index1, int index2) {
  CheckIndex(index1);
  CheckIndex(index2);
  Changing();
  ExchangeItems(index1, index2);
  Changed();
}

void TWideStringList::Clear() {
  if (FCount == 0) return;
  Changing();
  FItems.clear();
  FCount = 0;
  SetCapacity(0);
  Changed();
}

bool TWideStringList::Find(const WideString& s, int& index) const {
  const WideString key = Normalized(s);
  bool found = false;
  int lo = 0, hi = FCount - 1;
  while (lo <= hi) {
    const int mid = lo + (hi - lo) / 2;
    const int c = CompareStrings(FItems[static_cast<size_t>(mid)].FString, key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (FDuplicates != wdupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

int TWideStringList::IndexOf(const WideString& s) const {
  if (!FSorted) return TWideStrings::IndexOf(s);
  int index = 0;
  return Find(s, index) ? index : -1;
}

void TWideStringList::QuickSort(int left, int right) {
  int l = left, i = left;
  do {
    i = l;
    int j = right;
    const WideString pivot = FItems[static_cast<size_t>(l + (right - l) / 2)].FString;
    do {
      while (CompareStrings(FItems[static_cast<size_t>(i)].FString, pivot) < 0) ++i;
      while (CompareStrings(FItems[static_cast<size_t>(j)].FString, pivot) > 0) --j;
      if (i <= j) {
        ExchangeItems(i, j);
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j) QuickSort(l, j);
    l = i;
  } while (i < right);
}

void TWideStringList::Sort() {
  if (FSorted || FCount < 2) return;
  Changing();
  QuickSort(0, FCount - 1);
  Changed();
}

void TWideStringList::SetSorted(bool sorted) {
  if (sorted == FSorted) return;
  if (sorted) Sort();
  FSorted = sorted;
}

void TWideStringList::SetLocale(LCID language) {
  TWideStrings::SetLocale(language);
  // A sorted list follows the order of its new language.
  if (FSorted && FCount > 1) {
    Changing();
    QuickSort(0, FCount - 1);
    Changed();
  }
}

void TWideStringList::SetUpdateState(bool updating) {
  if (updating)
    Changing();
  else
    Changed();
}

void TWideStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TWideStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}
