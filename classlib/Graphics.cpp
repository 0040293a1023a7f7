#include "classlib/Graphics.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "classlib/Streams.h"
#include "classlib/SysUtils.h"
#include "platform/Resources.h"
#include "platform/SystemInfo.h"

// ---- colours

COLORREF ColorToRGB(TColor color) {
  if (color < 0) return GetSysColor(color & 0xFF);
  if (color == clNone || color == clDefault) return 0;
  return static_cast<COLORREF>(color) & 0xFFFFFF;
}

namespace {
const struct {
  TColor color;
  const char* name;
} kColorNames[] = {
    {clBlack, "clBlack"}, {clMaroon, "clMaroon"}, {clGreen, "clGreen"}, {clOlive, "clOlive"}, {clNavy, "clNavy"},
    {clPurple, "clPurple"}, {clTeal, "clTeal"}, {clGray, "clGray"}, {clSilver, "clSilver"}, {clRed, "clRed"},
    {clLime, "clLime"}, {clYellow, "clYellow"}, {clBlue, "clBlue"}, {clFuchsia, "clFuchsia"}, {clAqua, "clAqua"},
    {clWhite, "clWhite"}, {clNone, "clNone"}, {clDefault, "clDefault"}, {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"}, {clActiveCaption, "clActiveCaption"}, {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"}, {clWindow, "clWindow"}, {clWindowFrame, "clWindowFrame"}, {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"}, {clCaptionText, "clCaptionText"}, {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"}, {clAppWorkSpace, "clAppWorkSpace"}, {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"}, {clBtnFace, "clBtnFace"}, {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"}, {clBtnText, "clBtnText"}, {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"}, {cl3DDkShadow, "cl3DDkShadow"}, {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"}, {clInfoBk, "clInfoBk"}, {clLtGray, "clLtGray"}, {clDkGray, "clDkGray"}};
}  // namespace

bool IdentToColor(const std::string& ident, TColor& color) {
  for (const auto& c : kColorNames)
    if (SameText(ident, c.name)) {
      color = c.color;
      return true;
    }
  int32_t v;
  if (!TryStrToInt(ident, v)) return false;
  color = v;
  return true;
}

std::string ColorToString(TColor color) {
  for (const auto& c : kColorNames)
    if (c.color == color) return c.name;
  return "$" + IntToHex(static_cast<uint32_t>(color), 8);
}

// ---- pens, brushes, fonts

void TGraphicsObject::Changed() {
  if (OnChange) OnChange(this);
}

TFont::TFont() = default;

TFont::~TFont() {
  if (FHandle) DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
}

void TFont::Changed() {
  // Canvases let go of the old handle first: a selected object is not deleted.
  TGraphicsObject::Changed();
  if (FHandle) {
    DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
    FHandle = nullptr;
  }
}

void TFont::Assign(const TPersistent* source) {
  if (auto* f = dynamic_cast<const TFont*>(source)) {
    FName = f->FName;
    FSize = f->FSize;
    FColor = f->FColor;
    FStyle = f->FStyle;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TFont::SetName(const std::string& name) {
  if (name.empty() || name == FName) return;
  FName = name;
  Changed();
}

void TFont::SetSize(int points) {
  if (points == FSize) return;
  FSize = points;
  Changed();
}

int TFont::Height() const { return PointsToFontHeight(FSize); }

void TFont::SetHeight(int pixels) {
  // A negative height is the character height; either way at 96 dpi.
  int h = pixels < 0 ? -pixels : pixels;
  SetSize((h * 72 + 48) / 96);
}

void TFont::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  // The colour is the DC's text colour, not part of the font handle.
  TGraphicsObject::Changed();
}

void TFont::SetStyle(TFontStyles style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

void TFont::SetCharset(uint8_t charset) {
  if (charset == FCharset) return;
  FCharset = charset;
  Changed();
}

void TFont::SetPitch(TFontPitch pitch) {
  if (pitch == FPitch) return;
  FPitch = pitch;
  Changed();
}

HFONT TFont::Handle() {
  if (!FHandle) {
    LOGFONTW lf{};
    lf.lfHeight = Height();
    lf.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (FStyle & fsItalic) ? 1 : 0;
    lf.lfUnderline = (FStyle & fsUnderline) ? 1 : 0;
    lf.lfStrikeOut = (FStyle & fsStrikeOut) ? 1 : 0;
    lf.lfCharSet = FCharset;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = FPitch == fpFixed ? FIXED_PITCH : FPitch == fpVariable ? VARIABLE_PITCH : DEFAULT_PITCH;
    // Face names are ASCII in practice; other bytes pass as they are.
    size_t n = std::min<size_t>(FName.size(), LF_FACESIZE - 1);
    for (size_t i = 0; i < n; ++i) lf.lfFaceName[i] = static_cast<WCHAR>(static_cast<unsigned char>(FName[i]));
    FHandle = CreateFontIndirectW(&lf);
  }
  return FHandle;
}

TPen::~TPen() {
  if (FHandle) DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
}

void TPen::Changed() {
  // Canvases let go of the old handle first: a selected object is not deleted.
  TGraphicsObject::Changed();
  if (FHandle) {
    DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
    FHandle = nullptr;
  }
}

void TPen::Assign(const TPersistent* source) {
  if (auto* p = dynamic_cast<const TPen*>(source)) {
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    FMode = p->FMode;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TPen::SetColor(TColor color) {
  if (color == FColor) return;
  FColor = color;
  Changed();
}

void TPen::SetWidth(int width) {
  if (width < 0 || width == FWidth) return;
  FWidth = width;
  Changed();
}

void TPen::SetStyle(TPenStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

void TPen::SetMode(TPenMode mode) {
  if (mode == FMode) return;
  FMode = mode;
  Changed();
}

HPEN TPen::Handle() {
  if (!FHandle) {
    static const int styles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT, PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
    FHandle = CreatePen(styles[FStyle], FWidth, ColorToRGB(FColor));
  }
  return FHandle;
}

TBrush::~TBrush() {
  if (FHandle) DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
}

void TBrush::Changed() {
  // Canvases let go of the old handle first: a selected object is not deleted.
  TGraphicsObject::Changed();
  if (FHandle) {
    DeleteObject(reinterpret_cast<HGDIOBJ>(FHandle));
    FHandle = nullptr;
  }
}

void TBrush::Assign(const TPersistent* source) {
  if (auto* b = dynamic_cast<const TBrush*>(source)) {
    FColor = b->FColor;
    FStyle = b->FStyle;
    Changed();
    return;
  }
  TPersistent::Assign(source);
}

void TBrush::SetColor(TColor color) {
  if (color == FColor && FStyle == bsSolid) return;
  FColor = color;
  // Giving a clear brush a colour makes it solid, as the class library does.
  FStyle = bsSolid;
  Changed();
}

void TBrush::SetStyle(TBrushStyle style) {
  if (style == FStyle) return;
  FStyle = style;
  Changed();
}

HBRUSH TBrush::Handle() {
  if (!FHandle) {
    LOGBRUSH lb{};
    lb.lbStyle = FStyle == bsClear ? BS_NULL : BS_SOLID;
    lb.lbColor = ColorToRGB(FColor);
    FHandle = CreateBrushIndirect(&lb);
  }
  return FHandle;
}

// ---- canvas

TCanvas::TCanvas() : FPen(std::make_unique<TPen>()), FBrush(std::make_unique<TBrush>()), FFont(std::make_unique<TFont>()) {
  FFont->SetColor(clBlack);
  // A changed object is put out of the DC at once, so it can go.
  auto deselect = [this](HGDIOBJ& old, int bit) {
    if (FHandle && old) SelectObject(FHandle, old);
    old = nullptr;
    FState &= ~bit;
  };
  FPen->OnChange = [this, deselect](TObject*) { deselect(FOldPen, csPenValid); };
  FBrush->OnChange = [this, deselect](TObject*) { deselect(FOldBrush, csBrushValid); };
  FFont->OnChange = [this, deselect](TObject*) { deselect(FOldFont, csFontValid); };
}

TCanvas::~TCanvas() { DeselectHandles(); }

HDC TCanvas::Handle() {
  // The DC a caller draws on by itself has the canvas's pen, brush and font.
  if (!FHandle) CreateHandle();
  if (FHandle) RequiredState(csHandleValid | csPenValid | csBrushValid | csFontValid);
  return FHandle;
}

void TCanvas::SetHandle(HDC dc) {
  if (dc == FHandle) return;
  DeselectHandles();
  FHandle = dc;
  FState = dc ? csHandleValid : 0;
}

void TCanvas::DeselectHandles() {
  if (FHandle) {
    if (FOldPen) SelectObject(FHandle, FOldPen);
    if (FOldBrush) SelectObject(FHandle, FOldBrush);
    if (FOldFont) SelectObject(FHandle, FOldFont);
  }
  FOldPen = FOldBrush = FOldFont = nullptr;
  FHandle = nullptr;
  FState = 0;
}

void TCanvas::Refresh() { FState &= csHandleValid; }

void TCanvas::RequiredState(int state) {
  if (!FHandle) CreateHandle();
  if (!FHandle) throw EInvalidOperation("Canvas does not allow drawing");
  int need = state & ~FState;
  if (need & csPenValid) {
    HGDIOBJ old = SelectObject(FHandle, reinterpret_cast<HGDIOBJ>(FPen->Handle()));
    if (!FOldPen) FOldPen = old;
  }
  // Colours and modes go with the object they belong to, as it is selected,
  // so what a caller sets on the DC itself afterwards stays.
  if (need & csBrushValid) {
    HGDIOBJ old = SelectObject(FHandle, reinterpret_cast<HGDIOBJ>(FBrush->Handle()));
    if (!FOldBrush) FOldBrush = old;
    SetBkColor(FHandle, ColorToRGB(FBrush->Color()));
    SetBkMode(FHandle, FBrush->Style() == bsClear ? TRANSPARENT : OPAQUE);
  }
  if (need & csFontValid) {
    HGDIOBJ old = SelectObject(FHandle, reinterpret_cast<HGDIOBJ>(FFont->Handle()));
    if (!FOldFont) FOldFont = old;
    SetTextColor(FHandle, ColorToRGB(FFont->Color()));
  }
  FState |= state | csHandleValid;
}

void TCanvas::Changing() {
  if (OnChanging) OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange) OnChange(this);
}

void TCanvas::MoveTo(int x, int y) {
  RequiredState(csHandleValid);
  MoveToEx(FHandle, x, y, nullptr);
  FPenPos = {x, y};
}

void TCanvas::LineTo(int x, int y) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::LineTo(FHandle, x, y);
  FPenPos = {x, y};
  Changed();
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Rectangle(FHandle, left, top, right, bottom);
  Changed();
}

void TCanvas::FillRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FillRect(FHandle, &r, FBrush->Handle());
  Changed();
}

void TCanvas::FrameRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::FrameRect(FHandle, &r, FBrush->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const TRect& r) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  ::DrawFocusRect(FHandle, &r);
  Changed();
}

void TCanvas::Polyline(const std::vector<POINT>& points) {
  Changing();
  RequiredState(csHandleValid | csPenValid | csBrushValid);
  ::Polyline(FHandle, points.data(), static_cast<int>(points.size()));
  Changed();
}

TColor TCanvas::Pixel(int x, int y) {
  RequiredState(csHandleValid);
  COLORREF c = GetPixel(FHandle, x, y);
  return c == CLR_INVALID ? clNone : static_cast<TColor>(c);
}

void TCanvas::SetPixel(int x, int y, TColor color) {
  Changing();
  RequiredState(csHandleValid | csPenValid);
  ::SetPixelV(FHandle, x, y, ColorToRGB(color));
  Changed();
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  std::u16string w = UTF8Decode(text);
  TextOutW(FHandle, x, y, w.data(), static_cast<int>(w.size()));
  FPenPos = {x + WideTextExtent(w).cx, y};
  Changed();
}

void TCanvas::WideTextOut(int x, int y, const std::u16string& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  TextOutW(FHandle, x, y, text.data(), static_cast<int>(text.size()));
  FPenPos = {x + WideTextExtent(text).cx, y};
  Changed();
}

void TCanvas::TextRect(const TRect& r, int x, int y, const std::string& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT options = ETO_CLIPPED | (FBrush->Style() != bsClear ? ETO_OPAQUE : 0);
  std::u16string w = UTF8Decode(text);
  ExtTextOutW(FHandle, x, y, options, &r, w.data(), static_cast<UINT>(w.size()), nullptr);
  Changed();
}

void TCanvas::WideTextRect(const TRect& r, int x, int y, const std::u16string& text) {
  Changing();
  RequiredState(csHandleValid | csFontValid | csBrushValid);
  UINT options = ETO_CLIPPED | (FBrush->Style() != bsClear ? ETO_OPAQUE : 0);
  ExtTextOutW(FHandle, x, y, options, &r, text.data(), static_cast<UINT>(text.size()), nullptr);
  Changed();
}

SIZE TCanvas::TextExtent(const std::string& text) { return WideTextExtent(UTF8Decode(text)); }

SIZE TCanvas::WideTextExtent(const std::u16string& text) {
  RequiredState(csHandleValid | csFontValid);
  SIZE s{0, 0};
  GetTextExtentPoint32W(FHandle, text.data(), static_cast<int>(text.size()), &s);
  return s;
}

void TCanvas::Draw(int x, int y, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  graphic->Draw(*this, Bounds(x, y, graphic->Width(), graphic->Height()));
  Changed();
}

void TCanvas::StretchDraw(const TRect& r, TGraphic* graphic) {
  if (!graphic || graphic->Empty()) return;
  Changing();
  RequiredState(csHandleValid);
  graphic->Draw(*this, r);
  Changed();
}

void TCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
  Changing();
  RequiredState(csHandleValid | csBrushValid);
  source.RequiredState(csHandleValid | csBrushValid);
  StretchBlt(FHandle, dest.left, dest.top, dest.Width(), dest.Height(), source.FHandle, sourceRect.left,
             sourceRect.top, sourceRect.Width(), sourceRect.Height(), CopyMode);
  Changed();
}

TRect TCanvas::ClipRect() {
  RequiredState(csHandleValid);
  RECT r{};
  GetClipBox(FHandle, &r);
  return r;
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock()) return false;
  ++FLockCount;
  return true;
}

// ---- TGraphic

void TGraphic::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
  throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) {
  throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::SetTransparent(bool value) {
  if (value == FTransparent) return;
  FTransparent = value;
  Changed(this);
}

bool TGraphic::Equals(TGraphic* other) {
  if (!other || typeid(*other) != typeid(*this)) return false;
  if (Empty() || other->Empty()) return Empty() && other->Empty();
  TMemoryStream a, b;
  WriteData(a);
  other->WriteData(b);
  return a.Size() == b.Size() && std::memcmp(a.Memory(), b.Memory(), static_cast<size_t>(a.Size())) == 0;
}

void TGraphic::SetModified(bool value) {
  if (value) Changed(this);
  else FModified = false;
}

void TGraphic::Changed(TObject*) {
  FModified = true;
  if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow, const TRect& r,
                        const std::string& msg) {
  if (OnProgress) OnProgress(sender, stage, percentDone, redrawNow, r, msg);
}

// ---- TPicture registry

namespace {
struct FileFormat {
  std::string extension;
  std::string description;
  TGraphicClass graphicClass;
};
struct Registry {
  std::vector<FileFormat> formats;
  std::vector<std::pair<UINT, TGraphicClass>> clipboard;
};
Registry& PictureRegistry() {
  static Registry* r = [] {
    auto* reg = new Registry;
    reg->formats.push_back({"bmp", "Bitmaps", GraphicClassOf<TBitmap>()});
    reg->formats.push_back({"ico", "Icons", GraphicClassOf<TIcon>()});
    return reg;
  }();
  return *r;
}
std::string Ext(const std::string& e) { return LowerCase(!e.empty() && e[0] == '.' ? e.substr(1) : e); }
}  // namespace

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass) {
  auto& f = PictureRegistry().formats;
  std::string ext = Ext(extension);
  // The latest registration of an extension wins.
  f.erase(std::remove_if(f.begin(), f.end(), [&](const FileFormat& x) { return x.extension == ext; }), f.end());
  f.push_back({ext, description, graphicClass});
}

void TPicture::RegisterClipboardFormat(UINT format, TGraphicClass graphicClass) {
  PictureRegistry().clipboard.emplace_back(format, graphicClass);
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass) {
  auto& r = PictureRegistry();
  r.formats.erase(std::remove_if(r.formats.begin(), r.formats.end(),
                                 [&](const FileFormat& x) { return x.graphicClass == graphicClass; }),
                  r.formats.end());
  r.clipboard.erase(std::remove_if(r.clipboard.begin(), r.clipboard.end(),
                                   [&](const auto& x) { return x.second == graphicClass; }),
                    r.clipboard.end());
}

bool TPicture::SupportsClipboardFormat(UINT format) {
  for (auto& c : PictureRegistry().clipboard)
    if (c.first == format) return true;
  return false;
}

TGraphicClass TPicture::FindExtension(const std::string& extension) {
  std::string ext = Ext(extension);
  for (auto& f : PictureRegistry().formats)
    if (f.extension == ext) return f.graphicClass;
  return nullptr;
}

TGraphicClass TPicture::FindGraphicClass(const std::string& className) {
  auto& r = PictureRegistry();
  for (auto& f : r.formats)
    if (f.graphicClass->ClassName == className) return f.graphicClass;
  for (auto& c : r.clipboard)
    if (c.second->ClassName == className) return c.second;
  return nullptr;
}

std::string TPicture::GraphicFilter() {
  std::string all, each;
  for (auto& f : PictureRegistry().formats) {
    if (!all.empty()) all += ';';
    all += "*." + f.extension;
    each += "|" + f.description + " (*." + f.extension + ")|*." + f.extension;
  }
  return "All (" + all + ")|" + all + each;
}

// ---- TPicture

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Hook() {
  if (!FGraphic) return;
  FGraphic->OnChange = [this](TObject* sender) { Changed(sender); };
  FGraphic->OnProgress = [this](TObject* sender, TProgressStage stage, uint8_t pct, bool redraw, const TRect& r,
                                const std::string& msg) {
    if (OnProgress) OnProgress(sender, stage, pct, redraw, r, msg);
  };
}

void TPicture::Changed(TObject*) {
  if (OnChange) OnChange(this);
}

void TPicture::SetGraphic(TGraphic* graphic) {
  if (graphic == FGraphic.get()) return;
  std::unique_ptr<TGraphic> copy;
  if (graphic) {
    TGraphicClass cls = nullptr;
    auto& r = PictureRegistry();
    for (auto& f : r.formats)
      if (*f.graphicClass->Type == typeid(*graphic)) {
        cls = f.graphicClass;
        break;
      }
    if (!cls)
      for (auto& c : r.clipboard)
        if (*c.second->Type == typeid(*graphic)) {
          cls = c.second;
          break;
        }
    if (!cls) throw EInvalidGraphic("Unknown picture class " + graphic->ClassName());
    copy = cls->Create();
    copy->Assign(graphic);
  }
  TakeGraphic(std::move(copy));
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> graphic) {
  FGraphic = std::move(graphic);
  Hook();
  Changed(this);
}

TBitmap& TPicture::Bitmap() {
  if (!dynamic_cast<TBitmap*>(FGraphic.get())) {
    auto bmp = std::make_unique<TBitmap>();
    if (FGraphic && !FGraphic->Empty()) bmp->Assign(FGraphic.get());
    TakeGraphic(std::move(bmp));
  }
  return *static_cast<TBitmap*>(FGraphic.get());
}

void TPicture::Assign(const TPersistent* source) {
  if (!source) {
    TakeGraphic(nullptr);
  } else if (auto* p = dynamic_cast<const TPicture*>(source)) {
    SetGraphic(p->FGraphic.get());
  } else if (auto* g = dynamic_cast<const TGraphic*>(source)) {
    SetGraphic(const_cast<TGraphic*>(g));
  } else {
    TPersistent::Assign(source);
  }
}

void TPicture::LoadFromFile(const std::string& fileName) {
  std::string ext = ExtractFileExt(fileName);
  TGraphicClass cls = FindExtension(ext);
  if (!cls) throw EInvalidGraphic("Unknown picture file extension (" + Ext(ext) + ")");
  auto g = cls->Create();
  g->OnProgress = OnProgress;
  g->LoadFromFile(fileName);
  TakeGraphic(std::move(g));
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (FGraphic) FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromStreamAs(const std::string& className, TStream& stream) {
  TGraphicClass cls = FindGraphicClass(className);
  if (!cls) throw EInvalidGraphic("Picture class " + className + " is not registered");
  auto g = cls->Create();
  g->ReadData(stream);
  TakeGraphic(std::move(g));
}

void TPicture::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  for (auto& c : PictureRegistry().clipboard)
    if (c.first == format) {
      auto g = c.second->Create();
      g->LoadFromClipboardFormat(format, data, palette);
      TakeGraphic(std::move(g));
      return;
    }
  throw EInvalidGraphic("Unsupported clipboard format");
}
