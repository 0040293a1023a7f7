// DrawText: prefixes, line breaks, word wrapping, ellipses, alignment and
// measuring, as the platform lays text out.
#include "platform/text/TextRender.h"

namespace hkgdi {
namespace {

struct TLine {
  std::u16string Text;
  int Underline = -1;  // index in Text of the prefixed character
  int Width = 0;
};

// Closing marks that never start a line.
bool NoBreakBefore(char16_t c) {
  static const std::u16string marks = u"、。，．・：；？！ー）」』】〕〉》｝!?,.:;)]}ぁぃぅぇぉっゃゅょァィゥェォッャュョ々";
  return marks.find(c) != std::u16string::npos;
}

bool NoBreakAfter(char16_t c) {
  static const std::u16string marks = u"（「『【〔〈《｛([{";
  return marks.find(c) != std::u16string::npos;
}

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t' || c == 0x3000; }

// A line may break between i - 1 and i without a space (East Asian text).
bool BreakBetween(const std::u16string& s, size_t i) {
  if (i == 0 || i >= s.size()) return false;
  char16_t a = s[i - 1], b = s[i];
  if (!(IsWideChar(a) || IsWideChar(b))) return false;
  if (IsSpace(a) || IsSpace(b)) return false;
  return !NoBreakBefore(b) && !NoBreakAfter(a);
}

// Breaks one paragraph [p, end) of `s` into lines no wider than `width`
// where it can; a word wider than that stays whole on its own line, or
// with `breakWords` is broken where it reaches the edge.
void Wrap(TFontFace& face, const std::u16string& s, size_t p, size_t end, int width, int underline,
          std::vector<TLine>& out, bool breakWords) {
  auto emit = [&](size_t a, size_t b) {
    TLine l;
    l.Text = s.substr(a, b - a);
    if (underline >= static_cast<int>(a) && underline < static_cast<int>(b)) l.Underline = underline - static_cast<int>(a);
    l.Width = RunWidth(face, l.Text.data(), static_cast<int>(l.Text.size()));
    out.push_back(std::move(l));
  };
  if (p == end) {
    emit(p, p);
    return;
  }
  while (p < end) {
    size_t i = p, lastEnd = 0, lastNext = 0;
    int64_t w = 0;
    bool broke = false;
    while (i < end) {
      if (IsSpace(s[i])) {
        size_t j = i;
        while (j < end && IsSpace(s[j])) ++j;
        if (i > p) {
          lastEnd = i;
          lastNext = j;
        }
        w += RunWidth(face, s.data() + i, static_cast<int>(j - i));
        i = j;
        continue;
      }
      if (i > p && BreakBetween(s, i)) {
        lastEnd = i;
        lastNext = i;
      }
      size_t units = (s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < end) ? 2 : 1;
      int cw = RunWidth(face, s.data() + i, static_cast<int>(units));
      if (w + cw > width && lastEnd > p) {
        emit(p, lastEnd);
        p = lastNext;
        broke = true;
        break;
      }
      if (w + cw > width && breakWords && i > p) {
        emit(p, i);
        p = i;
        broke = true;
        break;
      }
      w += cw;
      i += units;
    }
    if (!broke) {
      // The rest fits, or is one word that cannot be broken. Trailing spaces take no room.
      size_t e = end;
      while (e > p && IsSpace(s[e - 1])) --e;
      emit(p, e);
      p = end;
    }
  }
}

void Ellipsize(TFontFace& face, TLine& l, int width) {
  if (l.Width <= width) return;
  static const std::u16string dots = u"...";
  int dotsWidth = RunWidth(face, dots.data(), 3);
  size_t keep = 0;
  int64_t w = 0;
  while (keep < l.Text.size()) {
    size_t units = (l.Text[keep] >= 0xD800 && l.Text[keep] <= 0xDBFF && keep + 1 < l.Text.size()) ? 2 : 1;
    int cw = RunWidth(face, l.Text.data() + keep, static_cast<int>(units));
    if (w + cw + dotsWidth > width) break;
    w += cw;
    keep += units;
  }
  l.Text = l.Text.substr(0, keep) + dots;
  if (l.Underline >= static_cast<int>(keep)) l.Underline = -1;
  l.Width = static_cast<int>(w + dotsWidth);
}

}  // namespace
}  // namespace hkgdi

using namespace hkgdi;

int DrawTextW(HDC handle, const WCHAR* text, int length, RECT* rect, UINT format) {
  auto dc = GetDC(handle);
  if (!dc || !rect || (!text && length != 0)) return 0;
  if (length < 0) {
    length = 0;
    while (text[length]) ++length;
  }
  auto face = FaceOf(*dc);
  const int lineHeight = face->Metrics().Height;

  // "&" marks the next character, "&&" stands for one "&".
  std::u16string s;
  int underline = -1;
  s.reserve(static_cast<size_t>(length));
  for (int i = 0; i < length; ++i) {
    if (text[i] == u'&' && !(format & DT_NOPREFIX)) {
      if (i + 1 < length && text[i + 1] == u'&') {
        s.push_back(u'&');
        ++i;
      } else if (i + 1 < length) {
        if (!(format & DT_HIDEPREFIX)) underline = static_cast<int>(s.size());
      }
      continue;
    }
    s.push_back(text[i]);
  }
  if (s.empty()) {
    if (format & DT_CALCRECT) {
      rect->right = rect->left;
      rect->bottom = rect->top;
    }
    return 0;
  }

  const int width = static_cast<int>(std::clamp<int64_t>(int64_t(rect->right) - rect->left, INT32_MIN, INT32_MAX));
  const bool single = format & DT_SINGLELINE;
  std::vector<TLine> lines;
  size_t p = 0;
  while (p <= s.size()) {
    size_t e = single ? s.size() : s.find_first_of(u"\r\n", p);
    if (e == std::u16string::npos) e = s.size();
    if ((format & DT_WORDBREAK) && !single) {
      Wrap(*face, s, p, e, width, underline, lines, (format & DT_EDITCONTROL) != 0);
    } else {
      TLine l;
      l.Text = s.substr(p, e - p);
      if (underline >= static_cast<int>(p) && underline < static_cast<int>(e)) l.Underline = underline - static_cast<int>(p);
      l.Width = RunWidth(*face, l.Text.data(), static_cast<int>(l.Text.size()));
      lines.push_back(std::move(l));
    }
    if (e >= s.size()) break;
    p = e + ((s[e] == u'\r' && e + 1 < s.size() && s[e + 1] == u'\n') ? 2 : 1);
    if (p >= s.size()) break;  // a final line break starts no new line
  }
  if (format & DT_END_ELLIPSIS)
    for (auto& l : lines) Ellipsize(*face, l, width);

  const int height = static_cast<int>(std::min<int64_t>(int64_t(lines.size()) * lineHeight, INT32_MAX));
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (auto& l : lines) widest = std::max(widest, l.Width);
    rect->right = SatAdd(rect->left, widest);
    rect->bottom = SatAdd(rect->top, height);
    return height;
  }

  int64_t y = rect->top;
  if (single && (format & DT_VCENTER)) y = rect->top + (int64_t(rect->bottom) - rect->top - lineHeight) / 2;
  else if (single && (format & DT_BOTTOM)) y = int64_t(rect->bottom) - lineHeight;
  TTarget t;
  if (MakeTarget(*dc, t)) {
    const RECT* clip = (format & DT_NOCLIP) ? nullptr : rect;
    int64_t ly = y;
    for (auto& l : lines) {
      int64_t x = rect->left;
      if (format & DT_CENTER) x = rect->left + (int64_t(width) - l.Width) / 2;
      else if (format & DT_RIGHT) x = int64_t(rect->right) - l.Width;
      x = std::clamp<int64_t>(x, INT32_MIN, INT32_MAX);
      DrawRun(*dc, t, *face, static_cast<int>(x), static_cast<int>(ly), l.Text.data(),
              static_cast<int>(l.Text.size()), clip, dc->State.BkMode == OPAQUE, l.Underline);
      ly += lineHeight;
    }
  }
  if (single && (format & (DT_VCENTER | DT_BOTTOM)))
    return static_cast<int>(std::clamp<int64_t>(y - rect->top + lineHeight, INT32_MIN, INT32_MAX));
  return height;
}

int DrawTextA(HDC dc, const char* text, int length, RECT* rect, UINT format) {
  if (!text && length != 0) return 0;
  if (length < 0) length = static_cast<int>(std::strlen(text));
  std::u16string w = WideOfAnsi(text, length);
  return DrawTextW(dc, w.data(), static_cast<int>(w.size()), rect, format);
}
