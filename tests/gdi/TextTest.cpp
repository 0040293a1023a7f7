#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text/FontEngine.h"
#include "tests/gdi/GdiTestUtil.h"

namespace {

HFONT MakeFont(const std::u16string& face, int height, int weight = FW_NORMAL, bool underline = false,
               BYTE quality = DEFAULT_QUALITY) {
  return CreateFontW(height, 0, 0, 0, weight, 0, underline, 0, DEFAULT_CHARSET, 0, 0, quality, 0, face.c_str());
}

class FakeText : public testing::Test {
 protected:
  void SetUp() override { SetFontEngine(CreateFakeFontEngine()); }
  void TearDown() override { SetFontEngine(nullptr); }
};

}  // namespace

TEST_F(FakeText, ExtentsAndMetrics) {
  TDibCanvas c(10, 10);
  HFONT font = MakeFont(u"Tahoma", -16);
  HGDIOBJ old = SelectObject(c.DC, font);
  SIZE s{};
  ASSERT_TRUE(GetTextExtentPoint32W(c.DC, u"abc", 3, &s));
  EXPECT_EQ(s.cx, 24);
  EXPECT_EQ(s.cy, 16);
  GetTextExtentPoint32W(c.DC, u"日本", 2, &s);
  EXPECT_EQ(s.cx, 32);
  GetTextExtentPoint32W(c.DC, u"\U0002000B", 2, &s);  // one wide character in two units
  EXPECT_EQ(s.cx, 16);
  GetTextExtentPoint32A(c.DC, "\xe9\x80", 2, &s);  // Windows-1252: e acute and the euro sign
  EXPECT_EQ(s.cx, 16);
  EXPECT_FALSE(GetTextExtentPoint32W(c.DC, nullptr, 3, &s));
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(c.DC, &tm));
  EXPECT_EQ(tm.tmHeight, 16);
  EXPECT_EQ(tm.tmAscent, 12);
  EXPECT_EQ(tm.tmDescent, 4);
  EXPECT_EQ(tm.tmAveCharWidth, 8);
  int fit = 0, dx[3];
  GetTextExtentExPointW(c.DC, u"abc", 3, 20, &fit, dx, &s);
  EXPECT_EQ(fit, 2);
  EXPECT_EQ(dx[2], 24);
  WCHAR name[32];
  GetTextFaceW(c.DC, 32, name);
  EXPECT_EQ(std::u16string(name), u"Tahoma");
  SelectObject(c.DC, old);
  DeleteObject(font);
}

TEST_F(FakeText, TextOutColoursModesAndUnderline) {
  TDibCanvas c(40, 30);
  HFONT font = MakeFont(u"Tahoma", -16);
  SelectObject(c.DC, font);
  SetBkMode(c.DC, TRANSPARENT);
  SetTextColor(c.DC, RGB(0, 0, 255));
  ASSERT_TRUE(TextOutW(c.DC, 10, 5, u"ab", 2));
  EXPECT_EQ(c.Ink(), (RECT{11, 6, 25, 20}));
  EXPECT_EQ(c.Raw(11, 6), 0x000000FFu);  // text colour, alpha byte 0

  TDibCanvas o(40, 30);
  SelectObject(o.DC, font);
  SetBkColor(o.DC, RGB(255, 0, 0));
  TextOutA(o.DC, 10, 5, "ab", 2);  // opaque by default: the whole cell takes the background
  EXPECT_EQ(o.Ink(), (RECT{10, 5, 26, 21}));
  EXPECT_EQ(o.At(10, 5), 0xFF0000u);

  TDibCanvas u(40, 30);
  HFONT under = MakeFont(u"Tahoma", -16, FW_NORMAL, true);
  SelectObject(u.DC, under);
  SetBkMode(u.DC, TRANSPARENT);
  TextOutW(u.DC, 10, 5, u"ab", 2);
  for (int x = 8; x < 28; ++x) EXPECT_EQ(u.At(x, 20), (x >= 10 && x < 26) ? 0u : 0xFFFFFFu) << x;

  // Clipped output stays inside the rectangle.
  TDibCanvas k(40, 30);
  SelectObject(k.DC, font);
  RECT clip{12, 0, 20, 30};
  ExtTextOutW(k.DC, 10, 5, ETO_CLIPPED, &clip, u"ab", 2, nullptr);
  EXPECT_EQ(k.Ink(), (RECT{12, 6, 20, 20}));
  for (TDibCanvas* d : {&c, &o, &u, &k}) SelectObject(d->DC, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);
  DeleteObject(under);
}

namespace {

class RealText : public testing::Test {
 protected:
  void SetUp() override {
    Engine = CreateFreeTypeFontEngine();
    if (!Engine) GTEST_SKIP() << "no FreeType";
    SetFontEngine(Engine);
  }
  void TearDown() override { SetFontEngine(nullptr); }
  std::shared_ptr<TFontEngine> Engine;
};

struct TDrawn {
  SIZE Extent;
  RECT Ink;
  int Count;
  std::vector<uint32_t> Pixels;
};

TDrawn Draw(const std::u16string& face, int height, const std::u16string& text, int weight = FW_NORMAL,
            BYTE quality = DEFAULT_QUALITY) {
  TDibCanvas c(600, 120);
  HFONT font = MakeFont(face, height, weight, false, quality);
  HGDIOBJ old = SelectObject(c.DC, font);
  SetBkMode(c.DC, TRANSPARENT);
  TDrawn d{};
  GetTextExtentPoint32W(c.DC, text.c_str(), static_cast<int>(text.size()), &d.Extent);
  TextOutW(c.DC, 20, 20, text.c_str(), static_cast<int>(text.size()));
  d.Ink = c.Ink();
  d.Count = c.InkCount();
  d.Pixels.assign(c.Bits, c.Bits + 600 * 120);
  SelectObject(c.DC, old);
  DeleteObject(font);
  return d;
}

}  // namespace

TEST_F(RealText, LatinAndJapaneseDrawInsideTheirMeasuredBox) {
  for (const char16_t* face : {u"Verdana", u"MS Gothic", u"NoSuchFace123"})
    for (const char16_t* text : {u"Hello, World", u"日本語のテキスト", u"Mixed 日本 text"}) {
      SCOPED_TRACE(testing::Message() << "face " << std::string(face, face + std::char_traits<char16_t>::length(face)).c_str());
      TDrawn d = Draw(face, -16, text);
      EXPECT_GT(d.Extent.cx, 0);
      EXPECT_GE(d.Extent.cy, 16);
      EXPECT_GT(d.Count, 60);
      EXPECT_GE(d.Ink.left, 20);
      EXPECT_GE(d.Ink.top, 20);
      EXPECT_LE(d.Ink.right, 20 + d.Extent.cx);
      EXPECT_LE(d.Ink.bottom, 20 + d.Extent.cy);
    }
}

TEST_F(RealText, DrawTextStaysInsideTheRectangleItMeasured) {
  for (const char16_t* face : {u"Verdana", u"MS Gothic"})
    for (const char16_t* text : {u"A rather long gloss that has to wrap over several lines",
                                 u"日本語の文章は空白なしで折り返される", u"(n) 日本 Japan; (P)"}) {
      TDibCanvas c(300, 300);
      HFONT font = MakeFont(face, PointsToFontHeight(12));
      SelectObject(c.DC, font);
      SetBkMode(c.DC, TRANSPARENT);
      RECT r{30, 30, 150, 30};
      int h = DrawTextW(c.DC, text, -1, &r, DT_CALCRECT | DT_WORDBREAK | DT_CENTER);
      EXPECT_EQ(h, r.bottom - r.top);
      EXPECT_LE(r.right, 150);
      EXPECT_GT(h, 20);  // wrapped onto more than one line
      EXPECT_EQ(DrawTextW(c.DC, text, -1, &r, DT_WORDBREAK | DT_CENTER | DT_NOCLIP), h);
      RECT ink = c.Ink();
      EXPECT_GT(c.InkCount(), 100);
      EXPECT_GE(ink.left, r.left);
      EXPECT_GE(ink.top, r.top);
      EXPECT_LE(ink.right, r.right);
      EXPECT_LE(ink.bottom, r.bottom);
      SelectObject(c.DC, GetStockObject(SYSTEM_FONT));
      DeleteObject(font);
    }
}

TEST_F(RealText, MissingCharactersComeFromAFallbackFont) {
  // Verdana maps to a Latin font: each kanji must still get its own glyph, not one missing-glyph box.
  TDrawn a = Draw(u"Verdana", -20, u"日");
  TDrawn b = Draw(u"Verdana", -20, u"本");
  TDrawn c = Draw(u"Verdana", -20, u"語");
  EXPECT_NE(a.Pixels, b.Pixels);
  EXPECT_NE(b.Pixels, c.Pixels);
  EXPECT_GE(a.Extent.cx, 18);  // a full-width character of a 20-pixel font
}

TEST_F(RealText, MetricsBoldAndAntialiasing) {
  TDibCanvas c(10, 10);
  HFONT font = MakeFont(u"Verdana", PointsToFontHeight(10));
  SelectObject(c.DC, font);
  TEXTMETRICW tm{};
  GetTextMetricsW(c.DC, &tm);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_GE(tm.tmHeight, 13);
  EXPECT_LE(tm.tmHeight, 20);
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 13);
  SelectObject(c.DC, GetStockObject(SYSTEM_FONT));
  DeleteObject(font);

  TDrawn regular = Draw(u"Verdana", -16, u"Hello");
  TDrawn bold = Draw(u"Verdana", -16, u"Hello", FW_BOLD);
  EXPECT_GT(bold.Count, regular.Count);
  auto greys = [](const TDrawn& d) {
    int n = 0;
    for (uint32_t p : d.Pixels) n += (p & 0xFF) != 0 && (p & 0xFF) != 0xFF;
    return n;
  };
  EXPECT_GT(greys(regular), 0);
  EXPECT_EQ(greys(Draw(u"Verdana", -16, u"Hello", FW_NORMAL, NONANTIALIASED_QUALITY)), 0);
}

// Heights at the ends of the range, and faces nobody has, still give a font that measures and draws.
TEST(TextFonts, ExtremeRequestsOnBothEngines) {
  std::vector<std::shared_ptr<TFontEngine>> engines{CreateFakeFontEngine()};
  if (auto real = CreateFreeTypeFontEngine()) engines.push_back(real);
  for (auto& engine : engines) {
    SetFontEngine(engine);
    for (int height : {INT32_MIN, -100000, -1, 0, 1, 100000, INT32_MAX}) {
      TDibCanvas c(20, 20);
      HFONT font = MakeFont(u"NoSuchFace123", height, 100000);
      SelectObject(c.DC, font);
      SIZE s{};
      EXPECT_TRUE(GetTextExtentPoint32W(c.DC, u"A日", 2, &s)) << engine->Name() << " " << height;
      EXPECT_GT(s.cy, 0);
      RECT r{0, 0, 20, 20};
      DrawTextW(c.DC, u"A日", 2, &r, DT_WORDBREAK);
      SelectObject(c.DC, GetStockObject(SYSTEM_FONT));
      DeleteObject(font);
    }
  }
  SetFontEngine(nullptr);
}
