#include "gif/GIFSqueeze.h"

#include <algorithm>

#include "gif/GIFColorReduction.h"
#include "gif/GIFDIB.h"
#include "gif/GifCodec.h"

namespace {

const char* const OptimizingMessage = "Optimizing...";

bool HoldsIndex(TGIFSubImage& frame, int index) {
  const uint8_t* p = frame.Data();
  return p && std::find(p, p + frame.DataSize(), static_cast<uint8_t>(index)) != p + frame.DataSize();
}

bool SameRect(const TGIFRect& a, const TGIFRect& b) {
  return a.Left == b.Left && a.Top == b.Top && a.Right == b.Right && a.Bottom == b.Bottom;
}

void TidyDisposal(TGIFImageList& frames) {
  for (int i = 0; i + 1 < frames.Count(); ++i) {
    TGIFGraphicControlExtension* gce = frames[i]->GraphicControlExtension();
    TGIFSubImage* next = frames[i + 1];
    if (!gce || (gce->Disposal() != 2 && gce->Disposal() != 3) || next->Transparent()) continue;
    // Nothing of this frame shows once the opaque frame after it covers all of it.
    TGIFRect a = frames[i]->BoundsRect(), b = next->BoundsRect();
    TGIFRect cut{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                 std::min(a.Bottom, b.Bottom)};
    if (cut.Left < cut.Right && cut.Top < cut.Bottom && SameRect(cut, a)) gce->SetDisposal(0);
  }
}

void TidyExtensions(TGIFImageList& frames) {
  const int count = frames.Count();
  for (int i = count - 1; i >= 0; --i) {
    TGIFSubImage* frame = frames[i];
    TGIFExtensionList& list = frame->Extensions();
    for (int j = list.Count() - 1; j >= 0; --j) {
      TGIFExtension* e = list[j];
      bool drop = dynamic_cast<TGIFCommentExtension*>(e) || dynamic_cast<TGIFTextExtension*>(e) ||
                  dynamic_cast<TGIFUnknownAppExtension*>(e) ||
                  (dynamic_cast<TGIFAppExtNSLoop*>(e) && !(i == 0 && count > 1));
      if (auto* gce = dynamic_cast<TGIFGraphicControlExtension*>(e))
        drop = (gce->Delay() == 0 || count == 1) && !gce->Transparent() && !gce->UserInput() &&
               (gce->Disposal() <= 1 || count == 1);
      if (drop) list.Delete(j);
    }
    if (frame->Empty() && list.Count() == 0) frames.Delete(i);
  }
}

void TrimFrames(TGIFImageList& frames) {
  for (int i = frames.Count() - 1; i >= 0; --i) {
    TGIFSubImage* frame = frames[i];
    if (frame->Empty() || !frame->Transparent()) continue;
    // The time is read first: trimming a frame to nothing empties it,
    // control extension and all.
    const int delay = frame->GraphicControlExtension() ? frame->GraphicControlExtension()->Delay() : 0;
    frame->TrimTransparentBorder();
    if (!frame->Empty()) continue;
    frames.Delete(i);
    if (i > 0 && frames[i - 1]->Transparent() && frames[i - 1]->GraphicControlExtension()) {
      TGIFGraphicControlExtension* prev = frames[i - 1]->GraphicControlExtension();
      prev->SetDelay(std::min(0xFFFF, prev->Delay() + delay));
    }
  }
}

void MaskRepeats(TGIFImageList& frames) {
  for (int i = frames.Count() - 1; i >= 1; --i) {
    int p = i - 1;
    while (p > 0) {
      TGIFGraphicControlExtension* gce = frames[p]->GraphicControlExtension();
      if (!gce || gce->Disposal() != 3) break;
      --p;
    }
    frames[i]->MaskUnchangedPixels(frames[p]);
  }
}

}  // namespace

void SqueezeImage(TGIFImage& image, int options, int reductionMethod, int reductionDepth, int ditherKind) {
  (void)reductionDepth;
  (void)ditherKind;
  if (image.Empty()) return;
  if ((options & soReduceColors) && reductionMethod == ReduceCustomPalette) RaiseGIF("Invalid reduction method");
  image.StopAllPainters();
  TGIFImageList& frames = image.Images();
  image.ReportProgress(&image, gpsStarting, 0, false, OptimizingMessage);
  image.PainterList.LockList();
  int steps = 0;
  const int total = 6 * std::max(1, frames.Count());
  auto step = [&] { image.ReportProgress(&image, gpsRunning, GIFMulDiv(++steps, 100, total), false, OptimizingMessage); };
  try {
    if (options & soPackColorMaps) {
      image.GlobalColorMap().SortByUse();
      for (int i = 0; i < frames.Count(); ++i) {
        if (frames[i]->ColorMap().Count() > 0) frames[i]->ColorMap().SortByUse();
        step();
      }
    }
    if (options & soTidy) {
      for (int i = 0; i < frames.Count(); ++i) {
        TGIFSubImage* f = frames[i];
        TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
        if (f->Transparent() && gce && !HoldsIndex(*f, gce->TransparentColorIndex())) gce->SetTransparent(false);
        step();
      }
      TidyDisposal(frames);
    }
    if (options & soMaskRepeats) MaskRepeats(frames);
    if (options & soTrimFrames) TrimFrames(frames);
    if (options & soTidy) TidyExtensions(frames);
  } catch (...) {
    image.PainterList.UnlockList();
    image.ReportProgress(&image, gpsEnding, 0, true, OptimizingMessage);
    throw;
  }
  image.PainterList.UnlockList();
  image.FreeCompositeBitmap();
  image.ReportProgress(&image, gpsEnding, 100, true, OptimizingMessage);
}

void WriteImageData(TGIFImage& image, TStream& stream) {
  if (SqueezeOnWrite) SqueezeImage(image, soAll, ReduceNone, 8, 0);
  image.SaveToStream(stream);
}
