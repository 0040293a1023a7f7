#include "platform/Caret.h"

#include <map>
#include <mutex>

#include "platform/Driver.h"
#include "platform/Messages.h"
#include "platform/Window.h"
#include "platform/WindowInternals.h"

using namespace hkwin;

namespace {

struct TCaret {
  HWND Owner = nullptr;
  int Width = 0, Height = 0;
  POINT Pos{0, 0};
};

std::mutex gCaretLock;
std::map<DWORD, TCaret> gCarets;

// The caret's rectangle on its top-level window's surface, for the display.
void Tell(const TCaret& caret) {
  PWindow w = Find(caret.Owner);
  if (!w) return;
  const POINT o = SurfaceOffset(*w, true);
  const RECT r{o.x + caret.Pos.x, o.y + caret.Pos.y, o.x + caret.Pos.x + caret.Width, o.y + caret.Pos.y + caret.Height};
  Driver().CaretMoved(Root(caret.Owner), r);
}

}  // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
  PWindow w = Find(hwnd);
  if (!w || w->ThreadId != GetCurrentThreadId()) return FALSE;
  TCaret caret;
  {
    std::lock_guard<std::mutex> guard(gCaretLock);
    caret = gCarets[GetCurrentThreadId()] = TCaret{hwnd, width > 0 ? width : 1, height > 0 ? height : 1, {0, 0}};
  }
  Tell(caret);
  return TRUE;
}

BOOL DestroyCaret() {
  std::lock_guard<std::mutex> guard(gCaretLock);
  return gCarets.erase(GetCurrentThreadId()) != 0 ? TRUE : FALSE;
}

BOOL SetCaretPos(int x, int y) {
  TCaret caret;
  {
    std::lock_guard<std::mutex> guard(gCaretLock);
    auto it = gCarets.find(GetCurrentThreadId());
    if (it == gCarets.end()) return FALSE;
    // A caret whose window has gone went with it.
    if (!IsWindow(it->second.Owner)) {
      gCarets.erase(it);
      return FALSE;
    }
    it->second.Pos = POINT{x, y};
    caret = it->second;
  }
  Tell(caret);
  return TRUE;
}

BOOL GetCaretPos(POINT* point) {
  if (point == nullptr) return FALSE;
  std::lock_guard<std::mutex> guard(gCaretLock);
  auto it = gCarets.find(GetCurrentThreadId());
  if (it == gCarets.end() || !IsWindow(it->second.Owner)) return FALSE;
  *point = it->second.Pos;
  return TRUE;
}
