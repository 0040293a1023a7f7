// Block transfers between DCs and from DIB bits, with raster operations,
// stretching, masks and alpha.
#include <cstring>

#include "platform/gdi/GdiObjects.h"

namespace hkgdi {
namespace {

uint32_t PatternRaw(const TDC& dc, const TPixelView& v) {
  auto* b = static_cast<TBrushObj*>(dc.State.Brush.get());
  if (!b || b->Log.lbStyle == BS_NULL) return 0;
  return RawOfRgb(v, RgbOf(ResolveColor(dc, b->Log.lbColor)));
}

// Both targets of a DC-to-DC transfer, locking each surface once.
struct TPair {
  TTarget Dst, Src;
  bool Make(TDC& dst, TDC& src) {
    bool shared = dst.Kind == TDCKind::Surface && src.Kind == TDCKind::Surface && dst.Surface == src.Surface;
    if (dst.Kind == TDCKind::Surface && src.Kind == TDCKind::Surface && !shared && dst.Surface && src.Surface) {
      std::lock(dst.Surface->Lock, src.Surface->Lock);
      Dst.Lock = std::unique_lock<std::mutex>(dst.Surface->Lock, std::adopt_lock);
      Src.Lock = std::unique_lock<std::mutex>(src.Surface->Lock, std::adopt_lock);
      return MakeTarget(dst, Dst, false) && MakeTarget(src, Src, false, false);
    }
    if (!MakeTarget(dst, Dst)) return false;
    return MakeTarget(src, Src, !shared, false);
  }
};

BOOL Blit(HDC dest, int x, int y, int w, int h, HDC srcHandle, int sx, int sy, int sw, int sh, DWORD rop,
          HBITMAP maskHandle, int mx, int my) {
  auto dc = GetDC(dest);
  if (!dc) return FALSE;
  uint8_t fore = static_cast<uint8_t>(rop >> 16);
  uint8_t back = static_cast<uint8_t>(rop >> 24);
  bool needSource = RopUsesSource(fore) || (maskHandle && RopUsesSource(back));
  std::shared_ptr<TBitmapObj> mask;
  if (maskHandle) {
    mask = GetObj<TBitmapObj>(reinterpret_cast<HGDIOBJ>(maskHandle), TObjKind::Bitmap);
    if (!mask || mask->Bpp != 1) return FALSE;
  }
  if (!needSource) {
    TTarget t;
    if (!MakeTarget(*dc, t)) return FALSE;
    TPixelView mv;
    if (mask) mv = BitmapView(*mask);
    TransferPixels(t.View, t.Clip, SatAdd(x, t.OffsetX), SatAdd(y, t.OffsetY), w, h, nullptr, 0, 0, 0, 0, fore,
                   PatternRaw(*dc, t.View), nullptr, mask ? &mv : nullptr, mx, my, back);
    return TRUE;
  }
  auto src = GetDC(srcHandle);
  if (!src) return FALSE;
  TPair p;
  if (!p.Make(*dc, *src)) return FALSE;
  TConverter conv;
  conv.Setup(p.Src.View, p.Dst.View, src.get(), dc.get());
  TPixelView mv;
  if (mask) mv = BitmapView(*mask);
  TransferPixels(p.Dst.View, p.Dst.Clip, SatAdd(x, p.Dst.OffsetX), SatAdd(y, p.Dst.OffsetY), w, h, &p.Src.View,
                 SatAdd(sx, p.Src.OffsetX), SatAdd(sy, p.Src.OffsetY), sw, sh, fore, PatternRaw(*dc, p.Dst.View), &conv,
                 mask ? &mv : nullptr, mx, my, back);
  return TRUE;
}

}  // namespace
}  // namespace hkgdi

using namespace hkgdi;

BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, DWORD rop) {
  return Blit(dest, x, y, w, h, src, sx, sy, w, h, rop & 0x00FFFFFF, nullptr, 0, 0);
}

BOOL StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, DWORD rop) {
  return Blit(dest, x, y, w, h, src, sx, sy, sw, sh, rop & 0x00FFFFFF, nullptr, 0, 0);
}

BOOL PatBlt(HDC dc, int x, int y, int w, int h, DWORD rop) {
  if (RopUsesSource(static_cast<uint8_t>(rop >> 16))) return FALSE;
  return Blit(dc, x, y, w, h, nullptr, 0, 0, 0, 0, rop & 0x00FFFFFF, nullptr, 0, 0);
}

BOOL MaskBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, HBITMAP mask, int mx, int my,
             DWORD rop4) {
  if (!mask) return Blit(dest, x, y, w, h, src, sx, sy, w, h, rop4 & 0x00FFFFFF, nullptr, 0, 0);
  return Blit(dest, x, y, w, h, src, sx, sy, w, h, rop4, mask, mx, my);
}

namespace {

// A DIB as the source of a transfer; sy in top-down rows of the view.
int DIBTransfer(HDC handle, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                const BITMAPINFO* info, UINT usage, DWORD rop, int partHeight) {
  auto dc = GetDC(handle);
  if (!dc || !info || !bits) return 0;
  std::vector<RGBQUAD> colors = ColorTableOf(info, usage, dc.get());
  std::vector<uint8_t> hold;
  const BITMAPINFO* use = info;
  if (partHeight >= 0) {
    hold.resize(sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER part = info->bmiHeader;
    part.biHeight = info->bmiHeader.biHeight < 0 ? -partHeight : partHeight;
    std::memcpy(hold.data(), &part, sizeof(part));
    use = reinterpret_cast<const BITMAPINFO*>(hold.data());
  }
  TPixelView src;
  if (!DIBView(use, bits, colors, src)) return 0;
  TTarget t;
  if (!MakeTarget(*dc, t)) return 0;
  uint8_t op = static_cast<uint8_t>(rop >> 16);
  TConverter conv;
  conv.Setup(src, t.View, nullptr, dc.get());
  TransferPixels(t.View, t.Clip, SatAdd(x, t.OffsetX), SatAdd(y, t.OffsetY), w, h, &src, sx, sy, sw, sh, op,
                 PatternRaw(*dc, t.View), &conv);
  return std::abs(sh);
}

}  // namespace

int StretchDIBits(HDC dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh, const void* bits,
                  const BITMAPINFO* info, UINT usage, DWORD rop) {
  if (!info) return 0;
  int full = std::abs(info->bmiHeader.biHeight);
  // A bottom-up DIB counts source rows from its bottom.
  int64_t top64 = info->bmiHeader.biHeight > 0 ? int64_t(full) - sy - sh : sy;
  int top = static_cast<int>(std::clamp<int64_t>(top64, INT32_MIN, INT32_MAX));
  return DIBTransfer(dc, x, y, w, h, sx, top, sw, sh, bits, info, usage, rop, -1);
}

int SetDIBitsToDevice(HDC dc, int x, int y, DWORD w, DWORD h, int sx, int sy, UINT startScan, UINT scanLines,
                      const void* bits, const BITMAPINFO* info, UINT usage) {
  if (!info || scanLines == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF || scanLines > 0x7FFFFFFF) return 0;
  int iw = static_cast<int>(w), ih = static_cast<int>(h);
  int start = static_cast<int>(startScan), lines = static_cast<int>(scanLines);
  int64_t top64 = info->bmiHeader.biHeight > 0 ? int64_t(start) + lines - sy - ih : int64_t(sy) - start;
  int top = static_cast<int>(std::clamp<int64_t>(top64, INT32_MIN, INT32_MAX));
  return DIBTransfer(dc, x, y, iw, ih, sx, top, iw, ih, bits, info, usage, SRCCOPY, lines) ? lines : 0;
}

BOOL AlphaBlend(HDC dest, int x, int y, int w, int h, HDC srcHandle, int sx, int sy, int sw, int sh,
                BLENDFUNCTION blend) {
  auto dc = GetDC(dest);
  auto src = GetDC(srcHandle);
  if (!dc || !src || w < 0 || h < 0 || sw < 0 || sh < 0 || blend.BlendOp != AC_SRC_OVER) return FALSE;
  TPair p;
  if (!p.Make(*dc, *src)) return FALSE;
  const int64_t sx0 = int64_t(sx) + p.Src.OffsetX, sy0 = int64_t(sy) + p.Src.OffsetY;
  if (sx0 < 0 || sy0 < 0 || sx0 + sw > p.Src.View.Width || sy0 + sh > p.Src.View.Height)
    return FALSE;  // the platform refuses a source outside its bitmap
  if (w == 0 || h == 0 || sw == 0 || sh == 0) return TRUE;
  // Stretch what shows of the source into a 32-bit copy first, then blend it.
  const int dx = SatAdd(x, p.Dst.OffsetX), dy = SatAdd(y, p.Dst.OffsetY);
  RECT area = Intersect(p.Dst.Clip, RECT{dx, dy, SatAdd(dx, w), SatAdd(dy, h)});
  if (RectEmpty(area)) return TRUE;
  const int aw = area.right - area.left, ah = area.bottom - area.top;
  TPixelView tmp;
  std::vector<uint32_t> buf(static_cast<size_t>(aw) * static_cast<size_t>(ah));
  tmp.Top = reinterpret_cast<uint8_t*>(buf.data());
  tmp.Stride = static_cast<int64_t>(aw) * 4;
  tmp.Width = aw;
  tmp.Height = ah;
  tmp.Bpp = 32;
  TConverter conv;
  conv.Setup(p.Src.View, tmp, src.get(), nullptr);
  TransferPixels(tmp, RECT{0, 0, aw, ah}, dx - area.left, dy - area.top, w, h, &p.Src.View, sx + p.Src.OffsetX,
                 sy + p.Src.OffsetY, sw, sh, 0xCC, 0, &conv);
  bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) && p.Src.View.Bpp == 32;
  uint32_t sca = blend.SourceConstantAlpha;
  const TPixelView& d = p.Dst.View;
  for (int yy = area.top; yy < area.bottom; ++yy) {
    const uint32_t* s = buf.data() + static_cast<size_t>(yy - area.top) * aw;
    uint8_t* drow = d.Row(yy);
    for (int xx = area.left; xx < area.right; ++xx) {
      uint32_t sp = s[xx - area.left];
      uint32_t sa = perPixel ? ((sp >> 24) * sca + 127) / 255 : sca;
      uint32_t dp = d.Bpp == 32 ? ReadRaw(drow, xx, 32) : RgbOfRaw(d, ReadRaw(drow, xx, d.Bpp));
      uint32_t out = 0;
      for (int sh8 = 0; sh8 < 32; sh8 += 8) {
        uint32_t sc = (sp >> sh8) & 0xFF, dcv = (dp >> sh8) & 0xFF;
        uint32_t v = perPixel ? (sc * sca + 127) / 255 + (dcv * (255 - sa) + 127) / 255
                              : (sc * sca + dcv * (255 - sca) + 127) / 255;
        out |= std::min<uint32_t>(v, 255) << sh8;
      }
      if (d.Bpp == 32) WriteRaw(drow, xx, 32, out);
      else WriteRaw(drow, xx, d.Bpp, RawOfRgb(d, out & 0xFFFFFF));
    }
  }
  return TRUE;
}
