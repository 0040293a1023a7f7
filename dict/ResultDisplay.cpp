// The result lists (owner-drawn items on a grey column) and the result pane,
// which draws the selected entry: headword, reading, numbered glosses, the
// common-word banner and a legend of the markers its glosses carry.
#include <memory>

#include "common/DrawUtils.h"
#include "dict/EntryParser.h"
#include "dict/MainForm.h"
#include "dict/ResultLineData.h"
#include "dict/ResultText.h"

namespace {

constexpr TColor ListColor = 0xF0F0F0;

// Draws in the canvas's font and font colour over what is there. Dictionary
// text is drawn as written: "&" is an ampersand, not a mnemonic.
void DrawWide(TCanvas& canvas, std::u16string_view text, TRect rect, UINT flags) {
  HDC dc = canvas.Handle();
  SetBkMode(dc, TRANSPARENT);
  DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, flags | DT_NOPREFIX);
}

// A row shows as much of its text as fits, then an ellipsis. A gloss can be
// millions of units long, so measuring it whole for each row painted would
// stall the window: when its first units already overflow the row, they
// end in the same ellipsis the whole text would.
std::u16string_view VisiblePart(TCanvas& canvas, std::u16string_view text, int width) {
  constexpr size_t kHead = 1024;
  if (text.size() <= kHead) return text;
  const std::u16string_view head = text.substr(0, kHead);
  SIZE size{};
  GetTextExtentPoint32W(canvas.Handle(), head.data(), static_cast<int>(head.size()), &size);
  return size.cx > width ? head : text;
}

// The gloss box shows the lines that fit and clips the rest; lines wrap from
// the start, so when a long text's head already runs past the box, the head
// shows the same lines as the whole text would (a gloss of millions of
// units is not laid out in full at every repaint).
std::u16string_view WrappedPart(TCanvas& canvas, std::u16string_view text, const TRect& box) {
  constexpr size_t kHead = 1 << 16;
  if (text.size() <= kHead) return text;
  const std::u16string_view head = text.substr(0, kHead);
  RECT r{box.left, box.top, box.right, box.top};
  const int height = DrawTextW(canvas.Handle(), head.data(), static_cast<int>(head.size()), &r,
                               DT_CENTER | DT_WORDBREAK | DT_NOPREFIX | DT_CALCRECT);
  // Two lines to spare: the head's last line may break otherwise than the whole's.
  return height > (box.bottom - box.top) + 2 * canvas.TextHeight("Ag") ? head : text;
}

// More units than the gloss box can show in any font: the glosses past
// them are not listed for the pane.
constexpr size_t kShownGlossUnits = 1 << 17;

void UseFont(TCanvas& canvas, int points, TColor color, TFontStyles style = 0) {
  canvas.Font().SetName("Tahoma");
  canvas.Font().SetSize(points);
  canvas.Font().SetColor(color);
  canvas.Font().SetStyle(style);
}

}  // namespace

TResultRecords& THanakumoForm::RecordsOf(TWideListBox& list) {
  return &list == lstSimiliarMatch ? FSimiliarRecords : FExactRecords;
}

void THanakumoForm::FreeResultData(TWideListBox& list) { RecordsOf(list).Clear(); }

void THanakumoForm::ResultListDrawItem(TWinControl* control, int index, TRect rect, TOwnerDrawState state) {
  auto* list = static_cast<TWideListBox*>(control);
  TCanvas& canvas = list->Canvas();
  if (state & odSelected) {
    canvas.Font().SetColor(clWhite);
    DrawGradient(canvas, rect, 0xED8F32, 0xE87300, 1, 0);
  } else {
    canvas.Font().SetColor(clBlack);
    canvas.Brush().SetColor(ListColor);
    canvas.FillRect(rect);
  }
  TRect textRect(rect.left + 16, rect.top, rect.right - 16, rect.bottom);
  DrawWide(canvas, VisiblePart(canvas, list->Items().StringView(index), textRect.right - textRect.left), textRect,
           DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
  if (state & odFocused) canvas.DrawFocusRect(rect);
}

void THanakumoForm::ResultListClick(TObject* sender) {
  auto* list = dynamic_cast<TWideListBox*>(sender);
  if (!list || list->ItemIndex() < 0) return;
  // The pane outlives the lists' records: it holds the text, not a copy.
  const auto& record = *static_cast<TResultLineData*>(list->Items().Objects(list->ItemIndex()));
  FCurrentText = RecordsOf(*list).TextOf(record);
  FCurrentLine = FCurrentText ? record.Line() : std::u16string_view();
  pbResult->Invalidate();
}

void THanakumoForm::pbResultPaint(TObject*) {
  const TRect r = pbResult->ClientRect();
  const int W = r.right, H = r.bottom;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetSize(W, H);
  TCanvas& canvas = bitmap->Canvas();
  canvas.Lock();
  struct Unlock {
    TCanvas& c;
    ~Unlock() { c.Unlock(); }
  } unlock{canvas};

  canvas.Brush().SetColor(clWhite);
  canvas.FillRect(r);
  if (!FCurrentLine.empty()) {
    const TEntryFields fields = CutEntryLine(FCurrentLine);
    // Only the glosses the box can show are listed and laid out; the whole
    // list is walked for its count and its last gloss ("(P)").
    TWideStringList glosses;
    int count = 0;
    size_t listed = 0;
    std::u16string_view last;
    ForEachToken(fields.Glosses, u'/', [&](std::u16string_view gloss) {
      ++count;
      last = gloss;
      if (listed >= kShownGlossUnits) return;
      glosses.Add(WideString(gloss));
      listed += gloss.size() + 8;
    });
    const bool common = last == u"(P)";

    UseFont(canvas, 30, clBlack);
    const TRect headBox(10, 30, W - 10, 80);
    DrawWide(canvas, VisiblePart(canvas, fields.Headword, headBox.right - headBox.left), headBox,
             DT_CENTER | DT_END_ELLIPSIS);
    if (!fields.Reading.empty()) {
      UseFont(canvas, 10, 0xEF9644);
      const TRect readingBox(10, 90, W - 10, 110);
      DrawWide(canvas, VisiblePart(canvas, fields.Reading, readingBox.right - readingBox.left), readingBox,
               DT_CENTER | DT_END_ELLIPSIS);
    }

    const WideString glossText = GlossText(glosses, count, common, chkShowLineNumber->Checked());
    UseFont(canvas, 8, clBlack);
    const TRect glossBox(10, 120, W - 10, 320);
    DrawWide(canvas, WrappedPart(canvas, glossText, glossBox), glossBox, DT_CENTER | DT_WORDBREAK);

    const WideString legend = MarkerLegend(glossText);
    if (!legend.empty()) {
      canvas.Pen().SetColor(0xCDCDCD);
      canvas.MoveTo(10, H - 43);
      canvas.LineTo(W - 10, H - 43);
      UseFont(canvas, 8, clBlack);
      DrawWide(canvas, legend, TRect(10, H - 40, W - 10, H - 2), DT_WORDBREAK | DT_END_ELLIPSIS);
    }
    if (common) {
      UseFont(canvas, 8, 0x808080, fsBold | fsUnderline);
      DrawWide(canvas, u"Commonly used words", TRect(15, 10, W - 15, 25),
               DT_CENTER | DT_SINGLELINE | DT_END_ELLIPSIS);
    }
  }
  pbResult->Canvas().CopyRect(r, canvas, r);
}
