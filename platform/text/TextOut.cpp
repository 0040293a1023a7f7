// Fonts and text output: CreateFont, metrics, extents, TextOut and ExtTextOut.
#include <cstring>

#include "platform/text/TextRender.h"

namespace hkgdi {

namespace {

struct TCodePoint {
  char32_t Ch;
  int Units;
};

inline TCodePoint Next(const char16_t* s, int n, int i) {
  char16_t c = s[i];
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF)
    return TCodePoint{0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (s[i + 1] - 0xDC00), 2};
  return TCodePoint{c, 1};
}

void FillCell(TTarget& t, RECT r, uint32_t raw) {
  r = Intersect(t.Clip, r);
  for (int y = r.top; y < r.bottom; ++y) FillSpan(t.View, y, r.left, r.right, raw);
}

}  // namespace

std::shared_ptr<TFontFace> FaceOf(const TDC& dc) {
  LOGFONTW lf{};
  if (dc.State.Font) lf = static_cast<const TFontObj&>(*dc.State.Font).Log;
  return GetFontEngine()->Face(lf);
}

int RunWidth(TFontFace& face, const char16_t* s, int n) {
  int64_t w = 0;
  for (int i = 0; i < n;) {
    TCodePoint cp = Next(s, n, i);
    w += face.Advance(cp.Ch);
    i += cp.Units;
  }
  return static_cast<int>(std::min<int64_t>(w, INT32_MAX));
}

void DrawRun(TDC& dc, TTarget& t, TFontFace& face, int x, int y, const char16_t* s, int n, const RECT* clip,
             bool opaque, int underline, const INT* dx) {
  const TFontMetrics& m = face.Metrics();
  RECT saved = t.Clip;
  if (clip) {
    t.Clip = Intersect(t.Clip, RECT{clip->left + t.OffsetX, clip->top + t.OffsetY, clip->right + t.OffsetX,
                                    clip->bottom + t.OffsetY});
  }
  // Far outside any surface nothing can show; this keeps the sums below in range.
  constexpr int64_t Far = int64_t(1) << 29;
  int64_t px64 = int64_t(x) + t.OffsetX, py64 = int64_t(y) + t.OffsetY;
  if (px64 > Far || px64 < -Far || py64 > Far || py64 < -Far) {
    t.Clip = saved;
    return;
  }
  int px = static_cast<int>(px64), py = static_cast<int>(py64);
  int baseline = py + m.Ascent;
  uint32_t rgb = RgbOf(ResolveColor(dc, dc.State.TextColor));
  uint32_t raw = RawOfRgb(t.View, rgb);
  int width = 0;
  if (opaque || m.Underline || m.StrikeOut || dx) {
    int64_t w = 0;
    for (int i = 0; i < n && w < Far;) {
      TCodePoint cp = Next(s, n, i);
      w += dx ? int64_t(dx[i]) + (cp.Units > 1 ? dx[i + 1] : 0) : face.Advance(cp.Ch);
      i += cp.Units;
    }
    width = static_cast<int>(std::clamp<int64_t>(w, -Far, Far));
  }
  if (opaque) FillCell(t, RECT{px, py, px + width, py + m.Height}, RawOfRgb(t.View, RgbOf(ResolveColor(dc, dc.State.BkColor))));
  const bool direct = t.View.Bpp == 32;
  const uint32_t ink = rgb & 0xFFFFFF;
  const uint32_t inkR = (rgb >> 16) & 0xFF, inkG = (rgb >> 8) & 0xFF, inkB = rgb & 0xFF;
  int pen = px;
  for (int i = 0; i < n && pen < t.Clip.right && pen > -Far;) {
    TCodePoint cp = Next(s, n, i);
    int advance = 0;
    const TGlyphImage* g = face.Lookup(cp.Ch, advance);
    if (dx) advance = static_cast<int>(std::clamp<int64_t>(int64_t(dx[i]) + (cp.Units > 1 ? dx[i + 1] : 0), -Far, Far));
    if (g) {
      int gx = pen + g->Left, gy = baseline - g->Top;
      int y0 = std::max(gy, static_cast<int>(t.Clip.top)), y1 = std::min(gy + g->Height, static_cast<int>(t.Clip.bottom));
      int x0 = std::max(gx, static_cast<int>(t.Clip.left)), x1 = std::min(gx + g->Width, static_cast<int>(t.Clip.right));
      for (int yy = y0; yy < y1; ++yy) {
        const uint8_t* line = g->Coverage.data() + static_cast<size_t>(yy - gy) * g->Width;
        auto cov = [&](int x) { return static_cast<uint32_t>(line[x - gx]); };
        if (direct) {
          // Coverage blends towards the text colour; the alpha byte becomes 0.
          uint32_t* row = reinterpret_cast<uint32_t*>(t.View.Row(yy));
          for (int xx = x0; xx < x1; ++xx) {
            uint32_t a = cov(xx);
            if (!a) continue;
            if (a == 255) {
              row[xx] = ink;
              continue;
            }
            uint32_t d = row[xx], ia = 255 - a;
            uint32_t r = (inkR * a + ((d >> 16) & 0xFF) * ia + 127) / 255;
            uint32_t gg = (inkG * a + ((d >> 8) & 0xFF) * ia + 127) / 255;
            uint32_t b = (inkB * a + (d & 0xFF) * ia + 127) / 255;
            row[xx] = (r << 16) | (gg << 8) | b;
          }
        } else {
          for (int xx = x0; xx < x1; ++xx)
            if (cov(xx)) BlendPixel(t.View, xx, yy, rgb, raw, static_cast<int>(cov(xx)));
        }
      }
    }
    if (i == underline) {
      int uy = baseline + m.UnderlinePosition;
      FillCell(t, RECT{pen, uy, pen + advance, uy + m.UnderlineThickness}, raw);
    }
    pen += advance;
    i += cp.Units;
  }
  if (m.Underline) {
    int uy = baseline + m.UnderlinePosition;
    FillCell(t, RECT{px, uy, px + width, uy + m.UnderlineThickness}, raw);
  }
  if (m.StrikeOut) {
    int sy = baseline - m.Ascent / 3;
    FillCell(t, RECT{px, sy, px + width, sy + m.UnderlineThickness}, raw);
  }
  t.Clip = saved;
}

std::u16string WideOfAnsi(const char* s, int n) {
  static const char16_t high[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                    0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::u16string out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    out.push_back(c >= 0x80 && c < 0xA0 ? high[c - 0x80] : static_cast<char16_t>(c));
  }
  return out;
}

}  // namespace hkgdi

using namespace hkgdi;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return nullptr;
  auto f = std::make_shared<TFontObj>();
  f->Log = NormalizedFont(*font);
  return reinterpret_cast<HFONT>(AddObject(f));
}

HFONT CreateFontIndirectA(const LOGFONTA* font) {
  if (!font) return nullptr;
  LOGFONTW w{};
  std::memcpy(&w, font, offsetof(LOGFONTA, lfFaceName));
  std::u16string face = WideOfAnsi(font->lfFaceName, static_cast<int>(strnlen(font->lfFaceName, LF_FACESIZE)));
  for (size_t i = 0; i < face.size() && i < LF_FACESIZE - 1; ++i) w.lfFaceName[i] = face[i];
  return CreateFontIndirectW(&w);
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, const WCHAR* faceName) {
  LOGFONTW lf{};
  lf.lfHeight = height;
  lf.lfWidth = width;
  lf.lfEscapement = escapement;
  lf.lfOrientation = orientation;
  lf.lfWeight = weight;
  lf.lfItalic = static_cast<BYTE>(italic != 0);
  lf.lfUnderline = static_cast<BYTE>(underline != 0);
  lf.lfStrikeOut = static_cast<BYTE>(strikeOut != 0);
  lf.lfCharSet = static_cast<BYTE>(charSet);
  lf.lfOutPrecision = static_cast<BYTE>(outPrecision);
  lf.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  lf.lfQuality = static_cast<BYTE>(quality);
  lf.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  for (int i = 0; faceName && faceName[i] && i < LF_FACESIZE - 1; ++i) lf.lfFaceName[i] = faceName[i];
  return CreateFontIndirectW(&lf);
}

BOOL GetTextMetricsW(HDC handle, TEXTMETRICW* tm) {
  auto dc = GetDC(handle);
  if (!dc || !tm) return FALSE;
  auto face = FaceOf(*dc);
  const TFontMetrics& m = face->Metrics();
  *tm = TEXTMETRICW{};
  tm->tmHeight = m.Height;
  tm->tmAscent = m.Ascent;
  tm->tmDescent = m.Descent;
  tm->tmInternalLeading = m.InternalLeading;
  tm->tmExternalLeading = m.ExternalLeading;
  tm->tmAveCharWidth = m.AveCharWidth;
  tm->tmMaxCharWidth = m.MaxCharWidth;
  tm->tmWeight = m.Weight;
  tm->tmDigitizedAspectX = 96;
  tm->tmDigitizedAspectY = 96;
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFFFC;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = m.Italic;
  tm->tmUnderlined = m.Underline;
  tm->tmStruckOut = m.StrikeOut;
  tm->tmPitchAndFamily = VARIABLE_PITCH | 0x06;  // TMPF_VECTOR | TMPF_TRUETYPE
  tm->tmCharSet = dc->State.Font ? static_cast<const TFontObj&>(*dc->State.Font).Log.lfCharSet : DEFAULT_CHARSET;
  return TRUE;
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm) {
  TEXTMETRICW w;
  if (!tm || !GetTextMetricsW(dc, &w)) return FALSE;
  std::memcpy(tm, &w, offsetof(TEXTMETRICA, tmFirstChar));
  tm->tmFirstChar = 0x20;
  tm->tmLastChar = 0xFF;
  tm->tmDefaultChar = 0x1F;
  tm->tmBreakChar = 0x20;
  tm->tmItalic = w.tmItalic;
  tm->tmUnderlined = w.tmUnderlined;
  tm->tmStruckOut = w.tmStruckOut;
  tm->tmPitchAndFamily = w.tmPitchAndFamily;
  tm->tmCharSet = w.tmCharSet;
  return TRUE;
}

int GetTextFaceW(HDC handle, int count, WCHAR* name) {
  auto dc = GetDC(handle);
  if (!dc) return 0;
  std::u16string face = FaceOf(*dc)->Metrics().FaceName;
  if (!name) return static_cast<int>(face.size()) + 1;
  if (count <= 0) return 0;
  int n = std::min(static_cast<int>(face.size()), count - 1);
  std::copy(face.begin(), face.begin() + n, name);
  name[n] = 0;
  return n;
}

BOOL GetTextExtentPoint32W(HDC handle, const WCHAR* text, int length, SIZE* size) {
  auto dc = GetDC(handle);
  if (!dc || !size || length < 0 || (!text && length > 0)) return FALSE;
  auto face = FaceOf(*dc);
  size->cx = RunWidth(*face, text, length);
  size->cy = face->Metrics().Height;
  return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, const char* text, int length, SIZE* size) {
  if (length < 0 || (!text && length > 0)) return FALSE;
  std::u16string w = WideOfAnsi(text, length);
  return GetTextExtentPoint32W(dc, w.data(), static_cast<int>(w.size()), size);
}

BOOL GetTextExtentExPointW(HDC handle, const WCHAR* text, int length, int maxExtent, int* fit, int* dx, SIZE* size) {
  auto dc = GetDC(handle);
  if (!dc || length < 0 || (!text && length > 0)) return FALSE;
  auto face = FaceOf(*dc);
  int64_t w = 0;
  int fitted = 0;
  bool fitting = true;
  for (int i = 0; i < length;) {
    TCodePoint cp = Next(text, length, i);
    w = std::min<int64_t>(w + face->Advance(cp.Ch), INT32_MAX);
    for (int k = 0; k < cp.Units; ++k) {
      if (dx) dx[i + k] = static_cast<int>(w);
    }
    if (fitting && w <= maxExtent) fitted = i + cp.Units;
    else fitting = false;
    i += cp.Units;
  }
  if (fit) *fit = fitted;
  if (size) *size = SIZE{static_cast<LONG>(w), face->Metrics().Height};
  return TRUE;
}

BOOL ExtTextOutW(HDC handle, int x, int y, UINT options, const RECT* rect, const WCHAR* text, UINT length,
                 const INT* dx) {
  auto dc = GetDC(handle);
  if (!dc || (!text && length > 0) || length > 0x7FFFFFFF) return FALSE;
  TTarget t;
  if (!MakeTarget(*dc, t)) return TRUE;
  if ((options & ETO_OPAQUE) && rect) {
    RECT r{rect->left + t.OffsetX, rect->top + t.OffsetY, rect->right + t.OffsetX, rect->bottom + t.OffsetY};
    r = Intersect(t.Clip, r);
    uint32_t bk = RawOfRgb(t.View, RgbOf(ResolveColor(*dc, dc->State.BkColor)));
    for (int yy = r.top; yy < r.bottom; ++yy) FillSpan(t.View, yy, r.left, r.right, bk);
  }
  if (length == 0) return TRUE;
  auto face = FaceOf(*dc);
  DrawRun(*dc, t, *face, x, y, text, static_cast<int>(length), (options & ETO_CLIPPED) ? rect : nullptr,
          dc->State.BkMode == OPAQUE && !(options & ETO_OPAQUE), -1, dx);
  return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, const char* text, UINT length,
                 const INT* dx) {
  if ((!text && length > 0) || length > 0x7FFFFFFF) return FALSE;
  std::u16string w = WideOfAnsi(text, static_cast<int>(length));
  return ExtTextOutW(dc, x, y, options, rect, w.data(), length, dx);
}

BOOL TextOutW(HDC dc, int x, int y, const WCHAR* text, int length) {
  if (length < 0) return FALSE;
  return ExtTextOutW(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}

BOOL TextOutA(HDC dc, int x, int y, const char* text, int length) {
  if (length < 0) return FALSE;
  return ExtTextOutA(dc, x, y, 0, nullptr, text, static_cast<UINT>(length), nullptr);
}
