// The animation painter: plays the frames of a GIF image onto a canvas
// rectangle with the file's timing, disposal and looping, on a thread of its
// own that hands every paint to the GUI thread, or inside the caller's call.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "classlib/Graphics.h"
#include "classlib/Threads.h"

class TGIFImage;
class TGIFPainter;

// Paint options: bit 0 gpThreaded .. bit 10 gpAutoDither.
using TGIFPaintOptions = uint16_t;
constexpr TGIFPaintOptions gpThreaded = 1 << 0;
constexpr TGIFPaintOptions gpTransparent = 1 << 1;
constexpr TGIFPaintOptions gpAnimate = 1 << 2;
constexpr TGIFPaintOptions gpLoop = 1 << 3;
constexpr TGIFPaintOptions gpLoopForever = 1 << 4;
constexpr TGIFPaintOptions gpCheckCanvas = 1 << 5;
constexpr TGIFPaintOptions gpDirect = 1 << 6;
constexpr TGIFPaintOptions gpClearOnLoop = 1 << 7;
constexpr TGIFPaintOptions gpTile = 1 << 8;
constexpr TGIFPaintOptions gpDither = 1 << 9;
constexpr TGIFPaintOptions gpAutoDither = 1 << 10;

using TGIFPainterEvent = std::function<void(TGIFPainter* sender)>;

// Timing, in milliseconds per delay unit and in delay units.
extern int GIFDelayExp;
extern int GIFDefaultDelay;
extern int GIFMinimumDelay;
extern int GIFMaximumDelay;

class TGIFPainter : public TThread {
 public:
  TGIFPainter(TGIFImage* image, TCanvas* canvas, const TRect& rect, TGIFPaintOptions options,
              TGIFPainter** ownerSlot = nullptr);
  ~TGIFPainter() override;

  void StartPainting();
  void StopPainting();
  // The frame loop; a synchronous painter is run through this by its creator.
  void Execute() override;
  // Runs a synchronous painter to its end and frees it; what ended its run
  // is raised again here, in the caller.
  static void RunAndFree(TGIFPainter* painter);

  // Cleared (by the image or the detach step) on the GUI thread, read by the painter's.
  std::atomic<TGIFImage*> PlayedImage{nullptr};
  TCanvas* TargetCanvas = nullptr;
  TRect TargetRect;
  TGIFPaintOptions PaintOptions = 0;
  int SpeedPercent = 100;
  std::atomic<int> CurrentFrame{-1};
  int FrameDisposal = 0;
  int PreviousDisposal = 0;
  std::atomic<bool> FirstFramePainted{false};
  TGIFPainter** OwnerSlot = nullptr;
  // Set while a paint or event of this painter runs on the GUI thread.
  std::atomic<bool> InStep{false};
  // A copy of what ended the run, kept for its report.
  std::exception_ptr SavedException;

  TGIFPainterEvent OnAnimationStart;
  TGIFPainterEvent OnFramePaint;
  TGIFPainterEvent OnFramePainted;
  TGIFPainterEvent OnAnimationLoop;
  TGIFPainterEvent OnAnimationEnd;

  bool Threaded() const { return (PaintOptions & gpThreaded) != 0; }
  // True once the run has ended or the painter was told to stop.
  bool Stopping() const { return Terminated(); }

 protected:
  void TerminatedSet() override;

 private:
  void Run();
  void Step(const std::function<void()>& step);
  void Fire(const TGIFPainterEvent& handler);
  void Wait(int& delay, DWORD& lastTime, int& lastPlanned);
  void PumpMessages();
  void SimplePaint();
  void DisposalPaint();
  void RestoreFrameArea(TBitmap& buffer);
  void Detach();
  bool Gone() const { return PlayedImage == nullptr; }

  std::unique_ptr<TBitmap> FSavedScreen, FWorkBuffer, FBackgroundCopy;
  HDC FCheckedDC = nullptr;
  HANDLE FWakeEvent = nullptr;
  TColor FBackground = clBlack;
  bool FDetached = false;
};
