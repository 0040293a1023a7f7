// Blends, merges and stretches of our 32-bit bitmaps against pixman doing
// the same work on the same sizes.
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "bitmap32/Bitmap32.h"
#include "bitmap32/Bitmap32Blend.h"
#include "bitmap32/Bitmap32Resamplers.h"

namespace {

// Best time per run of each work, reps runs a round; the rounds take the
// works in turn, so that a busy machine weighs on every side alike.
std::vector<double> BestInTurns(const std::vector<std::function<void()>>& works, int reps) {
  std::vector<double> best(works.size(), 1e300);
  for (int round = 0; round < 5; ++round)
    for (size_t w = 0; w < works.size(); ++w) {
      auto t0 = std::chrono::steady_clock::now();
      for (int i = 0; i < reps; ++i) works[w]();
      auto t1 = std::chrono::steady_clock::now();
      best[w] = std::min(best[w], std::chrono::duration<double, std::milli>(t1 - t0).count() / reps);
    }
  return best;
}

// Best times of works that change what they run over: each gets its reset
// before every run, and the rounds take the works in turn, so that a busy
// machine weighs on every side alike.
std::vector<double> BestFreshInTurns(const std::vector<std::function<void()>>& resets,
                                     const std::vector<std::function<void()>>& works, int rounds) {
  std::vector<double> best(works.size(), 1e300);
  for (int round = 0; round < rounds; ++round)
    for (size_t w = 0; w < works.size(); ++w) {
      resets[w]();
      auto t0 = std::chrono::steady_clock::now();
      works[w]();
      auto t1 = std::chrono::steady_clock::now();
      best[w] = std::min(best[w], std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
  return best;
}

void Row(const std::string& what, double ours, double peer) {
  std::printf("ROW | %s | ours %.3f ms | pixman %.3f ms | ratio %.2f\n", what.c_str(), ours, peer, ours / peer);
}

void Noise(TBitmap32& b, int w, int h, bool mixedAlpha) {
  b.SetSize(w, h);
  std::mt19937 rng(1);
  for (int64_t i = 0; i < int64_t(w) * h; ++i) {
    uint32_t c = static_cast<uint32_t>(rng());
    b.Bits()[i] = mixedAlpha ? c : (c | 0xFF000000u);
  }
}

// pixman wants premultiplied pixels; the timing does not depend on the values.
pixman_image_t* Wrap(TBitmap32& b) {
  return pixman_image_create_bits(PIXMAN_a8r8g8b8, b.Width(), b.Height(), b.Bits(), b.Width() * 4);
}

pixman_transform_t Scale(double sx, double sy) {
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(sx), pixman_double_to_fixed(sy));
  return t;
}

}  // namespace

int main() {
  // A run of pixels: 1024 x 1024 with every alpha.
  {
    const int W = 1024, H = 1024;
    TBitmap32 src, dst, pdst;
    Noise(src, W, H, true);
    Noise(dst, W, H, true);
    Noise(pdst, W, H, true);
    pixman_image_t* ps = Wrap(src);
    pixman_image_t* pd = Wrap(pdst);
    TBitmap32 original;
    Noise(original, W, H, true);
    auto resetOurs = [&] { std::copy(original.Bits(), original.Bits() + W * H, dst.Bits()); };
    auto resetPeer = [&] { std::copy(original.Bits(), original.Bits() + W * H, pdst.Bits()); };
    auto peer = [&] { pixman_image_composite32(PIXMAN_OP_OVER, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, W, H); };
    auto blend = [&] {
      for (int y = 0; y < H; ++y) BlendPixelRun(src.ScanLine(y), dst.ScanLine(y), W);
    };
    auto merge = [&] {
      for (int y = 0; y < H; ++y) MergePixelRun(src.ScanLine(y), dst.ScanLine(y), W);
    };
    std::vector<double> t = BestFreshInTurns({resetPeer, resetOurs, resetOurs}, {peer, blend, merge}, 50);
    Row("blend run of 1024x1024 pixels (over)", t[1], t[0]);
    Row("merge run of 1024x1024 pixels (over with destination alpha)", t[2], t[0]);
    pixman_image_unref(ps);
    pixman_image_unref(pd);
  }

  const int SW = 2000, SH = 1500;
  TBitmap32 src;
  Noise(src, SW, SH, false);
  pixman_image_t* ps = Wrap(src);

  // One stretch of the whole source, ours and pixman's, to dw x dh.
  auto stretch = [&](const std::string& what, int dw, int dh, int reps, const std::function<void()>& peerFilter) {
    TBitmap32 dst, pdst;
    dst.SetSize(dw, dh);
    pdst.SetSize(dw, dh);
    pixman_image_t* pd = Wrap(pdst);
    pixman_transform_t t = Scale(double(SW) / dw, double(SH) / dh);
    pixman_image_set_transform(ps, &t);
    peerFilter();
    std::vector<double> times =
        BestInTurns({[&] { pixman_image_composite32(PIXMAN_OP_SRC, ps, nullptr, pd, 0, 0, 0, 0, 0, 0, dw, dh); },
                     [&] { dst.Draw(TRect(0, 0, dw, dh), TRect(0, 0, SW, SH), &src); }},
                    reps);
    Row(what, times[1], times[0]);
    pixman_image_unref(pd);
  };
  stretch("nearest stretch 2000x1500 to 2400x1800", 2400, 1800, 3,
          [&] { pixman_image_set_filter(ps, PIXMAN_FILTER_NEAREST, nullptr, 0); });
  src.UseResampler<TLinearResampler>();
  stretch("bilinear stretch 2000x1500 to 2400x1800", 2400, 1800, 3,
          [&] { pixman_image_set_filter(ps, PIXMAN_FILTER_BILINEAR, nullptr, 0); });
  // Lanczos 3 against pixman's separable convolution with the same kernel.
  src.UseResampler<TKernelResampler>().SetKernelClassName("TLanczosKernel");
  stretch("Lanczos3 kernel stretch 2000x1500 to 1300x975", 1300, 975, 2, [&] {
    int n = 0;
    pixman_fixed_t* params = pixman_filter_create_separable_convolution(
        &n, pixman_double_to_fixed(double(SW) / 1300), pixman_double_to_fixed(double(SH) / 975), PIXMAN_KERNEL_LANCZOS3,
        PIXMAN_KERNEL_LANCZOS3, PIXMAN_KERNEL_BOX, PIXMAN_KERNEL_BOX, 4, 4);
    pixman_image_set_filter(ps, PIXMAN_FILTER_SEPARABLE_CONVOLUTION, params, n);
    free(params);
  });
  pixman_image_unref(ps);
  return 0;
}
