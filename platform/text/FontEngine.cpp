// The engine GDI draws text with, and the fixed-metric fake engine.
#include "platform/text/FontEngine.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>

bool IsWideChar(char32_t c) {
  return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

LOGFONTW NormalizedFont(const LOGFONTW& font) {
  LOGFONTW lf = font;
  bool ended = false;
  for (WCHAR& ch : lf.lfFaceName) {
    ended = ended || ch == 0;
    if (ended) ch = 0;
  }
  lf.lfFaceName[LF_FACESIZE - 1] = 0;
  return lf;
}

namespace {

class TFakeFace : public TFontFace {
 public:
  explicit TFakeFace(const LOGFONTW& lf) {
    int64_t h64 = lf.lfHeight == 0 ? 16 : std::abs(static_cast<int64_t>(lf.lfHeight));
    int h = static_cast<int>(std::min<int64_t>(h64, 4096));
    if (h < 2) h = 2;
    M.Height = h;
    M.Descent = h / 4;
    M.Ascent = h - M.Descent;
    M.AveCharWidth = std::max(1, h / 2);
    M.MaxCharWidth = h;
    M.Weight = lf.lfWeight == 0 ? FW_NORMAL : lf.lfWeight;
    M.Italic = lf.lfItalic != 0;
    M.Underline = lf.lfUnderline != 0;
    M.StrikeOut = lf.lfStrikeOut != 0;
    M.UnderlinePosition = std::max(1, M.Descent - 1);  // the cell's last row, below the glyph box
    M.UnderlineThickness = 1;
    for (int i = 0; i < LF_FACESIZE && lf.lfFaceName[i]; ++i) M.FaceName.push_back(lf.lfFaceName[i]);
  }
  const TFontMetrics& Metrics() const override { return M; }
  int Advance(char32_t c) override {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) return 0;  // controls take no room
    return IsWideChar(c) ? M.Height : std::max(1, M.Height / 2);
  }
  const TGlyphImage* Glyph(char32_t c) override {
    if (c <= 0x20 || c == 0x3000 || (c >= 0x7F && c < 0xA0)) return nullptr;
    std::lock_guard<std::mutex> guard(Lock);
    bool wide = IsWideChar(c);
    TGlyphImage& g = wide ? Wide : Narrow;
    if (g.Coverage.empty()) {
      g.Width = std::max(1, Advance(c) - 2);
      g.Height = std::max(1, M.Height - 2);
      g.Left = 1;
      g.Top = M.Ascent - 1;
      g.Coverage.assign(static_cast<size_t>(g.Width) * g.Height, 255);
    }
    return &g;
  }

 private:
  TFontMetrics M;
  std::mutex Lock;
  TGlyphImage Narrow, Wide;
};

class TFakeEngine : public TFontEngine {
 public:
  const char* Name() const override { return "fake"; }
  std::shared_ptr<TFontFace> Face(const LOGFONTW& lf) override { return std::make_shared<TFakeFace>(lf); }
};

std::mutex EngineLock;
// Destroyed at exit, which hands fontconfig's memory back.
std::shared_ptr<TFontEngine> Current;

std::shared_ptr<TFontEngine> DefaultEngine() {
  static std::shared_ptr<TFontEngine> engine = [] {
    const char* choice = std::getenv("HANAKUMO_FONT_ENGINE");
    if (choice && std::strcmp(choice, "fake") == 0) return CreateFakeFontEngine();
    auto real = CreateFreeTypeFontEngine();
    return real ? real : CreateFakeFontEngine();
  }();
  return engine;
}

}  // namespace

std::shared_ptr<TFontEngine> CreateFakeFontEngine() { return std::make_shared<TFakeEngine>(); }

std::shared_ptr<TFontEngine> GetFontEngine() {
  std::lock_guard<std::mutex> guard(EngineLock);
  if (!Current) Current = DefaultEngine();
  return Current;
}

void SetFontEngine(std::shared_ptr<TFontEngine> engine) {
  std::lock_guard<std::mutex> guard(EngineLock);
  Current = std::move(engine);
}
