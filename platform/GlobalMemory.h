// Movable global memory blocks behind handles, as the clipboard carries them.
// Handles are checked against a table: a stale, foreign or zero handle is a
// refused call. Blocks are always zero-filled and never move while locked.
#pragma once

#include <cstddef>

#include "platform/Types.h"

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GMEM_DDESHARE = 0x2000;
constexpr UINT GMEM_SHARE = 0x2000;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
constexpr UINT GMEM_LOCKCOUNT = 0x00FF;

// The largest block handed out; larger requests are refused, not attempted.
constexpr size_t GMEM_MAXBLOCK = size_t(1) << 36;

// A new block of `bytes` (0 is allowed: a block with nothing to lock), or
// nullptr when the memory is not there.
HGLOBAL GlobalAlloc(UINT flags, size_t bytes);
// The block's memory, its lock count raised; nullptr for a bad handle or a
// block of size 0.
void* GlobalLock(HGLOBAL block);
// TRUE while the block stays locked; FALSE when the count reached 0, or
// when the block was not locked or the handle is bad.
BOOL GlobalUnlock(HGLOBAL block);
// The size asked for at allocation; 0 for a bad handle.
size_t GlobalSize(HGLOBAL block);
// The lock count in GMEM_LOCKCOUNT; 0 for a bad handle.
UINT GlobalFlags(HGLOBAL block);
// nullptr when freed; the handle itself when refused: bad handle, a block
// still locked (its pointer is in use) or a block the clipboard owns.
HGLOBAL GlobalFree(HGLOBAL block);

namespace global_memory {
// For the clipboard: a block it owns cannot be freed by anyone else.
bool SetClipboardOwned(HGLOBAL block, bool owned);
bool IsBlock(HGLOBAL block);
// Frees a clipboard-owned block regardless of its locks.
void FreeOwned(HGLOBAL block);
}  // namespace global_memory
