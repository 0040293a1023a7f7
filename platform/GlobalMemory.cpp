// Global memory blocks in a handle table.
#include "platform/GlobalMemory.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/HandleTable.h"

namespace {
struct TGlobalBlock {
  struct FreeMemory {
    void operator()(uint8_t* p) const { std::free(p); }
  };
  std::unique_ptr<uint8_t, FreeMemory> Memory;
  size_t Size = 0;
  UINT Locks = 0;
  bool ClipboardOwned = false;
  bool Freed = false;  // out of the table; a lookup made before then must not use it
};

HandleTable<HGLOBAL, TGlobalBlock>& Blocks() {
  // Never destroyed: blocks may be freed from other statics' destructors.
  static auto* table = new HandleTable<HGLOBAL, TGlobalBlock>(0x4D);  // 'M'
  return *table;
}

// Guards the fields of every block (the table guards only its map).
std::mutex& BlockLock() {
  static auto* lock = new std::mutex;
  return *lock;
}

// Blocks taken from the clipboard while someone still held them locked: the
// pointer they hold stays valid rather than pointing at freed memory.
std::vector<std::shared_ptr<TGlobalBlock>>& Orphans() {
  static auto* orphans = new std::vector<std::shared_ptr<TGlobalBlock>>;
  return *orphans;
}
}  // namespace

HGLOBAL GlobalAlloc(UINT, size_t bytes) {
  if (bytes > GMEM_MAXBLOCK) return nullptr;
  auto block = std::make_shared<TGlobalBlock>();
  if (bytes > 0) {
    block->Memory.reset(static_cast<uint8_t*>(std::calloc(bytes, 1)));
    if (!block->Memory) return nullptr;
  }
  block->Size = bytes;
  return Blocks().Add(std::move(block));
}

void* GlobalLock(HGLOBAL handle) {
  auto block = Blocks().Get(handle);
  if (!block) return nullptr;
  std::lock_guard<std::mutex> guard(BlockLock());
  if (block->Freed || !block->Memory) return nullptr;
  if (block->Locks < GMEM_LOCKCOUNT) ++block->Locks;
  return block->Memory.get();
}

BOOL GlobalUnlock(HGLOBAL handle) {
  auto block = Blocks().Get(handle);
  if (!block) return FALSE;
  std::lock_guard<std::mutex> guard(BlockLock());
  if (block->Locks == 0) return FALSE;
  return --block->Locks > 0 ? TRUE : FALSE;
}

size_t GlobalSize(HGLOBAL handle) {
  auto block = Blocks().Get(handle);
  return block ? block->Size : 0;
}

UINT GlobalFlags(HGLOBAL handle) {
  auto block = Blocks().Get(handle);
  if (!block) return 0;
  std::lock_guard<std::mutex> guard(BlockLock());
  return block->Locks;
}

HGLOBAL GlobalFree(HGLOBAL handle) {
  auto block = Blocks().Get(handle);
  if (!block) return handle;
  std::lock_guard<std::mutex> guard(BlockLock());
  if (block->Freed || block->Locks > 0 || block->ClipboardOwned) return handle;
  block->Freed = true;
  Blocks().Remove(handle);
  return nullptr;
}

namespace global_memory {
bool SetClipboardOwned(HGLOBAL handle, bool owned) {
  auto block = Blocks().Get(handle);
  if (!block) return false;
  std::lock_guard<std::mutex> guard(BlockLock());
  if (block->Freed) return false;
  block->ClipboardOwned = owned;
  return true;
}

bool IsBlock(HGLOBAL handle) { return Blocks().Contains(handle); }

void FreeOwned(HGLOBAL handle) {
  auto block = Blocks().Remove(handle);
  if (!block) return;
  std::lock_guard<std::mutex> guard(BlockLock());
  block->Freed = true;
  if (block->Locks > 0) Orphans().push_back(std::move(block));
}
}  // namespace global_memory
