#include "classlib/IniFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "classlib/SysUtils.h"

namespace {

// One line of the file as it stands, with its own line break.
struct Line {
  std::string text;
  std::string eol;
};

std::vector<Line> ReadLines(const std::string& fileName) {
  std::vector<Line> lines;
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return lines;
  std::string bytes;
  try {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return lines;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return lines;
  }
  size_t p = 0;
  while (p < bytes.size()) {
    size_t q = bytes.find_first_of("\r\n", p);
    if (q == std::string::npos) {
      lines.push_back({bytes.substr(p), ""});
      break;
    }
    size_t e = q + 1;
    if (bytes[q] == '\r' && e < bytes.size() && bytes[e] == '\n') ++e;
    lines.push_back({bytes.substr(p, q - p), bytes.substr(q, e - q)});
    p = e;
  }
  return lines;
}

// "[name]" gives true and the name.
bool SectionName(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == std::string::npos) return false;
  name = Trim(t.substr(1, close - 1));
  return true;
}

bool KeyValue(const std::string& line, std::string& key, std::string& value) {
  std::string t = Trim(line);
  if (t.empty() || t[0] == ';') return false;
  size_t eq = t.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(t.substr(0, eq));
  value = Trim(t.substr(eq + 1));
  // Quotes around the whole value are dropped, as the profile functions do.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return !key.empty();
}

// The range [begin, end) of lines in the first section of that name (begin
// is the line after its header), or begin = -1.
struct Range {
  long header = -1, begin = -1, end = -1;
};

Range FindSection(const std::vector<Line>& lines, const std::string& section) {
  Range r;
  std::string name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionName(lines[i].text, name)) continue;
    if (r.begin >= 0) {
      r.end = static_cast<long>(i);
      return r;
    }
    if (SameText(name, section)) {
      r.header = static_cast<long>(i);
      r.begin = static_cast<long>(i + 1);
    }
  }
  if (r.begin >= 0) r.end = static_cast<long>(lines.size());
  return r;
}

long FindKey(const std::vector<Line>& lines, const Range& r, const std::string& ident, std::string* value) {
  std::string k, v;
  for (long i = r.begin; i >= 0 && i < r.end; ++i)
    if (KeyValue(lines[static_cast<size_t>(i)].text, k, v) && SameText(k, ident)) {
      if (value) *value = v;
      return i;
    }
  return -1;
}

std::string DefaultEol(const std::vector<Line>& lines) {
  for (const Line& l : lines)
    if (!l.eol.empty()) return l.eol;
  return "\r\n";
}

void WriteLines(const std::string& fileName, const std::vector<Line>& lines) {
  std::string bytes;
  for (const Line& l : lines) bytes += l.text + l.eol;
  auto fail = [&]() { throw EIniFileException("Unable to write to " + fileName); };
  // A new file beside the old one replaces it only once it is complete.
  std::string temp = fileName + ".tmp~";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool inPlace = false;
  if (fd < 0) {
    // A folder we may not write to can still hold a file we may: write it in place.
    fd = ::open(fileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) fail();
    inPlace = true;
  } else {
    struct stat st {};
    if (::stat(fileName.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bool ok = done == bytes.size() && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (!inPlace) {
    if (ok) ok = ::rename(temp.c_str(), fileName.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
  }
  if (!ok) fail();
}

}  // namespace

int32_t TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int32_t def) const {
  std::string s = ReadString(section, ident, "");
  int32_t v;
  // The "$" form of StrToInt is not a profile integer.
  if (s.empty() || s.find('$') != std::string::npos || !TryStrToInt(s, v)) return def;
  return v;
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

bool TCustomIniFile::SectionExists(const std::string& section) const {
  TStringList idents;
  ReadSection(section, idents);
  return idents.Count() > 0;
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  TStringList idents;
  ReadSection(section, idents);
  return idents.IndexOf(ident) >= 0;
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  auto lines = ReadLines(FileName());
  std::string value;
  return FindKey(lines, FindSection(lines, section), ident, &value) >= 0 ? value : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  if (Trim(section).empty() || Trim(ident).empty() ||
      section.find_first_of("\r\n]") != std::string::npos || ident.find_first_of("\r\n=") != std::string::npos)
    throw EIniFileException("Unable to write to " + FileName());
  // A line break in the value would make a line of its own on reading.
  std::string v = value;
  for (char& c : v)
    if (c == '\r' || c == '\n') c = ' ';
  auto lines = ReadLines(FileName());
  std::string eol = DefaultEol(lines);
  Range r = FindSection(lines, section);
  long k = FindKey(lines, r, ident, nullptr);
  if (k >= 0) {
    lines[static_cast<size_t>(k)].text = ident + "=" + v;
  } else if (r.begin >= 0) {
    // After the section's last non-blank line.
    long at = r.end;
    while (at > r.begin && Trim(lines[static_cast<size_t>(at - 1)].text).empty()) --at;
    if (at > 0 && lines[static_cast<size_t>(at - 1)].eol.empty()) lines[static_cast<size_t>(at - 1)].eol = eol;
    lines.insert(lines.begin() + at, Line{ident + "=" + v, eol});
  } else {
    if (!lines.empty() && lines.back().eol.empty()) lines.back().eol = eol;
    lines.push_back({"[" + section + "]", eol});
    lines.push_back({ident + "=" + v, eol});
  }
  WriteLines(FileName(), lines);
}

void TIniFile::ReadSection(const std::string& section, TStrings& idents) const {
  idents.Clear();
  auto lines = ReadLines(FileName());
  Range r = FindSection(lines, section);
  std::string k, v;
  for (long i = r.begin; i >= 0 && i < r.end; ++i)
    if (KeyValue(lines[static_cast<size_t>(i)].text, k, v) && idents.IndexOf(k) < 0) idents.Add(k);
}

void TIniFile::ReadSections(TStrings& sections) const {
  sections.Clear();
  std::string name;
  for (const Line& l : ReadLines(FileName()))
    if (SectionName(l.text, name) && sections.IndexOf(name) < 0) sections.Add(name);
}

void TIniFile::EraseSection(const std::string& section) {
  auto lines = ReadLines(FileName());
  Range r = FindSection(lines, section);
  if (r.header < 0) return;
  lines.erase(lines.begin() + r.header, lines.begin() + r.end);
  WriteLines(FileName(), lines);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  auto lines = ReadLines(FileName());
  long k = FindKey(lines, FindSection(lines, section), ident, nullptr);
  if (k < 0) return;
  lines.erase(lines.begin() + k);
  WriteLines(FileName(), lines);
}
