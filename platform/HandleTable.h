// A table of live objects behind small-integer handles. A handle that is 0,
// stale (its object was removed) or of another table looks up as nullptr, so
// a call given a bad handle is refused instead of crashing. Ids are not
// reused until the 24-bit counter wraps, so a stale handle stays stale.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

template <typename Handle, typename Object>
class HandleTable {
 public:
  // `tag` (1..255) goes into the top bits so handles of different kinds differ.
  explicit HandleTable(uint32_t tag) : FTag(tag << 24) {}

  Handle Add(std::shared_ptr<Object> object) {
    std::lock_guard<std::mutex> guard(FLock);
    uint32_t id;
    do {
      FNext = (FNext + 1) & 0xFFFFFF;
      if (FNext == 0) FNext = 1;
      id = FTag | FNext;
    } while (FObjects.count(id) != 0);
    FObjects.emplace(id, std::move(object));
    return reinterpret_cast<Handle>(static_cast<uintptr_t>(id));
  }

  std::shared_ptr<Object> Get(Handle handle) const {
    std::lock_guard<std::mutex> guard(FLock);
    auto it = FObjects.find(Key(handle));
    return it == FObjects.end() ? nullptr : it->second;
  }

  bool Contains(Handle handle) const { return Get(handle) != nullptr; }

  // Removes the object and returns it (nullptr when the handle was not live).
  std::shared_ptr<Object> Remove(Handle handle) {
    std::lock_guard<std::mutex> guard(FLock);
    auto it = FObjects.find(Key(handle));
    if (it == FObjects.end()) return nullptr;
    auto object = std::move(it->second);
    FObjects.erase(it);
    return object;
  }

  template <typename F>
  void ForEach(F&& f) const {
    std::unordered_map<uint32_t, std::shared_ptr<Object>> copy;
    {
      std::lock_guard<std::mutex> guard(FLock);
      copy = FObjects;
    }
    for (auto& [id, object] : copy) f(reinterpret_cast<Handle>(static_cast<uintptr_t>(id)), object);
  }

 private:
  static uint32_t Key(Handle handle) {
    uintptr_t v = reinterpret_cast<uintptr_t>(handle);
    return v > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(v);
  }

  uint32_t FTag;
  uint32_t FNext = 0;
  mutable std::mutex FLock;
  std::unordered_map<uint32_t, std::shared_ptr<Object>> FObjects;
};
