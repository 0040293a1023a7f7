// The abstract wide string list: everything built on Get, Put, Insert and
// Delete.
#include "unicode/WideStrings.h"

#include "unicode/LanguageCompare.h"
#include "unicode/WideUnicode.h"

namespace {

// Brackets a block with BeginUpdate/EndUpdate, also when it raises.
class TUpdateScope {
 public:
  explicit TUpdateScope(TWideStrings& list) : FList(list) { FList.BeginUpdate(); }
  ~TUpdateScope() { FList.EndUpdate(); }
  TUpdateScope(const TUpdateScope&) = delete;
  TUpdateScope& operator=(const TUpdateScope&) = delete;

 private:
  TWideStrings& FList;
};

class TAnsiUpdateScope {
 public:
  explicit TAnsiUpdateScope(TStrings& list) : FList(list) { FList.BeginUpdate(); }
  ~TAnsiUpdateScope() { FList.EndUpdate(); }
  TAnsiUpdateScope(const TAnsiUpdateScope&) = delete;
  TAnsiUpdateScope& operator=(const TAnsiUpdateScope&) = delete;

 private:
  TStrings& FList;
};

bool IsLineBreak(char16_t u) {
  return u == 0x0A || u == 0x0B || u == 0x0C || u == 0x0D || u == 0x2028 || u == 0x2029;
}

WideString UnitsFromBytes(const std::string& bytes, size_t offset, bool bigEndian) {
  // An odd last byte is ignored.
  const size_t n = (bytes.size() - offset) / 2;
  WideString units(n, u'\0');
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + offset);
  for (size_t i = 0; i < n; ++i, p += 2)
    units[i] = bigEndian ? static_cast<char16_t>((p[0] << 8) | p[1]) : static_cast<char16_t>(p[0] | (p[1] << 8));
  return units;
}

}  // namespace

TWideStrings::TWideStrings() : FLanguage(UserDefaultLCID()) {}

TWideStrings::~TWideStrings() = default;

int TWideStrings::Add(const WideString& s) {
  const int index = GetCount();
  Insert(index, s);
  return index;
}

int TWideStrings::AddObject(const WideString& s, TObject* object) {
  const int index = Add(s);
  PutObject(index, object);
  return index;
}

uint16_t TWideStrings::AnsiCodePage() const { return static_cast<uint16_t>(CodePageOfLanguage(FLanguage)); }

void TWideStrings::AddStrings(const TStrings& strings) {
  TUpdateScope update(*this);
  const uint16_t codePage = AnsiCodePage();
  for (int i = 0; i < strings.Count(); ++i) AddObject(AnsiToWideCP(strings.Get(i), codePage), strings.GetObject(i));
}

void TWideStrings::AddStrings(const TWideStrings& strings) {
  // The strings are UTF-16 whatever their list's language: they are taken
  // as they are (recoding them through byte strings would lose every
  // character outside the code pages).
  TUpdateScope update(*this);
  const int count = strings.GetCount();
  for (int i = 0; i < count; ++i) AddObject(strings.Get(i), strings.GetObject(i));
}

void TWideStrings::Assign(const TPersistent* source) {
  if (source == this) return;  // clearing first would lose the items
  if (const auto* wide = dynamic_cast<const TWideStrings*>(source)) {
    TUpdateScope update(*this);
    Clear();
    AddStrings(*wide);
    return;
  }
  if (const auto* ansi = dynamic_cast<const TStrings*>(source)) {
    TUpdateScope update(*this);
    Clear();
    AddStrings(*ansi);
    return;
  }
  TPersistent::Assign(source);
}

void TWideStrings::AssignTo(TPersistent* dest) const {
  if (auto* ansi = dynamic_cast<TStrings*>(dest)) {
    TAnsiUpdateScope update(*ansi);
    ansi->Clear();
    const uint16_t codePage = AnsiCodePage();
    for (int i = 0; i < GetCount(); ++i) ansi->AddObject(WideToAnsiCP(Get(i), codePage), GetObject(i));
    return;
  }
  if (auto* wide = dynamic_cast<TWideStrings*>(dest)) {
    if (wide == this) return;
    TUpdateScope update(*wide);
    wide->Clear();
    wide->AddStrings(*this);
    return;
  }
  TPersistent::AssignTo(dest);
}

bool TWideStrings::StoresWideStrings(const TPersistent* ancestor) const {
  if (!ancestor) return GetCount() > 0;
  const auto* other = dynamic_cast<const TWideStrings*>(ancestor);
  if (!other) return true;
  if (other->GetCount() != GetCount()) return true;
  for (int i = 0; i < GetCount(); ++i)
    if (other->Get(i) != Get(i)) return true;
  return false;
}

void TWideStrings::ReadWideStringsProperty(const AnsiString& value) { SetText(AnsiToWideCP(value, 0)); }

void TWideStrings::AskConversion(bool& allowed) {
  if (OnConversionQuery) OnConversionQuery(this, allowed);
}

void TWideStrings::BeginUpdate() {
  if (FUpdateCount == 0) SetUpdateState(true);
  ++FUpdateCount;
}

void TWideStrings::EndUpdate() {
  if (FUpdateCount == 0) return;
  --FUpdateCount;
  if (FUpdateCount == 0) SetUpdateState(false);
}

void TWideStrings::Exchange(int index1, int index2) {
  TUpdateScope update(*this);
  const WideString s1 = Get(index1), s2 = Get(index2);
  TObject* o1 = GetObject(index1);
  TObject* o2 = GetObject(index2);
  Put(index1, s2);
  PutObject(index1, o2);
  Put(index2, s1);
  PutObject(index2, o1);
}

void TWideStrings::Move(int curIndex, int newIndex) {
  if (curIndex == newIndex) return;
  TUpdateScope update(*this);
  const WideString s = Get(curIndex);
  TObject* object = GetObject(curIndex);
  Delete(curIndex);
  Insert(newIndex, s);
  PutObject(newIndex, object);
}

WideString TWideStrings::JoinWithSeparator(const WideString& separator) const {
  WideString result;
  const int count = GetCount();
  for (int i = 0; i < count; ++i) {
    if (i) result += separator;
    result += Get(i);
  }
  return result;
}

WideString TWideStrings::GetTextStr() const { return JoinWithSeparator(WideString(UnicodeLineBreak)); }

char16_t* TWideStrings::GetText() const { return WideStrNewFrom(GetTextStr()); }

int TWideStrings::CompareStrings(const WideString& a, const WideString& b) const {
  return LanguageCompare(FLanguage, a, b);
}

int TWideStrings::IndexOf(const WideString& s) const {
  const WideString key = FNormalForm != nfNone ? NormalizeWide(s, FNormalForm) : s;
  const int count = GetCount();
  for (int i = 0; i < count; ++i)
    if (CompareStrings(Get(i), key) == 0) return i;
  return -1;
}

void TWideStrings::SetText(const WideString& text) {
  TUpdateScope update(*this);
  Clear();
  const size_t end = std::min(text.size(), text.find(u'\0'));
  size_t start = 0, i = 0;
  while (i < end) {
    if (!IsLineBreak(text[i])) {
      ++i;
      continue;
    }
    Add(text.substr(start, i - start));
    if (text[i] == u'\r' && i + 1 < end && text[i + 1] == u'\n') ++i;
    start = ++i;
  }
  if (start < end) Add(text.substr(start, end - start));
}

void TWideStrings::LoadFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(stream);
}

void TWideStrings::LoadFromStream(TStream& stream) {
  TUpdateScope update(*this);
  // Everything from the current position on, the mark included, is read
  // once: nothing after a short mark is lost.
  const int64_t size = std::max<int64_t>(0, stream.Size() - stream.Position());
  std::string bytes(static_cast<size_t>(size), '\0');
  if (size > 0) stream.ReadBuffer(bytes.data(), size);
  auto startsWith = [&](const char* mark, size_t n) { return bytes.size() >= n && bytes.compare(0, n, mark, n) == 0; };
  if (startsWith("\xFF\xFE", 2)) {
    FStreamFormat = sfUTF16LSB;
    SetText(UnitsFromBytes(bytes, 2, false));
  } else if (startsWith("\xFE\xFF", 2)) {
    FStreamFormat = sfUTF16MSB;
    SetText(UnitsFromBytes(bytes, 2, true));
  } else if (startsWith("\xEF\xBB\xBF", 3)) {
    FStreamFormat = sfUTF8;
    SetText(UTF8ToWide(bytes.data() + 3, bytes.size() - 3));
  } else {
    // The same code page as the save, so a round trip keeps the text.
    FStreamFormat = sfANSI;
    SetText(AnsiToWideCP(bytes, AnsiCodePage()));
  }
}

void TWideStrings::SaveToFile(const std::string& fileName) {
  // The text is made first: when the conversion query refuses it, the file
  // is left as it was instead of being emptied.
  TMemoryStream text;
  SaveToStream(text);
  if (!FSaveDone) return;
  TFileStream stream(fileName, fmCreate);
  stream.WriteBuffer(text.Memory(), text.Size());
}

void TWideStrings::SaveToStream(TStream& stream) {
  const WideString text = GetTextStr();
  FSaveDone = false;
  bool allowed = true;
  if (FStreamFormat == sfANSI && OnConversionQuery) {
    for (char16_t u : text)
      if (u > 0xFF) {
        AskConversion(allowed);
        break;
      }
  }
  if (!allowed) return;
  std::string bytes;
  switch (FStreamFormat) {
    case sfUTF16LSB:
    case sfUTF16MSB: {
      const bool big = FStreamFormat == sfUTF16MSB;
      bytes.reserve(2 + 2 * text.size());
      bytes += big ? "\xFE\xFF" : "\xFF\xFE";
      for (char16_t u : text) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        bytes.push_back(big ? hi : lo);
        bytes.push_back(big ? lo : hi);
      }
      break;
    }
    case sfUTF8:
      bytes = "\xEF\xBB\xBF" + WideToUTF8(text);
      break;
    default:
      bytes = WideToAnsiCP(text, AnsiCodePage());
      break;
  }
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  FSaveDone = true;
}
