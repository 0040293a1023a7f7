// Lists of UTF-16 strings with attached objects. Every stored string is
// normalized (NFC unless set otherwise), searching and sorting ignore case
// under the list's language, and files load and save as UTF-16 in either
// byte order, UTF-8 or ANSI, told apart by their byte-order mark.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "platform/Types.h"
#include "unicode/Normalization.h"

// How a list was read and will be written.
constexpr uint8_t sfUTF16LSB = 0;
constexpr uint8_t sfUTF16MSB = 1;
constexpr uint8_t sfUTF8 = 2;
constexpr uint8_t sfANSI = 3;

using TConversionQueryEvent = std::function<void(TObject* sender, bool& allowed)>;

class TWideStrings : public TPersistent {
 public:
  TWideStrings();
  ~TWideStrings() override;

  virtual WideString Get(int index) const = 0;
  virtual int GetCapacity() const { return GetCount(); }
  virtual int GetCount() const = 0;
  virtual TObject* GetObject(int index) const { return nullptr; }
  virtual WideString GetTextStr() const;
  virtual void Put(int index, const WideString& s) = 0;
  virtual void PutObject(int index, TObject* object) = 0;
  virtual void SetCapacity(int capacity) {}
  virtual void SetLocale(LCID language) { FLanguage = language; }

  virtual int Add(const WideString& s);
  virtual int AddObject(const WideString& s, TObject* object);
  // Byte strings are taken in the code page of the list's language.
  virtual void AddStrings(const TStrings& strings);
  virtual void AddStrings(const TWideStrings& strings);
  void Assign(const TPersistent* source) override;
  virtual void Clear() = 0;
  virtual void Delete(int index) = 0;
  virtual void Exchange(int index1, int index2);
  virtual WideString JoinWithSeparator(const WideString& separator) const;
  // A WideStrAlloc block the caller releases with WideStrDispose.
  virtual char16_t* GetText() const;
  virtual int IndexOf(const WideString& s) const;
  virtual void Insert(int index, const WideString& s) = 0;
  virtual void LoadFromFile(const std::string& fileName);
  virtual void LoadFromStream(TStream& stream);
  virtual void Move(int curIndex, int newIndex);
  virtual void SaveToFile(const std::string& fileName);
  virtual void SaveToStream(TStream& stream);
  // Lines end at LF, VT, FF, CR, CR LF, U+2028 and U+2029; the text ends at
  // its first zero unit.
  virtual void SetText(const WideString& text);

  void BeginUpdate();
  void EndUpdate();

  // Properties.
  int Count() const { return GetCount(); }
  WideString Strings(int index) const { return Get(index); }
  WideString operator[](int index) const { return Get(index); }
  TObject* Objects(int index) const { return GetObject(index); }
  int Capacity() const { return GetCapacity(); }
  WideString Text() const { return GetTextStr(); }
  int UpdateCount() const { return FUpdateCount; }
  LCID Language() const { return FLanguage; }
  bool SaveDone() const { return FSaveDone; }
  uint8_t NormalForm() const { return FNormalForm; }
  void SetNormalForm(uint8_t form) { FNormalForm = form; }
  uint8_t StreamFormat() const { return FStreamFormat; }
  void SetStreamFormat(uint8_t format) { FStreamFormat = format; }
  TConversionQueryEvent OnConversionQuery;

  // The streamed property "WideStrings": whether it is written against an
  // ancestor (nil for none), and its value both ways.
  bool StoresWideStrings(const TPersistent* ancestor) const;
  WideString WideStringsProperty() const { return GetTextStr(); }
  void ReadWideStringsProperty(const WideString& value) { SetText(value); }
  void ReadWideStringsProperty(const AnsiString& value);

 protected:
  void AssignTo(TPersistent* dest) const override;
  virtual void AskConversion(bool& allowed);
  virtual void SetUpdateState(bool updating) {}
  // The compare of IndexOf, Find and Sort: -1, 0 or 1, case ignored.
  int CompareStrings(const WideString& a, const WideString& b) const;
  // The code page of the list's language, for byte strings and ANSI files.
  uint16_t AnsiCodePage() const;

 private:
  int FUpdateCount = 0;
  LCID FLanguage;
  bool FSaveDone = false;
  uint8_t FNormalForm = nfC;
  uint8_t FStreamFormat = sfUTF16LSB;
};

enum TWideDuplicates : uint8_t { wdupIgnore = 0, wdupAccept = 1, wdupError = 2 };

struct TWideStringItem {
  WideString FString;  // the units; its zero terminator comes with the type
  TObject* FObject = nullptr;
};

class TWideStringList : public TWideStrings {
 public:
  TWideStringList() = default;
  ~TWideStringList() override;

  WideString Get(int index) const override;
  int GetCapacity() const override { return static_cast<int>(FItems.size()); }
  int GetCount() const override { return FCount; }
  TObject* GetObject(int index) const override;
  void Put(int index, const WideString& s) override;
  void PutObject(int index, TObject* object) override;
  void SetCapacity(int capacity) override;
  void SetLocale(LCID language) override;

  int Add(const WideString& s) override;
  void Clear() override;
  void Delete(int index) override;
  void Exchange(int index1, int index2) override;
  int IndexOf(const WideString& s) const override;
  void Insert(int index, const WideString& s) override;

  virtual bool Find(const WideString& s, int& index) const;
  virtual void Sort();

  bool Sorted() const { return FSorted; }
  // Turning sorting on sorts the list.
  void SetSorted(bool sorted);
  TWideDuplicates Duplicates() const { return FDuplicates; }
  void SetDuplicates(TWideDuplicates duplicates) { FDuplicates = duplicates; }
  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void Changed();
  virtual void Changing();
  void SetUpdateState(bool updating) override;

 private:
  void CheckIndex(int index) const;
  void Grow();
  void InsertItem(int index, const WideString& s);
  void ExchangeItems(int index1, int index2);
  void QuickSort(int left, int right);
  WideString Normalized(const WideString& s) const;

  std::vector<TWideStringItem> FItems;  // its length is the capacity
  int FCount = 0;
  bool FSorted = false;
  TWideDuplicates FDuplicates = wdupIgnore;
};
