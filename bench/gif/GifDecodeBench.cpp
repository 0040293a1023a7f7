// Decoding GIF data: ours against giflib's DGifSlurp on the same bytes in
// memory, the test corpus and a large animated image made by ImageMagick.
#include <gif_lib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gif/GIFItems.h"
#include "gif/GIFSubImage.h"

namespace {
using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint64_t OursDecode(const Bytes& data) {
  TGIFImageCore image;
  TMemoryStream stream;
  stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  stream.SetPosition(0);
  image.ReadImage(stream);
  uint64_t sum = 0;
  for (int i = 0; i < image.Images().Count(); ++i) sum += image.Images()[i]->DataSize();
  return sum;
}

struct TReader {
  const Bytes* Data;
  size_t Pos;
};

int ReadMem(GifFileType* gif, GifByteType* buf, int n) {
  auto* r = static_cast<TReader*>(gif->UserData);
  size_t take = std::min(static_cast<size_t>(n), r->Data->size() - r->Pos);
  std::memcpy(buf, r->Data->data() + r->Pos, take);
  r->Pos += take;
  return static_cast<int>(take);
}

uint64_t GiflibDecode(const Bytes& data) {
  TReader r{&data, 0};
  int err = 0;
  GifFileType* gif = DGifOpen(&r, ReadMem, &err);
  if (!gif) return 0;
  uint64_t sum = 0;
  if (DGifSlurp(gif) == GIF_OK)
    for (int i = 0; i < gif->ImageCount; ++i)
      sum += static_cast<uint64_t>(gif->SavedImages[i].ImageDesc.Width) * gif->SavedImages[i].ImageDesc.Height;
  DGifCloseFile(gif, &err);
  return sum;
}

template <class F>
double Millis(F&& f, int rounds) {
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Row(const std::string& what, const std::vector<Bytes>& files, int rounds) {
  volatile uint64_t sink = 0;
  auto ours = [&] { for (const Bytes& b : files) sink = sink + OursDecode(b); };
  auto peer = [&] { for (const Bytes& b : files) sink = sink + GiflibDecode(b); };
  ours();
  peer();
  // Alternate so that both see the same machine load.
  double o = 0, p = 0;
  for (int i = 0; i < 3; ++i) {
    o += Millis(ours, rounds);
    p += Millis(peer, rounds);
  }
  std::printf("ROW | %s | ours %.1f ms | giflib %.1f ms | ratio %.2f\n", what.c_str(), o, p, o / p);
}

std::string LargeAnimation() {
  std::string path = std::filesystem::temp_directory_path() / "hk-bench-anim-640x480x24.gif";
  if (std::filesystem::exists(path)) return path;
  std::string cmd = "convert -seed 4 -size 640x480 plasma: -colors 256 -write mpr:a +delete";
  for (int i = 0; i < 24; ++i)
    cmd += " \\( mpr:a -roll +" + std::to_string(i * 26) + "+" + std::to_string(i * 13) + " \\)";
  cmd += " -delay 4 -loop 0 '" + path + "' 2>/dev/null";
  if (std::system(cmd.c_str()) != 0) return "";
  return path;
}
}  // namespace

int main() {
  std::vector<Bytes> corpus;
  size_t corpusBytes = 0;
  for (const auto& e : std::filesystem::directory_iterator(std::string(HK_SOURCE_DIR) + "/tests/gif/data"))
    if (e.path().extension() == ".gif" && e.path().filename().string().rfind("damaged-", 0) != 0) {
      corpus.push_back(ReadAll(e.path()));
      corpusBytes += corpus.back().size();
    }
  Row("decode test corpus (" + std::to_string(corpus.size()) + " files, " + std::to_string(corpusBytes / 1024) +
          " KiB) x 50",
      corpus, 50);
  std::string anim = LargeAnimation();
  if (anim.empty()) {
    std::printf("large animation: ImageMagick's convert is missing, row skipped\n");
    return 0;
  }
  std::vector<Bytes> big = {ReadAll(anim)};
  Row("decode animated GIF 640x480, 24 frames (" + std::to_string(big[0].size() / 1024) + " KiB) x 5", big, 5);
  return 0;
}
