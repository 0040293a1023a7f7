// Device contexts: memory, surface and screen DCs, their state, clipping and
// selection of objects.
#include <algorithm>
#include <atomic>
#include <cstring>

#include "platform/gdi/GdiObjects.h"
#include "platform/gdi/Palette.h"

namespace hkgdi {

HGDIOBJ StockDefaultBitmap();

namespace {

std::atomic<int> ScreenWidth{1280};
std::atomic<int> ScreenHeight{1024};

void Hold(std::shared_ptr<TGdiObject>& slot, HGDIOBJ& slotHandle, HGDIOBJ handle,
          const std::shared_ptr<TGdiObject>& object) {
  Retain(object.get());  // first: reselecting the held object must not free it
  auto old = std::move(slot);
  slot = object;
  slotHandle = handle;
  Release(old.get());
}

void InitState(TDCState& s) {
  Hold(s.Pen, s.PenHandle, GetStockObject(BLACK_PEN), Objects().Get(GetStockObject(BLACK_PEN)));
  Hold(s.Brush, s.BrushHandle, GetStockObject(WHITE_BRUSH), Objects().Get(GetStockObject(WHITE_BRUSH)));
  Hold(s.Font, s.FontHandle, GetStockObject(SYSTEM_FONT), Objects().Get(GetStockObject(SYSTEM_FONT)));
  Hold(s.Palette, s.PaletteHandle, GetStockObject(DEFAULT_PALETTE), Objects().Get(GetStockObject(DEFAULT_PALETTE)));
}

void RetainState(TDCState& s) {
  for (auto* o : {&s.Pen, &s.Brush, &s.Font, &s.Palette})
    Retain(o->get());
}

void ReleaseState(TDCState& s) {
  for (auto* o : {&s.Pen, &s.Brush, &s.Font, &s.Palette}) {
    Release(o->get());
    o->reset();
  }
}

void SelectBitmap(TDC& dc, HGDIOBJ handle, std::shared_ptr<TBitmapObj> bitmap, HDC self) {
  if (dc.Bitmap) {
    if (dc.Bitmap->SelectedIn == self) dc.Bitmap->SelectedIn = nullptr;
    Release(dc.Bitmap.get());
  }
  dc.Bitmap = std::move(bitmap);
  dc.BitmapHandle = handle;
  if (dc.Bitmap) {
    Retain(dc.Bitmap.get());
    if (!dc.Bitmap->Stock) dc.Bitmap->SelectedIn = self;
  }
}

HDC NewDC(TDCKind kind) {
  auto dc = std::make_shared<TDC>();
  dc->Kind = kind;
  InitState(dc->State);
  HDC handle = DCs().Add(dc);
  if (kind == TDCKind::Memory)
    SelectBitmap(*dc, StockDefaultBitmap(), GetObj<TBitmapObj>(StockDefaultBitmap(), TObjKind::Bitmap), handle);
  return handle;
}

}  // namespace

TPixelView BitmapView(TBitmapObj& b) {
  TPixelView v;
  v.Width = b.Width;
  v.Height = b.Height;
  v.Bpp = b.Bpp;
  v.Stride = b.TopDown ? b.Stride : -b.Stride;
  v.Top = b.TopDown ? b.Bits() : b.Bits() + b.Stride * (b.Height - 1);
  v.Colors = b.Colors.empty() ? nullptr : b.Colors.data();
  v.NumColors = static_cast<int>(b.Colors.size());
  v.MonoDevice = b.Bpp == 1 && !b.IsDIB;
  return v;
}

bool SameMemory(const TPixelView& a, const TPixelView& b) { return a.Top == b.Top; }

TTarget::~TTarget() {
  for (const TKept& k : Kept) {
    int w = k.Rect.right - k.Rect.left;
    for (int y = k.Rect.top; y < k.Rect.bottom; ++y)
      std::memcpy(reinterpret_cast<uint32_t*>(View.Row(y)) + k.Rect.left,
                  k.Pixels.data() + static_cast<size_t>(y - k.Rect.top) * static_cast<size_t>(w),
                  static_cast<size_t>(w) * 4);
  }
}

bool MakeTarget(TDC& dc, TTarget& t, bool lock, bool write) {
  RECT bounds;
  if (dc.Kind == TDCKind::Surface) {
    if (!dc.Surface) return false;
    if (lock) t.Lock = std::unique_lock<std::mutex>(dc.Surface->Lock);
    TSurface& s = *dc.Surface;
    t.View = TPixelView{};
    t.View.Width = s.Width;
    t.View.Height = s.Height;
    t.View.Bpp = 32;
    t.View.Stride = static_cast<int64_t>(s.Width) * 4;
    t.View.Top = reinterpret_cast<uint8_t*>(s.Pixels.data());
    bounds = Intersect(RECT{0, 0, s.Width, s.Height}, dc.SurfaceClip);
  } else if (dc.Kind == TDCKind::Memory && dc.Bitmap && dc.Bitmap->Bits()) {
    t.View = BitmapView(*dc.Bitmap);
    bounds = RECT{0, 0, t.View.Width, t.View.Height};
  } else {
    return false;  // the screen DC has nothing of its own to draw on
  }
  t.OffsetX = dc.OriginX + dc.State.Viewport.x;
  t.OffsetY = dc.OriginY + dc.State.Viewport.y;
  if (dc.State.HasClip) {
    RECT c = dc.State.Clip;
    c.left += dc.OriginX;
    c.right += dc.OriginX;
    c.top += dc.OriginY;
    c.bottom += dc.OriginY;
    bounds = Intersect(bounds, c);
  }
  t.Clip = bounds;
  if (write && dc.Kind == TDCKind::Surface) {
    for (const RECT& e : dc.Excluded) {
      RECT r = Intersect(e, bounds);
      if (RectEmpty(r)) continue;
      TTarget::TKept k{r, {}};
      int w = r.right - r.left;
      k.Pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(r.bottom - r.top));
      for (int y = r.top; y < r.bottom; ++y)
        std::memcpy(k.Pixels.data() + static_cast<size_t>(y - r.top) * static_cast<size_t>(w),
                    reinterpret_cast<const uint32_t*>(t.View.Row(y)) + r.left, static_cast<size_t>(w) * 4);
      t.Kept.push_back(std::move(k));
    }
  }
  return true;
}

COLORREF ResolveColor(const TDC& dc, COLORREF color) {
  if ((color >> 24) == 0x01) {  // PALETTEINDEX
    auto pal = std::static_pointer_cast<TPaletteObj>(dc.State.Palette);
    size_t i = color & 0xFFFF;
    if (pal && i < pal->Entries.size())
      return RGB(pal->Entries[i].peRed, pal->Entries[i].peGreen, pal->Entries[i].peBlue);
    return 0;
  }
  return color & 0xFFFFFF;
}

}  // namespace hkgdi

using namespace hkgdi;

void SetGdiScreenSize(int width, int height) {
  if (width > 0) ScreenWidth = width;
  if (height > 0) ScreenHeight = height;
}

HDC CreateCompatibleDC(HDC dc) {
  if (dc && !DCs().Contains(dc)) return nullptr;
  return NewDC(TDCKind::Memory);
}

HDC CreateScreenDC() { return NewDC(TDCKind::Screen); }

HDC CreateSurfaceDC(const PSurface& surface, int originX, int originY, const RECT& clip, std::vector<RECT> excluded) {
  if (!surface) return nullptr;
  HDC handle = NewDC(TDCKind::Surface);
  auto dc = DCs().Get(handle);
  dc->Surface = surface;
  dc->OriginX = originX;
  dc->OriginY = originY;
  dc->SurfaceClip = Normalized(clip);
  excluded.erase(std::remove_if(excluded.begin(), excluded.end(),
                                [&](const RECT& r) { return RectEmpty(Intersect(r, dc->SurfaceClip)); }),
                 excluded.end());
  dc->Excluded = std::move(excluded);
  return handle;
}

PSurface GetSurfaceOfDC(HDC handle) {
  auto dc = DCs().Get(handle);
  return dc ? dc->Surface : nullptr;
}

BOOL DeleteDC(HDC handle) {
  auto dc = DCs().Remove(handle);
  if (!dc) return FALSE;
  SelectBitmap(*dc, nullptr, nullptr, handle);
  ReleaseState(dc->State);
  for (auto& s : dc->Saved) ReleaseState(s);
  dc->Saved.clear();
  return TRUE;
}

void ReleaseSurfaceDC(HDC dc) { DeleteDC(dc); }

int GetDeviceCaps(HDC handle, int index) {
  auto dc = DCs().Get(handle);
  if (!dc) return 0;
  switch (index) {
    case HORZRES: return ScreenWidth;  // every DC reports its device: the screen
    case VERTRES: return ScreenHeight;
    case BITSPIXEL: return 32;
    case PLANES: return 1;
    case NUMCOLORS: return -1;
    case LOGPIXELSX:
    case LOGPIXELSY: return 96;
    case SIZEPALETTE:
    case NUMRESERVED: return 0;
    case COLORRES: return 24;
    case RASTERCAPS: return RC_BITBLT | RC_STRETCHBLT | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHDIB;
    default: return 0;
  }
}

BOOL GdiFlush() { return TRUE; }  // drawing is never batched

HGDIOBJ SelectObject(HDC handle, HGDIOBJ object) {
  auto dc = DCs().Get(handle);
  auto o = Objects().Get(object);
  if (!dc || !o) return nullptr;
  if (o->PendingDelete.load()) return nullptr;  // deleted, only still held by other DCs
  TDCState& s = dc->State;
  HGDIOBJ previous = nullptr;
  switch (o->Kind) {
    case TObjKind::Pen: previous = s.PenHandle; Hold(s.Pen, s.PenHandle, object, o); break;
    case TObjKind::Brush: previous = s.BrushHandle; Hold(s.Brush, s.BrushHandle, object, o); break;
    case TObjKind::Font: previous = s.FontHandle; Hold(s.Font, s.FontHandle, object, o); break;
    case TObjKind::Palette: return nullptr;  // SelectPalette does that
    case TObjKind::Region:
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(SelectClipRgn(handle, reinterpret_cast<HRGN>(object))));
    case TObjKind::Bitmap: {
      if (dc->Kind != TDCKind::Memory) return nullptr;
      auto b = std::static_pointer_cast<TBitmapObj>(o);
      if (b->SelectedIn && b->SelectedIn != handle) return nullptr;  // one DC at a time
      previous = dc->BitmapHandle;
      SelectBitmap(*dc, object, b, handle);
      break;
    }
  }
  return previous;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type) {
  auto dc = DCs().Get(handle);
  if (!dc) return nullptr;
  switch (type) {
    case OBJ_PEN: return dc->State.PenHandle;
    case OBJ_BRUSH: return dc->State.BrushHandle;
    case OBJ_FONT: return dc->State.FontHandle;
    case OBJ_PAL: return dc->State.PaletteHandle;
    case OBJ_BITMAP: return dc->BitmapHandle;
    default: return nullptr;
  }
}

HPALETTE SelectPalette(HDC handle, HPALETTE palette, BOOL) {
  auto dc = DCs().Get(handle);
  auto p = GetObj<TPaletteObj>(reinterpret_cast<HGDIOBJ>(palette), TObjKind::Palette);
  if (!dc || !p || p->PendingDelete.load()) return nullptr;
  HGDIOBJ previous = dc->State.PaletteHandle;
  Hold(dc->State.Palette, dc->State.PaletteHandle, reinterpret_cast<HGDIOBJ>(palette), p);
  return reinterpret_cast<HPALETTE>(previous);
}

// The display is true colour: realizing maps nothing into a system palette.
UINT RealizePalette(HDC handle) { return DCs().Contains(handle) ? 0 : GDI_ERROR; }

#define HK_DC_FIELD(getter, setter, type, field, fail)          \
  type setter(HDC handle, type value) {                         \
    auto dc = DCs().Get(handle);                                \
    if (!dc) return fail;                                       \
    type old = dc->State.field;                                 \
    dc->State.field = value;                                    \
    return old;                                                 \
  }                                                             \
  type getter(HDC handle) {                                     \
    auto dc = DCs().Get(handle);                                \
    return dc ? dc->State.field : fail;                         \
  }
HK_DC_FIELD(GetTextColor, SetTextColor, COLORREF, TextColor, CLR_INVALID)
HK_DC_FIELD(GetBkColor, SetBkColor, COLORREF, BkColor, CLR_INVALID)
#undef HK_DC_FIELD

int SetBkMode(HDC handle, int mode) {
  auto dc = DCs().Get(handle);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->State.BkMode;
  dc->State.BkMode = mode;
  return old;
}

int GetBkMode(HDC handle) {
  auto dc = DCs().Get(handle);
  return dc ? dc->State.BkMode : 0;
}

int SetStretchBltMode(HDC handle, int mode) {
  auto dc = DCs().Get(handle);
  if (!dc || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  int old = dc->State.StretchMode;
  dc->State.StretchMode = mode;
  return old;
}

int GetStretchBltMode(HDC handle) {
  auto dc = DCs().Get(handle);
  return dc ? dc->State.StretchMode : 0;
}

BOOL SetBrushOrgEx(HDC handle, int x, int y, POINT* previous) {
  auto dc = DCs().Get(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->State.BrushOrg;
  dc->State.BrushOrg = POINT{x, y};
  return TRUE;
}

BOOL SetViewportOrgEx(HDC handle, int x, int y, POINT* previous) {
  auto dc = DCs().Get(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->State.Viewport;
  dc->State.Viewport = POINT{x, y};
  return TRUE;
}

BOOL GetViewportOrgEx(HDC handle, POINT* origin) {
  auto dc = DCs().Get(handle);
  if (!dc || !origin) return FALSE;
  *origin = dc->State.Viewport;
  return TRUE;
}

BOOL OffsetViewportOrgEx(HDC handle, int dx, int dy, POINT* previous) {
  auto dc = DCs().Get(handle);
  if (!dc) return FALSE;
  if (previous) *previous = dc->State.Viewport;
  dc->State.Viewport.x += dx;
  dc->State.Viewport.y += dy;
  return TRUE;
}

int SaveDC(HDC handle) {
  auto dc = DCs().Get(handle);
  if (!dc) return 0;
  dc->Saved.push_back(dc->State);
  RetainState(dc->Saved.back());
  return static_cast<int>(dc->Saved.size());
}

BOOL RestoreDC(HDC handle, int saved) {
  auto dc = DCs().Get(handle);
  if (!dc) return FALSE;
  int n = static_cast<int>(dc->Saved.size());
  int level = saved < 0 ? n + 1 + saved : saved;
  if (level < 1 || level > n) return FALSE;
  ReleaseState(dc->State);
  dc->State = dc->Saved[static_cast<size_t>(level - 1)];
  // The restored state takes over the references the saved copy held.
  dc->Saved[static_cast<size_t>(level - 1)] = TDCState{};
  for (int i = level; i < n; ++i) ReleaseState(dc->Saved[static_cast<size_t>(i)]);
  dc->Saved.resize(static_cast<size_t>(level - 1));
  return TRUE;
}

namespace {
int ClipResult(const TDC& dc) {
  if (!dc.State.HasClip) return SIMPLEREGION;
  return RectEmpty(dc.State.Clip) ? NULLREGION : SIMPLEREGION;
}
RECT ToDevice(const TDC& dc, int l, int t, int r, int b) {
  return Normalized(RECT{l + dc.State.Viewport.x, t + dc.State.Viewport.y, r + dc.State.Viewport.x,
                         b + dc.State.Viewport.y});
}
}  // namespace

int SelectClipRgn(HDC handle, HRGN region) {
  auto dc = DCs().Get(handle);
  if (!dc) return ERROR;
  if (!region) {
    dc->State.HasClip = false;
    return SIMPLEREGION;
  }
  auto r = GetObj<TRegionObj>(reinterpret_cast<HGDIOBJ>(region), TObjKind::Region);
  if (!r) return ERROR;
  dc->State.HasClip = true;
  dc->State.Clip = r->Box;  // a copy: the region can be deleted afterwards
  return ClipResult(*dc);
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
  auto dc = DCs().Get(handle);
  if (!dc) return ERROR;
  RECT r = ToDevice(*dc, left, top, right, bottom);
  dc->State.Clip = dc->State.HasClip ? Intersect(dc->State.Clip, r) : (RectEmpty(r) ? RECT{0, 0, 0, 0} : r);
  dc->State.HasClip = true;
  return ClipResult(*dc);
}

int ExcludeClipRect(HDC handle, int left, int top, int right, int bottom) {
  auto dc = DCs().Get(handle);
  if (!dc) return ERROR;
  RECT whole{-(1 << 27), -(1 << 27), 1 << 27, 1 << 27};
  if (!dc->State.HasClip) dc->State.Clip = whole;
  HRGN a = CreateRectRgnIndirect(&dc->State.Clip);
  RECT e = ToDevice(*dc, left, top, right, bottom);
  HRGN b = CreateRectRgnIndirect(&e);
  CombineRgn(a, a, b, RGN_DIFF);
  GetRgnBox(a, &dc->State.Clip);
  DeleteObject(a);
  DeleteObject(b);
  dc->State.HasClip = true;
  return ClipResult(*dc);
}

int GetClipBox(HDC handle, RECT* rect) {
  auto dc = DCs().Get(handle);
  if (!dc || !rect) return ERROR;
  TTarget t;
  RECT box;
  if (MakeTarget(*dc, t)) {
    box = t.Clip;
    box.left -= t.OffsetX;
    box.right -= t.OffsetX;
    box.top -= t.OffsetY;
    box.bottom -= t.OffsetY;
  } else {
    box = RECT{0, 0, ScreenWidth, ScreenHeight};
  }
  *rect = RectEmpty(box) ? RECT{0, 0, 0, 0} : box;
  return RectEmpty(box) ? NULLREGION : SIMPLEREGION;
}
