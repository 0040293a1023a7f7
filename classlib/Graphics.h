// Colours, pens, brushes, fonts, the canvas, and the picture framework:
// TGraphic, TBitmap, TIcon and TPicture with its registry of picture classes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeinfo>
#include <vector>

#include "classlib/Components.h"
#include "classlib/GraphicsTypes.h"
#include "classlib/SysUtils.h"
#include "platform/gdi/Gdi.h"

class TStream;

class TGraphicsObject : public TPersistent {
 public:
  TNotifyEvent OnChange;

 protected:
  virtual void Changed();
};

enum TFontStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = uint8_t;  // a set of TFontStyle bits
enum TFontPitch { fpDefault, fpVariable, fpFixed };

class TFont : public TGraphicsObject {
 public:
  TFont();
  ~TFont() override;
  void Assign(const TPersistent* source) override;

  const std::string& Name() const { return FName; }
  void SetName(const std::string& name);
  // Points at 96 dpi; Height is the same size as a negative pixel height.
  int Size() const { return FSize; }
  void SetSize(int points);
  int Height() const;
  void SetHeight(int pixels);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  TFontStyles Style() const { return FStyle; }
  void SetStyle(TFontStyles style);
  uint8_t Charset() const { return FCharset; }
  void SetCharset(uint8_t charset);
  TFontPitch Pitch() const { return FPitch; }
  void SetPitch(TFontPitch pitch);
  // Made when first asked for, remade after a change; the font owns it.
  HFONT Handle();

 protected:
  void Changed() override;

 private:
  std::string FName = "Tahoma";
  int FSize = 8;
  TColor FColor = clWindowText;
  TFontStyles FStyle = 0;
  uint8_t FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  HFONT FHandle = nullptr;
};

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
enum TPenMode { pmCopy, pmNot, pmXor };

class TPen : public TGraphicsObject {
 public:
  ~TPen() override;
  void Assign(const TPersistent* source) override;
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  int Width() const { return FWidth; }
  void SetWidth(int width);
  TPenStyle Style() const { return FStyle; }
  void SetStyle(TPenStyle style);
  TPenMode Mode() const { return FMode; }
  void SetMode(TPenMode mode);
  HPEN Handle();

 protected:
  void Changed() override;

 private:
  TColor FColor = clBlack;
  int FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
  HPEN FHandle = nullptr;
};

enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
 public:
  ~TBrush() override;
  void Assign(const TPersistent* source) override;
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  TBrushStyle Style() const { return FStyle; }
  void SetStyle(TBrushStyle style);
  HBRUSH Handle();

 protected:
  void Changed() override;

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
  HBRUSH FHandle = nullptr;
};

class TGraphic;

// Draws on a device context with its own pen, brush and font, selected into
// the DC before each drawing call. Text is UTF-8 (TextOut) or UTF-16
// (WideTextOut).
class TCanvas : public TPersistent {
 public:
  TCanvas();
  ~TCanvas() override;

  // The DC, made on first use by CreateHandle in canvases that make their own.
  HDC Handle();
  void SetHandle(HDC dc);
  bool HandleAllocated() const { return FHandle != nullptr; }

  TPen& Pen() { return *FPen; }
  TBrush& Brush() { return *FBrush; }
  TFont& Font() { return *FFont; }
  POINT PenPos() const { return FPenPos; }
  void SetPenPos(POINT p) { MoveTo(p.x, p.y); }

  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void Rectangle(int left, int top, int right, int bottom);
  void Rectangle(const TRect& r) { Rectangle(r.left, r.top, r.right, r.bottom); }
  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void DrawFocusRect(const TRect& r);
  void Polyline(const std::vector<POINT>& points);
  TColor Pixel(int x, int y);
  void SetPixel(int x, int y, TColor color);

  void TextOut(int x, int y, const std::string& text);
  void WideTextOut(int x, int y, const std::u16string& text);
  // Text clipped to r, drawn at (x, y).
  void TextRect(const TRect& r, int x, int y, const std::string& text);
  void WideTextRect(const TRect& r, int x, int y, const std::u16string& text);
  SIZE TextExtent(const std::string& text);
  SIZE WideTextExtent(const std::u16string& text);
  int TextWidth(const std::string& text) { return TextExtent(text).cx; }
  int TextHeight(const std::string& text) { return TextExtent(text).cy; }
  int WideTextWidth(const std::u16string& text) { return WideTextExtent(text).cx; }

  void Draw(int x, int y, TGraphic* graphic);
  void StretchDraw(const TRect& r, TGraphic* graphic);
  void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect);
  DWORD CopyMode = SRCCOPY;

  TRect ClipRect();

  // Canvases are shared by threads (the painter threads draw on the GUI's
  // bitmaps): Lock is reentrant and counts.
  void Lock();
  void Unlock();
  bool TryLock();
  int LockCount() const { return FLockCount; }

  // Forgets the selected objects so the next call selects them afresh.
  void Refresh();

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;

 protected:
  virtual void CreateHandle() {}
  // Puts the DC back as it was given and forgets it.
  void DeselectHandles();
  void Changing();
  void Changed();

 private:
  enum { csHandleValid = 1, csFontValid = 2, csPenValid = 4, csBrushValid = 8 };
  void RequiredState(int state);
  HDC FHandle = nullptr;
  int FState = 0;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TFont> FFont;
  POINT FPenPos{0, 0};
  HGDIOBJ FOldPen = nullptr, FOldBrush = nullptr, FOldFont = nullptr;
  std::recursive_mutex FLock;
  int FLockCount = 0;
};

// ---- The picture framework

enum TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow,
                                          const TRect& r, const std::string& msg)>;

class TGraphic;
// What a picture class is: its name and how to make one. Found by name,
// extension or clipboard format through TPicture's registry.
struct TGraphicClassInfo {
  std::string ClassName;
  const std::type_info* Type;
  std::function<std::unique_ptr<TGraphic>()> Create;
  std::function<bool(const TGraphic*)> IsInstance;
};
using TGraphicClass = const TGraphicClassInfo*;

template <typename T>
TGraphicClass GraphicClassOf();

class TGraphic : public TPersistent {
 public:
  TGraphic() = default;
  virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
  virtual bool Empty() const = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int width) = 0;
  virtual void SetHeight(int height) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromFile(const std::string& fileName);
  virtual void SaveToFile(const std::string& fileName);
  // The platform clipboard's formats; data is a global memory handle.
  virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
  virtual void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);
  virtual HPALETTE Palette() { return nullptr; }
  virtual void SetPalette(HPALETTE) {}
  virtual bool Transparent() const { return FTransparent; }
  virtual void SetTransparent(bool value);
  // Form resources store a picture's own stream; these read and write it.
  virtual void ReadData(TStream& stream) { LoadFromStream(stream); }
  virtual void WriteData(TStream& stream) { SaveToStream(stream); }
  virtual bool Equals(TGraphic* other);

  bool Modified() const { return FModified; }
  void SetModified(bool value);
  bool PaletteModified = false;

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  virtual void Changed(TObject* sender = nullptr);
  void Progress(TObject* sender, TProgressStage stage, uint8_t percentDone, bool redrawNow, const TRect& r,
                const std::string& msg);

 private:
  bool FModified = false;
  bool FTransparent = false;
};

// The platform's clipboard format of a bitmap handle.
constexpr UINT CF_BITMAP_FORMAT = 2;

enum TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType { bmDIB, bmDDB };
enum TTransparentMode { tmAuto, tmFixed };

class TBitmap;

class TBitmapCanvas : public TCanvas {
 public:
  explicit TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
  ~TBitmapCanvas() override;
  // Lets go of the memory DC (the bitmap is about to change).
  void FreeContext();

 protected:
  void CreateHandle() override;

 private:
  TBitmap* FBitmap;
  HDC FDC = nullptr;
  HGDIOBJ FOldBitmap = nullptr;
};

// A bitmap held as a DIB section of its pixel format, rows bottom-up as the
// platform keeps them, so ScanLine(0) is the top row.
class TBitmap : public TGraphic {
 public:
  TBitmap();
  ~TBitmap() override;
  void Assign(const TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override { return FHandle == nullptr; }
  int Width() const override { return FWidth; }
  int Height() const override { return FHeight; }
  void SetWidth(int width) override { SetSize(width, FHeight); }
  void SetHeight(int height) override { SetSize(FWidth, height); }
  // Keeps what fits of the old pixels; new ones are white... as the platform
  // makes them: zero bits.
  void SetSize(int width, int height);
  // Reads and writes the bitmap file format (BITMAPFILEHEADER first).
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void LoadFromResourceName(HINSTANCE instance, const std::string& name);
  // The clipboard's bitmap format: data is a bitmap handle (and a palette),
  // copied in; the handles given out are new ones the receiver owns.
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
  void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;
  HPALETTE Palette() override { return FPalette; }
  void SetPalette(HPALETTE palette) override;
  bool Equals(TGraphic* other) override;

  TBitmapCanvas& Canvas();
  HBITMAP Handle() const { return FHandle; }
  // Takes the bitmap and owns it from now on.
  void SetHandle(HBITMAP bitmap);
  // Gives the handle away: the bitmap is empty after.
  HBITMAP ReleaseHandle();
  TBitmapHandleType HandleType() const { return FHandleType; }
  void SetHandleType(TBitmapHandleType type) { FHandleType = type; }
  TPixelFormat PixelFormat() const { return FPixelFormat; }
  // Converts the pixels to the new format.
  void SetPixelFormat(TPixelFormat format);
  bool Monochrome() const { return FPixelFormat == pf1bit; }
  void SetMonochrome(bool value) { SetPixelFormat(value ? pf1bit : pfDevice); }
  // The address of a row; EInvalidGraphicOperation "Scan line index out of
  // range" outside 0 .. Height - 1.
  void* ScanLine(int row);
  int64_t RowBytes() const;
  int BitsPerPixel() const;

  // The colour drawn see-through when Transparent: tmAuto takes the pixel at
  // the bottom left.
  TColor TransparentColor();
  void SetTransparentColor(TColor color);
  TTransparentMode TransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode mode);
  void Dormant() {}
  void FreeImage() {}

 private:
  friend class TBitmapCanvas;
  void NewImage(int width, int height, TPixelFormat format, const RGBQUAD* colors, int colorCount);
  void FreeHandle();
  HBITMAP FHandle = nullptr;
  HPALETTE FPalette = nullptr;
  void* FBits = nullptr;
  int FWidth = 0, FHeight = 0;
  TPixelFormat FPixelFormat = pfDevice;
  TBitmapHandleType FHandleType = bmDIB;
  TColor FTransparentColor = clDefault;
  TTransparentMode FTransparentMode = tmAuto;
  std::unique_ptr<TBitmapCanvas> FCanvas;
};

// An icon: the program's icon for windows and the notification area. Held
// as a 32-bit image with straight alpha; Handle is the platform's icon made
// from it, alive while the icon (or a copy assigned from it, which shares
// it) holds that image. A handle given with SetHandle stays the giver's.
class TIcon : public TGraphic {
 public:
  TIcon() = default;
  ~TIcon() override;
  void Assign(const TPersistent* source) override;
  void Draw(TCanvas& canvas, const TRect& rect) override;
  bool Empty() const override { return FImage.Empty() && !FHandle; }
  int Width() const override { return FImage.Width(); }
  int Height() const override { return FImage.Height(); }
  void SetWidth(int) override;
  void SetHeight(int) override;
  // The icon file format is not read: a bitmap file or stream is.
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  // An image resource (by default of type "PNG") read through the picture
  // class registered for that extension, alpha and all; EResNotFound
  // "Resource %s not found" when there is none.
  void LoadFromResourceName(HINSTANCE instance, const std::string& name, const std::string& type = "PNG");
  // Another size of the same picture, kept beside the image and given with
  // it where a size can be chosen (a window's icon on X11); the image
  // stays what the icon draws. Replacing the image forgets the sizes.
  void AddSize(const TIcon& size);
  int SizeCount() const { return static_cast<int>(FSizes.size()); }
  // A 32-bit bitmap whose alpha is the icon's.
  TBitmap& Image() { return FImage; }
  void SetImage(const TBitmap& image);
  // The platform icon of the image, made on first use; nullptr when empty.
  HICON Handle();
  // Shows that icon from now on (the icon does not own it; its pixels
  // become the image).
  void SetHandle(HICON icon);

 private:
  void FreeHandle();
  TBitmap FImage;
  HICON FHandle = nullptr;
  std::shared_ptr<void> FOwnedHandle;  // destroys the handle we made
  std::vector<std::shared_ptr<TIcon>> FSizes;
};

class TPicture : public TPersistent {
 public:
  TPicture();
  ~TPicture() override;
  void Assign(const TPersistent* source) override;

  TGraphic* Graphic() const { return FGraphic.get(); }
  // A copy of the graphic, of the same class (nil clears).
  void SetGraphic(TGraphic* graphic);
  // Takes the graphic itself.
  void TakeGraphic(std::unique_ptr<TGraphic> graphic);
  // The graphic as a TBitmap, made (empty, or from the graphic) when it is not one.
  TBitmap& Bitmap();
  int Width() const { return FGraphic ? FGraphic->Width() : 0; }
  int Height() const { return FGraphic ? FGraphic->Height() : 0; }

  // By the file's extension through the registry.
  void LoadFromFile(const std::string& fileName);
  void SaveToFile(const std::string& fileName);
  // A graphic of a registered class found by name, read from the stream.
  void LoadFromStreamAs(const std::string& className, TStream& stream);
  void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);

  static void RegisterFileFormat(const std::string& extension, const std::string& description, TGraphicClass graphicClass);
  static void RegisterClipboardFormat(UINT format, TGraphicClass graphicClass);
  static void UnregisterGraphicClass(TGraphicClass graphicClass);
  static bool SupportsClipboardFormat(UINT format);
  // By extension (without the dot, any case), or nullptr.
  static TGraphicClass FindExtension(const std::string& extension);
  // By class name: every class registered by extension or clipboard format.
  static TGraphicClass FindGraphicClass(const std::string& className);
  // "Description (*.ext)|*.ext|..." for an open-file dialog.
  static std::string GraphicFilter();

  TNotifyEvent OnChange;
  TProgressEvent OnProgress;

 protected:
  void Changed(TObject* sender);

 private:
  void Hook();
  std::unique_ptr<TGraphic> FGraphic;
};

template <typename T>
TGraphicClass GraphicClassOf() {
  static const TGraphicClassInfo info{
      DemangledTypeName(typeid(T)), &typeid(T), [] { return std::unique_ptr<TGraphic>(std::make_unique<T>()); },
      [](const TGraphic* g) { return dynamic_cast<const T*>(g) != nullptr; }};
  return &info;
}
