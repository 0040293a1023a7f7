#include "gif/GifCodec.h"

#include "gif/GIFImport.h"
#include "gif/GIFSqueeze.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "gif/GIFDIB.h"
#include "classlib/Streams.h"
#include "platform/ClipboardData.h"
#include "platform/GlobalMemory.h"
#include "platform/services/Synch.h"

TGIFPaintOptions GIFDefaultPaintOptions = gpThreaded | gpTransparent | gpAnimate | gpLoop | gpDither | gpAutoDither;
uint8_t GIFDefaultReductionMethod = 6;
int GIFDefaultReductionDepth = 8;
uint8_t GIFDefaultDitherKind = 0;
uint8_t GIFDefaultCompressionKind = 0;
TThreadPriority GIFDefaultThreadPriority = tpNormal;
int GIFDefaultAnimationSpeed = 100;

UINT GIFClipboardFormat = 0;
bool PaletteScreen = false;
bool AutoDitherActive = false;
bool SqueezeOnWrite = false;

namespace {
bool OnMainThread() { return CurrentKernelThreadId() == MainThreadID; }

void DrainSynchronize() {
  if (!OnMainThread()) return;
  while (CheckSynchronize()) {
  }
}
}  // namespace

TGIFImage::TGIFImage()
    : PaintOptions(GIFDefaultPaintOptions), ReductionMethod(GIFDefaultReductionMethod),
      ReductionDepth(GIFDefaultReductionDepth), DitherKind(GIFDefaultDitherKind),
      CompressionKind(GIFDefaultCompressionKind), PainterPriority(GIFDefaultThreadPriority),
      SpeedPercent(GIFDefaultAnimationSpeed) {
  ResetImage();
}

TGIFImage::~TGIFImage() {
  *FAlive = false;
  StopAllPainters();
  // Painters still on the stack (synchronous ones) leave the image alone from now on.
  std::vector<TGIFPainter*>& list = PainterList.LockList();
  for (TGIFPainter* p : list) p->PlayedImage = nullptr;
  list.clear();
  PainterList.UnlockList();
  FComposite.reset();
  ClearImage();
  if (FSharedPalette) DeleteObject(FSharedPalette);
  FSharedPalette = nullptr;
}

bool TGIFImage::DitherWanted() const {
  return (PaintOptions & gpDither) && (!(PaintOptions & gpAutoDither) || AutoDitherActive);
}

void TGIFImage::ReportProgress(TObject* sender, TGIFProgressStage stage, int percent, bool redrawNow,
                               const std::string& message) {
  static const TProgressStage stages[] = {psStarting, psRunning, psEnding};
  Progress(sender, stages[stage], static_cast<uint8_t>(std::clamp(percent, 0, 100)), redrawNow, TRect(), message);
}

void TGIFImage::ResetImage() {
  StopAllPainters();
  FComposite.reset();
  ClearImage();
  SetPalette(nullptr);
}

void TGIFImage::LoadFromStream(TStream& stream) {
  Progress(this, psStarting, 0, false, TRect(), "Loading...");
  bool ok = false;
  try {
    ResetImage();
    ReadImage(stream);
    ok = true;
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect(), "Loading...");
    throw;
  }
  Progress(this, psEnding, ok ? 100 : 0, true, TRect(), "Loading...");
  Changed(this);
}

void TGIFImage::SaveToStream(TStream& stream) {
  Progress(this, psStarting, 0, false, TRect(), "Saving...");
  try {
    WriteImage(stream);
  } catch (...) {
    Progress(this, psEnding, 0, true, TRect(), "Saving...");
    throw;
  }
  Progress(this, psEnding, 100, true, TRect(), "Saving...");
}

void TGIFImage::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
  if (!data) data = GetClipboardData(format);
  if (data && format == GIFClipboardFormat && format != 0) {
    auto* block = static_cast<HGLOBAL>(data);
    size_t size = GlobalSize(block);
    const void* bytes = size > 0 ? GlobalLock(block) : nullptr;
    if (!bytes) RaiseGIF("Unsupported clipboard format");
    TMemoryStream stream;
    try {
      stream.WriteBuffer(bytes, static_cast<int64_t>(size));
    } catch (...) {
      GlobalUnlock(block);
      throw;
    }
    GlobalUnlock(block);
    // A damaged paste must not cost the picture it lands on: the stream is
    // read once aside, and only a stream that reads is loaded for real.
    {
      TGIFImage trial;
      stream.SetPosition(0);
      trial.LoadFromStream(stream);
    }
    stream.SetPosition(0);
    LoadFromStream(stream);
    return;
  }
  if (data && format == CF_BITMAP) {
    TBitmap bitmap;
    try {
      bitmap.LoadFromClipboardFormat(format, data, palette);
    } catch (const GIFException&) {
      throw;
    } catch (const EInvalidGraphic& e) {
      RaiseGIF(e.what());
    }
    Assign(&bitmap);
    return;
  }
  RaiseGIF("Unsupported clipboard format");
}

void TGIFImage::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
  // Callers hand the results on to the clipboard: never leave them unset.
  format = 0;
  data = nullptr;
  palette = nullptr;
  if (Empty()) return;
  TBitmap* composite = GetCompositeBitmap();
  if (composite) composite->SaveToClipboardFormat(format, data, palette);
  // Once this raises, the caller never sees the bitmap form: free it here.
  auto dropBitmapForm = [&] {
    if (data) DeleteObject(static_cast<HGDIOBJ>(data));
    if (palette) DeleteObject(reinterpret_cast<HGDIOBJ>(palette));
    format = 0;
    data = nullptr;
    palette = nullptr;
  };
  HGLOBAL block = nullptr;
  try {
    TMemoryStream stream;
    SaveToStream(stream);
    size_t size = static_cast<size_t>(stream.Size());
    block = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, size);
    if (!block) return;
    void* bytes = GlobalLock(block);
    if (!bytes) {
      GlobalFree(block);
      return;
    }
    std::memcpy(bytes, stream.Memory(), size);
    GlobalUnlock(block);
    if (!SetClipboardData(GIFClipboardFormat, block)) RaiseGIF("Failed to store GIF on clipboard");
  } catch (...) {
    // A block the clipboard took is the clipboard's; only a refused one is ours.
    if (block) GlobalFree(block);
    dropBitmapForm();
    throw;
  }
}

void TGIFImage::Assign(const TPersistent* source) {
  if (source == this) return;
  if (!source) {
    ResetImage();
    return;
  }
  const auto* gif = dynamic_cast<const TGIFImage*>(source);
  if (!gif) {
    // Other pictures become a GIF of their own colours.
    if (!AssignToImage(*this, source)) TGraphic::Assign(source);
    return;
  }
  ResetImage();
  Progress(this, psStarting, 0, false, TRect(), "Copying...");
  try {
    FHeader->Assign(*gif->FHeader);
    PainterPriority = gif->PainterPriority;
    PaintBackground = gif->PaintBackground;
    PaintOptions = gif->PaintOptions;
    ReductionMethod = gif->ReductionMethod;
    DitherKind = gif->DitherKind;
    StillFrame = gif->StillFrame;
    OnCodecWarning = gif->OnCodecWarning;
    OnAnimationStart = gif->OnAnimationStart;
    OnFramePaint = gif->OnFramePaint;
    OnAnimationEnd = gif->OnAnimationEnd;
    OnFramePainted = gif->OnFramePainted;
    OnAnimationLoop = gif->OnAnimationLoop;
    int n = gif->FFrames->Count();
    for (int i = 0; i < n; ++i) {
      auto frame = std::make_unique<TGIFSubImage>(this);
      frame->Assign(gif->FFrames->Items(i));
      AddFrame(std::move(frame));
      Progress(this, psRunning, static_cast<uint8_t>(GIFMulDiv(i + 1, 100, n)), false, TRect(), "Copying...");
    }
  } catch (...) {
    Progress(this, psEnding, 0, false, TRect(), "Copying...");
    throw;
  }
  Progress(this, psEnding, 100, false, TRect(), "Copying...");
}

void TGIFImage::AssignTo(TPersistent* dest) const {
  if (ExportImage(const_cast<TGIFImage&>(*this), dest)) return;
  if (auto* bitmap = dynamic_cast<TBitmap*>(dest)) {
    bitmap->Assign(const_cast<TGIFImage*>(this)->GetCompositeBitmap());
    return;
  }
  TGraphic::AssignTo(dest);
}

int TGIFImage::AddFrame(const TPersistent* graphic) { return AddGraphicFrame(*this, graphic); }

void TGIFImage::Squeeze(int options, int reductionMethod, int reductionDepth, int ditherKind) {
  SqueezeImage(*this, options, reductionMethod, reductionDepth, ditherKind);
}

int TGIFImage::AddFrame(std::unique_ptr<TGIFSubImage> frame) {
  if (!frame) RaiseGIF("Object type not supported for operation");
  int index = FFrames->Add(std::move(frame));
  FreeCompositeBitmap();
  Changed(this);
  return index;
}

void TGIFImage::SetWidth(int value) {
  for (int i = 0; i < FFrames->Count(); ++i)
    if (FFrames->Items(i)->Left() + FFrames->Items(i)->Width() > value)
      RaiseGIF("Image width too small for contained frames");
  if (value == ScreenWidth()) return;
  FHeader->Descriptor().Width = static_cast<uint16_t>(value);
  // Painters draw on the composite bitmap: they stop before it goes.
  FreeCompositeBitmap();
  Changed(this);
}

void TGIFImage::SetHeight(int value) {
  for (int i = 0; i < FFrames->Count(); ++i)
    if (FFrames->Items(i)->Top() + FFrames->Items(i)->Height() > value)
      RaiseGIF("Image height too small for contained frames");
  if (value == ScreenHeight()) return;
  FHeader->Descriptor().Height = static_cast<uint16_t>(value);
  FreeCompositeBitmap();
  Changed(this);
}

HPALETTE TGIFImage::Palette() {
  if (FInPaletteQuery) RaiseGIF("No global or local color table defined");
  FInPaletteQuery = true;
  struct TReset {
    bool& Flag;
    ~TReset() { Flag = false; }
  } reset{FInPaletteQuery};
  if (FComposite && FComposite->Palette()) return FComposite->Palette();
  if (FSharedPalette) return FSharedPalette;
  if (DitherWanted())
    FSharedPalette = MakeWebPalette();
  else if (TGIFImageCore::GlobalColorMap().Count() == 0)
    return FFrames->Count() > 0 ? FFrames->Items(0)->FramePalette() : nullptr;
  else
    FSharedPalette = TGIFImageCore::GlobalColorMap().MakePalette();
  return FSharedPalette;
}

void TGIFImage::SetPalette(HPALETTE value) {
  if (value == FSharedPalette) return;
  if (FSharedPalette) DeleteObject(FSharedPalette);
  FSharedPalette = value;
  if (FComposite && FComposite->Palette() != value) {
    FreeCompositeBitmap();
    PaletteModified = true;
    Changed(this);
  }
}

// ---- Composite bitmap and painters -------------------------------------------------

TBitmap* TGIFImage::NewCompositeBitmap() {
  if (!FComposite) {
    FComposite = std::make_unique<TBitmap>();
    FComposite->OnChange = [this](TObject*) { Changed(this); };
    if (HPALETTE p = Palette()) {
      PALETTEENTRY entries[256];
      UINT n = GetPaletteEntries(p, 0, 256, entries);
      std::vector<uint8_t> block(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 256);
      auto* log = reinterpret_cast<LOGPALETTE*>(block.data());
      log->palVersion = 0x300;
      log->palNumEntries = static_cast<WORD>(n);
      std::copy(entries, entries + n, log->palPalEntry);
      if (n > 0) FComposite->SetPalette(CreatePalette(log));
    }
    FComposite->SetSize(Width(), Height());
  }
  return FComposite.get();
}

TBitmap* TGIFImage::GetCompositeBitmap() {
  if (Empty()) return nullptr;
  if (FComposite) return FComposite.get();
  TGIFSubImage* first = FFrames->Items(0);
  if (first->Left() == 0 && first->Top() == 0 && first->Width() == Width() && first->Height() == Height() &&
      first->FrameBitmap()) {
    FComposite = std::make_unique<TBitmap>();
    FComposite->Assign(first->FrameBitmap());
    FComposite->OnChange = [this](TObject*) { Changed(this); };
    return FComposite.get();
  }
  NewCompositeBitmap();
  first->DrawInScreenRect(FComposite->Canvas(), TRect(0, 0, Width(), Height()), false, false);
  return FComposite.get();
}

void TGIFImage::FreeCompositeBitmap() {
  // The painter drawing on it must have stopped before the bitmap goes.
  if (OwnPainter) StopOwnPainter();
  FComposite.reset();
}

TGIFPainter* TGIFImage::StartPainter(TGIFPainter** slot, TCanvas* canvas, TGIFPaintOptions options,
                                     const TRect& rect) {
  if (slot) *slot = nullptr;
  if (Empty() || rect.IsEmpty()) return nullptr;
  if (FFrames->Count() == 1) options &= static_cast<TGIFPaintOptions>(~(gpThreaded | gpAnimate));
  TGIFPainter* painter = TThread::Create<TGIFPainter>(this, canvas, rect, options, slot);
  PainterList.Add(painter);
  painter->OnAnimationStart = OnAnimationStart;
  painter->OnFramePaint = OnFramePaint;
  painter->OnFramePainted = OnFramePainted;
  painter->OnAnimationLoop = OnAnimationLoop;
  painter->OnAnimationEnd = OnAnimationEnd;
  if (options & gpThreaded) {
    painter->SetPriority(PainterPriority);
    return painter;
  }
  std::shared_ptr<bool> alive = FAlive;
  TGIFPainter::RunAndFree(painter);
  if (*alive && slot) *slot = nullptr;
  return nullptr;
}

void TGIFImage::StopOwnPainter() {
  for (;;) {
    PainterList.LockList();
    TGIFPainter* painter = OwnPainter;
    if (!painter) {
      PainterList.UnlockList();
      break;
    }
    painter->StopPainting();
    bool threaded = painter->Threaded() && !painter->InStep;
    PainterList.UnlockList();
    if (!threaded) {
      // Running below us on this thread: it sees the stop when it returns.
      if (painter->InStep) OwnPainter = nullptr;
      break;
    }
    DrainSynchronize();
    Sleep(0);
  }
  FComposite.reset();
}

void TGIFImage::StopAllPainters() {
  for (;;) {
    std::vector<TGIFPainter*>& list = PainterList.LockList();
    if (list.empty()) {
      PainterList.UnlockList();
      break;
    }
    int waiting = 0;
    for (size_t i = list.size(); i-- > 0;) {
      TGIFPainter* p = list[i];
      p->StopPainting();
      if (!p->Threaded()) continue;
      if (p->InStep) {
        // Its step is running below us (a handler is stopping the image):
        // it cannot detach before we return, so it lets go of the image now.
        p->PlayedImage = nullptr;
        if (OwnPainter == p) OwnPainter = nullptr;
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
        continue;
      }
      ++waiting;
    }
    PainterList.UnlockList();
    if (waiting == 0) break;
    DrainSynchronize();
    Sleep(0);
  }
  FComposite.reset();
}

void TGIFImage::DrawComposite(TCanvas& canvas, const TRect& rect) {
  if (!FComposite) return;
  if (!(PaintOptions & gpTile)) {
    canvas.StretchDraw(rect, FComposite.get());
    return;
  }
  const int w = Width(), h = Height();
  // A zero-sized image has no tiles (and must not loop forever).
  if (w <= 0 || h <= 0) return;
  for (int64_t x = rect.left; x < rect.right; x += w)
    for (int64_t y = rect.top; y < rect.bottom; y += h)
      canvas.Draw(static_cast<int>(x), static_cast<int>(y), FComposite.get());
}

void TGIFImage::Draw(TCanvas& canvas, const TRect& rect) {
  if (FInDraw || Empty()) return;
  FInDraw = true;
  std::shared_ptr<bool> alive = FAlive;
  struct TReset {
    std::shared_ptr<bool> Alive;
    bool& Flag;
    ~TReset() {
      if (*Alive) Flag = false;
    }
  } reset{alive, FInDraw};

  if (FFrames->Count() == 1 || !(PaintOptions & gpAnimate)) {
    int index = (StillFrame < 0 || StillFrame >= FFrames->Count()) ? 0 : StillFrame;
    FFrames->Items(index)->DrawInScreenRect(canvas, rect, PaintOptions & gpTransparent, PaintOptions & gpTile);
    return;
  }
  if (FComposite && !(PaintOptions & gpDirect)) {
    DrawComposite(canvas, rect);
    return;
  }
  TCanvas* target = &canvas;
  TRect targetRect = rect;
  {
    PainterList.LockList();
    bool same = OwnPainter && OwnPainter->TargetCanvas == &canvas && OwnPainter->TargetRect == rect;
    PainterList.UnlockList();
    if (same) return;
  }
  StopOwnPainter();
  if (!(PaintOptions & gpDirect)) {
    NewCompositeBitmap();
    target = &FComposite->Canvas();
    targetRect = TRect(0, 0, Width(), Height());
    target->CopyRect(targetRect, canvas, rect);
  }
  TGIFPainter* painter = StartPainter(&OwnPainter, target, PaintOptions, targetRect);
  if (!*alive || !painter) return;
  painter->StartPainting();
  if (PaintOptions & gpDirect) return;
  // Until the first frame is in the composite bitmap, or the painter ended.
  while (*alive && OwnPainter == painter && !painter->FirstFramePainted && !painter->Terminated())
    if (!(OnMainThread() && CheckSynchronize())) Sleep(0);
  if (*alive) DrawComposite(canvas, rect);
}

// ---- Registration ----------------------------------------------------------------------

namespace {
std::mutex RegistrationLock;
int Registrations = 0;
}  // namespace

void InitializeGIFCodec() {
  std::lock_guard<std::mutex> lock(RegistrationLock);
  if (Registrations++ > 0) return;
  TPicture::RegisterFileFormat("GIF", "GIF Image", GraphicClassOf<TGIFImage>());
  GIFClipboardFormat = RegisterClipboardFormatA("GIF Image");
  TPicture::RegisterClipboardFormat(GIFClipboardFormat, GraphicClassOf<TGIFImage>());
  HDC screen = CreateScreenDC();
  if (screen) {
    PaletteScreen = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES) < 9;
    DeleteDC(screen);
  }
  AutoDitherActive = PaletteScreen;
}

void FinalizeGIFCodec() {
  std::lock_guard<std::mutex> lock(RegistrationLock);
  if (Registrations == 0 || --Registrations > 0) return;
  FreeExtensionRegistries();
  TPicture::UnregisterGraphicClass(GraphicClassOf<TGIFImage>());
}

extern "C" void HkKeepGIFImage() {}

namespace {
struct TGIFCodecUnit {
  TGIFCodecUnit() { InitializeGIFCodec(); }
} GIFCodecUnit;
}  // namespace
