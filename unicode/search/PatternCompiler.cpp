#include "unicode/search/PatternCompiler.h"

#include <algorithm>
#include <utility>

#include "unicode/search/CaseFold.h"
#include "unicode/WideUnicode.h"
#include "unicode/search/UnicodeError.h"

namespace {

// Ids share 16 bits with _URE_NOOP; states are also bounded so a pattern like
// (a|b)*a(a|b){30} is refused instead of eating the machine.
constexpr size_t MaxExpressions = _URE_NOOP - 1;
constexpr size_t MaxSymbols = _URE_NOOP - 1;
constexpr size_t MaxStates = 20000;
constexpr uint64_t MaxBuildSteps = 20'000'000;
constexpr uint64_t MaxMergeWork = 4'000'000;
constexpr uint32_t MaxRepetition = 1000;

int HexValue(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHexEscape(char16_t c) { return c == 'x' || c == 'X' || c == 'u' || c == 'U'; }

// The control escapes both inside and outside a class ("\r" is CR only
// outside one).
bool ControlEscape(char16_t e, UCS4& value) {
  switch (e) {
    case 'a': value = 7; return true;
    case 'b': value = 8; return true;
    case 'f': value = 12; return true;
    case 'n': value = 10; return true;
    case 't': value = 9; return true;
    case 'v': value = 11; return true;
    default: return false;
  }
}

struct TPosixName {
  std::u16string_view Name;
  std::initializer_list<int> Categories;
};

}  // namespace

const char* UREErrorMessage(int32_t Code) {
  switch (Code) {
    case _URE_UNEXPECTED_EOS: return "Unexpected end of pattern.";
    case _URE_CCLASS_OPEN: return "Character class not closed, ']' is missing.";
    case _URE_UNBALANCED_GROUP: return "Unbalanced group expression, ')' is missing.";
    case _URE_INVALID_PROPERTY: return "A character property is invalid";
    case _URE_INVALID_RANGE: return "Invalid repetition range.";
    case _URE_RANGE_OPEN: return "Repetition range not closed, '}' is missing.";
    case _URE_TOO_COMPLEX: return "Expression is too complex.";
    default: return "Expression is empty.";
  }
}

UCS4 TUREBuffer::Fold(UCS4 Code) const { return (Flags & _URE_DFA_CASEFOLD) ? SearchFoldCode(Code) : Code; }

uint32_t TUREBuffer::AddSymbol(TUcSymbolTableEntry&& Symbol) {
  if (Symbol.AType != _URE_BOL_ANCHOR && Symbol.AType != _URE_EOL_ANCHOR) Flags &= ~_URE_DFA_BLANKLINE;
  for (const TUcSymbolTableEntry& s : SymbolTable) {
    if (s.AType != Symbol.AType) continue;
    if (std::equal(std::begin(s.Categories.Bits), std::end(s.Categories.Bits), std::begin(Symbol.Categories.Bits)) &&
        (s.AType != _URE_CHAR || s.Symbol.Chr == Symbol.Symbol.Chr) &&
        ((s.AType != _URE_CCLASS && s.AType != _URE_NCCLASS) || s.Symbol.CCL == Symbol.Symbol.CCL))
      return s.ID;
  }
  if (SymbolTable.size() >= MaxSymbols) {
    Fail(_URE_TOO_COMPLEX);
    return _URE_NOOP;
  }
  Symbol.ID = static_cast<uint32_t>(SymbolTable.size());
  SymbolTable.push_back(std::move(Symbol));
  return SymbolTable.back().ID;
}

uint32_t TUREBuffer::MakeExpression(uint32_t AType, uint32_t LHS, uint32_t RHS) {
  uint64_t key = (uint64_t(AType) << 40) | (uint64_t(LHS) << 20) | RHS;
  auto it = FExpressionIndex.find(key);
  if (it != FExpressionIndex.end()) return it->second;
  if (ExpressionList.size() >= MaxExpressions) {
    Fail(_URE_TOO_COMPLEX);
    return _URE_NOOP;
  }
  auto id = static_cast<uint32_t>(ExpressionList.size());
  ExpressionList.push_back({AType, LHS, RHS});
  FExpressionIndex.emplace(key, id);
  return id;
}

// ---- parsing -------------------------------------------------------------

bool TUREBuffer::HexFollows() const { return FPos < FLength && HexValue(FPattern[FPos]) >= 0; }

// Up to four hexadecimal digits at FPos (at least one is there).
UCS4 TUREBuffer::ParseHex() {
  UCS4 v = 0;
  for (int i = 0; i < 4 && FPos < FLength; ++i) {
    int d = HexValue(FPattern[FPos]);
    if (d < 0) break;
    v = (v << 4) | static_cast<UCS4>(d);
    ++FPos;
  }
  return v;
}

void TUREBuffer::ParseCategoryList(TCharacterCategories& Categories) {
  Categories = TCharacterCategories();
  uint32_t number = 0;
  bool digits = false;
  while (FPos < FLength && Error == _URE_OK) {
    char16_t c = FPattern[FPos];
    if (c >= '0' && c <= '9') {
      number = std::min<uint32_t>(number * 10 + (c - '0'), 1000);
      digits = true;
    } else if (c == ',') {
      if (digits) {
        if (number >= CharacterCategoryCount) Fail(_URE_INVALID_PROPERTY);
        Categories.Include(static_cast<TCharacterCategory>(number));
      }
      number = 0;
      digits = false;
    } else {
      break;
    }
    ++FPos;
  }
  if (digits && Error == _URE_OK) {
    if (number >= CharacterCategoryCount) Fail(_URE_INVALID_PROPERTY);
    Categories.Include(static_cast<TCharacterCategory>(number));
  }
}

void TUREBuffer::AddRange(TUcCClass& CClass, UCS4 First, UCS4 Last) {
  First = Fold(First);
  Last = Fold(Last);
  if (Last < First) std::swap(First, Last);
  TUcRange r{First, Last};
  if (std::find(CClass.Ranges.begin(), CClass.Ranges.end(), r) != CClass.Ranges.end()) return;
  auto at = std::find_if(CClass.Ranges.begin(), CClass.Ranges.end(),
                         [&](const TUcRange& x) { return x.MinCode < First; });
  CClass.Ranges.insert(at, r);
}

// A POSIX name at FPos, either bare (":alpha:") or bracketed ("[:alpha:]").
bool TUREBuffer::ParsePosixName(TUcSymbolTableEntry& Symbol) {
  static const TPosixName names[] = {
      {u"alnum", {0, 1, 2, 6, 7, 8, 17, 18}},
      {u"alpha", {0, 1, 2, 17, 18}},
      {u"cntrl", {12, 13}},
      {u"digit", {6, 7, 8}},
      {u"graph", {0, 1, 2, 3, 4, 5, 6, 7, 8, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
      {u"lower", {1}},
      {u"print", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29}},
      {u"punct", {19, 20, 21, 22, 23, 24, 25}},
      {u"space", {9, 53}},
      {u"upper", {0}},
      {u"xdigit", {}},
  };
  size_t p = FPos;
  bool bracketed = At(p) == '[';
  if (bracketed) ++p;
  if (At(p) != ':') return false;
  ++p;
  std::u16string_view rest(FPattern + p, FLength - p);
  for (const TPosixName& n : names) {
    if (rest.size() < n.Name.size() + 1 || rest.substr(0, n.Name.size()) != n.Name || rest[n.Name.size()] != ':')
      continue;
    size_t end = p + n.Name.size() + 1;
    if (bracketed) {
      if (At(end) != ']') return false;
      ++end;
    }
    for (int c : n.Categories) Symbol.Categories.Include(static_cast<TCharacterCategory>(c));
    if (n.Name == u"space") {
      for (UCS4 c : {9u, 13u, 10u, 12u, 0xFEFFu}) AddRange(Symbol.Symbol.CCL, c, c);
    } else if (n.Name == u"xdigit") {
      AddRange(Symbol.Symbol.CCL, '0', '9');
      AddRange(Symbol.Symbol.CCL, 'A', 'F');
      AddRange(Symbol.Symbol.CCL, 'a', 'f');
    }
    FPos = end;
    return true;
  }
  return false;
}

void TUREBuffer::ParseClass(TUcSymbolTableEntry& Symbol) {
  Symbol.AType = _URE_CCLASS;
  if (At(FPos) == '^' && FPos < FLength) {
    Symbol.AType = _URE_NCCLASS;
    ++FPos;
  }
  bool first = true;
  bool closed = false;
  // A code point waiting to see whether a "-" makes it the start of a range.
  bool pending = false;
  bool inRange = false;
  UCS4 last = 0;
  auto flush = [&] {
    if (pending) AddRange(Symbol.Symbol.CCL, last, last);
    pending = false;
  };
  auto addPoint = [&](UCS4 c) {
    if (inRange) {
      AddRange(Symbol.Symbol.CCL, last, c);
      inRange = false;
      pending = false;
      return;
    }
    flush();
    last = c;
    pending = true;
  };
  while (FPos < FLength && Error == _URE_OK) {
    char16_t c = FPattern[FPos];
    if (c == ']' && !first) {
      ++FPos;
      closed = true;
      break;
    }
    first = false;
    if (c == '\\') {
      ++FPos;
      if (FPos >= FLength) {
        Fail(_URE_UNEXPECTED_EOS);
        break;
      }
      char16_t e = FPattern[FPos++];
      UCS4 v = e;
      switch (e) {
        case 'p':
        case 'P': {
          if (inRange) {  // "a-\p.." : the "-" stands for itself
            flush();
            AddRange(Symbol.Symbol.CCL, '-', '-');
            inRange = false;
          }
          flush();
          TCharacterCategories listed;
          ParseCategoryList(listed);
          if (e == 'p') {
            Symbol.Categories = listed;
          } else {
            Symbol.Categories = TCharacterCategories();
            for (int k = 0; k < CharacterCategoryCount; ++k)
              if (!listed.Contains(static_cast<TCharacterCategory>(k)))
                Symbol.Categories.Include(static_cast<TCharacterCategory>(k));
          }
          continue;
        }
        case 'R': v = 13; break;
        default:
          if (!ControlEscape(e, v) && IsHexEscape(e) && HexFollows()) v = ParseHex();
          break;
      }
      addPoint(v);
      continue;
    }
    if ((c == ':' || c == '[') && !inRange && ParsePosixName(Symbol)) {
      flush();
      continue;
    }
    ++FPos;
    UCS4 v = c;
    if (IsHighSurrogate(v) && FPos < FLength && IsLowSurrogate(FPattern[FPos])) v = CombineSurrogates(v, FPattern[FPos++]);
    if (c == '-' && pending && !inRange && FPos < FLength && FPattern[FPos] != ']') {
      inRange = true;
      continue;
    }
    addPoint(v);
  }
  if (inRange) {
    flush();
    AddRange(Symbol.Symbol.CCL, '-', '-');
  }
  flush();
  if (!closed) Fail(_URE_CCLASS_OPEN);
}

uint32_t TUREBuffer::ParseAtom() {
  TUcSymbolTableEntry sym;
  char16_t c = FPattern[FPos++];
  UCS4 literal = c;
  switch (c) {
    case '.': sym.AType = _URE_ANY_CHAR; return AddSymbol(std::move(sym));
    case '^': sym.AType = _URE_BOL_ANCHOR; return AddSymbol(std::move(sym));
    case '$': sym.AType = _URE_EOL_ANCHOR; return AddSymbol(std::move(sym));
    case '[':
      ParseClass(sym);
      return Error ? _URE_NOOP : AddSymbol(std::move(sym));
    case '\\': {
      if (FPos >= FLength) {
        Fail(_URE_UNEXPECTED_EOS);
        return _URE_NOOP;
      }
      char16_t e = FPattern[FPos++];
      switch (e) {
        case 'p':
        case 'P':
          sym.AType = e == 'p' ? _URE_CCLASS : _URE_NCCLASS;
          ParseCategoryList(sym.Categories);
          return Error ? _URE_NOOP : AddSymbol(std::move(sym));
        case 'r': literal = 13; break;
        default:
          if (!ControlEscape(e, literal)) literal = (IsHexEscape(e) && HexFollows()) ? ParseHex() : e;
          break;
      }
      break;
    }
    default:
      break;
  }
  if (IsHighSurrogate(literal) && FPos < FLength) {
    if (IsLowSurrogate(FPattern[FPos])) {
      literal = CombineSurrogates(literal, FPattern[FPos++]);
    } else if (FPattern[FPos] == '\\' && FPos + 2 < FLength && IsHexEscape(FPattern[FPos + 1]) &&
               HexValue(FPattern[FPos + 2]) >= 0) {
      size_t save = FPos;
      FPos += 2;
      UCS4 low = ParseHex();
      if (IsLowSurrogate(low))
        literal = CombineSurrogates(literal, low);
      else
        FPos = save;
    }
  }
  sym.AType = _URE_CHAR;
  sym.Symbol.Chr = Fold(literal);
  return AddSymbol(std::move(sym));
}

// After "{" at FPos - 1; Operand is the expression it repeats.
uint32_t TUREBuffer::ParseRepetition(uint32_t Operand) {
  auto skipSpace = [&] {
    while (FPos < FLength && IsSpaceCode(FPattern[FPos])) ++FPos;
  };
  auto number = [&](bool& any) {
    uint32_t v = 0;
    any = false;
    while (FPos < FLength && FPattern[FPos] >= '0' && FPattern[FPos] <= '9') {
      v = std::min<uint32_t>(v * 10 + (FPattern[FPos] - '0'), MaxRepetition + 1);
      any = true;
      ++FPos;
    }
    return v;
  };
  skipSpace();
  bool anyMin = false, anyMax = false;
  uint32_t m = number(anyMin);
  skipSpace();
  uint32_t n = 0;
  bool unbounded = false;
  if (FPos >= FLength) {
    Fail(_URE_RANGE_OPEN);
    return _URE_NOOP;
  }
  if (FPattern[FPos] == ',') {
    ++FPos;
    skipSpace();
    n = number(anyMax);
    unbounded = !anyMax;
    if (FPos >= FLength || FPattern[FPos] != '}') {
      Fail(_URE_RANGE_OPEN);
      return _URE_NOOP;
    }
  } else if (FPattern[FPos] == '}') {
    n = m;
  } else {
    Fail(_URE_INVALID_RANGE);
    return _URE_NOOP;
  }
  ++FPos;
  if (m > MaxRepetition || n > MaxRepetition) {
    Fail(_URE_INVALID_RANGE);
    return _URE_NOOP;
  }
  if (n == 0 && m == 0) unbounded = true;  // {0} and {0,0} repeat freely
  if (!unbounded && m > n) {
    Fail(_URE_INVALID_RANGE);
    return _URE_NOOP;
  }
  // r repeated k times, then Tail (when not none).
  auto repeat = [&](uint32_t k, uint32_t tail) {
    uint32_t e = tail;
    for (uint32_t i = 0; i < k && Error == _URE_OK; ++i)
      e = e == _URE_NOOP ? Operand : MakeExpression(_URE_AND, Operand, e);
    return e;
  };
  if (unbounded) {
    if (m == 0) return MakeExpression(_URE_STAR, Operand, _URE_NOOP);
    return repeat(m - 1, MakeExpression(_URE_PLUS, Operand, _URE_NOOP));
  }
  if (m == 0 && n == 1) return MakeExpression(_URE_QUEST, Operand, _URE_NOOP);
  uint32_t result = _URE_NOOP;
  uint32_t k = m;
  if (m == 0) {
    result = MakeExpression(_URE_QUEST, Operand, _URE_NOOP);
    k = 2;
  }
  for (; k <= n && Error == _URE_OK; ++k) {
    uint32_t alt = repeat(k, _URE_NOOP);
    result = result == _URE_NOOP ? alt : MakeExpression(_URE_OR, result, alt);
  }
  return Error ? _URE_NOOP : result;
}

uint32_t TUREBuffer::ParseExpression() {
  // The expression stack: operands and operators are tagged apart.
  enum TItem : uint8_t { iOperand, iGroup, iAnd, iOr };
  std::vector<std::pair<TItem, uint32_t>> stack;
  uint32_t result = _URE_NOOP;
  auto collapse = [&] {
    while (!stack.empty() && (stack.back().first == iAnd || stack.back().first == iOr) && Error == _URE_OK) {
      uint32_t op = stack.back().first == iAnd ? _URE_AND : _URE_OR;
      stack.pop_back();
      uint32_t left = stack.back().second;
      stack.pop_back();
      if (result == _URE_NOOP) {
        Fail(_URE_EMPTY);
        return;
      }
      result = MakeExpression(op, left, result);
    }
  };
  while (FPos < FLength && Error == _URE_OK) {
    char16_t c = FPattern[FPos];
    switch (c) {
      case '(':
        ++FPos;
        stack.push_back({iGroup, 0});
        result = _URE_NOOP;
        continue;
      case ')':
        ++FPos;
        collapse();
        if (Error) break;
        if (stack.empty() || stack.back().first != iGroup) {
          Fail(_URE_UNBALANCED_GROUP);
          break;
        }
        if (result == _URE_NOOP) {
          Fail(_URE_EMPTY);
          break;
        }
        stack.pop_back();
        break;
      case '*':
      case '+':
      case '?':
        ++FPos;
        if (result == _URE_NOOP) {
          Fail(_URE_EMPTY);
          break;
        }
        result = MakeExpression(c == '*' ? _URE_STAR : c == '+' ? _URE_PLUS : _URE_QUEST, result, _URE_NOOP);
        break;
      case '{':
        ++FPos;
        if (result == _URE_NOOP) {
          Fail(_URE_EMPTY);
          break;
        }
        result = ParseRepetition(result);
        break;
      case '|':
        ++FPos;
        collapse();
        if (result == _URE_NOOP) Fail(_URE_EMPTY);
        if (Error) break;
        stack.push_back({iOperand, result});
        stack.push_back({iOr, 0});
        result = _URE_NOOP;
        continue;
      default: {
        uint32_t sym = ParseAtom();
        if (Error) break;
        result = MakeExpression(_URE_SYMBOL, sym, _URE_NOOP);
        break;
      }
    }
    if (Error) break;
    if (FPos < FLength) {
      char16_t n = FPattern[FPos];
      if (n != ')' && n != '*' && n != '+' && n != '?' && n != '{' && n != '|') {
        stack.push_back({iOperand, result});
        stack.push_back({iAnd, 0});
        result = _URE_NOOP;
      }
    }
  }
  if (Error == _URE_OK) collapse();
  if (Error == _URE_OK && !stack.empty()) Fail(_URE_UNBALANCED_GROUP);
  if (Error == _URE_OK && result == _URE_NOOP) Fail(_URE_EMPTY);
  return Error ? _URE_NOOP : result;
}

// ---- states ----------------------------------------------------------------

uint32_t TUREBuffer::MakeState(TUcStateList&& List) {
  auto it = FStateIndex.find(List);
  if (it != FStateIndex.end()) return it->second;
  if (States.size() >= MaxStates) {
    Fail(_URE_TOO_COMPLEX);
    return _URE_NOOP;
  }
  TUcState s;
  s.ID = static_cast<uint32_t>(States.size());
  s.StateList = List;
  States.push_back(std::move(s));
  FStateIndex.emplace(std::move(List), States.back().ID);
  return States.back().ID;
}

void TUREBuffer::BuildStates(uint32_t Root) {
  Reducing = true;
  MakeState(TUcStateList{Root});
  const uint32_t one = MakeExpression(_URE_ONE, _URE_NOOP, _URE_NOOP);
  std::vector<uint32_t> stack;
  std::vector<uint32_t> onStack;  // stamp per expression: state index + 1
  std::vector<uint32_t> touched;  // symbols that gained expressions
  uint64_t steps = 0;
  for (size_t i = 0; i < States.size() && Error == _URE_OK; ++i) {
    const auto stamp = static_cast<uint32_t>(i + 1);
    stack.clear();
    auto push = [&](uint32_t e) {
      if (e == _URE_NOOP) return;
      if (onStack.size() <= e) onStack.resize(ExpressionList.size() + 64, 0);
      if (onStack[e] == stamp) return;
      onStack[e] = stamp;
      stack.push_back(e);
    };
    auto addTo = [&](uint32_t sym, uint32_t e) {
      if (SymbolTable[sym].States.empty()) touched.push_back(sym);
      SymbolTable[sym].States.push_back(e);
    };
    for (uint32_t e : States[i].StateList) push(e);
    bool accepting = false;
    for (size_t k = 0; k < stack.size() && Error == _URE_OK; ++k) {
      if (++steps > MaxBuildSteps) {
        Fail(_URE_TOO_COMPLEX);
        break;
      }
      const uint32_t e = stack[k];
      const TUcElement x = ExpressionList[e];
      switch (x.AType) {
        case _URE_SYMBOL: addTo(x.LHS, one); break;
        case _URE_QUEST: push(MakeExpression(_URE_OR, one, x.LHS)); break;
        case _URE_STAR: push(MakeExpression(_URE_OR, one, MakeExpression(_URE_PLUS, x.LHS, _URE_NOOP))); break;
        case _URE_PLUS: push(MakeExpression(_URE_AND, x.LHS, MakeExpression(_URE_STAR, x.LHS, _URE_NOOP))); break;
        case _URE_ONE: accepting = true; break;
        case _URE_OR:
          push(x.LHS);
          push(x.RHS);
          break;
        case _URE_AND: {
          const TUcElement l = ExpressionList[x.LHS];
          const uint32_t r = x.RHS;
          switch (l.AType) {
            case _URE_SYMBOL: addTo(l.LHS, r); break;
            case _URE_QUEST: push(MakeExpression(_URE_OR, r, MakeExpression(_URE_AND, l.LHS, r))); break;
            case _URE_STAR: push(MakeExpression(_URE_OR, r, MakeExpression(_URE_AND, l.LHS, e))); break;
            case _URE_PLUS: push(MakeExpression(_URE_AND, l.LHS, MakeExpression(_URE_OR, r, e))); break;
            case _URE_ONE: push(r); break;
            case _URE_AND: push(MakeExpression(_URE_AND, l.LHS, MakeExpression(_URE_AND, l.RHS, r))); break;
            case _URE_OR:
              push(MakeExpression(_URE_OR, MakeExpression(_URE_AND, l.LHS, r), MakeExpression(_URE_AND, l.RHS, r)));
              break;
            default: break;
          }
          break;
        }
        default: break;
      }
    }
    States[i].Accepting = accepting;
    std::sort(touched.begin(), touched.end());
    for (uint32_t sym : touched) {
      TUcStateList list = std::move(SymbolTable[sym].States);
      SymbolTable[sym].States.clear();
      if (Error) continue;
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
      uint32_t target = MakeState(std::move(list));
      if (target != _URE_NOOP) States[i].Transitions.push_back({sym, target});
    }
    touched.clear();
  }
  Reducing = false;
}

// Minimises the states by partition refinement; the first state of each
// block, in creation order, gives the block its new number.
void TUREBuffer::MergeStates(TDFA& DFA) {
  const size_t n = States.size();
  size_t TransitionCount = 0;
  for (const TUcState& st : States) TransitionCount += st.Transitions.size();
  std::vector<uint32_t> block(n), next(n);
  struct TKeyHash {
    size_t operator()(const std::vector<uint32_t>& v) const noexcept {
      uint64_t h = 1469598103934665603ull;
      for (uint32_t x : v) h = (h ^ x) * 1099511628211ull;
      return static_cast<size_t>(h);
    }
  };
  std::unordered_map<std::vector<uint32_t>, uint32_t, TKeyHash> keys;
  auto signature = [&](size_t i, bool withTargets) {
    std::vector<uint32_t> key;
    key.push_back(withTargets ? block[i] : States[i].Accepting);
    for (const TUcElementTransition& t : States[i].Transitions) {
      key.push_back(t.LHS);
      if (withTargets) key.push_back(block[t.RHS]);
    }
    return key;
  };
  for (size_t i = 0; i < n; ++i) block[i] = keys.emplace(signature(i, false), keys.size()).first->second;
  size_t count = keys.size();
  // Refinement takes a round per letter of the longest distinguishing word;
  // past the budget the states stay as built, which is as correct, only larger.
  uint64_t work = 0;
  for (;;) {
    keys.clear();
    for (size_t i = 0; i < n; ++i) next[i] = keys.emplace(signature(i, true), keys.size()).first->second;
    block.swap(next);
    if (keys.size() == count) break;
    count = keys.size();
    work += n + TransitionCount;
    if (work > MaxMergeWork) {
      for (size_t i = 0; i < n; ++i) block[i] = static_cast<uint32_t>(i);
      count = n;
      break;
    }
  }
  // Renumber blocks in order of their first state.
  std::vector<uint32_t> number(count, _URE_NOOP);
  std::vector<size_t> first;
  for (size_t i = 0; i < n; ++i)
    if (number[block[i]] == _URE_NOOP) {
      number[block[i]] = static_cast<uint32_t>(first.size());
      first.push_back(i);
    }
  DFA.StateList.clear();
  DFA.TransitionList.clear();
  for (size_t i : first) {
    const TUcState& s = States[i];
    DFA.StateList.push_back(
        {s.Accepting, static_cast<uint32_t>(s.Transitions.size()), static_cast<uint32_t>(DFA.TransitionList.size())});
    for (const TUcElementTransition& t : s.Transitions) DFA.TransitionList.push_back({t.LHS, number[block[t.RHS]]});
  }
}

TDFA TUREBuffer::CompilePattern(const char16_t* Pattern, int64_t Length, bool CaseFold) {
  *this = TUREBuffer();
  FPattern = Pattern;
  FLength = static_cast<size_t>(Length);
  Flags = _URE_DFA_BLANKLINE | (CaseFold ? uint32_t{_URE_DFA_CASEFOLD} : 0u);
  uint32_t root = ParseExpression();
  if (root != _URE_NOOP) BuildStates(root);
  if (Error != _URE_OK) {
    const int32_t code = Error;
    *this = TUREBuffer();
    const std::string pattern = WideToUTF8(WideString(Pattern, static_cast<size_t>(Length)));
    if (code == _URE_EMPTY) throw EUnicodeError(UREErrorMessage(code));
    throw EUnicodeError("Error in regular expression: " + pattern + "\r\n" + UREErrorMessage(code));
  }
  TDFA dfa;
  MergeStates(dfa);
  dfa.Flags = Flags & 3;
  dfa.SymbolTable = std::move(SymbolTable);
  for (TUcSymbolTableEntry& s : dfa.SymbolTable) s.States.clear();
  *this = TUREBuffer();
  return dfa;
}
