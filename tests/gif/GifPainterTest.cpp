// The animation painter on the virtual clock: timing, loops, speed, stops,
// and the image's painters as Draw starts and its destructor ends them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "GifTestUtil.h"
#include "classlib/Forms.h"
#include "gif/GifCodec.h"
#include "platform/Clock.h"

namespace {

struct TFrameSpec {
  int Delay;
  int Disposal = 1;
  int Value = 1;
};

// 4 x 4 frames filled with their value; a looping extension before frame
// `loopAt` when loops >= 0.
std::unique_ptr<TGIFImage> Anim(const std::vector<TFrameSpec>& frames, int loops = -1, int loopAt = 0) {
  TGifBuilder b;
  b.Header(4, 4, 3);
  for (size_t i = 0; i < frames.size(); ++i) {
    if (loops >= 0 && static_cast<int>(i) == loopAt) {
      b.Raw({0x21, 0xFF, 11});
      b.Raw(Bytes{'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'});
      b.Raw({3, 1, loops & 0xFF, loops >> 8, 0});
    }
    b.Gce(frames[i].Disposal, frames[i].Delay);
    b.Descriptor(0, 0, 4, 4).ImageData(4, Literals(4, std::vector<int>(16, frames[i].Value)));
  }
  b.Trailer();
  auto image = std::make_unique<TGIFImage>();
  TMemoryStream s;
  s.WriteBuffer(b.Data.data(), static_cast<int64_t>(b.Data.size()));
  s.SetPosition(0);
  image->LoadFromStream(s);
  return image;
}

std::unique_ptr<TBitmap> Target() {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(4, 4);
  return bmp;
}

struct TRecorder {
  std::vector<uint64_t> Times;
  std::vector<int> Frames;
  std::atomic<int> Paints{0}, Loops{0}, Ends{0};
  void Hook(TGIFImage& image) {
    image.OnFramePaint = [this](TGIFPainter* p) {
      Times.push_back(ClockNowMs());
      Frames.push_back(p->CurrentFrame);
      ++Paints;
    };
    image.OnAnimationLoop = [this](TGIFPainter*) { ++Loops; };
    image.OnAnimationEnd = [this](TGIFPainter*) { ++Ends; };
  }
  std::vector<uint64_t> Gaps() const {
    std::vector<uint64_t> g;
    for (size_t i = 1; i < Times.size(); ++i) g.push_back(Times[i] - Times[i - 1]);
    return g;
  }
};

// Runs the painters' synchronised steps while the virtual clock moves on 1 ms
// at a time, until pred holds or `ms` have passed.
bool Pump(uint64_t ms, const std::function<bool()>& pred = {}) {
  for (uint64_t i = 0; i <= ms; ++i) {
    for (int k = 0; k < 20; ++k) {
      CheckSynchronize(0);
      if (pred && pred()) return true;
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    AdvanceClock(1);
  }
  return pred && pred();
}

class GifPainter : public ::testing::Test {
 protected:
  void SetUp() override { UseVirtualClock(true); }
};

constexpr TGIFPaintOptions kSync = gpTransparent | gpAnimate | gpLoop;
constexpr TGIFPaintOptions kThreaded = kSync | gpThreaded;

}  // namespace

TEST_F(GifPainter, SynchronousTimingAndDelayLimits) {
  struct Case {
    int speed;
    std::vector<uint64_t> gaps;
  };
  // Delays 3, 0 (the default 10), 1 (raised to 3) and 5000 (lowered to 1000
  // when synchronous), two passes.
  for (const Case& c : {Case{100, {36, 120, 36, 12000, 36, 120, 36}}, Case{200, {18, 60, 18, 6000, 18, 60, 18}}}) {
    SCOPED_TRACE(c.speed);
    auto image = Anim({{3}, {0}, {1}, {5000}}, 2);
    image->PaintOptions = kSync;
    image->SpeedPercent = c.speed;
    TRecorder rec;
    rec.Hook(*image);
    auto target = Target();
    image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
    EXPECT_EQ(rec.Frames, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
    EXPECT_EQ(rec.Gaps(), c.gaps);
    EXPECT_EQ(rec.Loops, 1);
    EXPECT_EQ(rec.Ends, 1);
    EXPECT_EQ(image->OwnPainter, nullptr);
  }
}

TEST_F(GifPainter, SynchronousPasses) {
  struct Case {
    const char* name;
    int loops, loopAt;
    TGIFPaintOptions options;
    std::vector<int> frames;
  };
  std::vector<Case> cases = {
      {"loop count 0 plays once", 0, 0, kSync, {0, 1, 2}},
      {"loop count 3", 3, 0, kSync, {0, 1, 2, 0, 1, 2, 0, 1, 2}},
      {"no looping extension", -1, 0, kSync, {0, 1, 2}},
      {"later passes start at the extension", 2, 1, kSync, {0, 1, 2, 1, 2}},
      {"without gpLoop", 3, 0, gpAnimate | gpTransparent, {0, 1, 2}},
      {"without gpAnimate", 3, 0, gpTransparent | gpLoop, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto image = Anim({{3}, {3}, {3}}, c.loops, c.loopAt);
    image->PaintOptions = c.options;
    TRecorder rec;
    rec.Hook(*image);
    auto target = Target();
    if (c.options & gpAnimate) {
      image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
    } else {
      // A still image draws without a painter: run one to see its single frame.
      TGIFPainter* p = image->StartPainter(nullptr, &target->Canvas(), c.options | gpAnimate, TRect(0, 0, 4, 4));
      EXPECT_EQ(p, nullptr);
      rec.Frames.clear();
      auto* painter = TThread::Create<TGIFPainter>(image.get(), &target->Canvas(), TRect(0, 0, 4, 4), c.options);
      painter->OnFramePaint = image->OnFramePaint;
      TGIFPainter::RunAndFree(painter);
    }
    EXPECT_EQ(rec.Frames, c.frames);
  }
}

TEST_F(GifPainter, StillFramesAndDirectPainting) {
  auto image = Anim({{3, 1, 1}, {3, 1, 2}, {3, 1, 3}});
  auto target = Target();
  image->PaintOptions = gpTransparent | gpLoop;
  for (auto [still, shown] : {std::pair{1, 1}, {7, 0}, {-1, 0}}) {
    image->StillFrame = still;
    image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
    EXPECT_EQ(image->OwnPainter, nullptr);
    EXPECT_EQ(target->Canvas().Pixel(2, 2), static_cast<TColor>(image->GlobalColorMap().ColorAt(shown + 1)));
  }
  // Painting straight onto the canvas: another rectangle stops the painter and starts one there.
  image->PaintOptions = kThreaded | gpDirect;
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  ASSERT_NE(image->OwnPainter, nullptr);
  image->Draw(target->Canvas(), TRect(0, 0, 2, 2));
  ASSERT_NE(image->OwnPainter, nullptr);
  EXPECT_TRUE(image->OwnPainter->TargetRect == TRect(0, 0, 2, 2));
  EXPECT_EQ(image->CompositeBitmap(), nullptr);
  image->StopAllPainters();
  EXPECT_EQ(image->OwnPainter, nullptr);
}

TEST_F(GifPainter, ThreadedLoopsForeverUntilStopped) {
  auto image = Anim({{3}, {3}}, 0);
  image->PaintOptions = kThreaded;
  TRecorder rec;
  rec.Hook(*image);
  auto target = Target();
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  ASSERT_NE(image->OwnPainter, nullptr);
  EXPECT_GE(rec.Paints, 1);
  EXPECT_TRUE(Pump(2000, [&] { return rec.Loops >= 3; }));
  // A second Draw on the same canvas and rectangle starts nothing new.
  TGIFPainter* running = image->OwnPainter;
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  EXPECT_EQ(image->OwnPainter, running);
  int before = rec.Paints;
  image->StopOwnPainter();
  EXPECT_EQ(image->OwnPainter, nullptr);
  Pump(200);
  EXPECT_EQ(rec.Paints, before);
}

TEST_F(GifPainter, LostCanvasEndsTheAnimationQuietly) {
  // Disposal to the background makes the painter check its canvas before each paint.
  auto image = Anim({{3, 2, 1}, {3, 2, 2}, {3, 2, 3}}, 0);
  image->PaintOptions = kThreaded | gpCheckCanvas | gpDirect;
  TRecorder rec;
  rec.Hook(*image);
  auto target = Target();
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  ASSERT_NE(image->OwnPainter, nullptr);
  EXPECT_TRUE(Pump(200, [&] { return rec.Paints >= 2; }));
  // The bitmap's DC goes away: the painter ends at its next paint, drawing nothing.
  target.reset();
  EXPECT_TRUE(Pump(500, [&] { return image->OwnPainter == nullptr; }));
}

TEST_F(GifPainter, ThreadedSpeedZeroWaitsUntilStopped) {
  auto image = Anim({{3}, {3}}, 0);
  image->PaintOptions = kThreaded;
  image->SpeedPercent = 0;
  TRecorder rec;
  rec.Hook(*image);
  auto target = Target();
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  Pump(1000);
  EXPECT_EQ(rec.Paints, 1);
  image->StopAllPainters();
  EXPECT_TRUE(image->PainterList.LockList().empty());
  image->PainterList.UnlockList();
}

TEST_F(GifPainter, StopDuringLongWaitEndsAtOnce) {
  // About ten seconds between the frames.
  auto image = Anim({{833}, {833}}, 0);
  image->PaintOptions = kThreaded;
  TRecorder rec;
  rec.Hook(*image);
  auto target = Target();
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  Pump(50);
  uint64_t start = ClockNowMs();
  auto wall = std::chrono::steady_clock::now();
  image->StopOwnPainter();
  EXPECT_EQ(image->OwnPainter, nullptr);
  EXPECT_LT(ClockNowMs() - start, 100u);
  EXPECT_LT(std::chrono::steady_clock::now() - wall, std::chrono::seconds(5));
  EXPECT_EQ(rec.Paints, 1);
}

TEST_F(GifPainter, DestructorWaitsForItsPainter) {
  auto image = Anim({{10}, {10}, {10}}, 0);
  image->PaintOptions = kThreaded;
  TRecorder rec;
  std::atomic<bool> destroying{false};
  std::atomic<int> late{0};
  rec.Hook(*image);
  image->OnFramePainted = [&](TGIFPainter*) {
    if (destroying) ++late;
  };
  auto target = Target();
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  Pump(60);
  destroying = true;
  image.reset();
  EXPECT_EQ(late, 0);
  Pump(300);
  EXPECT_EQ(late, 0);
}

TEST_F(GifPainter, FramesThatPaintNothingDoNotHangDraw) {
  // The first frame is empty, so no pass paints anything.
  auto anim = Anim({{3}, {3}});
  TGIFImage& image = *anim;
  image.Images()[0]->Reset();
  ASSERT_TRUE(image.Images()[0]->Empty());
  image.PaintOptions = kThreaded | gpLoopForever;
  auto target = Target();
  image.Draw(target->Canvas(), TRect(0, 0, 4, 4));
  EXPECT_TRUE(Pump(500, [&] { return image.OwnPainter == nullptr; }));
  image.PaintOptions = kSync | gpLoopForever;
  image.Draw(target->Canvas(), TRect(0, 0, 4, 4));
}

TEST_F(GifPainter, ThreadedExceptionIsReported) {
  auto image = Anim({{3}, {3}}, 0);
  image->PaintOptions = kThreaded;
  std::vector<std::string> reported;
  Application->OnException = [&](TObject*, const std::exception& e) { reported.push_back(e.what()); };
  image->OnFramePainted = [](TGIFPainter*) { throw Exception("painting failed"); };
  auto target = Target();
  image->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  EXPECT_TRUE(Pump(500, [&] { return image->OwnPainter == nullptr; }));
  Application->OnException = nullptr;
  EXPECT_EQ(reported, std::vector<std::string>{"painting failed"});
}

TEST_F(GifPainter, SynchronousPainterStopsWhenAHandlerDestroysTheImage) {
  auto image = Anim({{3}, {3}, {3}}, 3);
  image->PaintOptions = kSync;
  TGIFImage* raw = image.get();
  int paints = 0;
  image->OnFramePainted = [&](TGIFPainter*) {
    if (++paints == 2) image.reset();
  };
  auto target = Target();
  raw->Draw(target->Canvas(), TRect(0, 0, 4, 4));
  EXPECT_EQ(paints, 2);
  EXPECT_EQ(image, nullptr);
}
