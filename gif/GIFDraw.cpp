// Drawing frames onto canvases (opaque or through their mask, stretched or
// tiled), and the two frame edits of image optimisation.
#include <algorithm>
#include <cstring>

#include "gif/GIFDIB.h"
#include "gif/GIFSubImage.h"

namespace {
// Lets the drawing code tell a canvas that raw DC calls changed it.
class TCanvasNotifier : public TCanvas {
 public:
  static void Notify(TCanvas& canvas) {
    void (TCanvas::*changed)() = &TCanvasNotifier::Changed;
    (canvas.*changed)();
  }
};

// Releases GDI objects in reverse order of creation, also on failure.
class TGdiCleanup {
 public:
  ~TGdiCleanup() {
    for (auto it = FSteps.rbegin(); it != FSteps.rend(); ++it) (*it)();
  }
  void Add(std::function<void()> step) { FSteps.push_back(std::move(step)); }

 private:
  std::vector<std::function<void()>> FSteps;
};
}  // namespace

// Copies the source rectangle stretched to the destination, leaving the
// destination alone where the mask selected into maskDC has a 1 bit.
bool MaskedStretchBlit(HDC dstDC, int dstX, int dstY, int dstW, int dstH, HDC srcDC, int srcX, int srcY, int srcW,
                       int srcH, HDC maskDC) {
  TGdiCleanup cleanup;
  if (srcW == dstW && srcH == dstH) {
    // MaskBlt takes the mask as a bitmap, so it leaves the mask DC for the call.
    HBITMAP placeholder = CheckGDIHandle(CreateCompatibleBitmap(srcDC, 1, 1));
    cleanup.Add([=] { DeleteObject(placeholder); });
    HGDIOBJ mask = SelectObject(maskDC, placeholder);
    cleanup.Add([=] { SelectObject(maskDC, mask); });
    MaskBlt(dstDC, dstX, dstY, dstW, dstH, srcDC, srcX, srcY, reinterpret_cast<HBITMAP>(mask), srcX, srcY,
            MAKEROP4(0x00AA0029, SRCCOPY));
    return true;
  }
  HDC colorDC = CheckGDIHandle(CreateCompatibleDC(dstDC));
  cleanup.Add([=] { DeleteDC(colorDC); });
  HBITMAP colorBitmap = CheckGDIHandle(CreateCompatibleBitmap(dstDC, srcW, srcH));
  cleanup.Add([=] { DeleteObject(colorBitmap); });
  HGDIOBJ oldColor = SelectObject(colorDC, colorBitmap);
  cleanup.Add([=] { SelectObject(colorDC, oldColor); });
  {
    TGdiCleanup inner;
    HDC invDC = CheckGDIHandle(CreateCompatibleDC(dstDC));
    inner.Add([=] { DeleteDC(invDC); });
    HBITMAP invBitmap = CheckGDIHandle(CreateBitmap(srcW, srcH, 1, 1, nullptr));
    inner.Add([=] { DeleteObject(invBitmap); });
    HGDIOBJ oldInv = SelectObject(invDC, invBitmap);
    inner.Add([=] { SelectObject(invDC, oldInv); });
    BitBlt(invDC, 0, 0, srcW, srcH, maskDC, srcX, srcY, NOTSRCCOPY);
    // Transparent pixels black, opaque ones in their colour.
    BitBlt(colorDC, 0, 0, srcW, srcH, invDC, 0, 0, SRCCOPY);
    BitBlt(colorDC, 0, 0, srcW, srcH, srcDC, srcX, srcY, SRCAND);
  }
  COLORREF oldText = SetTextColor(dstDC, 0);
  COLORREF oldBack = SetBkColor(dstDC, 0xFFFFFF);
  cleanup.Add([=] {
    SetTextColor(dstDC, oldText);
    SetBkColor(dstDC, oldBack);
  });
  StretchBlt(dstDC, dstX, dstY, dstW, dstH, maskDC, srcX, srcY, srcW, srcH, SRCAND);
  StretchBlt(dstDC, dstX, dstY, dstW, dstH, colorDC, 0, 0, srcW, srcH, SRCPAINT);
  return true;
}

TRect TGIFSubImage::MapToScreenRect(const TRect& rect) const {
  int w = rect.right - rect.left, h = rect.bottom - rect.top;
  int iw = FImage ? FImage->ScreenWidth() : Width(), ih = FImage ? FImage->ScreenHeight() : Height();
  return TRect(rect.left + GIFMulDiv(Left(), w, iw), rect.top + GIFMulDiv(Top(), h, ih),
               rect.left + GIFMulDiv(Left() + Width(), w, iw), rect.top + GIFMulDiv(Top() + Height(), h, ih));
}

void TGIFSubImage::DrawInScreenRect(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile) {
  DrawInRect(canvas, doTile ? rect : MapToScreenRect(rect), doTransparent, doTile);
}

// Tiles of the frame's size from the frame's place onwards, stepping by the
// image's size; not clipped to rect. A zero step draws nothing.
template <class F>
static void ForEachTile(const TGIFSubImage& frame, TGIFImageCore* image, const TRect& rect, F&& draw) {
  int stepX = image ? image->ScreenWidth() : 0, stepY = image ? image->ScreenHeight() : 0;
  if (stepX <= 0 || stepY <= 0) return;
  for (int64_t x = int64_t(rect.left) + frame.Left(); x < rect.right; x += stepX)
    for (int64_t y = int64_t(rect.top) + frame.Top(); y < rect.bottom; y += stepY)
      draw(TRect(static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + frame.Width()),
                 static_cast<LONG>(y + frame.Height())));
}

void TGIFSubImage::DrawInRect(TCanvas& canvas, const TRect& rect, bool doTransparent, bool doTile) {
  TBitmap* bitmap = FrameBitmap();
  if (!bitmap) return;
  if (doTransparent && FTransparent && HasMask()) {
    bitmap = FrameBitmap();
    HDC maskDC = CheckGDIHandle(CreateCompatibleDC(nullptr));
    HGDIOBJ old = SelectObject(maskDC, FMask);
    try {
      HDC src = bitmap->Canvas().Handle();
      HDC dst = canvas.Handle();
      if (!doTile)
        MaskedStretchBlit(dst, rect.left, rect.top, rect.Width(), rect.Height(), src, 0, 0, Width(), Height(), maskDC);
      else
        ForEachTile(*this, FImage, rect, [&](const TRect& t) {
          MaskedStretchBlit(dst, t.left, t.top, Width(), Height(), src, 0, 0, Width(), Height(), maskDC);
        });
      TCanvasNotifier::Notify(canvas);
    } catch (...) {
      if (old) SelectObject(maskDC, old);
      DeleteDC(maskDC);
      throw;
    }
    if (old) SelectObject(maskDC, old);
    DeleteDC(maskDC);
    return;
  }
  if (!doTile)
    canvas.StretchDraw(rect, bitmap);
  else
    ForEachTile(*this, FImage, rect, [&](const TRect& t) { canvas.StretchDraw(t, bitmap); });
}

void TGIFSubImage::TrimTransparentBorder() {
  if (Empty() || !FTransparent || !FGCE) return;
  const uint8_t t = static_cast<uint8_t>(FGCE->TransparentColorIndex());
  const int w = Width(), h = Height();
  auto opaqueColumn = [&](int x, int y0, int y1) {
    for (int y = y0; y <= y1; ++y)
      if (FPixels[static_cast<size_t>(y) * w + x] != t) return true;
    return false;
  };
  auto opaqueRow = [&](int y, int x0, int x1) {
    for (int x = x0; x <= x1; ++x)
      if (FPixels[static_cast<size_t>(y) * w + x] != t) return true;
    return false;
  };
  int left = 0;
  while (left < w && !opaqueColumn(left, 0, h - 1)) ++left;
  if (left == w) {
    Reset();
    return;
  }
  int right = w - 1;
  while (right > left && !opaqueColumn(right, 0, h - 1)) --right;
  int top = 0;
  while (top < h && !opaqueRow(top, left, right)) ++top;
  if (top == h) {
    Reset();
    return;
  }
  int bottom = h - 1;
  while (bottom > top && !opaqueRow(bottom, left, right)) --bottom;
  const int nw = right - left + 1, nh = bottom - top + 1;
  std::unique_ptr<uint8_t[]> kept(new uint8_t[static_cast<size_t>(nw) * nh]);
  for (int y = 0; y < nh; ++y)
    std::memcpy(kept.get() + static_cast<size_t>(y) * nw, FPixels.get() + static_cast<size_t>(y + top) * w + left,
                static_cast<size_t>(nw));
  FreePixels();
  FreeBitmap();
  FreeMask();
  FDescriptor.Left = static_cast<uint16_t>(FDescriptor.Left + left);
  FDescriptor.Top = static_cast<uint16_t>(FDescriptor.Top + top);
  FDescriptor.Width = static_cast<uint16_t>(nw);
  FDescriptor.Height = static_cast<uint16_t>(nh);
  FPixels = std::move(kept);
  FPixelSize = static_cast<uint64_t>(nw) * nh;
}

void TGIFSubImage::MaskUnchangedPixels(TGIFSubImage* previous) {
  if (Empty() || !previous || previous->Empty()) return;
  if (previous->FGCE && (previous->FGCE->Disposal() == 2 || previous->FGCE->Disposal() == 3)) return;
  TGIFRect a = BoundsRect(), b = previous->BoundsRect();
  TGIFRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.Left >= r.Right || r.Top >= r.Bottom) return;
  TGIFColorMap& map = ActiveColorMap();
  TGIFColorMap& prevMap = previous->ActiveColorMap();
  bool wasTransparent = FTransparent && FGCE;
  int index = wasTransparent ? FGCE->TransparentColorIndex() : -1;
  if (!wasTransparent && (map.Count() < 1 || map.Count() > 255)) return;
  int prevTransparent = previous->FTransparent && previous->FGCE ? previous->FGCE->TransparentColorIndex() : -1;
  for (int y = r.Top; y < r.Bottom; ++y)
    for (int x = r.Left; x < r.Right; ++x) {
      uint8_t& p = FPixels[static_cast<size_t>(y - Top()) * Width() + (x - Left())];
      uint8_t q = previous->FPixels[static_cast<size_t>(y - previous->Top()) * previous->Width() + (x - previous->Left())];
      if ((index >= 0 && p == index) || q == prevTransparent) continue;
      bool same = (&map == &prevMap && p == q) ||
                  (p < map.Count() && q < prevMap.Count() && std::memcmp(map.Entry(p), prevMap.Entry(q), 3) == 0);
      if (!same) continue;
      if (index < 0) {
        if (FLocalColorMap->Count() > 0) {
          index = FLocalColorMap->AppendColor(0);
        } else {
          for (int i = 0; FImage && i < FImage->Images().Count() && index < 0; ++i) {
            TGIFSubImage* f = FImage->Images()[i];
            if (f != this && f->FTransparent && f->FGCE && f->FLocalColorMap->Count() == 0)
              index = f->FGCE->TransparentColorIndex();
          }
          if (index < 0) index = FImage ? FImage->GlobalColorMap().AppendColor(0) : 0;
        }
      }
      p = static_cast<uint8_t>(index);
    }
  if (!wasTransparent && index >= 0) {
    if (!FGCE) FExtensions->Add(std::make_unique<TGIFGraphicControlExtension>(this));
    FGCE->SetTransparent(true);
    FGCE->SetTransparentColorIndex(index);
  }
  FreeBitmap();
  FreeMask();
}
