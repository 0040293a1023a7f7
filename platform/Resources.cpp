#include "platform/Resources.h"
#include "platform/AsciiCase.h"

#include <cstring>
#include <memory>
#include <mutex>

namespace {

struct ResourceEntry {
  std::string type;
  std::string name;
  WORD language;
  const void* data;
  size_t size;
};

// Entries are registered by static constructors before main and never
// removed, so their addresses serve as the HRSRC/HGLOBAL handles.
struct ResourceTable {
  std::mutex lock;
  std::vector<std::unique_ptr<ResourceEntry>> entries;
};

ResourceTable& Table() {
  static ResourceTable table;
  return table;
}

std::string NameText(const char* name) {
  if (name == nullptr) return {};
  if (IS_INTRESOURCE(name)) {
    std::string text = std::to_string(reinterpret_cast<uintptr_t>(name));
    text.insert(text.begin(), '#');
    return text;
  }
  return name;
}

bool SameName(const std::string& a, const std::string& b) {
  return hkwin::AsciiSameText(a, b);
}

const ResourceEntry* Lookup(const char* type, const char* name, bool anyLanguage, WORD language) {
  if (type == nullptr || name == nullptr) return nullptr;
  const std::string t = NameText(type), n = NameText(name);
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  const ResourceEntry* fallback = nullptr;
  for (const auto& e : table.entries) {
    if (!SameName(e->type, t) || !SameName(e->name, n)) continue;
    if (anyLanguage || e->language == language) return e.get();
    if (e->language == LANG_NEUTRAL_ID && fallback == nullptr) fallback = e.get();
  }
  return fallback;
}

bool IsRegistered(const void* handle) {
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  for (const auto& e : table.entries)
    if (e.get() == handle) return true;
  return false;
}

}  // namespace

void RegisterResource(const char* type, const char* name, WORD language, const void* data, size_t size) {
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.entries.push_back(std::make_unique<ResourceEntry>(ResourceEntry{type, name, language, data, size}));
}

HRSRC FindResourceA(HMODULE, const char* name, const char* type) {
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(Lookup(type, name, true, 0)));
}

HRSRC FindResourceExA(HMODULE, const char* type, const char* name, WORD language) {
  return reinterpret_cast<HRSRC>(const_cast<ResourceEntry*>(Lookup(type, name, false, language)));
}

HGLOBAL LoadResource(HMODULE, HRSRC resource) {
  if (resource == nullptr || !IsRegistered(resource)) return nullptr;
  return reinterpret_cast<HGLOBAL>(resource);
}

const void* LockResource(HGLOBAL data) {
  if (data == nullptr || !IsRegistered(data)) return nullptr;
  return reinterpret_cast<const ResourceEntry*>(data)->data;
}

DWORD SizeofResource(HMODULE, HRSRC resource) {
  if (resource == nullptr || !IsRegistered(resource)) return 0;
  return static_cast<DWORD>(reinterpret_cast<const ResourceEntry*>(resource)->size);
}

BOOL FreeResource(HGLOBAL) { return FALSE; }

std::vector<std::string> ResourceNamesOfType(const char* type) {
  std::vector<std::string> names;
  const std::string t = NameText(type);
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  for (const auto& e : table.entries)
    if (SameName(e->type, t)) names.push_back(e->name);
  return names;
}
