// The clipboard's text, held by the driver.
#include "platform/Clipboard.h"

#include "platform/Driver.h"

BOOL SetClipboardTextW(const std::u16string& text) { return Driver().SetClipboardText(text) ? TRUE : FALSE; }

bool GetClipboardTextW(std::u16string* text) { return text != nullptr && Driver().GetClipboardText(text); }

bool TPlatformDriver::SetClipboardText(const std::u16string& text) {
  std::lock_guard<std::mutex> guard(FClipboardLock);
  FClipboard = text;
  FHasClipboard = true;
  return true;
}

bool TPlatformDriver::GetClipboardText(std::u16string* text) {
  std::lock_guard<std::mutex> guard(FClipboardLock);
  if (!FHasClipboard) return false;
  *text = FClipboard;
  return true;
}
