// Drawing the card: the texts measured, the card sized to them (never below
// the frame's design size, never beyond the screen's work area), the nine
// frame pieces composed, the texts drawn in white and the alpha that text
// drawing clears put back.
#include <algorithm>

#include "card/CardForm.h"
#include "card/MainGlobals.h"
#include "classlib/Graphics.h"
#include "common/WindowUtils.h"
#include "platform/Windows.h"

namespace {

constexpr int kGap = 5;
constexpr const char* kHeadFont = "MS Gothic";
constexpr const char* kGlossFont = "Verdana";

// Card text is drawn as written: an "&" is no mnemonic mark.
int DrawCardText(TCanvas& canvas, const WideString& text, RECT& rect, UINT format) {
  return DrawTextW(canvas.Handle(), reinterpret_cast<const WCHAR*>(text.c_str()), static_cast<int>(text.size()),
                   &rect, format | DT_NOPREFIX);
}

void SetCardFont(TCanvas& canvas, const char* name, int size) {
  canvas.Font().SetName(name);
  canvas.Font().SetSize(size);
}

// The size of a text as DrawText lays it out in the canvas's font, wrapped
// at `width` where the format breaks words.
SIZE MeasureCardText(TCanvas& canvas, const WideString& text, UINT format, int width = 0) {
  RECT r{0, 0, width, 0};
  DrawCardText(canvas, text, r, format | DT_CALCRECT);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

// As much of the text as a box of maxW x maxH can show, laid out as the
// format lays it (wrapped at `width`): a start long enough to overflow the
// box, or the whole text. A huge text (one long dictionary line) is thus
// measured and drawn only as far as anyone can see it; the start grows
// fourfold until it overflows, so the cost follows what is shown.
WideString VisibleText(TCanvas& canvas, const WideString& text, UINT format, int width, int maxW, int maxH) {
  constexpr size_t kFirst = 1024;
  if (text.size() <= kFirst) return text;
  const int line = MeasureCardText(canvas, u"X", DT_SINGLELINE).cy;
  for (size_t n = kFirst;; n *= 4) {
    if (n >= text.size()) return text;
    size_t cut = n;
    if (text[cut] >= 0xDC00 && text[cut] <= 0xDFFF) --cut;  // keeps a surrogate pair whole
    WideString start = text.substr(0, cut);
    const SIZE size = MeasureCardText(canvas, start, format, width);
    // One line more than the box holds: the cut line itself is never shown.
    if ((format & DT_SINGLELINE) ? size.cx > maxW : size.cy > maxH + line) return start;
  }
}

}  // namespace

WideString THanakumoCardForm::BuildGlossText(size_t limit) {
  WideString result;
  const int n = FGlosses.Count();
  for (int i = 0; i < n && result.size() < limit; ++i) {
    const WideString gloss = FGlosses[i];
    if (i < n - 1) {
      result += gloss;
      result += u", ";
    } else if (gloss != PriorityMark) {
      result += gloss;
    } else {
      // The mark goes with the separator before it; alone it leaves nothing.
      result.erase(result.size() >= 2 ? result.size() - 2 : 0);
    }
  }
  return result;
}

void THanakumoCardForm::RenderCard() {
  TBitmap32* p0 = FFramePieces[0].get();
  TBitmap32* p4 = FFramePieces[4].get();
  TBitmap32* p8 = FFramePieces[8].get();
  const int L = p0->Width(), T = p0->Height(), R = p8->Width(), B = p8->Height();
  const int MinW = p4->Width(), MinH = p4->Height();
  // The largest text area a card on the work area can have.
  const TRect work = Screen->WorkAreaRect();
  const int MaxW = std::max(MinW, (work.right - work.left) - L - R);
  const int MaxH = std::max(MinH, (work.bottom - work.top) - T - B);

  TCanvas& m = FCard->Canvas();
  const int headSize = FReading.empty() ? 20 : 40;
  SetCardFont(m, kHeadFont, headSize);
  const WideString head = VisibleText(m, FHeadword, DT_SINGLELINE, 0, MaxW, MaxH);
  const SIZE headSz = MeasureCardText(m, head, DT_SINGLELINE);
  int W = headSz.cx, H = headSz.cy;
  const int HeadH = H;
  WideString reading;
  int ReadH = 0;
  if (!FReading.empty()) {
    SetCardFont(m, kHeadFont, 20);
    reading = VisibleText(m, FReading, DT_SINGLELINE, 0, MaxW, MaxH);
    const SIZE readSz = MeasureCardText(m, reading, DT_SINGLELINE);
    W = std::max(W, static_cast<int>(readSz.cx));
    ReadH = readSz.cy;
    H += kGap + ReadH;
  }
  W = std::min(W, MaxW);  // a longer line ends in an ellipsis
  SetCardFont(m, kGlossFont, 10);
  const int wrapW = std::max(W, MinW);
  WideString G;
  for (size_t limit = 65536;; limit *= 4) {
    const WideString all = BuildGlossText(limit);
    G = VisibleText(m, all, DT_WORDBREAK, wrapW, MaxW, MaxH);
    if (G.size() < all.size() || all.size() < limit) break;  // it overflows the card, or it is whole
  }
  const SIZE glossSz = MeasureCardText(m, G, DT_WORDBREAK, wrapW);
  const int GlossLineH = MeasureCardText(m, u"X", DT_SINGLELINE).cy;
  W = std::max(W, static_cast<int>(glossSz.cx));
  const int GlossH = glossSz.cy;
  H += kGap + GlossH;
  W = std::min(W, MaxW);  // a word wider than the screen is clipped
  const int TextH = H;
  W = std::max(W, MinW);
  H = std::clamp(H, MinH, MaxH);  // glosses beyond the screen are left out

  FCard->SetSize(L + W + R, T + H + B);
  FCard->Draw(0, 0, FFramePieces[0].get());
  FCard->Draw(TRect(L, 0, L + W, T), FFramePieces[1]->BoundsRect(), FFramePieces[1].get());
  FCard->Draw(L + W, 0, FFramePieces[2].get());
  FCard->Draw(TRect(0, T, L, T + H), FFramePieces[3]->BoundsRect(), FFramePieces[3].get());
  FCard->Draw(TRect(L, T, L + W, T + H), FFramePieces[4]->BoundsRect(), FFramePieces[4].get());
  FCard->Draw(TRect(L + W, T, L + W + R, T + H), FFramePieces[5]->BoundsRect(), FFramePieces[5].get());
  FCard->Draw(0, T + H, FFramePieces[6].get());
  FCard->Draw(TRect(L, T + H, L + W, T + H + B), FFramePieces[7]->BoundsRect(), FFramePieces[7].get());
  FCard->Draw(L + W, T + H, FFramePieces[8].get());

  TCanvas& c = FCard->Canvas();
  SetCardFont(c, kHeadFont, headSize);
  c.Font().SetColor(clWhite);
  c.Brush().SetStyle(bsClear);
  const int top = H > TextH ? (T + H + B) / 2 - TextH / 2 : T;
  const int bottomLimit = T + H;
  RECT r{L, top, L + W, std::min(top + HeadH, bottomLimit)};
  DrawCardText(c, head, r, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (!FReading.empty()) {
    SetCardFont(c, kHeadFont, 20);
    r.top = r.bottom + kGap;
    r.bottom = std::min(r.top + ReadH, bottomLimit);
    if (r.top < r.bottom) DrawCardText(c, reading, r, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
  SetCardFont(c, kGlossFont, 10);
  r.top = r.bottom + kGap;
  r.bottom = std::min(r.top + GlossH, bottomLimit);
  // Cut short by the work area, the glosses end with their last whole line.
  if (r.bottom < r.top + GlossH && GlossLineH > 0)
    r.bottom = r.top + std::max(0, static_cast<int>(r.bottom - r.top)) / GlossLineH * GlossLineH;
  if (r.top < r.bottom) DrawCardText(c, G, r, DT_WORDBREAK | DT_VCENTER | DT_CENTER);
  MakeOpaque(TRect(L, T, L + W, T + H));
  SetClientWidth(FCard->Width());
  SetClientHeight(FCard->Height());
}

void THanakumoCardForm::MakeOpaque(const TRect& rect) {
  for (int y = rect.top; y < rect.bottom; ++y) {
    TColor32* row = FCard->ScanLine(y);
    for (int x = rect.left; x < rect.right; ++x) row[x] |= 0xFF000000u;
  }
}

void THanakumoCardForm::UpdateLayeredCard() {
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetPixelFormat(pf32bit);
  FCard->AssignTo(bitmap.get());
  UpdateLayeredWindowFromBitmap(Handle(), *bitmap);
}
