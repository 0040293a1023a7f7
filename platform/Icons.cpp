// Icons kept as 32-bit straight-alpha images.
#include "platform/Icons.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "platform/HandleTable.h"
#include "platform/gdi/Gdi.h"

namespace {

struct TIcon {
  int Width = 0;
  int Height = 0;
  std::vector<uint32_t> Pixels;
  bool Stock = false;
  std::vector<TIconImage> Sizes;  // other sizes of the picture
};

HandleTable<HICON, TIcon>& Icons() {
  static HandleTable<HICON, TIcon> table(0x49);
  return table;
}

// A bitmap's pixels as 32-bit top-down rows (GetDIBits converts any depth).
bool BitmapPixels(HBITMAP bitmap, int* width, int* height, std::vector<uint32_t>* pixels) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectA(reinterpret_cast<HGDIOBJ>(bitmap), sizeof info, &info) == 0) return false;
  if (info.bmWidth <= 0 || info.bmHeight <= 0 || info.bmWidth > 4096 || info.bmHeight > 4096) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = info.bmWidth;
  bi.bmiHeader.biHeight = -info.bmHeight;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  pixels->assign(static_cast<size_t>(info.bmWidth) * static_cast<size_t>(info.bmHeight), 0);
  HDC dc = CreateCompatibleDC(nullptr);
  int lines = GetDIBits(dc, bitmap, 0, static_cast<UINT>(info.bmHeight), pixels->data(), &bi, DIB_RGB_COLORS);
  DeleteDC(dc);
  if (lines == 0) return false;
  *width = info.bmWidth;
  *height = info.bmHeight;
  return true;
}

// The stock application icon: a blue square with a white frame, 32 x 32.
std::shared_ptr<TIcon> StockIcon(int id) {
  auto icon = std::make_shared<TIcon>();
  icon->Width = icon->Height = 32;
  icon->Stock = true;
  icon->Pixels.assign(32 * 32, 0);
  uint32_t fill = id == 32517 ? 0xFF2E8B57u : 0xFF3366CCu;
  for (int y = 2; y < 30; ++y)
    for (int x = 2; x < 30; ++x)
      icon->Pixels[static_cast<size_t>(y * 32 + x)] = (x < 4 || x >= 28 || y < 4 || y >= 28) ? 0xFFFFFFFFu : fill;
  return icon;
}

}  // namespace

HICON CreateIconIndirect(ICONINFO* info) {
  if (info == nullptr) return nullptr;
  auto icon = std::make_shared<TIcon>();
  if (!BitmapPixels(info->hbmColor, &icon->Width, &icon->Height, &icon->Pixels)) return nullptr;
  bool anyAlpha = std::any_of(icon->Pixels.begin(), icon->Pixels.end(), [](uint32_t p) { return (p >> 24) != 0; });
  if (!anyAlpha) {
    std::vector<uint32_t> mask;
    int mw = 0, mh = 0;
    bool haveMask = BitmapPixels(info->hbmMask, &mw, &mh, &mask);
    for (int y = 0; y < icon->Height; ++y)
      for (int x = 0; x < icon->Width; ++x) {
        uint32_t& p = icon->Pixels[static_cast<size_t>(y) * static_cast<size_t>(icon->Width) + static_cast<size_t>(x)];
        bool transparent = haveMask && x < mw && y < mh &&
                           (mask[static_cast<size_t>(y) * static_cast<size_t>(mw) + static_cast<size_t>(x)] & 0xFFFFFFu) != 0;
        p = transparent ? 0 : (p | 0xFF000000u);
      }
  }
  return Icons().Add(icon);
}

HICON CopyIcon(HICON source) {
  auto icon = Icons().Get(source);
  if (!icon) return nullptr;
  auto copy = std::make_shared<TIcon>(*icon);
  copy->Stock = false;
  return Icons().Add(copy);
}

BOOL DestroyIcon(HICON handle) {
  auto icon = Icons().Get(handle);
  if (!icon || icon->Stock) return icon ? TRUE : FALSE;  // stock icons stay
  Icons().Remove(handle);
  return TRUE;
}

HICON LoadIconA(HINSTANCE instance, const char* name) {
  if (instance != nullptr || (reinterpret_cast<uintptr_t>(name) >> 16) != 0) return nullptr;
  int id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  if (id < 32512 || id > 32518) return nullptr;
  static std::mutex lock;
  static std::map<int, HICON> loaded;
  std::lock_guard<std::mutex> guard(lock);
  auto it = loaded.find(id);
  if (it != loaded.end() && Icons().Contains(it->second)) return it->second;
  HICON h = Icons().Add(StockIcon(id));
  loaded[id] = h;
  return h;
}

bool GetIconPixels(HICON handle, int* width, int* height, std::vector<uint32_t>* pixels) {
  auto icon = Icons().Get(handle);
  if (!icon || pixels == nullptr) return false;
  if (width) *width = icon->Width;
  if (height) *height = icon->Height;
  *pixels = icon->Pixels;
  return true;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON handle, int cx, int cy, UINT, HBRUSH, UINT flags) {
  auto icon = Icons().Get(handle);
  if (!icon || dc == nullptr) return FALSE;
  if (cx <= 0) cx = icon->Width;
  if (cy <= 0) cy = icon->Height;
  // Through a premultiplied 32-bit bitmap and the platform's alpha blend.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = icon->Width;
  bi.bmiHeader.biHeight = -icon->Height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bmp == nullptr || bits == nullptr) {
    DeleteDC(mem);
    return FALSE;
  }
  auto* out = static_cast<uint32_t*>(bits);
  for (size_t i = 0; i < icon->Pixels.size(); ++i) {
    uint32_t p = icon->Pixels[i], a = p >> 24;
    if ((flags & DI_IMAGE) && !(flags & DI_MASK)) a = 255;
    auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
    out[i] = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
  }
  HGDIOBJ old = SelectObject(mem, reinterpret_cast<HGDIOBJ>(bmp));
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  BOOL ok = AlphaBlend(dc, x, y, cx, cy, mem, 0, 0, icon->Width, icon->Height, blend);
  SelectObject(mem, old);
  DeleteObject(reinterpret_cast<HGDIOBJ>(bmp));
  DeleteDC(mem);
  return ok;
}

BOOL SetIconSizes(HICON handle, const HICON* sizes, int count) {
  auto icon = Icons().Get(handle);
  if (!icon || icon->Stock || count < 0 || (count > 0 && sizes == nullptr)) return FALSE;
  std::vector<TIconImage> kept;
  for (int i = 0; i < count; ++i) {
    auto other = Icons().Get(sizes[i]);
    if (!other || other->Width <= 0 || other->Height <= 0) continue;
    auto same = [&](int w, int h) { return w == other->Width && h == other->Height; };
    if (same(icon->Width, icon->Height) ||
        std::any_of(kept.begin(), kept.end(), [&](const TIconImage& k) { return same(k.Width, k.Height); }))
      continue;
    kept.push_back(TIconImage{other->Width, other->Height, other->Pixels});
  }
  icon->Sizes = std::move(kept);
  return TRUE;
}

std::vector<TIconImage> GetIconImages(HICON handle) {
  std::vector<TIconImage> images;
  auto icon = Icons().Get(handle);
  if (!icon) return images;
  images.push_back(TIconImage{icon->Width, icon->Height, icon->Pixels});
  images.insert(images.end(), icon->Sizes.begin(), icon->Sizes.end());
  return images;
}
