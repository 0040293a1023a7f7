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

}  // namespace

WideString THanakumoCardForm::BuildGlossText() {
  WideString result;
  const int n = FGlosses.Count();
  for (int i = 0; i < n; ++i) {
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

  const WideString G = BuildGlossText();
  const int headSize = FReading.empty() ? 20 : 40;
  int W = 0, H = 0;
  {
    TCanvas& c = FCard->Canvas();
    SetCardFont(c, kHeadFont, headSize);
    RECT r{0, 0, 0, 0};
    DrawCardText(c, FHeadword, r, DT_CALCRECT | DT_SINGLELINE);
    W = std::max(W, static_cast<int>(r.right - r.left));
    H = r.bottom - r.top;
  }
  const int HeadH = H;
  int ReadH = 0;
  if (!FReading.empty()) {
    TCanvas& c = FCard->Canvas();
    SetCardFont(c, kHeadFont, 20);
    RECT r{0, 0, 0, 0};
    DrawCardText(c, FReading, r, DT_CALCRECT | DT_SINGLELINE);
    W = std::max(W, static_cast<int>(r.right - r.left));
    ReadH = r.bottom - r.top;
    H += kGap + ReadH;
  }
  W = std::min(W, MaxW);  // a longer line ends in an ellipsis
  int GlossH = 0;
  {
    TCanvas& c = FCard->Canvas();
    SetCardFont(c, kGlossFont, 10);
    RECT r{0, 0, std::max(W, MinW), 0};
    DrawCardText(c, G, r, DT_CALCRECT | DT_WORDBREAK);
    W = std::max(W, static_cast<int>(r.right - r.left));
    GlossH = r.bottom - r.top;
    H += kGap + GlossH;
  }
  W = std::min(W, MaxW);  // a word wider than the screen is clipped
  const int TextH = H;
  W = std::max(W, MinW);
  H = std::clamp(H, MinH, MaxH);  // glosses beyond the screen are clipped

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
  DrawCardText(c, FHeadword, r, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  if (!FReading.empty()) {
    SetCardFont(c, kHeadFont, 20);
    r.top = r.bottom + kGap;
    r.bottom = std::min(r.top + ReadH, bottomLimit);
    if (r.top < r.bottom) DrawCardText(c, FReading, r, DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
  }
  SetCardFont(c, kGlossFont, 10);
  r.top = r.bottom + kGap;
  r.bottom = std::min(r.top + GlossH, bottomLimit);
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
