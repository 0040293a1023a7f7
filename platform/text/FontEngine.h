// The font engine interface behind all text output: a LOGFONT maps to a face
// that gives metrics, advances and glyph coverage. The real engine runs on
// FreeType and fontconfig; the fake one has fixed metrics for exact layouts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/gdi/Gdi.h"

struct TFontMetrics {
  int Height = 0;  // ascent + descent: the line height
  int Ascent = 0;
  int Descent = 0;
  int InternalLeading = 0;
  int ExternalLeading = 0;
  int AveCharWidth = 0;
  int MaxCharWidth = 0;
  int Weight = FW_NORMAL;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  int UnderlinePosition = 1;  // rows below the baseline of the underline's top
  int UnderlineThickness = 1;
  std::u16string FaceName;
};

// Coverage (0..255) of one glyph; pixel (0, 0) of it lies at
// (pen x + Left, baseline - Top).
struct TGlyphImage {
  int Width = 0;
  int Height = 0;
  int Left = 0;
  int Top = 0;
  std::vector<uint8_t> Coverage;
};

class TFontFace {
 public:
  virtual ~TFontFace() = default;
  virtual const TFontMetrics& Metrics() const = 0;
  // Whole pixels the pen moves after this character.
  virtual int Advance(char32_t ch) = 0;
  // The glyph of a character, kept by the face (nullptr for blanks).
  virtual const TGlyphImage* Glyph(char32_t ch) = 0;
  // Both at once, for drawing.
  virtual const TGlyphImage* Lookup(char32_t ch, int& advance) {
    advance = Advance(ch);
    return Glyph(ch);
  }
};

class TFontEngine {
 public:
  virtual ~TFontEngine() = default;
  virtual const char* Name() const = 0;
  // Never nullptr: a face that does not exist falls back to one that does.
  virtual std::shared_ptr<TFontFace> Face(const LOGFONTW& font) = 0;
};

// The engine GDI uses: HANAKUMO_FONT_ENGINE=fake picks the fake one, else
// the real one (or the fake one when FreeType cannot start).
std::shared_ptr<TFontEngine> GetFontEngine();
// Tests switch engines; nullptr goes back to the default.
void SetFontEngine(std::shared_ptr<TFontEngine> engine);
std::shared_ptr<TFontEngine> CreateFreeTypeFontEngine();  // nullptr when FreeType cannot start

// Fixed metrics for a font of cell height H (|lfHeight|, 16 when 0):
// ascent H - H / 4, descent H / 4, no leading; every character advances
// H / 2, East Asian wide ones H, controls 0; a glyph is a solid box one pixel in from its
// cell on each side, blanks and controls draw nothing; underline one pixel
// high on the cell's last row. Bold and italic change nothing.
std::shared_ptr<TFontEngine> CreateFakeFontEngine();

// The request with nothing after the face name's end, so that fonts asking
// for the same thing compare equal.
LOGFONTW NormalizedFont(const LOGFONTW& font);

// East Asian wide or fullwidth characters (two cells).
bool IsWideChar(char32_t ch);
