// TStrings and TStringList: lists of byte strings with attached objects.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "classlib/Components.h"

class TStream;

// The lines of a text as the string lists cut it: at CR, LF or CR LF, up to
// its first zero byte (as a C string ends). `f` gets each line without its
// end. The next CR and the next LF are each searched for again only once
// the line start has passed them, so a text with one kind of line end alone
// is not searched to its end from every line.
template <typename F>
void ForEachTextLine(std::string_view text, F&& f) {
  const char* p = text.data();
  const char* end = p + text.size();
  if (const void* z = std::memchr(p, 0, text.size())) end = static_cast<const char*>(z);
  auto next = [end](const char* from, char c) {
    auto* at = static_cast<const char*>(std::memchr(from, c, static_cast<size_t>(end - from)));
    return at ? at : end;
  };
  const char* cr = next(p, '\r');
  const char* lf = next(p, '\n');
  while (p < end) {
    if (cr < p) cr = next(p, '\r');
    if (lf < p) lf = next(p, '\n');
    const char* q = std::min(cr, lf);
    f(std::string_view(p, static_cast<size_t>(q - p)));
    if (q < end && *q == '\r') {
      if (++q < end && *q == '\n') ++q;
    } else if (q < end) {
      ++q;
    }
    p = q;
  }
}

class TStrings : public TPersistent {
 public:
  virtual int Count() const = 0;
  virtual std::string Get(int index) const = 0;
  virtual TObject* GetObject(int index) const = 0;
  virtual void Put(int index, const std::string& s) = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  virtual void Insert(int index, const std::string& s) = 0;
  virtual void InsertObject(int index, const std::string& s, TObject* object);
  virtual void Delete(int index) = 0;
  virtual void Clear() = 0;
  virtual int Add(const std::string& s);
  virtual int AddObject(const std::string& s, TObject* object);
  virtual int IndexOf(const std::string& s) const;  // case-insensitive
  virtual void Exchange(int a, int b);
  void Move(int from, int to);
  int IndexOfObject(TObject* object) const;
  void AddStrings(const TStrings& strings);
  void Assign(const TPersistent* source) override;

  std::string operator[](int index) const { return Get(index); }
  std::string Strings(int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }

  // "name=value" lines.
  std::string Names(int index) const;
  std::string Values(const std::string& name) const;
  void SetValue(const std::string& name, const std::string& value);
  int IndexOfName(const std::string& name) const;

  // Every line followed by CR LF.
  virtual std::string Text() const;
  // A line ends at CR, at LF or at CR LF; a zero byte ends the text.
  virtual void SetText(const std::string& text);
  std::string CommaText() const;

  // The bytes from the stream's position to its end, or the whole file,
  // split as SetText does and not otherwise interpreted.
  virtual void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);
  virtual void SaveToStream(TStream& stream) const;
  void SaveToFile(const std::string& fileName) const;

  void BeginUpdate();
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

 protected:
  virtual void SetUpdateState(bool updating) {}
  void Error(const std::string& message, int index) const;

 private:
  int FUpdateCount = 0;
};

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
 public:
  int Count() const override { return static_cast<int>(FList.size()); }
  std::string Get(int index) const override;
  // The string where the list holds it, for a caller that reads only part
  // of a long one; valid until the list changes.
  std::string_view View(int index) const;
  TObject* GetObject(int index) const override;
  void Put(int index, const std::string& s) override;
  void PutObject(int index, TObject* object) override;
  void Insert(int index, const std::string& s) override;
  void InsertObject(int index, const std::string& s, TObject* object) override;
  void Delete(int index) override;
  void Clear() override;
  int Add(const std::string& s) override;
  int AddObject(const std::string& s, TObject* object) override;
  int IndexOf(const std::string& s) const override;
  void Exchange(int a, int b) override;
  void LoadFromStream(TStream& stream) override;
  void SetText(const std::string& text) override;
  std::string Text() const override;

  // Binary search of a sorted list: true when found; index is where it is
  // or where it would go.
  bool Find(const std::string& s, int& index) const;
  void Sort();
  void CustomSort(const std::function<int(TStringList&, int, int)>& compare);

  bool Sorted() const { return FSorted; }
  void SetSorted(bool sorted);
  TDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates d) { FDuplicates = d; }
  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool value);

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  void SetUpdateState(bool updating) override;
  int CompareStrings(const std::string& a, const std::string& b) const;

 private:
  struct Item {
    std::string s;
    TObject* object;
  };
  void Check(int index) const;
  void Changing();
  void Changed();
  void InsertItem(int index, const std::string& s, TObject* object);
  std::vector<Item> FList;
  bool FSorted = false;
  bool FCaseSensitive = false;
  TDuplicates FDuplicates = dupIgnore;
};
