// Writes the six UNICODEDATA resources of the Unicode text library from the
// Unicode Character Database (UnicodeData.txt, CaseFolding.txt, PropList.txt,
// DerivedNormalizationProps.txt).
//
//   gen_unicodedata <ucd folder> <output folder>
//
// Output files: categories.bin, case.bin, decomposition.bin, combining.bin,
// composition.bin, numbers.bin. All integers little-endian.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr uint32_t MaxCode = 0x10FFFF;
using Codes = std::vector<uint32_t>;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "gen_unicodedata: %s\n", what.c_str());
  std::exit(1);
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  const size_t b = s.find_last_not_of(" \t\r");
  return s.substr(a, b - a + 1);
}

std::vector<std::string> Split(const std::string& s, char sep) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : s) {
    if (c == sep) {
      parts.push_back(cur);
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  parts.push_back(cur);
  return parts;
}

uint32_t Hex(const std::string& s) {
  char* end = nullptr;
  const unsigned long v = std::strtoul(s.c_str(), &end, 16);
  if (end == s.c_str() || v > MaxCode) Fail("bad code point \"" + s + "\"");
  return static_cast<uint32_t>(v);
}

Codes HexList(const std::string& s) {
  Codes out;
  std::istringstream in(s);
  std::string word;
  while (in >> word) out.push_back(Hex(word));
  return out;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  if (!in) Fail("cannot read " + path);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) {
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.resize(hash);
    if (!Trim(line).empty()) lines.push_back(line);
  }
  return lines;
}

// "0009..000D ; White_Space" style files: code points per property.
std::map<std::string, std::vector<std::pair<uint32_t, uint32_t>>> ReadPropertyRanges(const std::string& path) {
  std::map<std::string, std::vector<std::pair<uint32_t, uint32_t>>> props;
  for (const std::string& line : Lines(path)) {
    const auto f = Split(line, ';');
    if (f.size() < 2) continue;
    const std::string range = Trim(f[0]);
    const size_t dots = range.find("..");
    const uint32_t first = Hex(range.substr(0, dots));
    const uint32_t last = dots == std::string::npos ? first : Hex(range.substr(dots + 2));
    props[Trim(f[1])].push_back({first, last});
  }
  return props;
}

struct Entry {
  bool assigned = false;
  std::string category;
  uint8_t combining = 0;
  std::string bidi;
  std::string decompTag;  // empty for a canonical mapping
  Codes decomposition;
  bool mirrored = false;
  std::string numeric;
  int64_t upper = -1, lower = -1, title = -1;
};

std::vector<Entry> ReadUnicodeData(const std::string& path) {
  std::vector<Entry> db(MaxCode + 1);
  uint32_t rangeFirst = 0;
  bool inRange = false;
  for (const std::string& line : Lines(path)) {
    const auto f = Split(line, ';');
    if (f.size() < 15) Fail("short line in UnicodeData.txt");
    const uint32_t code = Hex(f[0]);
    Entry e;
    e.assigned = true;
    e.category = f[2];
    e.combining = static_cast<uint8_t>(std::atoi(f[3].c_str()));
    e.bidi = f[4];
    std::string decomp = Trim(f[5]);
    if (!decomp.empty() && decomp[0] == '<') {
      const size_t close = decomp.find('>');
      e.decompTag = decomp.substr(0, close + 1);
      decomp = decomp.substr(close + 1);
    }
    e.decomposition = HexList(decomp);
    e.numeric = Trim(f[8]);
    e.mirrored = f[9] == "Y";
    if (!Trim(f[12]).empty()) e.upper = Hex(f[12]);
    if (!Trim(f[13]).empty()) e.lower = Hex(f[13]);
    if (!Trim(f[14]).empty()) e.title = Hex(f[14]);
    const std::string& name = f[1];
    if (name.size() > 8 && name.compare(name.size() - 8, 8, ", First>") == 0) {
      rangeFirst = code;
      inRange = true;
      db[code] = e;
    } else if (inRange && name.size() > 7 && name.compare(name.size() - 7, 7, ", Last>") == 0) {
      for (uint32_t c = rangeFirst; c <= code; ++c) db[c] = e;
      inRange = false;
    } else {
      db[code] = e;
    }
  }
  return db;
}

class Writer {
 public:
  void U8(uint8_t v) { FData.push_back(v); }
  void U32(uint32_t v) {
    for (int i = 0; i < 4; ++i) FData.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  void I32(int32_t v) { U32(static_cast<uint32_t>(v)); }
  void I64(int64_t v) {
    U32(static_cast<uint32_t>(static_cast<uint64_t>(v)));
    U32(static_cast<uint32_t>(static_cast<uint64_t>(v) >> 32));
  }
  void Codes(const ::Codes& codes) {
    I32(static_cast<int32_t>(codes.size()));
    for (uint32_t c : codes) U32(c);
  }
  void Append(const Writer& other) { FData.insert(FData.end(), other.FData.begin(), other.FData.end()); }
  void Save(const std::string& path) const {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(FData.data()), static_cast<std::streamsize>(FData.size()));
    if (!out) Fail("cannot write " + path);
  }

 private:
  std::vector<uint8_t> FData;
};

std::vector<std::pair<uint32_t, uint32_t>> Ranges(const std::vector<bool>& member) {
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  for (uint32_t c = 0; c <= MaxCode; ++c) {
    if (!member[c]) continue;
    uint32_t last = c;
    while (last < MaxCode && member[last + 1]) ++last;
    ranges.push_back({c, last});
    c = last;
  }
  return ranges;
}

void WriteRangeBlock(Writer& w, const std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
  w.I32(static_cast<int32_t>(ranges.size()));
  for (const auto& [first, last] : ranges) {
    w.U32(first);
    w.U32(last);
  }
}

// Category numbers as the library defines them.
const char* const GeneralCategories[30] = {"Lu", "Ll", "Lt", "Mn", "Mc", "Me", "Nd", "Nl", "No", "Zs",
                                           "Zl", "Zp", "Cc", "Cf", "Cs", "Co", "Cn", "Lm", "Lo", "Pc",
                                           "Pd", "Ps", "Pe", "Pi", "Pf", "Po", "Sm", "Sc", "Sk", "So"};
const char* const BidiClasses[17] = {"L",  "LRE", "LRO", "R",  "AL", "RLE", "RLO", "PDF", "EN",
                                     "ES", "ET",  "AN",  "CS", "BN", "S",   "WS",  "ON"};

void WriteCategories(const std::vector<Entry>& db,
                     const std::map<std::string, std::vector<std::pair<uint32_t, uint32_t>>>& props,
                     const std::string& path) {
  auto propertyMembers = [&](const char* name) {
    std::vector<bool> member(MaxCode + 1);
    const auto it = props.find(name);
    if (it == props.end()) Fail(std::string("PropList.txt lacks ") + name);
    for (const auto& [first, last] : it->second)
      for (uint32_t c = first; c <= last; ++c) member[c] = true;
    return member;
  };
  Writer w;
  for (int cat = 0; cat <= 54; ++cat) {
    std::vector<bool> member(MaxCode + 1);
    if (cat == 16) continue;  // unassigned code points carry no category
    if (cat < 30) {
      const std::string gc = GeneralCategories[cat];
      for (uint32_t c = 0; c <= MaxCode; ++c) member[c] = db[c].assigned && db[c].category == gc;
    } else if (cat < 47) {
      for (uint32_t c = 0; c <= MaxCode; ++c) member[c] = db[c].assigned && db[c].bidi == BidiClasses[cat - 30];
    } else if (cat == 47) {
      // Hangul syllables decompose by rule, not by the database.
      for (uint32_t c = 0; c <= MaxCode; ++c)
        member[c] = (db[c].assigned && !db[c].decomposition.empty() && db[c].decompTag.empty()) ||
                    (c >= 0xAC00 && c <= 0xD7A3);
    } else if (cat == 48) {
      for (uint32_t c = 0; c <= MaxCode; ++c) member[c] = db[c].decompTag == "<noBreak>";
    } else if (cat == 49 || cat == 52) {
      for (uint32_t c = 0; c <= MaxCode; ++c) member[c] = db[c].mirrored;
    } else if (cat == 50) {
      member = propertyMembers("Hex_Digit");
    } else if (cat == 51) {
      member = propertyMembers("Quotation_Mark");
    } else if (cat == 53) {
      member = propertyMembers("White_Space");
    } else {
      for (uint32_t c = 0; c <= MaxCode; ++c) member[c] = db[c].assigned;
    }
    const auto ranges = Ranges(member);
    if (ranges.empty()) continue;
    w.U8(static_cast<uint8_t>(cat));
    WriteRangeBlock(w, ranges);
  }
  w.Save(path);
}

void WriteCase(const std::vector<Entry>& db, const std::string& caseFoldingPath, const std::string& path) {
  std::map<uint32_t, Codes> common, full;
  for (const std::string& line : Lines(caseFoldingPath)) {
    const auto f = Split(line, ';');
    if (f.size() < 3) continue;
    const std::string status = Trim(f[1]);
    if (status == "C") common[Hex(f[0])] = HexList(f[2]);
    if (status == "F") full[Hex(f[0])] = HexList(f[2]);
  }
  Writer body;
  int32_t count = 0;
  for (uint32_t c = 0; c <= MaxCode; ++c) {
    const Entry& e = db[c];
    Codes folding;
    if (full.count(c)) {
      folding = full[c];
    } else if (common.count(c)) {
      folding = common[c];
    }
    // An empty title-case field means the upper-case mapping.
    const int64_t title = e.title >= 0 ? e.title : e.upper;
    auto single = [](int64_t v) { return v >= 0 ? Codes{static_cast<uint32_t>(v)} : Codes{}; };
    const Codes lower = single(e.lower), titleCodes = single(title), upper = single(e.upper);
    if (folding.empty() && lower.empty() && titleCodes.empty() && upper.empty()) continue;
    body.U32(c);
    body.Codes(folding);
    body.Codes(lower);
    body.Codes(titleCodes);
    body.Codes(upper);
    ++count;
  }
  Writer w;
  w.I32(count);
  w.Append(body);
  w.Save(path);
}

void Expand(const std::vector<Entry>& db, uint32_t c, bool compatible, Codes& out) {
  const Entry& e = db[c];
  if (!e.decomposition.empty() && (compatible || e.decompTag.empty())) {
    for (uint32_t d : e.decomposition) Expand(db, d, compatible, out);
  } else {
    out.push_back(c);
  }
}

void WriteDecomposition(const std::vector<Entry>& db, const std::string& path) {
  std::vector<std::pair<uint32_t, Codes>> records;
  for (uint32_t c = 0; c <= MaxCode; ++c) {
    const Entry& e = db[c];
    if (e.decomposition.empty()) continue;
    const bool compatible = !e.decompTag.empty();
    Codes full;
    Expand(db, c, compatible, full);
    records.push_back({compatible ? (c | (1u << 30)) : c, full});
  }
  Writer w;
  w.I32(static_cast<int32_t>(records.size()));
  for (const auto& [code, codes] : records) {
    w.U32(code);
    w.Codes(codes);
  }
  w.Save(path);
}

void WriteCombining(const std::vector<Entry>& db, const std::string& path) {
  std::map<uint32_t, std::vector<std::pair<uint32_t, uint32_t>>> byClass;
  for (uint32_t c = 0; c <= MaxCode; ++c) {
    const uint32_t cls = db[c].combining;
    if (cls == 0) continue;
    auto& ranges = byClass[cls];
    if (!ranges.empty() && ranges.back().second + 1 == c)
      ranges.back().second = c;
    else
      ranges.push_back({c, c});
  }
  Writer w;
  for (const auto& [cls, ranges] : byClass) {
    w.U32(cls);
    WriteRangeBlock(w, ranges);
  }
  w.Save(path);
}

void WriteComposition(const std::vector<Entry>& db,
                      const std::map<std::string, std::vector<std::pair<uint32_t, uint32_t>>>& normProps,
                      const std::string& path) {
  std::set<uint32_t> excluded;
  const auto it = normProps.find("Full_Composition_Exclusion");
  if (it == normProps.end()) Fail("DerivedNormalizationProps.txt lacks Full_Composition_Exclusion");
  for (const auto& [first, last] : it->second)
    for (uint32_t c = first; c <= last; ++c) excluded.insert(c);
  std::vector<std::pair<uint32_t, uint32_t>> entries;
  for (uint32_t c = 0; c <= 0xFFFF; ++c) {
    const Entry& e = db[c];
    if (e.decomposition.size() != 2 || !e.decompTag.empty() || excluded.count(c)) continue;
    // Keys hold two 16-bit halves.
    if (e.decomposition[0] > 0xFFFF || e.decomposition[1] > 0xFFFF) continue;
    entries.push_back({(e.decomposition[0] << 16) | e.decomposition[1], c});
  }
  std::sort(entries.begin(), entries.end());
  Writer w;
  w.I32(static_cast<int32_t>(entries.size()));
  for (const auto& [key, composite] : entries) {
    w.U32(key);
    w.U32(composite);
  }
  w.Save(path);
}

// Numeric values: count, then code point (u32), numerator (i64) and
// denominator (i32) per record.
void WriteNumbers(const std::vector<Entry>& db, const std::string& path) {
  std::vector<std::pair<uint32_t, std::pair<int64_t, int32_t>>> records;
  for (uint32_t c = 0; c <= MaxCode; ++c) {
    const std::string& n = db[c].numeric;
    if (n.empty()) continue;
    const size_t slash = n.find('/');
    const int64_t numerator = std::strtoll(n.substr(0, slash).c_str(), nullptr, 10);
    const int32_t denominator = slash == std::string::npos ? 1 : std::atoi(n.substr(slash + 1).c_str());
    records.push_back({c, {numerator, denominator}});
  }
  Writer w;
  w.I32(static_cast<int32_t>(records.size()));
  for (const auto& [code, value] : records) {
    w.U32(code);
    w.I64(value.first);
    w.I32(value.second);
  }
  w.Save(path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) Fail("usage: gen_unicodedata <ucd folder> <output folder>");
  const std::string ucd = argv[1], out = argv[2];
  const std::vector<Entry> db = ReadUnicodeData(ucd + "/UnicodeData.txt");
  const auto props = ReadPropertyRanges(ucd + "/PropList.txt");
  const auto normProps = ReadPropertyRanges(ucd + "/DerivedNormalizationProps.txt");
  WriteCategories(db, props, out + "/categories.bin");
  WriteCase(db, ucd + "/CaseFolding.txt", out + "/case.bin");
  WriteDecomposition(db, out + "/decomposition.bin");
  WriteCombining(db, out + "/combining.bin");
  WriteComposition(db, normProps, out + "/composition.bin");
  WriteNumbers(db, out + "/numbers.bin");
  return 0;
}
