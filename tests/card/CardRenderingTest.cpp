// The card's image: its size from the texts, the frame's alpha, the opaque
// centre, white text, and the window's premultiplied copy.
#include "CardTestSupport.h"

namespace {

uint8_t AlphaOf(uint32_t c) { return static_cast<uint8_t>(c >> 24); }

class CardRenderingTest : public CardTest {
 public:
  // Draws an entry as a refresh would, without the fades.
  void Render(const WideString& headword, const WideString& reading, const std::vector<WideString>& glosses) {
    card->SetEntry(headword, reading, glosses);
    card->RenderCard();
    card->UpdateLayeredCard();
  }
  int CardWidth() { return card->Card().Width(); }
  int CardHeight() { return card->Card().Height(); }
  uint32_t At(int x, int y) { return card->Card().GetPixel(x, y); }
};

TEST_F(CardRenderingTest, GlossText) {
  WriteConfig();
  Start();
  const struct {
    std::vector<WideString> Glosses;
    WideString Text;
  } cases[] = {
      {{u"water", u"(P)"}, u"water"},
      {{u"(P)"}, u""},
      {{u"(P)", u"water"}, u"(P), water"},
      {{u"a", u"b", u"c"}, u"a, b, c"},
      {{u"(P)", u"(P)"}, u"(P)"},
      {{}, u""},
      {{u"(p)"}, u"(p)"},  // exact comparison
  };
  for (auto& c : cases) {
    card->SetEntry(u"x", u"", c.Glosses);
    EXPECT_EQ(card->BuildGlossText(), c.Text);
  }
}

TEST_F(CardRenderingTest, ShortEntryOnTheDesignSizeCard) {
  WriteConfig();
  Start();
  Render(u"水", u"みず", {u"(n) water", u"(P)"});
  ASSERT_EQ(CardWidth(), 280);
  ASSERT_EQ(CardHeight(), 170);
  RECT r = CardRect();
  EXPECT_EQ(r.right - r.left, 280);
  EXPECT_EQ(r.bottom - r.top, 170);
  // The frame keeps its alpha: a clear margin, a soft shadow.
  EXPECT_EQ(AlphaOf(At(0, 0)), 0);
  EXPECT_EQ(AlphaOf(At(5, 85)), 0);
  EXPECT_GT(AlphaOf(At(272, 85)), 0);
  EXPECT_LT(AlphaOf(At(272, 85)), 255);
  EXPECT_EQ(AlphaOf(At(279, 169)), 0);
  // The centre is opaque everywhere, text included, and the text is white:
  // the block (53 + 5 + 27 + 5 + 13 high) is centred on the card.
  for (int y = 30; y < 140; ++y)
    for (int x = 30; x < 250; ++x) ASSERT_EQ(AlphaOf(At(x, y)), 255) << x << "," << y;
  EXPECT_EQ(At(40, 33), 0xFF0E0F0Fu);
  EXPECT_EQ(At(140, 60), 0xFFFFFFFFu);      // headword
  EXPECT_EQ(At(127, 34 + 58 + 13), 0xFFFFFFFFu);  // reading
  EXPECT_EQ(At(140, 34 + 90 + 6), 0xFFFFFFFFu);   // gloss
  EXPECT_EQ(At(140, 33), 0xFF0E0F0Fu);      // above the block
  // The window got the premultiplied image.
  const uint32_t shadow = At(272, 85);
  const uint32_t shown = HeadlessPixel(CardWindow(), 272, 85);
  EXPECT_EQ(AlphaOf(shown), AlphaOf(shadow));
  EXPECT_LE(shown & 0xFF, AlphaOf(shown));
  EXPECT_EQ(HeadlessPixel(CardWindow(), 140, 60), 0xFFFFFFFFu);
}

TEST_F(CardRenderingTest, LongTextsGrowTheCard) {
  WriteConfig();
  Start();
  // 20 characters at 40 points: 20 x 26 pixels.
  Render(u"ABCDEFGHIJKLMNOPQRST", u"x", {u"y"});
  EXPECT_EQ(CardWidth(), 30 + 520 + 30);
  EXPECT_EQ(CardHeight(), 170);
  // Without a reading the headword is drawn at 20 points.
  Render(u"ABCDEFGHIJKLMNOPQRST", u"", {u"y"});
  EXPECT_EQ(CardWidth(), 30 + 260 + 30);
  // Glosses wrap at the text width and make the card taller.
  std::vector<WideString> many(60, u"word");
  Render(u"水", u"みず", many);
  EXPECT_EQ(CardWidth(), 280);
  EXPECT_GT(CardHeight(), 170);
  for (int y = 30; y < CardHeight() - 30; ++y) ASSERT_EQ(AlphaOf(At(100, y)), 255) << y;
  // One word wider than the area widens the card to it.
  Render(u"水", u"みず", {WideString(50, u'w')});
  EXPECT_EQ(CardWidth(), 30 + 300 + 30);
}

TEST_F(CardRenderingTest, AmpersandsAreDrawnAsWritten) {
  WriteConfig();
  Start();
  Render(WideString(12, u'&'), u"x", {u"R&D"});
  EXPECT_EQ(CardWidth(), 30 + 12 * 26 + 30);
  Render(u"x", u"y", {WideString(50, u'&')});
  EXPECT_EQ(CardWidth(), 30 + 300 + 30);
}

TEST_F(CardRenderingTest, TheCardNeverOutgrowsTheWorkArea) {
  HeadlessSetScreenSize(800, 600);
  WriteConfig();
  Start();
  Render(WideString(100, u'H'), u"r", {u"g"});
  EXPECT_EQ(CardWidth(), 800);
  Render(u"h", u"r", {WideString(5000, u'w')});
  EXPECT_EQ(CardWidth(), 800);
  Render(u"h", u"r", std::vector<WideString>(3000, u"word"));
  EXPECT_LE(CardHeight(), 600);
  EXPECT_EQ(CardWidth(), 280);
  // The frame still closes the card at the bottom.
  EXPECT_EQ(AlphaOf(At(5, CardHeight() - 1)), 0);
  EXPECT_EQ(AlphaOf(At(100, CardHeight() - 31)), 255);
}

// Capped at the work area, the glosses end with a whole line: the fake
// font's glyphs are boxes one line high less two rows, so the last rows
// with text are a full glyph's height.
TEST_F(CardRenderingTest, ACappedCardShowsOnlyWholeLinesOfGlosses) {
  for (int screenH : {600, 601, 605, 610}) {
    SCOPED_TRACE(screenH);
    HeadlessSetScreenSize(800, screenH);
    WriteConfig();
    Start();
    Render(u"h", u"r", std::vector<WideString>(3000, u"word"));
    ASSERT_EQ(CardHeight(), screenH);
    auto textRow = [&](int y) {
      for (int x = 30; x < CardWidth() - 30; ++x)
        if ((At(x, y) & 0xFFFFFFu) == 0xFFFFFFu) return true;
      return false;
    };
    int last = CardHeight() - 1;
    while (last > 0 && !textRow(last)) --last;
    int first = last;
    while (first > 0 && textRow(first - 1)) --first;
    EXPECT_EQ(last - first + 1, 13 - 2) << "the last line of glosses is cut";
    Finish();
  }
}

// A huge text is measured and drawn only as far as the card shows it: the
// card is the one its visible start gives.
TEST_F(CardRenderingTest, AHugeTextGivesTheCardOfItsVisibleStart) {
  HeadlessSetScreenSize(800, 600);
  WriteConfig();
  Start();
  WideString words;
  while (words.size() < 4000000) words += u"several words of a gloss ";
  const struct {
    WideString Head, Gloss;
  } cases[] = {{u"h", words}, {WideString(2000000, u'H'), u"g"}, {words, words}};
  for (const auto& c : cases) {
    Render(c.Head.substr(0, 3000), u"r", {c.Gloss.substr(0, 50000)});
    const int w = CardWidth(), h = CardHeight();
    std::vector<uint32_t> expected;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) expected.push_back(At(x, y));
    Render(c.Head, u"r", {c.Gloss});
    ASSERT_EQ(CardWidth(), w);
    ASSERT_EQ(CardHeight(), h);
    size_t differ = 0;
    for (int y = 0, i = 0; y < h; ++y)
      for (int x = 0; x < w; ++x, ++i) differ += At(x, y) != expected[static_cast<size_t>(i)];
    EXPECT_EQ(differ, 0u);
  }
}

}  // namespace
