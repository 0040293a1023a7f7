// The real font engine: fontconfig finds the font for a face name, FreeType
// renders it; characters the face lacks come from a font that has them.
#include <fontconfig/fontconfig.h>
#include "platform/AsciiCase.h"
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/text/FontEngine.h"

namespace {

std::string Utf8Of(const WCHAR* s, int max) {
  std::string out;
  for (int i = 0; i < max && s[i]; ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < max && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    if (c < 0x80) out += static_cast<char>(c);
    else if (c < 0x800) { out += static_cast<char>(0xC0 | (c >> 6)); out += static_cast<char>(0x80 | (c & 0x3F)); }
    else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// The desktop's face names, as the fonts installed here know them.
std::string FamilyFor(const std::string& face) {
  const std::string f = hkwin::AsciiLower(face);
  static const std::map<std::string, std::string> names = {
      {"ms gothic", "IPAGothic"},       {"\xef\xbc\xad\xef\xbc\xb3 \xe3\x82\xb4\xe3\x82\xb7\xe3\x83\x83\xe3\x82\xaf", "IPAGothic"},
      {"ms pgothic", "IPAPGothic"},     {"ms ui gothic", "IPAPGothic"},
      {"ms mincho", "IPAMincho"},       {"ms pmincho", "IPAPMincho"},
      {"system", "DejaVu Sans"},        {"ms sans serif", "DejaVu Sans"},
      {"ms shell dlg", "DejaVu Sans"},  {"ms shell dlg 2", "DejaVu Sans"},
      {"courier new", "DejaVu Sans Mono"}, {"", "DejaVu Sans"}};
  auto it = names.find(f);
  return it == names.end() ? face : it->second;
}

struct TFtFont {
  FT_Face Face = nullptr;
  bool Embolden = false;
  bool Oblique = false;
};

struct TCached {
  int Advance = 0;
  bool HasImage = false;
  TGlyphImage Image;
};

class TFtEngine;

class TFtFace : public TFontFace {
 public:
  TFtFace(TFtEngine& engine, const LOGFONTW& lf, std::mutex& lock) : Engine(engine), Lock(lock), Log(lf) {}
  ~TFtFace() override;
  bool Open();
  const TFontMetrics& Metrics() const override { return M; }
  int Advance(char32_t ch) override { return Cached(ch).Advance; }
  const TGlyphImage* Glyph(char32_t ch) override {
    const TCached& g = Cached(ch);
    return g.HasImage ? &g.Image : nullptr;
  }
  const TGlyphImage* Lookup(char32_t ch, int& advance) override {
    const TCached& g = Cached(ch);
    advance = g.Advance;
    return g.HasImage ? &g.Image : nullptr;
  }

 private:
  // Latin-1 glyphs are found without the lock once loaded: cache entries never move.
  const TCached& Cached(char32_t ch) {
    if (ch < 0x100) {
      if (const TCached* g = Fast[ch].load(std::memory_order_acquire)) return *g;
    }
    std::lock_guard<std::mutex> guard(Lock);
    const TCached& g = Load(ch);
    if (ch < 0x100) Fast[ch].store(&g, std::memory_order_release);
    return g;
  }
  const TCached& Load(char32_t ch);
  TFtFont* FontFor(char32_t ch, FT_UInt& index);
  TFtFont* OpenFile(const std::string& file, int index, int weight, int slant);

  TFtEngine& Engine;
  std::mutex& Lock;
  LOGFONTW Log;
  TFontMetrics M;
  int Em = 16;
  bool Mono = false;
  TFtFont Primary;
  std::vector<TFtFont> Fallbacks;
  std::map<std::string, size_t> FallbackByFile;
  FcFontSet* Sorted = nullptr;
  FcPattern* Pattern = nullptr;
  std::unordered_map<char32_t, TCached> Cache;
  std::array<std::atomic<const TCached*>, 256> Fast{};
};

class TFtEngine : public TFontEngine {
 public:
  bool Start() {
    if (FT_Init_FreeType(&Library) != 0) return false;
    Config = FcInitLoadConfigAndFonts();
    if (Config == nullptr) return false;
    // The programs are laid out for Tahoma's metrics; Debian's fonts-wine
    // has that face, outside fontconfig's folders. Its bold is hardly
    // bolder than the regular face: bold is made from the regular one.
    const char* tahoma = "/usr/share/wine/fonts/tahoma.ttf";
    if (access(tahoma, R_OK) == 0) FcConfigAppFontAddFile(Config, reinterpret_cast<const FcChar8*>(tahoma));
    return true;
  }
  ~TFtEngine() override {
    Faces.clear();
    if (Library) FT_Done_FreeType(Library);
    if (Config) FcConfigDestroy(Config);
  }
  const char* Name() const override { return "freetype"; }
  std::shared_ptr<TFontFace> Face(const LOGFONTW& request) override {
    LOGFONTW lf = NormalizedFont(request);
    std::string key(reinterpret_cast<const char*>(&lf), sizeof(lf));
    {
      std::lock_guard<std::mutex> guard(Lock);
      auto it = Faces.find(key);
      if (it != Faces.end()) return it->second;
    }
    auto face = std::make_shared<TFtFace>(*this, lf, Lock);
    std::shared_ptr<TFontFace> result;
    if (face->Open()) result = face;
    else result = CreateFakeFontEngine()->Face(lf);  // no font at all: keep drawing something
    std::map<std::string, std::shared_ptr<TFontFace>> dropped;  // freed after the lock: faces take it
    std::lock_guard<std::mutex> guard(Lock);
    if (Faces.size() > 256) dropped.swap(Faces);
    Faces.emplace(key, result);
    return result;
  }
  FT_Library Library = nullptr;
  FcConfig* Config = nullptr;
  std::mutex Lock;

 private:
  std::map<std::string, std::shared_ptr<TFontFace>> Faces;
};

TFtFace::~TFtFace() {
  std::lock_guard<std::mutex> guard(Lock);
  if (Primary.Face) FT_Done_Face(Primary.Face);
  for (auto& f : Fallbacks) FT_Done_Face(f.Face);
  if (Sorted) FcFontSetDestroy(Sorted);
  if (Pattern) FcPatternDestroy(Pattern);
}

TFtFont* TFtFace::OpenFile(const std::string& file, int index, int weight, int slant) {
  FT_Face face = nullptr;
  if (FT_New_Face(Engine.Library, file.c_str(), index, &face) != 0) return nullptr;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(Em)) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  TFtFont f;
  f.Face = face;
  f.Embolden = Log.lfWeight >= FW_SEMIBOLD && weight < FC_WEIGHT_DEMIBOLD;
  f.Oblique = Log.lfItalic && slant == FC_SLANT_ROMAN;
  if (!Primary.Face) {
    Primary = f;
    return &Primary;
  }
  Fallbacks.push_back(f);
  return &Fallbacks.back();
}

bool TFtFace::Open() {
  std::lock_guard<std::mutex> guard(Lock);
  std::string family = FamilyFor(Utf8Of(Log.lfFaceName, LF_FACESIZE));
  auto makePattern = [&](const std::string& name) {
    FcPattern* p = FcPatternCreate();
    FcPatternAddString(p, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(p, FC_WEIGHT, Log.lfWeight >= FW_SEMIBOLD ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(p, FC_SLANT, Log.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(p, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(Engine.Config, p, FcMatchPattern);
    FcDefaultSubstitute(p);
    return p;
  };
  auto isFamily = [](FcPattern* match, const char* name) {
    FcChar8* got = nullptr;
    return match && FcPatternGetString(match, FC_FAMILY, 0, &got) == FcResultMatch && got &&
           hkwin::AsciiSameText(reinterpret_cast<const char*>(got), name);
  };
  Pattern = makePattern(family);
  FcResult result;
  FcPattern* match = FcFontMatch(Engine.Config, Pattern, &result);
  // A missing Verdana is stood in for by its narrower sibling Tahoma, which
  // the layouts made for Verdana fit, rather than by a wider face.
  if (match && hkwin::AsciiSameText(family, "verdana") && !isFamily(match, "Verdana")) {
    FcPattern* alt = makePattern("Tahoma");
    FcPattern* altMatch = FcFontMatch(Engine.Config, alt, &result);
    if (isFamily(altMatch, "Tahoma")) {
      std::swap(Pattern, alt);
      std::swap(match, altMatch);
    }
    FcPatternDestroy(alt);
    if (altMatch) FcPatternDestroy(altMatch);
  }
  if (!match) return false;
  FcChar8* file = nullptr;
  int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
  FcPatternGetString(match, FC_FILE, 0, &file);
  FcPatternGetInteger(match, FC_INDEX, 0, &index);
  FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(match, FC_SLANT, 0, &slant);
  // A face without a bold of its own comes back marked for emboldening.
  FcBool embolden = FcFalse;
  if (FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden) == FcResultMatch && embolden) weight = FC_WEIGHT_REGULAR;
  std::string path = file ? reinterpret_cast<const char*>(file) : "";
  FcPatternDestroy(match);
  if (path.empty()) return false;

  // Size: a negative height is the em, a positive one the whole cell.
  FT_Face probe = nullptr;
  if (FT_New_Face(Engine.Library, path.c_str(), index, &probe) != 0) return false;
  TT_OS2* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(probe, FT_SFNT_OS2));
  double upem = probe->units_per_EM ? probe->units_per_EM : 1000;
  double winAscent = os2 && os2->usWinAscent ? os2->usWinAscent : probe->ascender;
  double winDescent = os2 && os2->usWinAscent ? os2->usWinDescent : -probe->descender;
  if (winAscent + winDescent <= 0) { winAscent = upem * 0.8; winDescent = upem * 0.2; }
  double avg = os2 ? os2->xAvgCharWidth : upem / 2;
  double underPos = probe->underline_position, underThick = probe->underline_thickness;
  double maxAdvance = probe->max_advance_width;
  FT_Done_Face(probe);
  double h = Log.lfHeight;
  double em = h < 0 ? -h : (h > 0 ? h * upem / (winAscent + winDescent) : 12);
  Em = static_cast<int>(std::lround(std::clamp(em, 1.0, 2048.0)));
  Mono = Log.lfQuality == NONANTIALIASED_QUALITY;
  if (!OpenFile(path, index, weight, slant)) return false;

  double scale = Em / upem;
  // Rounded as the platform's own text metrics are: Tahoma at 8 points is
  // 11 + 2 = 13 pixels high, the line height the layouts are made for.
  M.Ascent = std::max(1, static_cast<int>(std::lround(winAscent * scale)));
  M.Descent = std::max(0, static_cast<int>(std::lround(winDescent * scale)));
  M.Height = M.Ascent + M.Descent;
  M.InternalLeading = std::max(0, M.Height - Em);
  M.ExternalLeading = 0;
  M.AveCharWidth = std::max(1, static_cast<int>(std::lround(avg * scale)));
  M.MaxCharWidth = std::max(1, static_cast<int>(std::lround(maxAdvance * scale)));
  M.Weight = Log.lfWeight == 0 ? FW_NORMAL : Log.lfWeight;
  M.Italic = Log.lfItalic != 0;
  M.Underline = Log.lfUnderline != 0;
  M.StrikeOut = Log.lfStrikeOut != 0;
  M.UnderlineThickness = std::max(1, static_cast<int>(std::lround(underThick * scale)));
  int pos = static_cast<int>(std::lround(-underPos * scale)) - M.UnderlineThickness / 2;
  M.UnderlinePosition = std::clamp(pos, 1, std::max(1, M.Descent - M.UnderlineThickness));
  for (int i = 0; i < LF_FACESIZE && Log.lfFaceName[i]; ++i) M.FaceName.push_back(Log.lfFaceName[i]);
  return true;
}

TFtFont* TFtFace::FontFor(char32_t ch, FT_UInt& index) {
  index = FT_Get_Char_Index(Primary.Face, ch);
  if (index) return &Primary;
  for (auto& f : Fallbacks) {
    index = FT_Get_Char_Index(f.Face, ch);
    if (index) return &f;
  }
  if (!Sorted) {
    FcResult result;
    Sorted = FcFontSort(Engine.Config, Pattern, FcTrue, nullptr, &result);
  }
  if (Sorted) {
    for (int i = 0; i < Sorted->nfont; ++i) {
      FcCharSet* set = nullptr;
      if (FcPatternGetCharSet(Sorted->fonts[i], FC_CHARSET, 0, &set) != FcResultMatch || !FcCharSetHasChar(set, ch))
        continue;
      FcChar8* file = nullptr;
      int fi = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
      if (FcPatternGetString(Sorted->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      FcPatternGetInteger(Sorted->fonts[i], FC_INDEX, 0, &fi);
      FcPatternGetInteger(Sorted->fonts[i], FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(Sorted->fonts[i], FC_SLANT, 0, &slant);
      std::string key = std::string(reinterpret_cast<const char*>(file)) + "#" + std::to_string(fi);
      if (FallbackByFile.count(key)) continue;  // opened already, and it lacks the character
      TFtFont* f = OpenFile(reinterpret_cast<const char*>(file), fi, weight, slant);
      FallbackByFile[key] = Fallbacks.size();
      if (!f) continue;
      index = FT_Get_Char_Index(f->Face, ch);
      if (index) return f;
    }
  }
  index = 0;  // nobody has it: the primary face's missing-glyph box
  return &Primary;
}

const TCached& TFtFace::Load(char32_t ch) {
  auto it = Cache.find(ch);
  if (it != Cache.end()) return it->second;
  TCached& g = Cache[ch];
  if (ch < 0x20 || (ch >= 0x7F && ch < 0xA0)) return g;  // controls take no room
  FT_UInt index = 0;
  TFtFont* font = FontFor(ch, index);
  // A face's hand-tuned one-bit strikes serve the small sizes, as on the
  // platform (Tahoma at 8 and 9 points); larger text is smoothed from the outlines.
  FT_Int32 flags = FT_LOAD_DEFAULT | (Mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
  if (!Mono && Em > 13) flags |= FT_LOAD_NO_BITMAP;
  if (FT_Load_Glyph(font->Face, index, flags) != 0) return g;
  FT_GlyphSlot slot = font->Face->glyph;
  if (font->Embolden) FT_GlyphSlot_Embolden(slot);
  if (font->Oblique) FT_GlyphSlot_Oblique(slot);
  g.Advance = static_cast<int>((slot->advance.x + 32) >> 6);
  if (FT_Render_Glyph(slot, Mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL) != 0) return g;
  const FT_Bitmap& b = slot->bitmap;
  if (b.width == 0 || b.rows == 0) return g;
  g.HasImage = true;
  g.Image.Width = static_cast<int>(b.width);
  g.Image.Height = static_cast<int>(b.rows);
  g.Image.Left = slot->bitmap_left;
  g.Image.Top = slot->bitmap_top;
  g.Image.Coverage.resize(static_cast<size_t>(b.width) * b.rows);
  for (unsigned y = 0; y < b.rows; ++y) {
    const unsigned char* row = b.buffer + static_cast<ptrdiff_t>(y) * b.pitch;
    uint8_t* out = g.Image.Coverage.data() + static_cast<size_t>(y) * b.width;
    for (unsigned x = 0; x < b.width; ++x)
      out[x] = b.pixel_mode == FT_PIXEL_MODE_MONO ? (((row[x >> 3] >> (7 - (x & 7))) & 1) ? 255 : 0) : row[x];
  }
  // Ink never passes the glyph's advance, so text stays inside the box it
  // measures (smoothing puts a column of Tahoma's "d" one pixel past it).
  if (g.Advance > 0) g.Advance = std::max(g.Advance, g.Image.Left + g.Image.Width);
  return g;
}

}  // namespace

std::shared_ptr<TFontEngine> CreateFreeTypeFontEngine() {
  auto engine = std::make_shared<TFtEngine>();
  if (!engine->Start()) return nullptr;
  return engine;
}
