#include "classlib/IniFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include "classlib/SysUtils.h"

namespace {

// One line of the file as it stands, with its own line break.
struct Line {
  std::string text;
  std::string eol;
};

// The file as it stands: its bytes cut into lines.  A missing file is
// empty; one that exists but cannot be read (not a regular file, no
// permission) is empty too and marked unreadable, so no write replaces what
// could not be kept.  It is opened without blocking: a FIFO or device named
// as the file does not hang the program.
struct Contents {
  std::vector<Line> lines;
  std::string bytes;
  bool unreadable = false;
};

Contents ReadContents(const std::string& fileName) {
  Contents c;
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    c.unreadable = errno != ENOENT && errno != ENOTDIR;
    return c;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    c.unreadable = true;
    return c;
  }
  std::string& bytes = c.bytes;
  try {
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        c.unreadable = true;
        bytes.clear();
        break;
      }
      if (n == 0) break;
      bytes.append(buf, static_cast<size_t>(n));
    }
  } catch (const std::exception&) {
    c.unreadable = true;
    bytes.clear();
  }
  ::close(fd);
  size_t p = 0;
  while (p < bytes.size()) {
    size_t q = bytes.find_first_of("\r\n", p);
    if (q == std::string::npos) {
      c.lines.push_back({bytes.substr(p), ""});
      break;
    }
    size_t e = q + 1;
    if (bytes[q] == '\r' && e < bytes.size() && bytes[e] == '\n') ++e;
    c.lines.push_back({bytes.substr(p, q - p), bytes.substr(q, e - q)});
    p = e;
  }
  return c;
}

std::vector<Line> ReadLines(const std::string& fileName) { return ReadContents(fileName).lines; }

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

// Writes all of bytes at offset 0 of fd; false on any failure.
bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

const char kTempMark[] = ".tmp~";

// Temporary files of saves that were killed before their rename: the name
// of the file, ".tmp~" and mkstemp's six characters (or none, as earlier
// saves named them).  Only regular files are removed.
void RemoveLeftoverTemps(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
  const std::string prefix = fileName.substr(slash == std::string::npos ? 0 : slash + 1) + kTempMark;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.size() != prefix.size() && name.size() != prefix.size() + 6) continue;
    const std::string path = (slash == std::string::npos ? "" : dir) + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }
  ::closedir(d);
}

// The new content replaces the old only once it is complete: it goes to a
// fresh temporary file beside the old one, which a rename then puts in its
// place.  Where no temporary file can be made (a folder we may not write to
// can still hold a file we may), the file is rewritten in place: the whole
// new content first, then the file is cut to its length, so a kill leaves
// the old content or the new (perhaps followed by old bytes), never an empty
// file; a failed write puts the old bytes back.
void WriteLines(const std::string& fileName, const std::vector<Line>& lines, const std::string& oldBytes) {
  std::string bytes;
  for (const Line& l : lines) bytes += l.text + l.eol;
  auto fail = [&]() { throw EIniFileException("Unable to write to " + fileName); };
  RemoveLeftoverTemps(fileName);
  std::string temp = fileName + kTempMark + "XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    fd = ::open(fileName.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail();
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
      ok = WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
      if (!ok && WriteAll(fd, oldBytes)) {
        if (::ftruncate(fd, static_cast<off_t>(oldBytes.size())) == 0) ::fsync(fd);
      }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) fail();
    return;
  }
  struct stat st {};
  ::fchmod(fd, ::stat(fileName.c_str(), &st) == 0 ? st.st_mode & 07777 : 0644);
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), fileName.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    fail();
  }
  // The rename itself reaches the disk with the folder.
  const size_t slash = fileName.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : fileName.substr(0, slash);
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

// What a write starts from; a file that exists but could not be read is
// not replaced.
Contents ReadForWrite(const std::string& fileName) {
  Contents c = ReadContents(fileName);
  if (c.unreadable) throw EIniFileException("Unable to write to " + fileName);
  return c;
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
  Contents old = ReadForWrite(FileName());
  std::vector<Line>& lines = old.lines;
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
  WriteLines(FileName(), lines, old.bytes);
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
  Contents old = ReadForWrite(FileName());
  std::vector<Line>& lines = old.lines;
  Range r = FindSection(lines, section);
  if (r.header < 0) return;
  lines.erase(lines.begin() + r.header, lines.begin() + r.end);
  WriteLines(FileName(), lines, old.bytes);
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  Contents old = ReadForWrite(FileName());
  std::vector<Line>& lines = old.lines;
  long k = FindKey(lines, FindSection(lines, section), ident, nullptr);
  if (k < 0) return;
  lines.erase(lines.begin() + k);
  WriteLines(FileName(), lines, old.bytes);
}
