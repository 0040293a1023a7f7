// The clipboard's data formats inside the program: named formats, and data
// placed as global memory blocks (or bitmap and palette handles) between
// OpenClipboard and CloseClipboard. Headless and on X11 alike the data stays
// in this process; the text of Clipboard.h goes its own way.
#pragma once

#include "platform/Types.h"

constexpr UINT CF_TEXT = 1;
constexpr UINT CF_BITMAP = 2;
constexpr UINT CF_DIB = 8;
constexpr UINT CF_PALETTE = 9;
constexpr UINT CF_UNICODETEXT = 13;

// Ids of registered formats start here.
constexpr UINT CF_REGISTERED_FIRST = 0xC000;

// The id of a named format; the same name (in any letter case) gives the
// same id. 0 for a missing or empty name, one longer than 255 characters,
// or when every id is taken.
UINT RegisterClipboardFormatA(LPCSTR name);
// Copies a registered format's name (cut to maxCount - 1, NUL-terminated);
// its length, or 0 for a format that was not registered.
int GetClipboardFormatNameA(UINT format, LPSTR name, int maxCount);

// The calling thread opens the clipboard for `owner` (may be 0); refused
// while another thread or window has it open, or for a dead window.
BOOL OpenClipboard(HWND owner);
BOOL CloseClipboard();
// Frees all data on the clipboard; the opener becomes its owner.
BOOL EmptyClipboard();
// Places data of a format; the clipboard owns it from then on and frees it
// when it is replaced or emptied. CF_BITMAP and CF_PALETTE take GDI handles,
// every other format a global memory block. Returns the data, or nullptr
// when refused (clipboard not open by this thread, bad format or handle):
// the caller then still owns it.
HANDLE SetClipboardData(UINT format, HANDLE data);
// The clipboard's data of a format, still owned by the clipboard; nullptr
// when it has none or the clipboard is not open by this thread.
HANDLE GetClipboardData(UINT format);
BOOL IsClipboardFormatAvailable(UINT format);
int CountClipboardFormats();
// Formats on the clipboard in the order placed: 0 starts, 0 ends.
UINT EnumClipboardFormats(UINT format);
HWND GetClipboardOwner();
