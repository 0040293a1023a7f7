#include "gif/GIFPainter.h"

#include <algorithm>

#include "classlib/Forms.h"
#include "gif/GIFDIB.h"
#include "gif/GifCodec.h"
#include "platform/Clock.h"
#include "platform/Messages.h"
#include "platform/services/Synch.h"

int GIFDelayExp = 12;
int GIFDefaultDelay = 10;
int GIFMinimumDelay = 3;
int GIFMaximumDelay = 1000;

TGIFPainter::TGIFPainter(TGIFImage* image, TCanvas* canvas, const TRect& rect, TGIFPaintOptions options,
                         TGIFPainter** ownerSlot)
    : TThread(true), TargetCanvas(canvas), TargetRect(rect), PaintOptions(options),
      OwnerSlot(ownerSlot) {
  SetFreeOnTerminate(true);
  PlayedImage = image;
  OnTerminate = [this](TThread*) { Detach(); };
  if (OwnerSlot) *OwnerSlot = this;
  SpeedPercent = image->SpeedPercent;
  if ((options & gpThreaded) && (options & gpAnimate) && image->Images().Count() > 1 && SpeedPercent >= 0)
    FWakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);

  if (image->PaintBackground != clNone)
    FBackground = static_cast<TColor>(ColorToRGB(image->PaintBackground));
  else if (image->TGIFImageCore::GlobalColorMap().Count() == 0)
    FBackground = static_cast<TColor>(ColorToRGB(clWindow));
  else
    FBackground = static_cast<TColor>(image->ScreenBackgroundColor());

  unsigned disposals = 0;
  for (int i = 0; i < image->Images().Count(); ++i)
    if (auto* gce = image->Images()[i]->GraphicControlExtension()) disposals |= 1u << gce->Disposal();
  if (options & gpClearOnLoop) disposals |= 1u << 2;
  const int w = rect.Width(), h = rect.Height();
  TRect whole(0, 0, w, h);
  if ((disposals & (1u << 2)) && (options & gpTransparent)) {
    FBackgroundCopy = std::make_unique<TBitmap>();
    FBackgroundCopy->SetSize(w, h);
    FBackgroundCopy->Canvas().CopyMode = SRCCOPY;
    FBackgroundCopy->Canvas().CopyRect(whole, *canvas, rect);
  }
  if (disposals & ((1u << 2) | (1u << 3))) {
    FSavedScreen = std::make_unique<TBitmap>();
    FSavedScreen->SetSize(w, h);
    FSavedScreen->Canvas().Brush().SetColor(FBackground);
    FSavedScreen->Canvas().Brush().SetStyle(bsSolid);
    FSavedScreen->Canvas().CopyRect(whole, *canvas, rect);
    FWorkBuffer = std::make_unique<TBitmap>();
    FWorkBuffer->SetSize(w, h);
    FWorkBuffer->Canvas().Brush().SetColor(FBackground);
    FWorkBuffer->Canvas().Brush().SetStyle(bsSolid);
  }
}

TGIFPainter::~TGIFPainter() {
  // The kernel thread of a painter that never ran still waits to start: it
  // must find nothing of this object to call when it ends.
  OnTerminate = nullptr;
  SetFreeOnTerminate(false);
  Detach();
}

void TGIFPainter::StartPainting() {
  if (Threaded()) Resume();
}

void TGIFPainter::StopPainting() {
  Terminate();
  if (Threaded()) {
    if (FWakeEvent) SetEvent(FWakeEvent);
    SetPriority(tpNormal);
    if (Suspended()) Resume();
  }
}

void TGIFPainter::TerminatedSet() {
  if (FWakeEvent) SetEvent(FWakeEvent);
}

void TGIFPainter::Detach() {
  if (FDetached) return;
  FDetached = true;
  if (TGIFImage* image = PlayedImage) {
    image->PainterList.LockList();
    if (OwnerSlot && *OwnerSlot == this) *OwnerSlot = nullptr;
    image->PainterList.UnlockList();
    image->PainterList.Remove(this);
    PlayedImage = nullptr;
  }
  FSavedScreen.reset();
  FWorkBuffer.reset();
  FBackgroundCopy.reset();
  if (FWakeEvent) CloseHandle(FWakeEvent);
  FWakeEvent = nullptr;
  // What ended a threaded run is reported here, on the GUI thread, not raised
  // on the painter's own thread where nothing could catch it.
  if (SavedException && Threaded()) {
    std::exception_ptr e = SavedException;
    SavedException = nullptr;
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      Application->HandleException(nullptr, ex);
    } catch (...) {
    }
  }
}

// A paint or event runs on the GUI thread, and never once a stop was asked:
// the check is made again when the step itself runs.
void TGIFPainter::Step(const std::function<void()>& step) {
  if (Terminated() || Gone()) return;
  auto guarded = [&] {
    if (Terminated() || Gone()) return;
    InStep = true;
    try {
      step();
    } catch (...) {
      InStep = false;
      throw;
    }
    InStep = false;
  };
  if (Threaded())
    Synchronize(guarded);
  else
    guarded();
}

void TGIFPainter::Fire(const TGIFPainterEvent& handler) {
  if (!handler) return;
  Step([&] { handler(this); });
}

void TGIFPainter::PumpMessages() {
  MSG msg;
  while (!Terminated() && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The application still ends: the quit goes back for its own loop.
      PostQuitMessage(static_cast<int>(msg.wParam));
      Terminate();
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void TGIFPainter::Wait(int& delay, DWORD& lastTime, int& lastPlanned) {
  DWORD now = timeGetTime();
  if (SpeedPercent > 0) {
    int64_t lag = static_cast<int32_t>(now - lastTime - static_cast<DWORD>(lastPlanned));
    int64_t ms = (static_cast<int64_t>(delay) * GIFDelayExp - lag / 2) * 100;
    // Round as the platform's MulDiv does.
    ms = ms >= 0 ? (ms + SpeedPercent / 2) / SpeedPercent : -((-ms + SpeedPercent / 2) / SpeedPercent);
    if (ms > INT32_MAX || ms < INT32_MIN) {
      delay = 1000 * GIFDelayExp;
      lastPlanned = 0;
    } else {
      delay = static_cast<int>(ms);
      lastPlanned = delay;
    }
  } else {
    delay = Threaded() ? -1 : 1000 * GIFDelayExp;
  }
  lastTime = now;
  if (Threaded()) {
    if (delay > 0 || SpeedPercent == 0) {
      DWORD r = WaitForSingleObject(FWakeEvent, delay < 0 ? INFINITE : static_cast<DWORD>(delay));
      if (r != WAIT_TIMEOUT) {
        lastPlanned = 0;
        lastTime = timeGetTime();
      }
    } else {
      Sleep(0);
    }
    return;
  }
  delay = std::max(delay, 1);
  while (delay > 0 && !Terminated()) {
    DWORD before = timeGetTime();
    Sleep(static_cast<DWORD>(std::min(delay, 100)));
    delay -= static_cast<int>(timeGetTime() - before);
    PumpMessages();
  }
}

void TGIFPainter::Execute() {
  try {
    Run();
  } catch (const Exception&) {
    Terminate();
    SavedException = std::current_exception();
  }
}

void TGIFPainter::Run() {
  if (Gone()) return;
  // The canvas belongs to the GUI thread: its DC is taken there.
  if (PaintOptions & gpCheckCanvas) Step([&] { FCheckedDC = TargetCanvas->Handle(); });
  CurrentFrame = 0;
  Fire(OnAnimationStart);
  FirstFramePainted = false;
  int loopCount = 1, loopStart = 0;
  bool loopSeen = false;
  int delay = Threaded() ? 0 : 1;
  PreviousDisposal = 1;
  DWORD lastTime = timeGetTime();
  int lastPlanned = 0;
  while ((loopCount != 0 || (PaintOptions & gpLoopForever)) && !Terminated() && !Gone()) {
    CurrentFrame = loopStart;
    if (FirstFramePainted) Fire(OnAnimationLoop);
    bool paintedThisPass = false;
    while (!Terminated() && !Gone() && CurrentFrame < PlayedImage.load()->Images().Count()) {
      TGIFSubImage* frame = PlayedImage.load()->Images()[CurrentFrame];
      if (frame->Empty()) break;
      if (delay > 0) Wait(delay, lastTime, lastPlanned);
      else Sleep(0);
      if (Terminated() || Gone()) break;
      Fire(OnFramePaint);
      if (Terminated() || Gone()) break;
      FrameDisposal = 1;
      TGIFExtensionList& exts = frame->Extensions();
      for (int i = 0; i < exts.Count(); ++i) {
        if (auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(exts[i])) {
          if (!loopSeen) {
            loopSeen = true;
            loopCount = loop->Loops();
            if ((loopCount == 0 || (PaintOptions & gpLoopForever)) && Threaded()) loopCount = -1;
            loopStart = CurrentFrame;
          }
        } else if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(exts[i])) {
          FrameDisposal = gce->Disposal();
        }
      }
      Step([&] {
        if (FSavedScreen)
          DisposalPaint();
        else
          SimplePaint();
      });
      paintedThisPass = true;
      PreviousDisposal = FrameDisposal;
      if (Terminated() || Gone()) break;
      delay = GIFDefaultDelay;
      if (TGIFGraphicControlExtension* gce = frame->GraphicControlExtension(); gce && gce->Delay() > 0) {
        delay = std::max(gce->Delay(), GIFMinimumDelay);
        if (!Threaded()) delay = std::min(delay, GIFMaximumDelay);
      }
      int shown = CurrentFrame;
      Fire(OnFramePainted);
      if (!Terminated() && CurrentFrame == shown) ++CurrentFrame;
      if (!(PaintOptions & gpAnimate)) break;
    }
    // Frames that paint nothing would make this loop spin without a wait.
    if (!paintedThisPass) break;
    if (loopCount > 0) --loopCount;
    if (!((PaintOptions & gpAnimate) && (PaintOptions & gpLoop))) break;
  }
  CurrentFrame = -1;
  Fire(OnAnimationEnd);
}

void TGIFPainter::RunAndFree(TGIFPainter* painter) {
  painter->Execute();
  std::exception_ptr e = painter->SavedException;
  delete painter;
  if (e) std::rethrow_exception(e);
}

void TGIFPainter::SimplePaint() {
  PlayedImage.load()->Images()[CurrentFrame]->DrawInScreenRect(*TargetCanvas, TargetRect, PaintOptions & gpTransparent,
                                                        PaintOptions & gpTile);
  FirstFramePainted = true;
}

void TGIFPainter::RestoreFrameArea(TBitmap& buffer) {
  TGIFImage* image = PlayedImage;
  TGIFSubImage* frame = image->Images()[CurrentFrame];
  const int w = TargetRect.Width(), h = TargetRect.Height();
  TRect whole(0, 0, w, h);
  const int iw = image->Width(), ih = image->Height();
  auto tiles = [&](auto&& f) {
    if (iw <= 0 || ih <= 0) return;
    for (int x = frame->Left(); x < w; x += iw)
      for (int y = frame->Top(); y < h; y += ih) f(TRect(x, y, x + frame->Width(), y + frame->Height()));
  };
  if (PaintOptions & gpTransparent) {
    if (!FBackgroundCopy) return;
    auto copy = [&](const TRect& r) { buffer.Canvas().CopyRect(r, FBackgroundCopy->Canvas(), r); };
    if (PaintOptions & gpTile)
      tiles(copy);
    else
      copy(frame->MapToScreenRect(whole));
    return;
  }
  if ((PaintOptions & gpTile) && frame->Width() != iw && frame->Height() != ih) {
    buffer.Canvas().Brush().SetColor(image->PaintBackground);
    tiles([&](const TRect& r) { buffer.Canvas().FillRect(r); });
  } else {
    buffer.Canvas().FillRect(frame->MapToScreenRect(whole));
  }
}

void TGIFPainter::DisposalPaint() {
  if (PaintOptions & gpCheckCanvas) {
    // A memory DC (a bitmap's canvas) is as alive as a window's.
    DWORD kind = GetObjectType(FCheckedDC);
    if (kind != OBJ_DC && kind != OBJ_MEMDC) {
      Terminate();
      return;
    }
  }
  TGIFSubImage* frame = PlayedImage.load()->Images()[CurrentFrame];
  const TRect whole(0, 0, TargetRect.Width(), TargetRect.Height());
  TCanvas* dest = nullptr;
  TRect destRect = whole;
  bool toScreen = false;
  switch (FrameDisposal) {
    case 0:
    case 1:
    case 2:
      dest = &FSavedScreen->Canvas();
      toScreen = true;
      break;
    case 3:
      if (PreviousDisposal == 0 || PreviousDisposal == 1) {
        dest = TargetCanvas;
        destRect = TargetRect;
      } else if (PreviousDisposal == 2 || PreviousDisposal == 3) {
        FWorkBuffer->Canvas().CopyRect(whole, FSavedScreen->Canvas(), whole);
        dest = &FWorkBuffer->Canvas();
        toScreen = true;
      }
      break;
    default:
      break;
  }
  if (dest) {
    HDC dc = dest->Handle();
    HPALETTE palette = frame->FramePalette();
    HPALETTE old = palette ? SelectPalette(dc, palette, FALSE) : nullptr;
    if (palette) RealizePalette(dc);
    if ((PaintOptions & gpClearOnLoop) && CurrentFrame == 0 && dest == &FSavedScreen->Canvas())
      RestoreFrameArea(*FSavedScreen);
    frame->DrawInScreenRect(*dest, destRect, PaintOptions & gpTransparent, PaintOptions & gpTile);
    if (toScreen) {
      TargetCanvas->CopyMode = SRCCOPY;
      TargetCanvas->CopyRect(TargetRect, *dest, whole);
    }
    if (old) SelectPalette(dc, old, FALSE);
    if (FrameDisposal == 2) RestoreFrameArea(*FSavedScreen);
  }
  FirstFramePainted = true;
}
