#include "classlib/FormReader.h"

#include <algorithm>
#include <mutex>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"

// ---- registries

namespace {
struct Registries {
  std::map<std::type_index, std::unique_ptr<TClassInfo>> classes;
  std::multimap<std::string, THandlerMaker> handlers;
  std::multimap<std::string, TFieldBinder> fields;
};
Registries& Reg() {
  static Registries* r = new Registries;
  return *r;
}
}  // namespace

TClassInfo& ClassInfoOf(std::type_index type) {
  auto& c = Reg().classes[type];
  if (!c) c = std::make_unique<TClassInfo>();
  return *c;
}

const TClassInfo* FindClassInfo(const std::string& name) {
  for (auto& [type, info] : Reg().classes)
    if (!info->Name.empty() && SameText(info->Name, name)) return info.get();
  return nullptr;
}

const TClassInfo* ClassInfoOfObject(const TPersistent* object) {
  if (!object) return nullptr;
  auto it = Reg().classes.find(typeid(*object));
  if (it != Reg().classes.end() && it->second->IsInstance) return it->second.get();
  // A class of the program's own that was not registered: its nearest
  // registered ancestor.
  const TClassInfo* best = nullptr;
  for (auto& [type, info] : Reg().classes)
    if (info->IsInstance && info->IsInstance(object) && (!best || info->Depth() > best->Depth())) best = info.get();
  return best;
}

void AddHandler(const std::string& name, THandlerMaker maker) { Reg().handlers.emplace(LowerCase(name), std::move(maker)); }

std::any FindHandler(TComponent* root, const std::string& name) {
  auto range = Reg().handlers.equal_range(LowerCase(name));
  for (auto it = range.first; it != range.second; ++it) {
    std::any a = it->second(root);
    if (a.has_value()) return a;
  }
  return {};
}

void AddField(const std::string& name, TFieldBinder binder) { Reg().fields.emplace(LowerCase(name), std::move(binder)); }

void RaisePropertyError(const std::string& message) { throw EPropertyError(message); }

// ---- values

namespace {
[[noreturn]] void Expected(const char* what, const TFormValue& v) {
  throw EPropertyError(std::string("Invalid property value: ") + what + " expected, not " + v.Describe());
}
}  // namespace

std::string TFormValue::Describe() const {
  switch (Kind) {
    case vkInteger: return "the integer " + IntToStr(Int);
    case vkFloat: return "a number";
    case vkString: return "the string '" + Str + "'";
    case vkIdent: return Str;
    case vkSet: return "a set";
    case vkList: return "a list";
    case vkBinary: return "binary data";
    case vkSequence: return "several values";
  }
  return "a value";
}

int32_t TFormValue::AsInteger() const {
  if (Kind != vkInteger) Expected("an integer", *this);
  if (Int < INT32_MIN || Int > UINT32_MAX) throw EPropertyError("Invalid property value: integer out of range");
  return static_cast<int32_t>(Int);
}

double TFormValue::AsFloat() const {
  if (Kind == vkInteger) return static_cast<double>(Int);
  if (Kind != vkFloat) Expected("a number", *this);
  return Float;
}

bool TFormValue::AsBoolean() const {
  if (Kind == vkIdent && SameText(Str, "True")) return true;
  if (Kind == vkIdent && SameText(Str, "False")) return false;
  Expected("True or False", *this);
}

const std::string& TFormValue::AsString() const {
  if (Kind != vkString) Expected("a string", *this);
  return Str;
}

const std::string& TFormValue::AsIdent() const {
  if (Kind != vkIdent) Expected("a name", *this);
  return Str;
}

TColor TFormValue::AsColor() const {
  if (Kind == vkInteger) return AsInteger();
  TColor c;
  if (Kind == vkIdent && IdentToColor(Str, c)) return c;
  Expected("a colour", *this);
}

std::vector<std::string> TFormValue::AsSet() const {
  if (Kind != vkSet) Expected("a set", *this);
  std::vector<std::string> r;
  for (auto& i : Items) r.push_back(i.AsIdent());
  return r;
}

std::vector<std::string> TFormValue::AsStringList() const {
  if (Kind != vkList) Expected("a list of strings", *this);
  std::vector<std::string> r;
  for (auto& i : Items) r.push_back(i.AsString());
  return r;
}

int TFormValue::AsEnum(std::initializer_list<const char*> names) const {
  const std::string& id = AsIdent();
  int i = 0;
  for (const char* n : names) {
    if (SameText(id, n)) return i;
    ++i;
  }
  throw EPropertyError("Invalid property value " + id);
}

uint32_t TFormValue::AsSetBits(std::initializer_list<const char*> names) const {
  uint32_t bits = 0;
  for (const std::string& id : AsSet()) {
    int i = 0;
    bool found = false;
    for (const char* n : names) {
      if (SameText(id, n)) {
        bits |= 1u << i;
        found = true;
        break;
      }
      ++i;
    }
    if (!found) throw EPropertyError("Invalid property value " + id);
  }
  return bits;
}

// ---- the reader

namespace {

class TFormParser {
 public:
  TFormParser(TComponent* root, const std::string& resourceName, const std::string& text)
      : FText(text), FContext{root, resourceName} {}

  void Run() {
    SkipBlank();
    if (AtEnd()) Fail("empty form resource");
    std::string name, cls;
    ReadObjectHeader(name, cls);
    TComponent* root = FContext.Root;
    if (!SameText(cls, root->ClassName()) && !ClassMatches(root, cls))
      Fail("the resource is for a " + cls + ", not a " + root->ClassName());
    root->SetLoading(true);
    FLoaded.push_back(root);
    try {
      // A second form of one class takes the next free name: Name_1, Name_2...
      std::string unique = name;
      TComponent* owner = root->Owner();
      for (int i = 1; owner && owner->FindComponent(unique) && owner->FindComponent(unique) != root; ++i)
        unique = name + "_" + IntToStr(i);
      root->SetName(unique);
    } catch (const Exception& e) {
      Fail(e.Message());
    }
    ReadBody(root);
    SkipBlank();
    if (!AtEnd()) Fail("text after the last 'end'");
    ResolveReferences();
    // Loaded once everything is read, root first.
    for (TComponent* c : FLoaded) c->Loaded();
  }

  void Abandon() {
    for (TComponent* c : FLoaded) c->SetLoading(false);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EFormResourceError("Error reading form resource " + FContext.ResourceName + " line " + IntToStr(FLine) +
                             ": " + what);
  }

  // Names of other components, now that all of them exist.
  void ResolveReferences() {
    TComponent* root = FContext.Root;
    for (TFormReference& ref : FContext.References) {
      FLine = ref.Line;
      TComponent* c = SameText(ref.Name, root->Name()) ? root : root->FindComponent(ref.Name);
      if (!c) Fail("component " + ref.Name + " not found");
      if (!ref.Set(c)) Fail(ref.Name + " is not a " + (ref.Expected.empty() ? "component of that kind" : ref.Expected));
    }
    FContext.References.clear();
  }

  bool ClassMatches(TComponent* root, const std::string& cls) const {
    const TClassInfo* info = FindClassInfo(cls);
    return info && info->IsInstance && info->IsInstance(root);
  }

  bool AtEnd() const { return FPos >= FText.size(); }
  char Peek() const { return AtEnd() ? '\0' : FText[FPos]; }

  void SkipSpaces() {
    while (!AtEnd() && (Peek() == ' ' || Peek() == '\t')) ++FPos;
  }
  // Spaces, blank lines and comment lines.
  void SkipBlank() {
    for (;;) {
      SkipSpaces();
      if (AtEnd()) return;
      char c = Peek();
      if (c == '\r' || c == '\n') {
        NewLine();
        continue;
      }
      if (c == '#' && LineStartsHere()) {
        SkipLine();
        continue;
      }
      if (c == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') {
        SkipLine();
        continue;
      }
      return;
    }
  }
  bool LineStartsHere() const {
    size_t i = FPos;
    while (i > 0 && (FText[i - 1] == ' ' || FText[i - 1] == '\t')) --i;
    return i == 0 || FText[i - 1] == '\n' || FText[i - 1] == '\r';
  }
  void NewLine() {
    if (Peek() == '\r') {
      ++FPos;
      if (Peek() == '\n') ++FPos;
    } else {
      ++FPos;
    }
    ++FLine;
  }
  void SkipLine() {
    while (!AtEnd() && Peek() != '\r' && Peek() != '\n') ++FPos;
  }
  void EndOfLine() {
    SkipSpaces();
    if (Peek() == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') SkipLine();
    if (!AtEnd() && Peek() != '\r' && Peek() != '\n') Fail(std::string("unexpected '") + Peek() + "'");
  }

  static bool IdentStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
  static bool IdentChar(char c) { return IdentStart(c) || (c >= '0' && c <= '9'); }

  std::string Ident() {
    SkipSpaces();
    if (!IdentStart(Peek())) Fail(AtEnd() ? "unexpected end of text" : std::string("a name expected at '") + Peek() + "'");
    size_t s = FPos;
    while (!AtEnd() && IdentChar(Peek())) ++FPos;
    return FText.substr(s, FPos - s);
  }
  // A dotted name: Font.Name
  std::string PropertyName() {
    std::string n = Ident();
    while (Peek() == '.') {
      ++FPos;
      n += "." + Ident();
    }
    return n;
  }

  void ReadObjectHeader(std::string& name, std::string& cls) {
    std::string kw = Ident();
    if (!SameText(kw, "object")) Fail("'object' expected, not '" + kw + "'");
    name = Ident();
    SkipSpaces();
    if (Peek() != ':') Fail("':' expected after the object's name");
    ++FPos;
    cls = Ident();
    EndOfLine();
  }

  void ReadBody(TComponent* component) {
    for (;;) {
      SkipBlank();
      if (AtEnd()) Fail("'end' expected before the end of the text");
      size_t save = FPos;
      std::string word = Ident();
      if (SameText(word, "end") && (AtEnd() || !IdentChar(Peek()))) {
        EndOfLine();
        return;
      }
      if (SameText(word, "object")) {
        FPos = save;
        ReadChild(component);
        continue;
      }
      FPos = save;
      int line = FLine;
      std::string prop = PropertyName();
      SkipSpaces();
      if (Peek() != '=') Fail("'=' expected after " + prop);
      ++FPos;
      TFormValue value = ReadValueLine();
      int endLine = FLine;
      FLine = line;
      FContext.Line = line;
      SetProperty(*component, prop, value);
      FLine = endLine;
      EndOfLine();
    }
  }

  void ReadChild(TComponent* parent) {
    std::string name, cls;
    int line = FLine;
    ReadObjectHeader(name, cls);
    // Deeper than any form needs, and shallow enough for the stack.
    if (++FDepth > kMaxDepth) Fail("objects nested too deeply");
    const TClassInfo* info = FindClassInfo(cls);
    if (!info || !info->Create) Fail("class " + cls + " not found");
    TComponent* root = FContext.Root;
    TComponent* c = nullptr;
    try {
      c = info->Create(root);
      c->SetLoading(true);
      FLoaded.push_back(c);
      c->SetName(name);
      c->SetParentComponent(parent);
      BindField(root, c, name, line);
    } catch (const EFormResourceError&) {
      throw;
    } catch (const std::exception& e) {
      FLine = line;
      Fail(e.what());
    }
    ReadBody(c);
    --FDepth;
  }

  void BindField(TComponent* root, TComponent* c, const std::string& name, int line) {
    auto range = Reg().fields.equal_range(LowerCase(name));
    for (auto it = range.first; it != range.second; ++it) {
      int r = it->second(root, c);
      if (r == -1) {
        FLine = line;
        Fail("field " + name + " is not a " + c->ClassName());
      }
      if (r == 1) return;
    }
  }

  void SetProperty(TPersistent& object, const std::string& path, const TFormValue& value) {
    TPersistent* target = &object;
    std::string rest = path;
    size_t dot;
    while ((dot = rest.find('.')) != std::string::npos) {
      std::string part = LowerCase(rest.substr(0, dot));
      TPersistent* sub = nullptr;
      for (const TClassInfo* info = ClassInfoOfObject(target); info && !sub; info = info->Parent) {
        auto it = info->Objects.find(part);
        if (it != info->Objects.end()) sub = it->second(*target);
      }
      if (!sub) Fail("property " + path + " does not exist");
      target = sub;
      rest = rest.substr(dot + 1);
    }
    std::string key = LowerCase(rest);
    for (const TClassInfo* info = ClassInfoOfObject(target); info; info = info->Parent) {
      auto it = info->Properties.find(key);
      if (it == info->Properties.end()) continue;
      try {
        it->second(*target, value, FContext);
      } catch (const EFormResourceError&) {
        throw;
      } catch (const std::exception& e) {
        Fail(path + ": " + e.what());
      }
      return;
    }
    Fail("property " + path + " does not exist in " + target->ClassName());
  }

  // The values up to the end of the line (lines join after '+' and inside
  // brackets); one value, or a sequence.
  TFormValue ReadValueLine() {
    std::vector<TFormValue> items;
    for (;;) {
      SkipSpaces();
      if (AtEnd() || Peek() == '\r' || Peek() == '\n') break;
      if (Peek() == '/' && FPos + 1 < FText.size() && FText[FPos + 1] == '/') break;
      items.push_back(ReadValue());
    }
    if (items.empty()) Fail("a value expected");
    if (items.size() == 1) return items[0];
    TFormValue seq;
    seq.Kind = TFormValue::vkSequence;
    seq.Items = std::move(items);
    return seq;
  }

  TFormValue ReadValue() {
    SkipSpaces();
    char c = Peek();
    TFormValue v;
    if (c == '\'' || c == '#') {
      v.Kind = TFormValue::vkString;
      v.Str = ReadString();
      return v;
    }
    if (c == '[') {
      ++FPos;
      v.Kind = TFormValue::vkSet;
      for (;;) {
        SkipBlankInside();
        if (Peek() == ']') {
          ++FPos;
          break;
        }
        TFormValue item;
        item.Kind = TFormValue::vkIdent;
        item.Str = Ident();
        v.Items.push_back(item);
        SkipBlankInside();
        if (Peek() == ',') ++FPos;
        else if (Peek() != ']') Fail("',' or ']' expected in a set");
      }
      return v;
    }
    if (c == '(') {
      ++FPos;
      if (++FDepth > kMaxDepth) Fail("lists nested too deeply");
      v.Kind = TFormValue::vkList;
      for (;;) {
        SkipBlankInside();
        if (AtEnd()) Fail("')' expected");
        if (Peek() == ')') {
          ++FPos;
          break;
        }
        v.Items.push_back(ReadValue());
      }
      --FDepth;
      return v;
    }
    if (c == '{') {
      ++FPos;
      v.Kind = TFormValue::vkBinary;
      int nibble = -1;
      for (;;) {
        SkipBlankInside();
        if (AtEnd()) Fail("'}' expected");
        char h = Peek();
        if (h == '}') {
          ++FPos;
          break;
        }
        int d = h >= '0' && h <= '9' ? h - '0' : h >= 'a' && h <= 'f' ? h - 'a' + 10 : h >= 'A' && h <= 'F' ? h - 'A' + 10 : -1;
        if (d < 0) Fail(std::string("hex digit expected, not '") + h + "'");
        ++FPos;
        if (nibble < 0) {
          nibble = d;
        } else {
          v.Str += static_cast<char>(nibble * 16 + d);
          nibble = -1;
        }
      }
      if (nibble >= 0) Fail("odd number of hex digits");
      return v;
    }
    if (c == '-' || c == '+' || c == '$' || (c >= '0' && c <= '9')) return ReadNumber();
    if (IdentStart(c)) {
      v.Kind = TFormValue::vkIdent;
      v.Str = Ident();
      return v;
    }
    Fail(AtEnd() ? "a value expected" : std::string("unexpected '") + c + "'");
  }

  void SkipBlankInside() {
    for (;;) {
      SkipSpaces();
      if (AtEnd()) return;
      if (Peek() == '\r' || Peek() == '\n') {
        NewLine();
        continue;
      }
      return;
    }
  }

  TFormValue ReadNumber() {
    TFormValue v;
    size_t s = FPos;
    if (Peek() == '-' || Peek() == '+') ++FPos;
    bool hex = false;
    if (Peek() == '$') {
      hex = true;
      ++FPos;
    } else if (Peek() == '0' && FPos + 1 < FText.size() && (FText[FPos + 1] == 'x' || FText[FPos + 1] == 'X')) {
      hex = true;
      FPos += 2;
    }
    size_t digits = FPos;
    bool isFloat = false;
    while (!AtEnd()) {
      char c = Peek();
      if ((c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))) {
        ++FPos;
      } else if (!hex && c == '.' && !isFloat) {
        isFloat = true;
        ++FPos;
      } else {
        break;
      }
    }
    if (FPos == digits) Fail("a number expected");
    if (!AtEnd() && IdentChar(Peek())) Fail("a number expected, not '" + FText.substr(s, FPos - s + 1) + "'");
    std::string text = FText.substr(s, FPos - s);
    if (isFloat) {
      v.Kind = TFormValue::vkFloat;
      try {
        v.Float = std::stod(text);
      } catch (const std::exception&) {
        Fail("bad number " + text);
      }
      return v;
    }
    bool neg = text[0] == '-';
    std::string body = text.substr((text[0] == '-' || text[0] == '+') ? 1 : 0);
    if (hex) body = body.substr(body[0] == '$' ? 1 : 2);
    uint64_t n = 0;
    for (char c : body) {
      int d = c >= '0' && c <= '9' ? c - '0' : (c | 32) - 'a' + 10;
      n = n * (hex ? 16 : 10) + static_cast<uint64_t>(d);
      if (n > 0xFFFFFFFFull) Fail("number out of range: " + text);
    }
    v.Kind = TFormValue::vkInteger;
    v.Int = neg ? -static_cast<int64_t>(n) : static_cast<int64_t>(n);
    return v;
  }

  // 'text' pieces and #n codes, joined; '+' at the end of a line goes on.
  std::string ReadString() {
    std::string r;
    for (;;) {
      char c = Peek();
      if (c == '\'') {
        ++FPos;
        for (;;) {
          if (AtEnd() || Peek() == '\r' || Peek() == '\n') Fail("unterminated string");
          char d = FText[FPos++];
          if (d == '\'') {
            if (Peek() == '\'') {
              r += '\'';
              ++FPos;
              continue;
            }
            break;
          }
          r += d;
        }
      } else if (c == '#') {
        ++FPos;
        size_t s = FPos;
        uint32_t code = 0;
        while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
          code = code * 10 + static_cast<uint32_t>(Peek() - '0');
          if (code > 0x10FFFF) Fail("character code out of range");
          ++FPos;
        }
        if (FPos == s) Fail("a character code expected after '#'");
        AppendUtf8(r, code);
      } else {
        break;
      }
      size_t save = FPos;
      int saveLine = FLine;
      SkipSpaces();
      if (Peek() == '+') {
        ++FPos;
        SkipBlankInside();
        if (Peek() != '\'' && Peek() != '#') Fail("a string expected after '+'");
        continue;
      }
      FPos = save;
      FLine = saveLine;
    }
    return r;
  }

  static void AppendUtf8(std::string& s, uint32_t c) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else if (c < 0x800) {
      s += static_cast<char>(0xC0 | (c >> 6));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      s += static_cast<char>(0xE0 | (c >> 12));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      s += static_cast<char>(0xF0 | (c >> 18));
      s += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }

  static constexpr int kMaxDepth = 64;
  const std::string& FText;
  TFormContext FContext;
  int FDepth = 0;
  size_t FPos = 0;
  int FLine = 1;
  std::vector<TComponent*> FLoaded;
};

std::once_flag gStandard;

}  // namespace

void ReadFormText(TComponent* root, const std::string& resourceName, const std::string& text) {
  std::call_once(gStandard, RegisterStandardClasses);
  TFormParser parser(root, resourceName, text);
  try {
    parser.Run();
  } catch (...) {
    parser.Abandon();
    throw;
  }
}

void ReadFormResource(TComponent* root, const std::string& resourceName) {
  TResourceStream res(nullptr, resourceName, "RCDATA");
  std::string text(static_cast<size_t>(res.Size()), '\0');
  if (!text.empty()) res.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
  ReadFormText(root, resourceName, text);
}
