// Pixel formats: reading, writing and converting raw values, spans, and the
// one transfer routine behind every blit.
#include <cstring>

#include "platform/gdi/GdiObjects.h"

namespace hkgdi {

uint32_t ReadRaw(const uint8_t* row, int x, int bpp) {
  switch (bpp) {
    case 32: {
      uint32_t v;
      std::memcpy(&v, row + static_cast<size_t>(x) * 4, 4);
      return v;
    }
    case 24: {
      const uint8_t* p = row + static_cast<size_t>(x) * 3;
      return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + static_cast<size_t>(x) * 2, 2);
      return v;
    }
    case 8: return row[x];
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0F;
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1;
    default: return 0;
  }
}

void WriteRaw(uint8_t* row, int x, int bpp, uint32_t v) {
  switch (bpp) {
    case 32: std::memcpy(row + static_cast<size_t>(x) * 4, &v, 4); break;
    case 24: {
      uint8_t* p = row + static_cast<size_t>(x) * 3;
      p[0] = static_cast<uint8_t>(v);
      p[1] = static_cast<uint8_t>(v >> 8);
      p[2] = static_cast<uint8_t>(v >> 16);
      break;
    }
    case 16: {
      uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(row + static_cast<size_t>(x) * 2, &w, 2);
      break;
    }
    case 8: row[x] = static_cast<uint8_t>(v); break;
    case 4: {
      uint8_t& b = row[x >> 1];
      if (x & 1) b = static_cast<uint8_t>((b & 0xF0) | (v & 0x0F));
      else b = static_cast<uint8_t>((b & 0x0F) | ((v & 0x0F) << 4));
      break;
    }
    case 1: {
      uint8_t& b = row[x >> 3];
      uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      b = (v & 1) ? (b | bit) : (b & ~bit);
      break;
    }
    default: break;
  }
}

uint32_t RgbOfRaw(const TPixelView& v, uint32_t raw) {
  switch (v.Bpp) {
    case 32:
    case 24: return raw & 0xFFFFFF;
    case 16: {
      uint32_t r = (raw >> 10) & 31, g = (raw >> 5) & 31, b = raw & 31;
      return (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
    }
    default:
      if (v.Colors && static_cast<int>(raw) < v.NumColors) {
        const RGBQUAD& q = v.Colors[raw];
        return (static_cast<uint32_t>(q.rgbRed) << 16) | (q.rgbGreen << 8) | q.rgbBlue;
      }
      if (v.Bpp == 1) return raw ? 0xFFFFFF : 0;
      return 0;
  }
}

int NearestIndex(const RGBQUAD* colors, int count, uint32_t rgb) {
  int best = 0;
  int64_t bestDist = INT64_MAX;
  int r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  for (int i = 0; i < count; ++i) {
    int dr = colors[i].rgbRed - r, dg = colors[i].rgbGreen - g, db = colors[i].rgbBlue - b;
    int64_t d = dr * dr + dg * dg + db * db;
    if (d < bestDist) {
      bestDist = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

uint32_t RawOfRgb(const TPixelView& v, uint32_t rgb) {
  switch (v.Bpp) {
    case 32:
    case 24: return rgb & 0xFFFFFF;
    case 16: return (((rgb >> 19) & 31) << 10) | (((rgb >> 11) & 31) << 5) | ((rgb >> 3) & 31);
    default:
      if (v.Colors && v.NumColors > 0) return static_cast<uint32_t>(NearestIndex(v.Colors, v.NumColors, rgb));
      if (v.Bpp == 1) {
        int sum = static_cast<int>(((rgb >> 16) & 0xFF) + ((rgb >> 8) & 0xFF) + (rgb & 0xFF));
        return sum >= 384 ? 1 : 0;
      }
      return 0;
  }
}

void FillSpan(const TPixelView& v, int y, int x0, int x1, uint32_t raw) {
  if (x0 >= x1) return;
  uint8_t* row = v.Row(y);
  switch (v.Bpp) {
    case 32: {
      uint32_t* p = reinterpret_cast<uint32_t*>(row) + x0;
      std::fill_n(p, x1 - x0, raw);
      return;
    }
    case 8: std::memset(row + x0, static_cast<int>(raw & 0xFF), static_cast<size_t>(x1 - x0)); return;
    default:
      for (int x = x0; x < x1; ++x) WriteRaw(row, x, v.Bpp, raw);
  }
}

void XorSpan(const TPixelView& v, int y, int x0, int x1, uint32_t raw) {
  uint8_t* row = v.Row(y);
  if (v.Bpp == 32) {
    uint32_t* p = reinterpret_cast<uint32_t*>(row);
    for (int x = x0; x < x1; ++x) p[x] ^= raw;
    return;
  }
  for (int x = x0; x < x1; ++x) WriteRaw(row, x, v.Bpp, ReadRaw(row, x, v.Bpp) ^ raw);
}

void BlendPixel(const TPixelView& v, int x, int y, uint32_t rgb, uint32_t raw, int a) {
  if (a <= 0) return;
  uint8_t* row = v.Row(y);
  if (v.Bpp == 32 || v.Bpp == 24) {
    uint8_t* p = row + static_cast<size_t>(x) * (v.Bpp / 8);
    if (a >= 255) {
      p[0] = static_cast<uint8_t>(rgb);
      p[1] = static_cast<uint8_t>(rgb >> 8);
      p[2] = static_cast<uint8_t>(rgb >> 16);
    } else {
      int ia = 255 - a;
      p[0] = static_cast<uint8_t>(((rgb & 0xFF) * a + p[0] * ia + 127) / 255);
      p[1] = static_cast<uint8_t>((((rgb >> 8) & 0xFF) * a + p[1] * ia + 127) / 255);
      p[2] = static_cast<uint8_t>((((rgb >> 16) & 0xFF) * a + p[2] * ia + 127) / 255);
    }
    if (v.Bpp == 32) p[3] = 0;  // text output leaves the alpha byte at 0
    return;
  }
  if (a >= 128) WriteRaw(row, x, v.Bpp, raw);
}

void TConverter::Setup(const TPixelView& src, const TPixelView& dst, const TDC* srcDC, const TDC* dstDC) {
  Src = &src;
  Dst = &dst;
  SrcBkRgb = srcDC ? RgbOf(ResolveColor(*srcDC, srcDC->State.BkColor)) : 0xFFFFFF;
  DstTextRaw = RawOfRgb(dst, dstDC ? RgbOf(ResolveColor(*dstDC, dstDC->State.TextColor)) : 0);
  DstBkRaw = RawOfRgb(dst, dstDC ? RgbOf(ResolveColor(*dstDC, dstDC->State.BkColor)) : 0xFFFFFF);
  bool bkRule = dst.Bpp == 1 && src.Bpp != 1 && srcDC != nullptr;
  bool sameTable = src.NumColors == dst.NumColors &&
                   (src.NumColors == 0 || std::memcmp(src.Colors, dst.Colors, sizeof(RGBQUAD) * src.NumColors) == 0);
  Direct = src.Bpp == dst.Bpp && (src.Bpp >= 16 || src.Bpp == 1 || sameTable);
  UseLut = !Direct && src.Bpp <= 8;
  if (UseLut) {
    int n = 1 << src.Bpp;
    for (int i = 0; i < n; ++i) {
      uint32_t rgb = RgbOfRaw(src, static_cast<uint32_t>(i));
      if (src.MonoDevice && dstDC) Lut[i] = i ? DstBkRaw : DstTextRaw;
      else if (bkRule) Lut[i] = rgb == SrcBkRgb ? 1 : 0;
      else Lut[i] = RawOfRgb(dst, rgb);
    }
  }
  if (bkRule && !UseLut) Cache[0] = 0xFFFFFFFEu;  // marks the background rule
}

uint32_t TConverter::operator()(uint32_t raw) {
  if (Direct) return raw;
  if (UseLut) return Lut[raw & 0xFF];
  uint32_t rgb = RgbOfRaw(*Src, raw);
  switch (Dst->Bpp) {
    case 32: return Src->Bpp == 32 ? raw : rgb;
    case 24: return rgb;
    case 16: return RawOfRgb(*Dst, rgb);
    default:
      if (Cache[0] == 0xFFFFFFFEu) return rgb == SrcBkRgb ? 1 : 0;
      if (Cache[0] == rgb) return Cache[1];
      Cache[0] = rgb;
      Cache[1] = RawOfRgb(*Dst, rgb);
      return Cache[1];
  }
}

namespace {

// Destination offset i (0..dn-1) to source offset, sampling at pixel centres.
// Unsigned 64 bits hold 2 * i * sn for any i below 2^32 and sizes below 2^31.
inline int64_t MapCoord(int64_t i, int dn, int sn, bool flip) {
  int64_t s = dn == sn ? i
                       : static_cast<int64_t>((static_cast<uint64_t>(i) * 2 * static_cast<uint64_t>(sn) +
                                               static_cast<uint64_t>(sn)) /
                                              (2 * static_cast<uint64_t>(dn)));
  return flip ? int64_t(sn) - 1 - s : s;
}

}  // namespace

void TransferPixels(const TPixelView& dst, const RECT& clip, int dx, int dy, int dw, int dh, const TPixelView* src,
                    int sx, int sy, int sw, int sh, uint8_t rop, uint32_t pattern, TConverter* convert,
                    const TPixelView* mask, int mx, int my, uint8_t backRop) {
  bool flipX = false, flipY = false;
  if (dw == INT32_MIN || dh == INT32_MIN || sw == INT32_MIN || sh == INT32_MIN) return;
  if (dw < 0) { dx = SatAdd(dx, dw); dw = -dw; flipX = !flipX; }
  if (dh < 0) { dy = SatAdd(dy, dh); dh = -dh; flipY = !flipY; }
  if (sw < 0) { sx = SatAdd(sx, sw); sw = -sw; flipX = !flipX; }
  if (sh < 0) { sy = SatAdd(sy, sh); sh = -sh; flipY = !flipY; }
  if (dw == 0 || dh == 0) return;
  if (src && (sw == 0 || sh == 0)) return;
  auto sat = [](int64_t v) { return static_cast<LONG>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
  RECT area = Intersect(clip, RECT{dx, dy, sat(int64_t(dx) + dw), sat(int64_t(dy) + dh)});
  if (RectEmpty(area)) return;
  const uint32_t dmask = RawMask(dst.Bpp);

  // Reading and writing the same pixels: work from a copy of the source.
  std::vector<uint8_t> copy;
  TPixelView srcView;
  if (src) {
    srcView = *src;
    if (SameMemory(*src, dst)) {
      int64_t rowBytes = std::abs(src->Stride);
      copy.resize(static_cast<size_t>(rowBytes * src->Height));
      for (int y = 0; y < src->Height; ++y)
        std::memcpy(copy.data() + rowBytes * y, src->Row(y), static_cast<size_t>(rowBytes));
      srcView.Top = copy.data();
      srcView.Stride = rowBytes;
    }
  }

  bool plain = src && !flipX && dw == sw && !mask && convert && convert->Direct && dst.Bpp >= 8;
  std::vector<int> cols;
  if (!plain) {
    cols.resize(static_cast<size_t>(area.right - area.left));
    for (int x = area.left; x < area.right; ++x) {
      int64_t c = src ? int64_t(sx) + MapCoord(int64_t(x) - dx, dw, sw, flipX) : 0;
      cols[static_cast<size_t>(x - area.left)] = (src && (c < 0 || c >= srcView.Width)) ? -1 : static_cast<int>(c);
    }
  }
  // 32-bit destinations without a mask: whole rows at a time.
  bool fast32 = src && !plain && !mask && dst.Bpp == 32 && convert &&
                (srcView.Bpp == 32 || srcView.Bpp == 24 || (srcView.Bpp == 8 && convert->UseLut));
  // Plain copies: destination columns whose source column exists.
  int first = plain ? static_cast<int>(std::max<int64_t>(area.left, int64_t(dx) - sx)) : area.left;
  int last = plain ? static_cast<int>(std::min<int64_t>(area.right, int64_t(dx) - sx + srcView.Width)) : area.right;
  std::vector<uint32_t> line;
  if (fast32) line.resize(cols.size());
  const bool allCols = std::find(cols.begin(), cols.end(), -1) == cols.end();

  int lastSrcRow = -1;
  for (int y = area.top; y < area.bottom; ++y) {
    const uint8_t* srow = nullptr;
    int srcRow = -1;
    if (src) {
      int64_t r = int64_t(sy) + MapCoord(int64_t(y) - dy, dh, sh, flipY);
      if (r < 0 || r >= srcView.Height) continue;
      srcRow = static_cast<int>(r);
      srow = srcView.Row(srcRow);
    }
    uint8_t* drow = dst.Row(y);
    const uint8_t* mrow = nullptr;
    if (mask) {
      int64_t r = int64_t(my) + (int64_t(y) - dy);
      if (r < 0 || r >= mask->Height) continue;
      mrow = mask->Row(static_cast<int>(r));
    }
    if (plain) {
      if (first >= last) continue;
      int bytes = dst.Bpp / 8;
      const uint8_t* s = srow + (int64_t(first) - dx + sx) * bytes;
      uint8_t* d = drow + static_cast<int64_t>(first) * bytes;
      size_t n = static_cast<size_t>(last - first);
      if (rop == 0xCC) {
        std::memcpy(d, s, n * bytes);  // never overlapping: a shared source was copied first
        continue;
      }
      if (dst.Bpp == 32) {
        const uint32_t* s32 = reinterpret_cast<const uint32_t*>(s);
        uint32_t* d32 = reinterpret_cast<uint32_t*>(d);
        switch (rop) {
          case 0x88: for (size_t i = 0; i < n; ++i) d32[i] &= s32[i]; continue;
          case 0xEE: for (size_t i = 0; i < n; ++i) d32[i] |= s32[i]; continue;
          case 0x66: for (size_t i = 0; i < n; ++i) d32[i] ^= s32[i]; continue;
          default: for (size_t i = 0; i < n; ++i) d32[i] = Rop3(rop, pattern, s32[i], d32[i]); continue;
        }
      }
    }
    if (fast32) {
      // The converted source row, made once per source row.
      size_t n = cols.size();
      if (srcRow != lastSrcRow) {
        for (size_t i = 0; i < n; ++i) {
          int c = cols[i];
          if (c < 0) continue;
          switch (srcView.Bpp) {
            case 32: {
              uint32_t v;
              std::memcpy(&v, srow + static_cast<size_t>(c) * 4, 4);
              line[i] = convert->Direct ? v : (v & 0xFFFFFF);
              break;
            }
            case 24: {
              const uint8_t* p = srow + static_cast<size_t>(c) * 3;
              line[i] = p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
              break;
            }
            default: line[i] = convert->Lut[srow[c]]; break;
          }
        }
        lastSrcRow = srcRow;
      }
      uint32_t* d32 = reinterpret_cast<uint32_t*>(drow) + area.left;
      if (rop == 0xCC && allCols) {
        std::memcpy(d32, line.data(), n * 4);
        continue;
      }
      for (size_t i = 0; i < n; ++i) {
        if (cols[i] < 0) continue;
        d32[i] = rop == 0xCC ? line[i] : Rop3(rop, pattern, line[i], d32[i]);
      }
      continue;
    }
    for (int x = area.left; x < area.right; ++x) {
      uint8_t op = rop;
      if (mrow) {
        int64_t m = int64_t(mx) + (int64_t(x) - dx);
        if (m < 0 || m >= mask->Width) continue;
        op = ReadRaw(mrow, static_cast<int>(m), 1) ? rop : backRop;
      }
      uint32_t s = 0;
      if (src) {
        int c = cols[static_cast<size_t>(x - area.left)];
        if (c < 0) continue;
        s = (*convert)(ReadRaw(srow, c, srcView.Bpp));
      }
      uint32_t d = op == 0xCC || op == 0xF0 ? 0 : ReadRaw(drow, x, dst.Bpp);
      WriteRaw(drow, x, dst.Bpp, Rop3(op, pattern, s, d) & dmask);
    }
  }
}

}  // namespace hkgdi
