#include "classlib/StringLists.h"

#include <algorithm>
#include <cstring>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"

void TStrings::Error(const std::string& message, int index) const {
  throw EStringListError(Format(message, index));
}

void TStrings::InsertObject(int index, const std::string& s, TObject* object) {
  Insert(index, s);
  PutObject(index, object);
}

int TStrings::Add(const std::string& s) {
  int i = Count();
  Insert(i, s);
  return i;
}

int TStrings::AddObject(const std::string& s, TObject* object) {
  int i = Add(s);
  PutObject(i, object);
  return i;
}

int TStrings::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(Get(i), s)) return i;
  return -1;
}

int TStrings::IndexOfObject(TObject* object) const {
  for (int i = 0; i < Count(); ++i)
    if (GetObject(i) == object) return i;
  return -1;
}

void TStrings::Exchange(int a, int b) {
  std::string sa = Get(a), sb = Get(b);
  TObject *oa = GetObject(a), *ob = GetObject(b);
  Put(a, sb);
  PutObject(a, ob);
  Put(b, sa);
  PutObject(b, oa);
}

void TStrings::Move(int from, int to) {
  if (from == to) return;
  std::string s = Get(from);
  TObject* o = GetObject(from);
  if (to < 0 || to >= Count()) Error("List index out of bounds (%d)", to);
  Delete(from);
  InsertObject(to, s, o);
}

void TStrings::AddStrings(const TStrings& strings) {
  BeginUpdate();
  try {
    for (int i = 0; i < strings.Count(); ++i) AddObject(strings.Get(i), strings.GetObject(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Assign(const TPersistent* source) {
  if (auto* s = dynamic_cast<const TStrings*>(source)) {
    if (s == this) return;
    BeginUpdate();
    try {
      Clear();
      AddStrings(*s);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(source);
}

std::string TStrings::Names(int index) const {
  std::string s = Get(index);
  size_t p = s.find('=');
  return p == std::string::npos ? std::string() : s.substr(0, p);
}

int TStrings::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    size_t p = s.find('=');
    if (p != std::string::npos && SameText(s.substr(0, p), name)) return i;
  }
  return -1;
}

std::string TStrings::Values(const std::string& name) const {
  int i = IndexOfName(name);
  return i < 0 ? std::string() : Get(i).substr(name.size() + 1);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
  int i = IndexOfName(name);
  if (value.empty()) {
    if (i >= 0) Delete(i);
  } else if (i < 0) {
    Add(name + "=" + value);
  } else {
    Put(i, name + "=" + value);
  }
}

std::string TStrings::Text() const {
  size_t size = 0;
  for (int i = 0; i < Count(); ++i) size += Get(i).size() + 2;
  std::string r;
  r.reserve(size);
  for (int i = 0; i < Count(); ++i) {
    r += Get(i);
    r += "\r\n";
  }
  return r;
}

void TStrings::SetText(const std::string& text) {
  BeginUpdate();
  try {
    Clear();
    ForEachTextLine(text, [this](std::string_view line) { Add(std::string(line)); });
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

std::string TStrings::CommaText() const {
  std::string r;
  for (int i = 0; i < Count(); ++i) {
    std::string s = Get(i);
    bool quote = s.empty() || s.find_first_of(" ,\"") != std::string::npos ||
                 std::any_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < ' '; });
    if (i) r += ',';
    if (!quote) {
      r += s;
      continue;
    }
    r += '"';
    for (char c : s) {
      if (c == '"') r += '"';
      r += c;
    }
    r += '"';
  }
  return r;
}

void TStrings::LoadFromStream(TStream& stream) {
  int64_t pos = stream.Position();
  int64_t size = stream.Size() - pos;
  std::string bytes;
  if (size > 0) {
    try {
      bytes.resize(static_cast<size_t>(size));
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory("Out of memory");
    }
    stream.ReadBuffer(bytes.data(), size);
  }
  SetText(bytes);
}

void TStrings::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TStrings::SaveToStream(TStream& stream) const {
  std::string t = Text();
  stream.WriteBuffer(t.data(), static_cast<int64_t>(t.size()));
}

void TStrings::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

void TStrings::BeginUpdate() {
  if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

// ---- TStringList

void TStringList::Check(int index) const {
  if (index < 0 || index >= Count()) Error("List index out of bounds (%d)", index);
}

void TStringList::Changing() {
  if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
  if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
  if (updating) Changing();
  else Changed();
}

std::string TStringList::Get(int index) const {
  Check(index);
  return FList[static_cast<size_t>(index)].s;
}

std::string_view TStringList::View(int index) const {
  Check(index);
  return FList[static_cast<size_t>(index)].s;
}

TObject* TStringList::GetObject(int index) const {
  Check(index);
  return FList[static_cast<size_t>(index)].object;
}

void TStringList::Put(int index, const std::string& s) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  Check(index);
  Changing();
  FList[static_cast<size_t>(index)].s = s;
  Changed();
}

void TStringList::PutObject(int index, TObject* object) {
  Check(index);
  Changing();
  FList[static_cast<size_t>(index)].object = object;
  Changed();
}

void TStringList::InsertItem(int index, const std::string& s, TObject* object) {
  Changing();
  FList.insert(FList.begin() + index, Item{s, object});
  Changed();
}

void TStringList::Insert(int index, const std::string& s) { InsertObject(index, s, nullptr); }

void TStringList::InsertObject(int index, const std::string& s, TObject* object) {
  if (FSorted) Error("Operation not allowed on sorted list", 0);
  if (index < 0 || index > Count()) Error("List index out of bounds (%d)", index);
  InsertItem(index, s, object);
}

void TStringList::Delete(int index) {
  Check(index);
  Changing();
  FList.erase(FList.begin() + index);
  Changed();
}

void TStringList::Clear() {
  if (FList.empty()) return;
  Changing();
  FList.clear();
  Changed();
}

int TStringList::Add(const std::string& s) { return AddObject(s, nullptr); }

int TStringList::AddObject(const std::string& s, TObject* object) {
  int index = Count();
  if (FSorted && Find(s, index)) {
    if (FDuplicates == dupIgnore) return index;
    if (FDuplicates == dupError) Error("String list does not allow duplicates", 0);
  }
  InsertItem(index, s, object);
  return index;
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
  if (FCaseSensitive) return a.compare(b) < 0 ? -1 : a == b ? 0 : 1;
  return CompareText(a, b);
}

int TStringList::IndexOf(const std::string& s) const {
  if (FSorted) {
    int i;
    return Find(s, i) ? i : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (CompareStrings(FList[static_cast<size_t>(i)].s, s) == 0) return i;
  return -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = CompareStrings(FList[static_cast<size_t>(mid)].s, s);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        // The first of equal strings, unless duplicates are accepted.
        if (FDuplicates != dupAccept) lo = mid;
      }
    }
  }
  index = lo;
  return found;
}

void TStringList::Exchange(int a, int b) {
  Check(a);
  Check(b);
  Changing();
  std::swap(FList[static_cast<size_t>(a)], FList[static_cast<size_t>(b)]);
  Changed();
}

void TStringList::Sort() {
  Changing();
  std::stable_sort(FList.begin(), FList.end(),
                   [&](const Item& a, const Item& b) { return CompareStrings(a.s, b.s) < 0; });
  Changed();
}

void TStringList::CustomSort(const std::function<int(TStringList&, int, int)>& compare) {
  // Sort an index permutation so the callback can look at the list as it is.
  std::vector<int> order(FList.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(FList.size());
  for (int i : order) sorted.push_back(FList[static_cast<size_t>(i)]);
  Changing();
  FList.swap(sorted);
  Changed();
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == FSorted) return;
  if (sorted) Sort();
  FSorted = sorted;
}

void TStringList::SetCaseSensitive(bool value) {
  if (value == FCaseSensitive) return;
  FCaseSensitive = value;
  if (FSorted) Sort();
}

std::string TStringList::Text() const {
  size_t size = 0;
  for (const Item& i : FList) size += i.s.size() + 2;
  std::string r;
  r.reserve(size);
  for (const Item& i : FList) {
    r += i.s;
    r += "\r\n";
  }
  return r;
}

void TStringList::SetText(const std::string& text) {
  if (FSorted) {
    TStrings::SetText(text);
    return;
  }
  // The same lines as TStrings::SetText, made straight into the list: a
  // dictionary has hundreds of thousands of them.
  Changing();
  FList.clear();
  const std::string_view whole(text.data(), std::min(text.size(), std::strlen(text.c_str())));
  FList.reserve(static_cast<size_t>(std::max(std::count(whole.begin(), whole.end(), '\n'),
                                             std::count(whole.begin(), whole.end(), '\r'))) + 1);
  ForEachTextLine(text, [this](std::string_view line) { FList.push_back(Item{std::string(line), nullptr}); });
  Changed();
}

void TStringList::LoadFromStream(TStream& stream) {
  BeginUpdate();
  try {
    TStrings::LoadFromStream(stream);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}
