#include "classlib/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <sstream>

namespace {

const char* const kStoreHeader = "HanakumoRegistry 1";
const char* const kRunKey = "software\\microsoft\\windows\\currentversion\\run";

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool SameText(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] == '\0') {
    struct passwd* pw = getpwuid(getuid());
    home = pw != nullptr ? pw->pw_dir : "/tmp";
  }
  return std::string(home) + "/.config";
}

// Joins the parts of a key path with '\', dropping empty parts.
std::string NormalizePath(const std::string& path) {
  std::string result;
  std::string part;
  auto flush = [&] {
    if (part.empty()) return;
    if (!result.empty()) result += '\\';
    result += part;
    part.clear();
  };
  for (char c : path) {
    if (c == '\\')
      flush();
    else
      part += c;
  }
  flush();
  return result;
}

bool IsRunKey(const std::string& path) { return Lower(path) == kRunKey; }

bool MakeDirectories(const std::string& path) {
  std::string partial;
  std::stringstream parts(path);
  std::string part;
  while (std::getline(parts, part, '/')) {
    if (part.empty()) {
      if (partial.empty()) partial = "/";
      continue;
    }
    if (!partial.empty() && partial.back() != '/') partial += '/';
    partial += part;
    if (mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Writes `content` to `fileName` through a temporary file in the same folder
// and a rename, so readers see the old file or the new one, never a part.
bool WriteFileAtomically(const std::string& fileName, const std::string& content) {
  std::string folder = fileName.substr(0, fileName.rfind('/'));
  if (!MakeDirectories(folder)) return false;
  std::string temp = fileName + ".XXXXXX";
  int fd = mkstemp(temp.data());
  if (fd < 0) return false;
  const char* data = content.data();
  size_t left = content.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = write(fd, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  if (ok && fsync(fd) != 0) ok = false;
  if (close(fd) != 0) ok = false;
  if (ok) fchmodat(AT_FDCWD, temp.c_str(), 0600, 0);
  if (ok && rename(temp.c_str(), fileName.c_str()) != 0) ok = false;
  if (!ok) unlink(temp.c_str());
  return ok;
}

bool ReadFile(const std::string& fileName, std::string& content) {
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  if (in.bad()) return false;
  content = buffer.str();
  return true;
}

// ---- The store file ----
// A header line, then "K <path>" for every key and "V <name>=<data>" for
// every string value of the key above it. '%', '=', CR, LF and NUL are
// written as %XX. Every line ends with LF, so a cut file shows as damaged.

struct Value {
  std::string Name;
  std::string Data;
};

struct Key {
  std::string Path;
  std::vector<Value> Values;
};

struct Store {
  std::vector<Key> Keys;
  bool Damaged = false;

  Key* Find(const std::string& path) {
    for (auto& key : Keys)
      if (SameText(key.Path, path)) return &key;
    return nullptr;
  }

  bool Exists(const std::string& path) {
    if (path.empty()) return true;
    std::string prefix = Lower(path) + "\\";
    for (auto& key : Keys) {
      std::string lower = Lower(key.Path);
      if (lower == Lower(path) || lower.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }

  Key& Create(const std::string& path) {
    if (Key* key = Find(path)) return *key;
    Keys.push_back(Key{path, {}});
    return Keys.back();
  }
};

std::string Encode(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (char c : text) {
    if (c == '%' || c == '=' || c == '\r' || c == '\n' || c == '\0') {
      auto b = static_cast<unsigned char>(c);
      out += '%';
      out += hex[b >> 4];
      out += hex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

bool Decode(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    if (i + 2 >= text.size()) return false;
    if (!std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
      return false;
    out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
    i += 2;
  }
  return true;
}

bool Parse(const std::string& content, Store& store) {
  if (content.empty() || content.back() != '\n') return false;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    lines.push_back(content.substr(start, end - start));
    start = end + 1;
  }
  if (lines.empty() || lines[0] != kStoreHeader) return false;
  Key* current = nullptr;
  for (size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty()) continue;
    if (line.size() < 2 || line[1] != ' ') return false;
    std::string body = line.substr(2);
    if (line[0] == 'K') {
      std::string path;
      if (!Decode(body, path)) return false;
      current = &store.Create(NormalizePath(path));
    } else if (line[0] == 'V') {
      size_t eq = body.find('=');
      Value value;
      if (current == nullptr || eq == std::string::npos || !Decode(body.substr(0, eq), value.Name) ||
          !Decode(body.substr(eq + 1), value.Data))
        return false;
      current->Values.push_back(value);
    } else {
      return false;
    }
  }
  return true;
}

Store LoadStore() {
  Store store;
  std::string content;
  std::string fileName = TRegistry::StoreFileName();
  if (access(fileName.c_str(), F_OK) != 0) return store;  // no store yet
  if (!ReadFile(fileName, content) || !Parse(content, store)) {
    store = Store();
    store.Damaged = true;
  }
  return store;
}

bool SaveStore(const Store& store) {
  std::string fileName = TRegistry::StoreFileName();
  std::string content = std::string(kStoreHeader) + "\n";
  for (const auto& key : store.Keys) {
    content += "K " + Encode(key.Path) + "\n";
    for (const auto& value : key.Values) content += "V " + Encode(value.Name) + "=" + Encode(value.Data) + "\n";
  }
  if (store.Damaged) {
    std::string aside = fileName + ".damaged";
    rename(fileName.c_str(), aside.c_str());
  }
  return WriteFileAtomically(fileName, content);
}

// ---- Autostart entries for the Run key ----

bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos && name.find('\n') == std::string::npos &&
         name.find('\r') == std::string::npos;
}

std::string EntryFileName(const std::string& name) { return TRegistry::AutostartDirectory() + "/" + name + ".desktop"; }

// A desktop entry's string escapes.
std::string EscapeEntryString(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case ' ':
        out += i == 0 ? "\\s" : " ";
        break;
      default: out += c;
    }
  }
  return out;
}

std::string UnescapeEntryString(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    switch (c) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      default: out += c;
    }
  }
  return out;
}

// The program path as one argument of an Exec line.
std::string QuoteExecArgument(const std::string& path) {
  static const std::string reserved = " \t\n\"'\\><~|&;$*?#()`";
  std::string arg;
  for (char c : path) {
    if (c == '%')
      arg += "%%";
    else
      arg += c;
  }
  if (arg.find_first_of(reserved) == std::string::npos) return arg;
  std::string quoted = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string UnquoteExec(const std::string& exec) {
  std::string out;
  if (!exec.empty() && exec[0] == '"') {
    for (size_t i = 1; i < exec.size() && exec[i] != '"'; ++i) {
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      out += exec[i];
    }
  } else {
    out = exec;
  }
  std::string result;
  for (size_t i = 0; i < out.size(); ++i) {
    result += out[i];
    if (out[i] == '%' && i + 1 < out.size() && out[i + 1] == '%') ++i;
  }
  return result;
}

bool ReadEntry(const std::string& name, std::string& data) {
  if (!IsEntryName(name)) return false;
  std::string content;
  if (!ReadFile(EntryFileName(name), content)) return false;
  std::istringstream lines(content);
  std::string line, exec, value;
  bool haveExec = false, haveValue = false, hidden = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("Exec=", 0) == 0) {
      exec = UnescapeEntryString(line.substr(5));
      haveExec = true;
    } else if (line.rfind("X-Hanakumo-Value=", 0) == 0) {
      value = UnescapeEntryString(line.substr(17));
      haveValue = true;
    } else if (line == "Hidden=true") {
      hidden = true;
    }
  }
  if (hidden || (!haveExec && !haveValue)) return false;
  data = haveValue ? value : UnquoteExec(exec);
  return true;
}

bool WriteEntry(const std::string& name, const std::string& data) {
  if (!IsEntryName(name) || data.find_first_of(std::string("\n\r\0", 3)) != std::string::npos) return false;
  std::string content = "[Desktop Entry]\nType=Application\nName=" + EscapeEntryString(name) +
                        "\nExec=" + EscapeEntryString(QuoteExecArgument(data)) +
                        "\nX-Hanakumo-Value=" + EscapeEntryString(data) + "\nX-GNOME-Autostart-enabled=true\n";
  return WriteFileAtomically(EntryFileName(name), content);
}

std::vector<std::string> EntryNames() {
  std::vector<std::string> names;
  DIR* dir = opendir(TRegistry::AutostartDirectory().c_str());
  if (dir == nullptr) return names;
  while (struct dirent* entry = readdir(dir)) {
    std::string file = entry->d_name;
    const std::string suffix = ".desktop";
    if (file.size() <= suffix.size() || file.compare(file.size() - suffix.size(), suffix.size(), suffix) != 0)
      continue;
    std::string name = file.substr(0, file.size() - suffix.size());
    std::string data;
    if (ReadEntry(name, data)) names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

[[noreturn]] void FailedToSet(const std::string& name) {
  throw ERegistryException("Failed to set data for '" + name + "'");
}

}  // namespace

TRegistry::TRegistry() : FRootKey(HKEY_CURRENT_USER) {}
TRegistry::~TRegistry() { CloseKey(); }

std::string TRegistry::StoreFileName() { return ConfigHome() + "/hanakumo/registry"; }
std::string TRegistry::AutostartDirectory() { return ConfigHome() + "/autostart"; }

void TRegistry::SetRootKey(HKEY value) {
  CloseKey();
  FRootKey = value;
}

std::string TRegistry::Resolve(const std::string& key) const {
  if (!key.empty() && key[0] == '\\') return NormalizePath(key);
  if (!FKeyOpen || FCurrentPath.empty()) return NormalizePath(key);
  return NormalizePath(FCurrentPath + "\\" + key);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  std::string path = Resolve(key);
  Store store = LoadStore();
  if (!store.Exists(path)) {
    if (!canCreate) return false;
    store.Create(path);
    if (!SaveStore(store)) return false;
  }
  FCurrentPath = path;
  FKeyOpen = true;
  FReadOnly = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  std::string path = Resolve(key);
  if (!LoadStore().Exists(path) && !IsRunKey(path)) return false;
  FCurrentPath = path;
  FKeyOpen = true;
  FReadOnly = true;
  return true;
}

void TRegistry::CloseKey() {
  FCurrentPath.clear();
  FKeyOpen = false;
  FReadOnly = false;
}

bool TRegistry::KeyExists(const std::string& key) {
  if (FRootKey != HKEY_CURRENT_USER) return false;
  std::string path = Resolve(key);
  return LoadStore().Exists(path);
}

std::string TRegistry::ReadString(const std::string& name) {
  if (!FKeyOpen) return std::string();
  std::string data;
  if (IsRunKey(FCurrentPath)) return ReadEntry(name, data) ? data : std::string();
  Store store = LoadStore();
  if (Key* key = store.Find(FCurrentPath))
    for (const auto& value : key->Values)
      if (SameText(value.Name, name)) return value.Data;
  return std::string();
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  if (!FKeyOpen || FReadOnly) FailedToSet(name);
  if (IsRunKey(FCurrentPath)) {
    if (!WriteEntry(name, value)) FailedToSet(name);
    return;
  }
  Store store = LoadStore();
  Key& key = store.Create(FCurrentPath);
  auto it = std::find_if(key.Values.begin(), key.Values.end(), [&](const Value& v) { return SameText(v.Name, name); });
  if (it != key.Values.end())
    it->Data = value;
  else
    key.Values.push_back(Value{name, value});
  if (!SaveStore(store)) FailedToSet(name);
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (!FKeyOpen || FReadOnly) return false;
  if (IsRunKey(FCurrentPath)) {
    std::string data;
    if (!ReadEntry(name, data)) return false;
    return unlink(EntryFileName(name).c_str()) == 0;
  }
  Store store = LoadStore();
  Key* key = store.Find(FCurrentPath);
  if (key == nullptr) return false;
  auto it = std::find_if(key->Values.begin(), key->Values.end(), [&](const Value& v) { return SameText(v.Name, name); });
  if (it == key->Values.end()) return false;
  key->Values.erase(it);
  return SaveStore(store);
}

bool TRegistry::ValueExists(const std::string& name) {
  if (!FKeyOpen) return false;
  std::string data;
  if (IsRunKey(FCurrentPath)) return ReadEntry(name, data);
  Store store = LoadStore();
  if (Key* key = store.Find(FCurrentPath))
    for (const auto& value : key->Values)
      if (SameText(value.Name, name)) return true;
  return false;
}

std::vector<std::string> TRegistry::GetValueNames() {
  std::vector<std::string> names;
  if (!FKeyOpen) return names;
  if (IsRunKey(FCurrentPath)) return EntryNames();
  Store store = LoadStore();
  if (Key* key = store.Find(FCurrentPath))
    for (const auto& value : key->Values) names.push_back(value.Name);
  return names;
}
