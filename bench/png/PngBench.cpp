// PNG decoding, ours against libpng to the same pixel layout (BGR rows, 8-bit
// samples, palette indices unpacked by neither), in one run.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "classlib/Streams.h"
#include "png/PngCodec.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Source {
  const Bytes* File;
  size_t Pos;
};

void ReadData(png_structp p, png_bytep out, png_size_t n) {
  auto* s = static_cast<Source*>(png_get_io_ptr(p));
  if (s->Pos + n > s->File->size()) png_error(p, "end");
  std::memcpy(out, s->File->data() + s->Pos, n);
  s->Pos += n;
}

void OnError(png_structp p, png_const_charp) { png_longjmp(p, 1); }
void OnWarning(png_structp, png_const_charp) {}

// libpng into one buffer of BGR(A) rows, as a program would use it.
bool LibpngDecode(const Bytes& file, Bytes& pixels) {
  Source src{&file, 0};
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png_create_info_struct(p);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(p))) {
    png_destroy_read_struct(&p, &info, nullptr);
    return false;
  }
  png_set_read_fn(p, &src, ReadData);
  png_read_info(p, info);
  if (png_get_bit_depth(p, info) == 16) png_set_strip_16(p);
  png_set_bgr(p);
  png_set_interlace_handling(p);
  png_read_update_info(p, info);
  const size_t rowBytes = png_get_rowbytes(p, info);
  const uint32_t h = png_get_image_height(p, info);
  pixels.resize(rowBytes * h);
  rows.resize(h);
  for (uint32_t y = 0; y < h; ++y) rows[y] = pixels.data() + rowBytes * y;
  png_read_image(p, rows.data());
  png_read_end(p, nullptr);
  png_destroy_read_struct(&p, &info, nullptr);
  return true;
}

bool OursDecode(const Bytes& file) {
  TMemoryStream s;
  s.Write(file.data(), static_cast<int64_t>(file.size()));
  s.SetPosition(0);
  TPNGChunkList png;
  try {
    png.LoadFromStream(s);
  } catch (const Exception&) {
    return false;
  }
  return true;
}

// Best of `rounds` runs of decoding every file once, in milliseconds.
template <class F>
double Measure(const std::vector<Bytes>& files, int rounds, F decode) {
  double best = 1e30;
  for (int r = 0; r < rounds; ++r) {
    const auto t0 = Clock::now();
    for (const auto& f : files)
      if (!decode(f)) {
        std::fprintf(stderr, "decode failed\n");
        std::exit(1);
      }
    best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
  }
  return best;
}

const char* OnlyRows = nullptr;

void Row(const std::string& what, const std::vector<Bytes>& files, int rounds) {
  if (OnlyRows && what.find(OnlyRows) == std::string::npos) return;
  Bytes scratch;
  // Interleaved so both see the same machine state.
  double ours = 1e30, peer = 1e30;
  for (int i = 0; i < 3; ++i) {
    ours = std::min(ours, Measure(files, rounds, OursDecode));
    peer = std::min(peer, Measure(files, rounds, [&](const Bytes& f) { return LibpngDecode(f, scratch); }));
  }
  std::printf("ROW | %s | ours %.2f ms | libpng %.2f ms | ratio %.2f\n", what.c_str(), ours, peer, ours / peer);
}

std::string MakeImage(const std::string& dir, const std::string& name, const std::string& args) {
  const std::string path = dir + "/" + name;
  if (!std::filesystem::exists(path)) {
    const std::string cmd = "convert " + args + " " + path + " > /dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
  }
  return path;
}

}  // namespace

// An argument limits the run to rows whose text holds it.
int main(int argc, char** argv) {
  if (argc > 1) OnlyRows = argv[1];
  std::vector<Bytes> suite;
  size_t suiteBytes = 0;
  for (const auto& e : std::filesystem::directory_iterator("/usr/share/go-1.19/src/image/png/testdata/pngsuite"))
    if (e.path().extension() == ".png") suite.push_back(ReadFile(e.path().string())), suiteBytes += suite.back().size();
  if (!suite.empty())
    Row("PngSuite, " + std::to_string(suite.size()) + " files, " + std::to_string(suiteBytes / 1024) + " KiB", suite,
        20);
  const Bytes pngtest = ReadFile("/usr/share/doc/libpng-dev/examples/pngtest.png");
  if (!pngtest.empty()) Row("pngtest.png, 91x69 RGBA Adam7", {pngtest}, 200);

  const std::string dir = (std::filesystem::temp_directory_path() / "hk_png_bench").string();
  std::filesystem::create_directories(dir);
  const std::string plasma = "-seed 7 -size 2400x1600 plasma:fractal -blur 0x1 -depth 8";
  const std::string rgb = MakeImage(dir, "rgb.png", plasma + " -type TrueColor");
  const std::string rgba = MakeImage(
      dir, "rgba.png", plasma + " \\( -size 2400x1600 radial-gradient: \\) -compose CopyOpacity -composite -type TrueColorAlpha");
  if (!rgb.empty()) Row("2400x1600 RGB 8-bit (3.8 MP)", {ReadFile(rgb)}, 5);
  if (!rgba.empty()) Row("2400x1600 RGBA 8-bit (3.8 MP)", {ReadFile(rgba)}, 5);
  return 0;
}
