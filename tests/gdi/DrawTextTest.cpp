// Layouts on the fake engine: a 16-pixel font, 8 pixels per narrow
// character, 16 per wide one, glyphs are boxes one pixel in from their cell.
#include <gtest/gtest.h>

#include <string>

#include "platform/text/FontEngine.h"
#include "tests/gdi/GdiTestUtil.h"

namespace {

class DrawTextLayout : public testing::Test {
 protected:
  void SetUp() override {
    SetFontEngine(CreateFakeFontEngine());
    Font = CreateFontW(-16, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, u"Verdana");
  }
  void TearDown() override {
    DeleteObject(Font);
    SetFontEngine(nullptr);
  }
  // Draws into a fresh white 100 x 40 canvas, black on transparent.
  RECT DrawInk(const std::u16string& text, RECT r, UINT format, int* result = nullptr, TDibCanvas* keep = nullptr) {
    TDibCanvas local(100, 40);
    TDibCanvas& c = keep ? *keep : local;
    HGDIOBJ old = SelectObject(c.DC, Font);
    SetBkMode(c.DC, TRANSPARENT);
    int h = DrawTextW(c.DC, text.c_str(), static_cast<int>(text.size()), &r, format);
    if (result) *result = h;
    SelectObject(c.DC, old);
    return c.Ink();
  }
  HFONT Font = nullptr;
};

}  // namespace

TEST_F(DrawTextLayout, MeasuredRectangles) {
  struct Case {
    const char16_t* text;
    UINT format;
    RECT in, out;
    int height;
  };
  const UINT calc = DT_CALCRECT;
  const Case cases[] = {
      {u"abcd", calc | DT_SINGLELINE, {0, 0, 0, 0}, {0, 0, 32, 16}, 16},
      {u"abcd", calc, {5, 5, 5, 5}, {5, 5, 37, 21}, 16},
      {u"aa bb cc", calc | DT_WORDBREAK, {0, 0, 40, 0}, {0, 0, 40, 32}, 32},
      {u"aa bb cc", calc | DT_WORDBREAK, {0, 0, 39, 0}, {0, 0, 16, 48}, 48},
      {u"aa   bb", calc | DT_WORDBREAK, {0, 0, 16, 0}, {0, 0, 16, 32}, 32},
      {u"abcdefgh", calc | DT_WORDBREAK, {0, 0, 30, 0}, {0, 0, 64, 16}, 16},  // a word wider than the box widens it
      // ... unless it is broken at the edge, as an edit breaks it; one
      // character a line at the least.
      {u"abcdefgh", calc | DT_WORDBREAK | DT_EDITCONTROL, {0, 0, 30, 0}, {0, 0, 24, 48}, 48},
      {u"ab cdefgh", calc | DT_WORDBREAK | DT_EDITCONTROL, {0, 0, 30, 0}, {0, 0, 24, 48}, 48},
      {u"abc", calc | DT_WORDBREAK | DT_EDITCONTROL, {0, 0, 4, 0}, {0, 0, 8, 48}, 48},
      {u"a\r\nbb\nccc", calc, {0, 0, 0, 0}, {0, 0, 24, 48}, 48},
      {u"a\r\nb", calc | DT_SINGLELINE, {0, 0, 0, 0}, {0, 0, 16, 16}, 16},
      {u"line\r\n", calc, {0, 0, 0, 0}, {0, 0, 32, 16}, 16},
      {u"abcdefgh", calc | DT_SINGLELINE | DT_END_ELLIPSIS, {0, 0, 44, 0}, {0, 0, 40, 16}, 16},
      {u"&File", calc, {0, 0, 0, 0}, {0, 0, 32, 16}, 16},
      {u"a&&b", calc, {0, 0, 0, 0}, {0, 0, 24, 16}, 16},
      {u"a&", calc, {0, 0, 0, 0}, {0, 0, 8, 16}, 16},
      {u"&File", calc | DT_NOPREFIX, {0, 0, 0, 0}, {0, 0, 40, 16}, 16},
      {u"日本語日本語", calc | DT_WORDBREAK, {0, 0, 40, 0}, {0, 0, 32, 48}, 48},
      {u"日本、語", calc | DT_WORDBREAK, {0, 0, 40, 0}, {0, 0, 32, 48}, 48},  // "、" never starts a line
      {u"", calc, {3, 3, 50, 50}, {3, 3, 3, 3}, 0},
  };
  TDibCanvas c(4, 4);
  SelectObject(c.DC, Font);
  for (const Case& k : cases) {
    RECT r = k.in;
    std::u16string text = k.text;
    EXPECT_EQ(DrawTextW(c.DC, text.c_str(), -1, &r, k.format), k.height) << std::string(text.begin(), text.end());
    EXPECT_EQ(r, k.out) << std::string(text.begin(), text.end());
  }
  // Measuring draws nothing.
  EXPECT_EQ(c.InkCount(), 0);
  SelectObject(c.DC, GetStockObject(SYSTEM_FONT));
}

TEST_F(DrawTextLayout, AlignmentAndVerticalPlacement) {
  const RECT box{0, 0, 100, 40};
  EXPECT_EQ(DrawInk(u"ab", box, DT_LEFT), (RECT{1, 1, 15, 15}));
  EXPECT_EQ(DrawInk(u"ab", box, DT_CENTER), (RECT{43, 1, 57, 15}));
  EXPECT_EQ(DrawInk(u"ab", box, DT_RIGHT), (RECT{85, 1, 99, 15}));
  int h = 0;
  EXPECT_EQ(DrawInk(u"ab", box, DT_SINGLELINE | DT_VCENTER, &h), (RECT{1, 13, 15, 27}));
  EXPECT_EQ(h, 28);  // from the top of the rectangle to the bottom of the text
  EXPECT_EQ(DrawInk(u"ab", box, DT_SINGLELINE | DT_BOTTOM, &h), (RECT{1, 25, 15, 39}));
  EXPECT_EQ(h, 40);
  // Without DT_SINGLELINE the vertical centre flag does nothing.
  EXPECT_EQ(DrawInk(u"ab", box, DT_VCENTER, &h), (RECT{1, 1, 15, 15}));
  EXPECT_EQ(h, 16);
}

TEST_F(DrawTextLayout, WrappedLinesAreCentredEachOnItsOwn) {
  TDibCanvas c(100, 40);
  DrawInk(u"aa bb cc", RECT{0, 0, 40, 40}, DT_WORDBREAK | DT_CENTER, nullptr, &c);
  // First line "aa bb" fills the 40 pixels; "cc" (16 wide) starts at 12.
  EXPECT_EQ(c.At(1, 5), 0u);
  EXPECT_EQ(c.At(38, 5), 0u);
  EXPECT_EQ(c.At(12, 20), 0xFFFFFFu);
  EXPECT_EQ(c.At(13, 20), 0u);
  EXPECT_EQ(c.At(26, 20), 0u);
  EXPECT_EQ(c.At(27, 20), 0xFFFFFFu);
  EXPECT_EQ(c.Ink().bottom, 31);
}

TEST_F(DrawTextLayout, ClippingEllipsisAndPrefixes) {
  EXPECT_EQ(DrawInk(u"abcdefgh", RECT{0, 0, 20, 16}, DT_SINGLELINE), (RECT{1, 1, 20, 15}));
  EXPECT_EQ(DrawInk(u"abcdefgh", RECT{0, 0, 20, 16}, DT_SINGLELINE | DT_NOCLIP), (RECT{1, 1, 63, 15}));
  // "ab..." fits 44 pixels and ends at 40; the clipped full text would reach 44.
  EXPECT_EQ(DrawInk(u"abcdefgh", RECT{0, 0, 44, 16}, DT_SINGLELINE | DT_END_ELLIPSIS), (RECT{1, 1, 39, 15}));
  EXPECT_EQ(DrawInk(u"abcdefgh", RECT{0, 0, 44, 16}, DT_SINGLELINE), (RECT{1, 1, 44, 15}));
  // "&" underlines the character after it, on the cell's last row.
  TDibCanvas c(100, 40);
  EXPECT_EQ(DrawInk(u"&ab", RECT{0, 0, 100, 40}, DT_LEFT, nullptr, &c), (RECT{0, 1, 15, 16}));
  for (int x = 0; x < 16; ++x) EXPECT_EQ(c.At(x, 15), x < 8 ? 0u : 0xFFFFFFu) << x;
  EXPECT_EQ(DrawInk(u"&ab", RECT{0, 0, 100, 40}, DT_NOPREFIX), (RECT{1, 1, 23, 15}));
  EXPECT_EQ(DrawInk(u"&ab", RECT{0, 0, 100, 40}, DT_HIDEPREFIX), (RECT{1, 1, 15, 15}));
}

TEST_F(DrawTextLayout, ByteTextAndRefusedCalls) {
  TDibCanvas c(100, 40);
  SelectObject(c.DC, Font);
  RECT r{0, 0, 0, 0};
  EXPECT_EQ(DrawTextA(c.DC, "abc", -1, &r, DT_CALCRECT), 16);
  EXPECT_EQ(r, (RECT{0, 0, 24, 16}));
  EXPECT_EQ(DrawTextW(c.DC, u"abc", 3, nullptr, 0), 0);
  EXPECT_EQ(DrawTextW(c.DC, nullptr, 3, &r, 0), 0);
  HDC gone = CreateCompatibleDC(nullptr);
  DeleteDC(gone);
  EXPECT_EQ(DrawTextW(gone, u"abc", 3, &r, 0), 0);
  EXPECT_FALSE(TextOutW(gone, 0, 0, u"abc", 3));
  // A very long line is measured and clipped, not a problem.
  std::u16string huge(200000, u'x');
  RECT big{0, 0, 100, 40};
  EXPECT_EQ(DrawTextW(c.DC, huge.c_str(), static_cast<int>(huge.size()), &big, DT_WORDBREAK | DT_CALCRECT), 16);
  EXPECT_EQ(big.right, 1600000);
  // Coordinates at the ends of the range draw nothing and break nothing.
  for (RECT far : {RECT{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, RECT{INT32_MAX - 5, 0, INT32_MAX, 40},
                   RECT{INT32_MIN, 0, INT32_MIN + 5, 40}}) {
    for (UINT f : {DT_CENTER | DT_SINGLELINE | DT_VCENTER, DT_RIGHT | DT_WORDBREAK, DT_CALCRECT | DT_BOTTOM | DT_SINGLELINE}) {
      RECT r = far;
      DrawTextW(c.DC, huge.c_str(), 1000, &r, f | DT_END_ELLIPSIS);
    }
  }
  EXPECT_TRUE(TextOutW(c.DC, INT32_MAX - 3, INT32_MIN + 3, huge.c_str(), 1000));
  EXPECT_EQ(c.InkCount(), 0);
  SelectObject(c.DC, GetStockObject(SYSTEM_FONT));
}

// Random text and flags: what DT_CALCRECT measures must hold all that the
// same call then draws into that rectangle.
TEST_F(DrawTextLayout, MeasuredRectangleHoldsTheDrawnText) {
  uint32_t seed = 12345;
  auto next = [&] { return seed = seed * 1103515245u + 12345u, (seed >> 8) & 0xFFFF; };
  const char16_t pieces[] = u"ab &&&\r\n日本、。x  ";
  const UINT flagBits[] = {DT_CENTER, DT_RIGHT, DT_VCENTER, DT_WORDBREAK, DT_SINGLELINE, DT_END_ELLIPSIS, DT_NOPREFIX};
  for (int round = 0; round < 300; ++round) {
    std::u16string text;
    int n = static_cast<int>(next() % 40);
    for (int i = 0; i < n; ++i) text.push_back(pieces[next() % (sizeof(pieces) / sizeof(pieces[0]) - 1)]);
    UINT format = 0;
    for (UINT f : flagBits)
      if (next() % 3 == 0) format |= f;
    if ((format & DT_CENTER) && (format & DT_RIGHT)) format &= ~DT_RIGHT;
    int width = static_cast<int>(next() % 120);
    TDibCanvas c(400, 400);
    HGDIOBJ old = SelectObject(c.DC, Font);
    SetBkMode(c.DC, TRANSPARENT);
    RECT r{100, 100, 100 + width, 100};
    int h = DrawTextW(c.DC, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
    ASSERT_EQ(h, r.bottom - r.top);
    ASSERT_EQ(c.InkCount(), 0);
    DrawTextW(c.DC, text.c_str(), static_cast<int>(text.size()), &r, format | DT_NOCLIP);
    if (c.InkCount() > 0) {
      RECT ink = c.Ink();
      EXPECT_TRUE(ink.left >= r.left && ink.top >= r.top && ink.right <= r.right && ink.bottom <= r.bottom)
          << "round " << round << " format " << std::hex << format << " ink " << ink << " measured " << r;
    }
    SelectObject(c.DC, old);
  }
}
