#include "classlib/IniFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>
#include <vector>

#include "classlib/SysUtils.h"

namespace {

constexpr size_t npos = std::string::npos;

// When the file was last seen, as the system tells it.
struct Stamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{}, ctime{};
  bool operator==(const Stamp& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

Stamp StampOf(const struct stat& st) {
  Stamp s;
  s.dev = st.st_dev;
  s.ino = st.st_ino;
  s.size = st.st_size;
  s.mtime = st.st_mtim;
  s.ctime = st.st_ctim;
  return s;
}

// File times move in coarse steps (a clock tick, two seconds on some
// filesystems): a file changed this recently could change again without
// its stamp showing it, so it is not kept for the next read.
constexpr time_t kSettledSeconds = 3;

bool Settled(const Stamp& s, const timespec& now) {
  return s.mtime.tv_sec + kSettledSeconds < now.tv_sec && s.ctime.tv_sec + kSettledSeconds < now.tv_sec;
}

}  // namespace

// The file as it stands: its bytes, whole.  A missing file is empty; one
// that exists but cannot be read (not a regular file, no permission) is
// empty too and marked unreadable, so no write replaces what could not be
// kept.  It is opened without blocking: a FIFO or device named as the file
// does not hang the program.
struct TIniFile::TContents {
  std::string bytes;
  bool unreadable = false;
  bool exists = false;
  Stamp stamp;
};

namespace {

using Contents = TIniFile::TContents;

std::shared_ptr<const Contents> ReadContents(const std::string& fileName) {
  auto c = std::make_shared<Contents>();
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    c->unreadable = errno != ENOENT && errno != ENOTDIR;
    c->exists = errno != ENOENT && errno != ENOTDIR;
    return c;
  }
  c->exists = true;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    c->unreadable = true;
    return c;
  }
  c->stamp = StampOf(st);
  std::string& bytes = c->bytes;
  try {
    // Room for the whole file at once: a growing buffer would need twice
    // the file at its last step
    // (and one byte more, to see the end without growing).
    bytes.resize(static_cast<size_t>(st.st_size) + 1);
    size_t got = 0;
    for (;;) {
      if (got == bytes.size()) bytes.resize(got + got / 2 + 65536);  // it grew meanwhile
      ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        c->unreadable = true;
        got = 0;
        break;
      }
      if (n == 0) break;
      got += static_cast<size_t>(n);
    }
    bytes.resize(got);
  } catch (const std::exception&) {
    c->unreadable = true;
    std::string().swap(bytes);
  }
  ::close(fd);
  return c;
}

// One line: [start, textEnd) its text, [textEnd, next) its line break.
struct LineRef {
  size_t start = 0, textEnd = 0, next = 0;
};

// The lines of the bytes from a given offset.  A line ends at CR, LF or
// CR LF; each break character is searched for once over the whole scan.
class LineScanner {
 public:
  LineScanner(std::string_view bytes, size_t from) : B(bytes), P(from) {}
  bool Next(LineRef& line) {
    if (P >= B.size()) return false;
    const size_t q = std::min(Find('\n', FLf), Find('\r', FCr));
    line.start = P;
    if (q == npos) {
      line.textEnd = line.next = P = B.size();
      return true;
    }
    size_t e = q + 1;
    if (B[q] == '\r' && e < B.size() && B[e] == '\n') ++e;
    line.textEnd = q;
    line.next = P = e;
    return true;
  }
  // The next line that holds c. Lines without it are passed over at the
  // speed of a memchr: a section of millions of lines with no key in them
  // costs a scan of its bytes, not a step a line.
  bool NextHolding(char c, LineRef& line) {
    if (P >= B.size()) return false;
    const void* f = std::memchr(B.data() + P, c, B.size() - P);
    if (!f) {
      P = B.size();
      return false;
    }
    const size_t at = static_cast<size_t>(static_cast<const char*>(f) - B.data());
    // Its line starts after the last break before it.
    size_t start = P;
    for (const char brk : {'\n', '\r'})
      if (const void* b = ::memrchr(B.data() + P, brk, at - P))
        start = std::max(start, static_cast<size_t>(static_cast<const char*>(b) - B.data()) + 1);
    P = start;
    return Next(line);
  }

 private:
  // The first c at or after P; `at` remembers the last answer.
  size_t Find(char c, size_t& at) {
    if (at != npos && (at == kUnknown || at < P)) {
      const void* f = std::memchr(B.data() + P, c, B.size() - P);
      at = f ? static_cast<size_t>(static_cast<const char*>(f) - B.data()) : npos;
    }
    return at;
  }
  static constexpr size_t kUnknown = npos - 1;
  std::string_view B;
  size_t P;
  size_t FLf = kUnknown, FCr = kUnknown;
};

std::string_view TrimView(std::string_view s) {
  size_t i = 0, j = s.size();
  while (i < j && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  while (j > i && static_cast<unsigned char>(s[j - 1]) <= ' ') --j;
  return s.substr(i, j - i);
}

bool SameTextView(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

// "[name]" gives true and the name.
bool SectionName(std::string_view line, std::string_view& name) {
  std::string_view t = TrimView(line);
  if (t.size() < 2 || t.front() != '[') return false;
  size_t close = t.find(']');
  if (close == npos) return false;
  name = TrimView(t.substr(1, close - 1));
  return true;
}

bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view t = TrimView(line);
  if (t.empty() || t[0] == ';') return false;
  size_t eq = t.find('=');
  if (eq == npos) return false;
  key = TrimView(t.substr(0, eq));
  value = TrimView(t.substr(eq + 1));
  // Quotes around the whole value are dropped, as the profile functions do.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
    value = value.substr(1, value.size() - 2);
  return !key.empty();
}

std::string_view TextOf(std::string_view bytes, const LineRef& l) {
  return bytes.substr(l.start, l.textEnd - l.start);
}

// The first section of that name: its header line, and the byte range
// [begin, end) of the lines after it up to the next header.
struct Range {
  bool found = false;
  LineRef header;
  size_t begin = 0, end = 0;
};

// The lines that may be section headers, those whose first character after
// any spaces is '[', one after the other. Such lines are few in a file of
// settings, so the brackets are looked for alone rather than every line.
class HeaderScanner {
 public:
  explicit HeaderScanner(std::string_view bytes) : B(bytes) {}
  bool Next(LineRef& line) {
    while (P < B.size()) {
      const void* f = std::memchr(B.data() + P, '[', B.size() - P);
      if (!f) break;
      const size_t bracket = static_cast<size_t>(static_cast<const char*>(f) - B.data());
      size_t start = bracket;
      while (start > 0 && Blank(B[start - 1])) --start;
      P = bracket + 1;
      if (start > 0 && !Break(B[start - 1])) continue;  // inside a line
      size_t end = bracket;
      while (end < B.size() && !Break(B[end])) ++end;
      size_t next = end;
      if (next < B.size()) next += B[next] == '\r' && next + 1 < B.size() && B[next + 1] == '\n' ? 2 : 1;
      line = LineRef{start, end, next};
      P = next;
      return true;
    }
    P = B.size();
    return false;
  }

 private:
  static bool Break(char c) { return c == '\r' || c == '\n'; }
  // What trimming takes from a line's start: control characters and spaces.
  static bool Blank(char c) { return static_cast<unsigned char>(c) <= ' ' && !Break(c); }
  std::string_view B;
  size_t P = 0;
};

Range FindSection(std::string_view bytes, const std::string& section) {
  Range r;
  HeaderScanner headers(bytes);
  LineRef l;
  std::string_view name;
  while (headers.Next(l)) {
    if (!SectionName(TextOf(bytes, l), name)) continue;
    if (r.found) {
      r.end = l.start;
      return r;
    }
    if (SameTextView(name, section)) {
      r.found = true;
      r.header = l;
      r.begin = l.next;
    }
  }
  if (r.found) r.end = bytes.size();
  return r;
}

// Calls f(line, key, value) for each key line of the range until f says
// stop. A key line holds a '=', so only such lines are looked at.
template <typename F>
void ForEachKey(std::string_view bytes, const Range& r, F f) {
  if (!r.found) return;
  LineScanner lines(bytes.substr(0, r.end), r.begin);
  LineRef l;
  std::string_view k, v;
  while (lines.NextHolding('=', l))
    if (KeyValue(TextOf(bytes, l), k, v) && !f(l, k, v)) return;
}

bool FindKey(std::string_view bytes, const Range& r, const std::string& ident, LineRef* line, std::string* value) {
  bool found = false;
  ForEachKey(bytes, r, [&](const LineRef& l, std::string_view k, std::string_view v) {
    if (!SameTextView(k, ident)) return true;
    if (line) *line = l;
    if (value) value->assign(v);
    found = true;
    return false;
  });
  return found;
}

// Where a key added to the section goes: after its last line that is not
// blank, or after its header when it has none; and whether that line ends
// in a break. The blank tail is stepped over from the section's end.
size_t SectionAppendPoint(std::string_view bytes, const Range& r, bool& lastHasEol) {
  size_t last = r.end;
  while (last > r.begin && static_cast<unsigned char>(bytes[last - 1]) <= ' ') --last;
  if (last == r.begin) {
    lastHasEol = r.header.next > r.header.textEnd;
    return r.begin;
  }
  LineScanner lines(bytes.substr(0, r.end), last - 1);
  LineRef l;
  lines.Next(l);
  lastHasEol = l.next > l.textEnd;
  return l.next;
}

std::string DefaultEol(std::string_view bytes) {
  LineScanner lines(bytes, 0);
  LineRef l;
  while (lines.Next(l))
    if (l.next > l.textEnd) return std::string(bytes.substr(l.textEnd, l.next - l.textEnd));
  return "\r\n";
}

// A change of the bytes: [Start, End) becomes Text.
struct Splice {
  size_t Start = 0, End = 0;
  std::string Text;
};

// The changes that the held key writes make, found in one pass over each
// section they name: what writing them one after the other would make. The
// last write of a key gives its line, which replaces the key's first line
// in the section's first occurrence; keys the section lacks follow its
// last line that is not blank, and sections the file lacks follow its end,
// each in the order of their first write.
std::vector<Splice> PlanKeyWrites(std::string_view bytes, const std::vector<TIniFile::TKeyWrite>& writes) {
  struct Key {
    const TIniFile::TKeyWrite* Last;
    bool Placed = false;
  };
  struct Section {
    const std::string* Name;
    std::vector<Key> Keys;
    Range Found;
  };
  std::vector<Section> sections;
  for (const auto& w : writes) {
    auto s = std::find_if(sections.begin(), sections.end(),
                          [&](const Section& x) { return SameTextView(*x.Name, w.Section); });
    if (s == sections.end()) s = sections.insert(s, Section{&w.Section, {}, FindSection(bytes, w.Section)});
    auto k = std::find_if(s->Keys.begin(), s->Keys.end(),
                          [&](const Key& x) { return SameTextView(x.Last->Ident, w.Ident); });
    if (k == s->Keys.end())
      s->Keys.push_back(Key{&w});
    else
      k->Last = &w;
  }
  const std::string eol = DefaultEol(bytes);
  std::vector<Splice> splices;
  bool endHasEol = bytes.empty() || bytes.back() == '\n' || bytes.back() == '\r';
  // The sections the file has first: a new section always goes after them.
  for (Section& s : sections) {
    if (!s.Found.found) continue;
    size_t left = s.Keys.size();
    ForEachKey(bytes, s.Found, [&](const LineRef& l, std::string_view k, std::string_view) {
      for (Key& key : s.Keys)
        if (!key.Placed && SameTextView(k, key.Last->Ident)) {
          key.Placed = true;
          splices.push_back(Splice{l.start, l.textEnd, key.Last->Line});
          --left;
          break;
        }
      return left > 0;
    });
    std::string added;
    for (const Key& key : s.Keys)
      if (!key.Placed) added += key.Last->Line + eol;
    if (added.empty()) continue;
    bool lastHasEol = true;
    const size_t at = SectionAppendPoint(bytes, s.Found, lastHasEol);
    splices.push_back(Splice{at, at, (lastHasEol ? "" : eol) + added});
    if (at == bytes.size()) endHasEol = true;
  }
  std::string appended;
  for (const Section& s : sections) {
    if (s.Found.found) continue;
    appended += (endHasEol ? "" : eol) + "[" + *s.Name + "]" + eol;
    endHasEol = true;
    for (const Key& key : s.Keys) appended += key.Last->Line + eol;
  }
  if (!appended.empty()) splices.push_back(Splice{bytes.size(), bytes.size(), std::move(appended)});
  // A key's new line comes before a key added after that line.
  std::stable_sort(splices.begin(), splices.end(), [](const Splice& a, const Splice& b) { return a.Start < b.Start; });
  return splices;
}

// The bytes with the changes made, as the pieces that follow each other.
std::vector<std::string_view> SplicedPieces(std::string_view bytes, const std::vector<Splice>& splices) {
  std::vector<std::string_view> pieces;
  size_t at = 0;
  for (const Splice& s : splices) {
    pieces.push_back(bytes.substr(at, s.Start - at));
    pieces.push_back(s.Text);
    at = s.End;
  }
  pieces.push_back(bytes.substr(at));
  return pieces;
}

size_t SizeOf(const std::vector<std::string_view>& pieces) {
  size_t size = 0;
  for (std::string_view p : pieces) size += p.size();
  return size;
}

std::string Joined(const std::vector<std::string_view>& pieces) {
  std::string out;
  out.reserve(SizeOf(pieces));
  for (std::string_view p : pieces) out += p;
  return out;
}

// Writes the pieces one after the other from offset 0 of fd; false on any
// failure.
bool WriteAll(int fd, const std::vector<std::string_view>& pieces) {
  off_t offset = 0;
  for (std::string_view piece : pieces) {
    size_t done = 0;
    while (done < piece.size()) {
      ssize_t n = ::pwrite(fd, piece.data() + done, piece.size() - done, offset);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
      offset += n;
    }
  }
  return true;
}


const char kTempMark[] = ".tmp~";

// Temporary files of saves that were killed before their rename: the name
// of the file, ".tmp~" and mkstemp's six characters (or none, as earlier
// saves named them).  Only regular files are removed.
void RemoveLeftoverTemps(const std::string& fileName) {
  const size_t slash = fileName.rfind('/');
  const std::string dir = slash == npos ? "." : fileName.substr(0, slash + 1);
  const std::string prefix = fileName.substr(slash == npos ? 0 : slash + 1) + kTempMark;
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name.compare(0, prefix.size(), prefix) != 0) continue;
    if (name.size() != prefix.size() && name.size() != prefix.size() + 6) continue;
    const std::string path = (slash == npos ? "" : dir) + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(path.c_str());
  }
  ::closedir(d);
}

[[noreturn]] void FailWrite(const std::string& fileName) {
  throw EIniFileException("Unable to write to " + fileName);
}

// What makes a write fail before anything is written, said at the write
// itself: a file the user may not write, or, for a new file, a folder that
// is not there or may not be written.
void CheckMayBeWritten(const std::string& fileName) {
  const std::string target = IniFileSaveTarget(fileName);
  if (!IniFileMayBeSaved(target)) FailWrite(fileName);
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) return;
  const size_t slash = target.rfind('/');
  const std::string dir = slash == npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  if (::faccessat(AT_FDCWD, dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0) FailWrite(fileName);
}

// The new content replaces the old only once it is complete: it goes to a
// fresh temporary file beside the old one, which a rename then puts in its
// place.  Where no temporary file can be made (a folder we may not write to
// can still hold a file we may), the file is rewritten in place: the whole
// new content first, then the file is cut to its length, so a kill leaves
// the old content or the new (perhaps followed by old bytes), never an empty
// file; a failed write puts the old bytes back.
void WriteBytes(const std::string& fileName, const std::vector<std::string_view>& bytes) {
  // A linked file is saved where the link points, and the link stays; a
  // file the user may not write is not replaced.
  const std::string target = IniFileSaveTarget(fileName);
  if (!IniFileMayBeSaved(target)) FailWrite(fileName);
  RemoveLeftoverTemps(target);
  std::string temp = target + kTempMark + "XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) FailWrite(fileName);
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    // What a failed write puts back: the file as it is now.
    std::shared_ptr<const TIniFile::TContents> old;
    if (ok) {
      old = ReadContents(target);
      ok = !old->unreadable;
    }
    if (ok) {
      const std::string& oldBytes = old->bytes;
      ok = WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(SizeOf(bytes))) == 0 && ::fsync(fd) == 0;
      if (!ok && WriteAll(fd, {oldBytes})) {
        if (::ftruncate(fd, static_cast<off_t>(oldBytes.size())) == 0) ::fsync(fd);
      }
    }
    ok = ::close(fd) == 0 && ok;
    if (!ok) FailWrite(fileName);
    return;
  }
  struct stat st {};
  ::fchmod(fd, ::stat(target.c_str(), &st) == 0 ? st.st_mode & 07777 : 0644);
  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    FailWrite(fileName);
  }
  // The rename itself reaches the disk with the folder.
  const size_t slash = target.rfind('/');
  const std::string dir = slash == npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace

std::string IniFileSaveTarget(const std::string& fileName) {
  std::string path = fileName;
  // A chain of links is followed as far as the system would follow it.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    std::string to(static_cast<size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
    const ssize_t n = ::readlink(path.c_str(), to.data(), to.size());
    if (n <= 0 || static_cast<size_t>(n) >= to.size()) return path;
    to.resize(static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    path = to[0] == '/' || slash == npos ? to : path.substr(0, slash + 1) + to;
  }
  return path;
}

bool IniFileMayBeSaved(const std::string& target) {
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0) return true;  // a new file
  return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

std::shared_ptr<const TIniFile::TContents> TIniFile::Contents() const {
  if (FHeld) {
    PlaceKeyWrites();
    return FHeld;
  }
  // Every call sees the file as it is: the bytes read last serve again only
  // while the file's stamp shows no change since.
  struct stat st {};
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  if (FCache && ::stat(FileName().c_str(), &st) == 0 && S_ISREG(st.st_mode) && StampOf(st) == FCache->stamp)
    return FCache;
  FCache.reset();
  auto c = ReadContents(FileName());
  if (c->exists && !c->unreadable && Settled(c->stamp, now)) FCache = c;
  return c;
}

// The first write of a batch takes the file as it stands (a file that
// exists but could not be read is not replaced); the others change what is
// held.
void TIniFile::HoldFile() {
  if (!FHeld) {
    CheckMayBeWritten(FileName());
    auto c = Contents();
    if (c->unreadable) FailWrite(FileName());
    FCache.reset();
    auto held = std::make_shared<TContents>();
    // Bytes nobody else holds move over rather than being copied.
    if (c.use_count() == 1)
      held->bytes = std::move(const_cast<TContents&>(*c).bytes);
    else
      held->bytes = c->bytes;
    held->exists = c->exists;
    FHeld = std::move(held);
    FHeldChanged = false;
  }
}

void TIniFile::PlaceKeyWrites() const {
  if (FKeyWrites.empty()) return;
  FHeld->bytes = Joined(SplicedPieces(FHeld->bytes, PlanKeyWrites(FHeld->bytes, FKeyWrites)));
  FKeyWrites.clear();
}

std::string& TIniFile::BytesForWrite() {
  HoldFile();
  PlaceKeyWrites();
  return FHeld->bytes;
}

// The key writes still held go straight into the rewrite, piece by piece:
// the new content is never made whole in memory.
void TIniFile::UpdateFile() {
  if (!FHeld) return;
  std::shared_ptr<TContents> held = std::move(FHeld);
  FHeld.reset();
  std::vector<TKeyWrite> writes = std::move(FKeyWrites);
  FKeyWrites.clear();
  if (!FHeldChanged) return;
  FHeldChanged = false;
  const std::vector<Splice> splices = PlanKeyWrites(held->bytes, writes);
  WriteBytes(FileName(), SplicedPieces(held->bytes, splices));
}

TIniFile::TIniFile(std::string fileName)
    : TCustomIniFile(std::move(fileName)), FUncaught(std::uncaught_exceptions()) {}

TIniFile::~TIniFile() {
  if (std::uncaught_exceptions() > FUncaught) return;
  try {
    UpdateFile();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
}

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

bool TIniFile::SectionExists(const std::string& section) const {
  auto c = Contents();
  bool any = false;
  ForEachKey(c->bytes, FindSection(c->bytes, section), [&](const LineRef&, std::string_view, std::string_view) {
    any = true;
    return false;
  });
  return any;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident) const {
  auto c = Contents();
  return FindKey(c->bytes, FindSection(c->bytes, section), ident, nullptr, nullptr);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def) const {
  auto c = Contents();
  std::string value;
  return FindKey(c->bytes, FindSection(c->bytes, section), ident, nullptr, &value) ? value : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value) {
  if (Trim(section).empty() || Trim(ident).empty() ||
      section.find_first_of("\r\n]") != std::string::npos || ident.find_first_of("\r\n=") != std::string::npos)
    FailWrite(FileName());
  // A line break in the value would make a line of its own on reading.
  std::string v = value;
  for (char& ch : v)
    if (ch == '\r' || ch == '\n') ch = ' ';
  HoldFile();
  FKeyWrites.push_back(TKeyWrite{section, ident, ident + "=" + v});
  FHeldChanged = true;
}

void TIniFile::ReadSection(const std::string& section, TStrings& idents) const {
  idents.Clear();
  auto c = Contents();
  ForEachKey(c->bytes, FindSection(c->bytes, section), [&](const LineRef&, std::string_view k, std::string_view) {
    const std::string key(k);
    if (idents.IndexOf(key) < 0) idents.Add(key);
    return true;
  });
}

void TIniFile::ReadSections(TStrings& sections) const {
  sections.Clear();
  auto c = Contents();
  HeaderScanner headers(c->bytes);
  LineRef l;
  std::string_view name;
  while (headers.Next(l))
    if (SectionName(TextOf(c->bytes, l), name) && sections.IndexOf(std::string(name)) < 0)
      sections.Add(std::string(name));
}

void TIniFile::EraseSection(const std::string& section) {
  std::string& bytes = BytesForWrite();
  Range r = FindSection(bytes, section);
  if (!r.found) return;
  bytes.erase(r.header.start, r.end - r.header.start);
  FHeldChanged = true;
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident) {
  std::string& bytes = BytesForWrite();
  LineRef k;
  if (!FindKey(bytes, FindSection(bytes, section), ident, &k, nullptr)) return;
  bytes.erase(k.start, k.next - k.start);
  FHeldChanged = true;
}
