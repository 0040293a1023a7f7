// GDI object handles: creation of pens, brushes and regions, stock objects,
// selection, deletion and GetObject.
#include "platform/gdi/GdiObjects.h"

#include <array>
#include <cstring>

#include "platform/gdi/Palette.h"

namespace hkgdi {

// Never destroyed: objects held in statics elsewhere may be freed at exit.
TObjectTable& Objects() {
  static auto* table = new TObjectTable(0x47);  // 'G'
  return *table;
}

TDCTable& DCs() {
  static auto* table = new TDCTable(0x44);  // 'D'
  return *table;
}

std::shared_ptr<TDC> GetDC(HDC dc) { return DCs().Get(dc); }

HGDIOBJ AddObject(std::shared_ptr<TGdiObject> object) {
  if (!object) return nullptr;
  TGdiObject* raw = object.get();
  raw->Handle = Objects().Add(std::move(object));
  return raw->Handle;
}

void Retain(TGdiObject* object) {
  if (object) object->SelectCount.fetch_add(1);
}

void Release(TGdiObject* object) {
  if (object && object->SelectCount.fetch_sub(1) == 1 && object->PendingDelete.load()) Objects().Remove(object->Handle);
}

namespace {

std::shared_ptr<TGdiObject> MakeStock(int index) {
  auto pen = [](UINT style, COLORREF c) {
    auto p = std::make_shared<TPenObj>();
    p->Log = LOGPEN{style, POINT{1, 0}, c};
    return std::shared_ptr<TGdiObject>(p);
  };
  auto brush = [](UINT style, COLORREF c) {
    auto b = std::make_shared<TBrushObj>();
    b->Log = LOGBRUSH{style, c, 0};
    return std::shared_ptr<TGdiObject>(b);
  };
  auto font = [](const char* face, LONG height, LONG weight) {
    auto f = std::make_shared<TFontObj>();
    f->Log.lfHeight = height;
    f->Log.lfWeight = weight;
    f->Log.lfCharSet = DEFAULT_CHARSET;
    for (int i = 0; face[i] && i < LF_FACESIZE - 1; ++i) f->Log.lfFaceName[i] = static_cast<WCHAR>(face[i]);
    return std::shared_ptr<TGdiObject>(f);
  };
  switch (index) {
    case WHITE_BRUSH: return brush(BS_SOLID, 0xFFFFFF);
    case LTGRAY_BRUSH: return brush(BS_SOLID, 0xC0C0C0);
    case GRAY_BRUSH: return brush(BS_SOLID, 0x808080);
    case DKGRAY_BRUSH: return brush(BS_SOLID, 0x404040);
    case BLACK_BRUSH: return brush(BS_SOLID, 0x000000);
    case NULL_BRUSH: return brush(BS_NULL, 0);
    case WHITE_PEN: return pen(PS_SOLID, 0xFFFFFF);
    case BLACK_PEN: return pen(PS_SOLID, 0x000000);
    case NULL_PEN: return pen(PS_NULL, 0);
    case OEM_FIXED_FONT:
    case ANSI_FIXED_FONT:
    case SYSTEM_FIXED_FONT: return font("Courier New", -13, FW_NORMAL);
    case ANSI_VAR_FONT: return font("MS Sans Serif", -11, FW_NORMAL);
    case SYSTEM_FONT:
    case DEVICE_DEFAULT_FONT: return font("System", -13, FW_BOLD);
    case DEFAULT_GUI_FONT: return font("Tahoma", -11, FW_NORMAL);
    case DEFAULT_PALETTE: {
      auto p = std::make_shared<TPaletteObj>();
      p->Entries = DefaultPaletteEntries();
      return p;
    }
    default: return nullptr;
  }
}

}  // namespace

HGDIOBJ StockDefaultBitmap() {
  static HGDIOBJ handle = [] {
    auto b = NewBitmap(1, 1, 1, true, false);
    b->Stock = true;
    return AddObject(b);
  }();
  return handle;
}

}  // namespace hkgdi

using namespace hkgdi;

HGDIOBJ GetStockObject(int index) {
  static std::mutex lock;
  static std::array<HGDIOBJ, 18> stock{};
  if (index < 0 || index >= static_cast<int>(stock.size())) return nullptr;
  std::lock_guard<std::mutex> guard(lock);
  if (!stock[index]) {
    auto o = MakeStock(index);
    if (!o) return nullptr;
    o->Stock = true;
    stock[index] = AddObject(o);
  }
  return stock[index];
}

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < 0 || style > static_cast<int>(PS_INSIDEFRAME)) style = PS_SOLID;
  auto p = std::make_shared<TPenObj>();
  p->Log = LOGPEN{static_cast<UINT>(style), POINT{std::clamp(width, 0, 32767), 0}, color};
  return reinterpret_cast<HPEN>(AddObject(p));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) return nullptr;
  return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto b = std::make_shared<TBrushObj>();
  b->Log = LOGBRUSH{BS_SOLID, color, 0};
  return reinterpret_cast<HBRUSH>(AddObject(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH* brush) {
  if (!brush) return nullptr;
  auto b = std::make_shared<TBrushObj>();
  b->Log = *brush;
  // Hatched and pattern brushes are not drawn by this layer: they paint solid.
  if (b->Log.lbStyle != BS_NULL) b->Log.lbStyle = BS_SOLID;
  return reinterpret_cast<HBRUSH>(AddObject(b));
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  auto r = std::make_shared<TRegionObj>();
  r->Box = Normalized(RECT{left, top, right, bottom});
  if (RectEmpty(r->Box)) r->Box = RECT{0, 0, 0, 0};
  return reinterpret_cast<HRGN>(AddObject(r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) return nullptr;
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

int GetRgnBox(HRGN region, RECT* rect) {
  auto r = GetObj<TRegionObj>(reinterpret_cast<HGDIOBJ>(region), TObjKind::Region);
  if (!r || !rect) return ERROR;
  *rect = r->Box;
  return RectEmpty(r->Box) ? NULLREGION : SIMPLEREGION;
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  auto d = GetObj<TRegionObj>(reinterpret_cast<HGDIOBJ>(dest), TObjKind::Region);
  auto a = GetObj<TRegionObj>(reinterpret_cast<HGDIOBJ>(src1), TObjKind::Region);
  if (!d || !a) return ERROR;
  RECT result = a->Box;
  if (mode != RGN_COPY) {
    auto b = GetObj<TRegionObj>(reinterpret_cast<HGDIOBJ>(src2), TObjKind::Region);
    if (!b) return ERROR;
    switch (mode) {
      case RGN_AND: result = Intersect(a->Box, b->Box); break;
      case RGN_OR:
      case RGN_XOR:
        if (RectEmpty(a->Box)) result = b->Box;
        else if (!RectEmpty(b->Box))
          result = RECT{std::min(a->Box.left, b->Box.left), std::min(a->Box.top, b->Box.top),
                        std::max(a->Box.right, b->Box.right), std::max(a->Box.bottom, b->Box.bottom)};
        break;
      case RGN_DIFF: {
        // Exact only when the difference is still a rectangle.
        RECT i = Intersect(a->Box, b->Box);
        if (RectEmpty(i)) break;
        if (i.top <= a->Box.top && i.bottom >= a->Box.bottom) {
          if (i.left <= a->Box.left && i.right >= a->Box.right) result = RECT{0, 0, 0, 0};
          else if (i.left <= a->Box.left) result.left = i.right;
          else if (i.right >= a->Box.right) result.right = i.left;
        } else if (i.left <= a->Box.left && i.right >= a->Box.right) {
          if (i.top <= a->Box.top) result.top = i.bottom;
          else if (i.bottom >= a->Box.bottom) result.bottom = i.top;
        }
        break;
      }
      default: return ERROR;
    }
  }
  d->Box = RectEmpty(result) ? RECT{0, 0, 0, 0} : result;
  return RectEmpty(d->Box) ? NULLREGION : SIMPLEREGION;
}

DWORD GetObjectType(HGDIOBJ object) {
  if (auto dc = DCs().Get(reinterpret_cast<HDC>(object))) return dc->Kind == TDCKind::Memory ? OBJ_MEMDC : OBJ_DC;
  auto o = Objects().Get(object);
  if (!o) return 0;
  switch (o->Kind) {
    case TObjKind::Pen: return OBJ_PEN;
    case TObjKind::Brush: return OBJ_BRUSH;
    case TObjKind::Font: return OBJ_FONT;
    case TObjKind::Bitmap: return OBJ_BITMAP;
    case TObjKind::Palette: return OBJ_PAL;
    case TObjKind::Region: return OBJ_REGION;
  }
  return 0;
}

BOOL DeleteObject(HGDIOBJ object) {
  auto o = Objects().Get(object);
  if (!o) return FALSE;
  if (o->Stock) return TRUE;
  if (o->SelectCount.load() > 0) {
    // A bitmap in a DC is refused; other objects go once no DC holds them.
    if (o->Kind == TObjKind::Bitmap) return FALSE;
    o->PendingDelete = true;
    if (o->SelectCount.load() > 0) return TRUE;
  }
  Objects().Remove(object);
  return TRUE;
}

namespace {

template <typename LF>
int CopyOut(const LF& value, int size, void* buffer) {
  if (!buffer) return static_cast<int>(sizeof(LF));
  int n = std::min<int>(size, sizeof(LF));
  if (n <= 0) return 0;
  std::memcpy(buffer, &value, static_cast<size_t>(n));
  return n;
}

int GetObjectImpl(HGDIOBJ object, int size, void* buffer, bool wide) {
  auto o = Objects().Get(object);
  if (!o || size < 0) return 0;
  switch (o->Kind) {
    case TObjKind::Pen: return CopyOut(static_cast<TPenObj&>(*o).Log, size, buffer);
    case TObjKind::Brush: return CopyOut(static_cast<TBrushObj&>(*o).Log, size, buffer);
    case TObjKind::Font: {
      const LOGFONTW& w = static_cast<TFontObj&>(*o).Log;
      if (wide) return CopyOut(w, size, buffer);
      LOGFONTA a{};
      std::memcpy(&a, &w, offsetof(LOGFONTW, lfFaceName));
      for (int i = 0; i < LF_FACESIZE; ++i) a.lfFaceName[i] = w.lfFaceName[i] < 0x100 ? static_cast<char>(w.lfFaceName[i]) : '?';
      a.lfFaceName[LF_FACESIZE - 1] = 0;
      return CopyOut(a, size, buffer);
    }
    case TObjKind::Palette: {
      WORD count = static_cast<WORD>(static_cast<TPaletteObj&>(*o).Entries.size());
      return CopyOut(count, size, buffer);
    }
    case TObjKind::Bitmap: {
      auto& b = static_cast<TBitmapObj&>(*o);
      DIBSECTION ds{};
      ds.dsBm.bmType = 0;
      ds.dsBm.bmWidth = b.Width;
      ds.dsBm.bmHeight = b.Height;
      ds.dsBm.bmWidthBytes = static_cast<LONG>(b.Stride);
      ds.dsBm.bmPlanes = 1;
      ds.dsBm.bmBitsPixel = static_cast<WORD>(b.Bpp);
      ds.dsBm.bmBits = b.IsDIB ? b.Bits() : nullptr;
      if (!buffer) return b.IsDIB ? static_cast<int>(sizeof(DIBSECTION)) : static_cast<int>(sizeof(BITMAP));
      if (b.IsDIB && size >= static_cast<int>(sizeof(DIBSECTION))) {
        ds.dsBmih.biSize = sizeof(BITMAPINFOHEADER);
        ds.dsBmih.biWidth = b.Width;
        ds.dsBmih.biHeight = b.TopDown ? -b.Height : b.Height;
        ds.dsBmih.biPlanes = 1;
        ds.dsBmih.biBitCount = static_cast<WORD>(b.Bpp);
        ds.dsBmih.biCompression = BI_RGB;
        ds.dsBmih.biSizeImage = static_cast<DWORD>(b.Stride * b.Height);
        ds.dsBmih.biClrUsed = static_cast<DWORD>(b.Colors.size());
        std::memcpy(buffer, &ds, sizeof(DIBSECTION));
        return sizeof(DIBSECTION);
      }
      return CopyOut(ds.dsBm, size, buffer);
    }
    case TObjKind::Region: return 0;
  }
  return 0;
}

}  // namespace

int GetObjectA(HGDIOBJ object, int size, void* buffer) { return GetObjectImpl(object, size, buffer, false); }
int GetObjectW(HGDIOBJ object, int size, void* buffer) { return GetObjectImpl(object, size, buffer, true); }
