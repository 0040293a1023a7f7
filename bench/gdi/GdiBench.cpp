// A full-window repaint on our GDI (fill, blit, stretch, a screen of text)
// against pixman doing the same work on the same sizes.
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"
#include "platform/text/FontEngine.h"

namespace {

double BestMs(const std::function<void()>& work, int reps) {
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < reps; ++i) work();
    auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double, std::milli>(t1 - t0).count() / reps);
  }
  return best;
}

void Row(const std::string& what, double ours, double peer) {
  std::printf("ROW | %s | ours %.3f ms | pixman %.3f ms | ratio %.2f\n", what.c_str(), ours, peer, ours / peer);
}

HBITMAP MakeDib(int w, int h, uint32_t** bits) {
  BITMAPINFO bi{};
  bi.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* p = nullptr;
  HBITMAP b = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
  *bits = static_cast<uint32_t*>(p);
  return b;
}

}  // namespace

int main() {
  const int W = 1024, H = 768;
  auto surface = std::make_shared<TSurface>(W, H);
  HDC wdc = CreateSurfaceDC(surface, 0, 0, RECT{0, 0, W, H});
  uint32_t* srcBits = nullptr;
  HBITMAP srcBmp = MakeDib(W, H, &srcBits);
  for (int i = 0; i < W * H; ++i) srcBits[i] = 0x00000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
  HDC mdc = CreateCompatibleDC(nullptr);
  SelectObject(mdc, srcBmp);
  uint32_t* halfBits = nullptr;
  HBITMAP halfBmp = MakeDib(W / 2, H / 2, &halfBits);
  std::copy(srcBits, srcBits + (W / 2) * (H / 2), halfBits);
  HDC hdc = CreateCompatibleDC(nullptr);
  SelectObject(hdc, halfBmp);
  HBRUSH brush = CreateSolidBrush(RGB(0xF5, 0xF5, 0xF5));
  RECT all{0, 0, W, H};

  // pixman on the same memory layout.
  pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, H, surface->Pixels.data(), W * 4);
  pixman_image_t* src = pixman_image_create_bits(PIXMAN_x8r8g8b8, W, H, srcBits, W * 4);
  pixman_image_t* half = pixman_image_create_bits(PIXMAN_x8r8g8b8, W / 2, H / 2, halfBits, W * 2);
  pixman_color_t grey{0xF5F5, 0xF5F5, 0xF5F5, 0xFFFF};
  pixman_box32_t box{0, 0, W, H};

  double fillOurs = BestMs([&] { FillRect(wdc, &all, brush); }, 50);
  double fillPeer = BestMs([&] { pixman_image_fill_boxes(PIXMAN_OP_SRC, dst, &grey, 1, &box); }, 50);
  Row("fill 1024x768", fillOurs, fillPeer);

  double blitOurs = BestMs([&] { BitBlt(wdc, 0, 0, W, H, mdc, 0, 0, SRCCOPY); }, 50);
  double blitPeer = BestMs([&] { pixman_image_composite32(PIXMAN_OP_SRC, src, nullptr, dst, 0, 0, 0, 0, 0, 0, W, H); }, 50);
  Row("blit SRCCOPY 1024x768", blitOurs, blitPeer);

  SetStretchBltMode(wdc, COLORONCOLOR);
  double stretchOurs = BestMs([&] { StretchBlt(wdc, 0, 0, W, H, hdc, 0, 0, W / 2, H / 2, SRCCOPY); }, 20);
  pixman_transform_t scale;
  pixman_transform_init_scale(&scale, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
  pixman_image_set_transform(half, &scale);
  pixman_image_set_filter(half, PIXMAN_FILTER_NEAREST, nullptr, 0);
  double stretchPeer = BestMs([&] { pixman_image_composite32(PIXMAN_OP_SRC, half, nullptr, dst, 0, 0, 0, 0, 0, 0, W, H); }, 20);
  Row("stretch nearest 512x384 to 1024x768", stretchOurs, stretchPeer);

  // A screen of text: 48 lines of 100 characters, 10-point Verdana, black on the fill.
  HFONT font = CreateFontW(PointsToFontHeight(10), 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Verdana");
  SelectObject(wdc, font);
  SetBkMode(wdc, TRANSPARENT);
  std::u16string line;
  for (int i = 0; i < 100; ++i) line.push_back(static_cast<char16_t>(u'a' + (i * 7) % 26));
  for (int i = 9; i < 100; i += 10) line[static_cast<size_t>(i)] = u' ';
  double textOurs = BestMs([&] {
    for (int y = 0; y < 48; ++y) TextOutW(wdc, 4, y * 16, line.c_str(), static_cast<int>(line.size()));
  }, 10);

  // The same glyphs, from the same engine, through pixman's glyph cache.
  LOGFONTW lf{};
  lf.lfHeight = PointsToFontHeight(10);
  std::u16string face = u"Verdana";
  std::copy(face.begin(), face.end(), lf.lfFaceName);
  auto ff = GetFontEngine()->Face(lf);
  pixman_glyph_cache_t* cache = pixman_glyph_cache_create();
  std::vector<pixman_image_t*> glyphImages;
  pixman_glyph_cache_freeze(cache);
  for (char16_t c = u'a'; c <= u'z'; ++c) {
    const TGlyphImage* g = ff->Glyph(c);
    if (!g) continue;
    int stride = (g->Width + 3) & ~3;
    pixman_image_t* img = pixman_image_create_bits(PIXMAN_a8, g->Width, g->Height, nullptr, stride);
    auto* data = reinterpret_cast<uint8_t*>(pixman_image_get_data(img));
    for (int y = 0; y < g->Height; ++y) std::copy_n(g->Coverage.data() + y * g->Width, g->Width, data + y * stride);
    pixman_glyph_cache_insert(cache, reinterpret_cast<void*>(uintptr_t(c)), nullptr, -g->Left, g->Top, img);
    glyphImages.push_back(img);
  }
  pixman_glyph_cache_thaw(cache);
  int ascent = ff->Metrics().Ascent;
  std::vector<pixman_glyph_t> glyphs;
  for (int y = 0; y < 48; ++y) {
    int x = 4;
    for (char16_t c : line) {
      if (c != u' ') {
        const void* g = pixman_glyph_cache_lookup(cache, reinterpret_cast<void*>(uintptr_t(c)), nullptr);
        if (g) glyphs.push_back(pixman_glyph_t{x, y * 16 + ascent, g});
      }
      x += ff->Advance(c);
    }
  }
  pixman_color_t black{0, 0, 0, 0xFFFF};
  pixman_image_t* ink = pixman_image_create_solid_fill(&black);
  double textPeer = BestMs([&] {
    pixman_composite_glyphs(PIXMAN_OP_OVER, ink, dst, PIXMAN_a8r8g8b8, 0, 0, 0, 0, 0, 0, W, H, cache,
                            static_cast<int>(glyphs.size()), glyphs.data());
  }, 10);
  Row(std::string("text 48 lines x 100 chars, 10 pt (") + GetFontEngine()->Name() + ")", textOurs, textPeer);
  Row("full-window repaint 1024x768 (fill, blit, text)", fillOurs + blitOurs + textOurs, fillPeer + blitPeer + textPeer);

  pixman_image_unref(ink);
  for (auto* img : glyphImages) pixman_image_unref(img);
  pixman_glyph_cache_destroy(cache);
  pixman_image_unref(dst);
  pixman_image_unref(src);
  pixman_image_unref(half);
  SelectObject(wdc, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  ReleaseSurfaceDC(wdc);
  DeleteDC(mdc);
  DeleteDC(hdc);
  DeleteObject(srcBmp);
  DeleteObject(halfBmp);
  DeleteObject(brush);
  return 0;
}
