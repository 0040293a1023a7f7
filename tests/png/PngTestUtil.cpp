#include "PngTestUtil.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "png/PngHeaderChunk.h"

std::vector<std::string> PngSuiteFiles() {
  std::vector<std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(PngSuiteDir()))
    if (e.path().extension() == ".png") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

namespace {
void PutBE32(Bytes& b, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<uint8_t>(v >> s));
}
}  // namespace

PngBuilder& PngBuilder::Chunk(const char* type, const Bytes& data) {
  PutBE32(Out, static_cast<uint32_t>(data.size()));
  Out.insert(Out.end(), type, type + 4);
  Out.insert(Out.end(), data.begin(), data.end());
  uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
  if (!data.empty()) crc = crc32(crc, data.data(), static_cast<uInt>(data.size()));
  PutBE32(Out, static_cast<uint32_t>(crc));
  return *this;
}

PngBuilder& PngBuilder::BadCrcChunk(const char* type, const Bytes& data) {
  Chunk(type, data);
  Out.back() ^= 0x55;
  return *this;
}

Bytes IhdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace) {
  Bytes d;
  PutBE32(d, width);
  PutBE32(d, height);
  d.insert(d.end(), {depth, colorType, 0, 0, interlace});
  return d;
}

PngBuilder& PngBuilder::Header(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, uint8_t interlace) {
  return Chunk("IHDR", IhdrData(width, height, depth, colorType, interlace));
}

Bytes Deflate(const Bytes& raw) {
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  Bytes out(size);
  compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  out.resize(size);
  return out;
}

Bytes SimplePng(uint32_t width, uint32_t height, uint8_t depth, uint8_t colorType, const Bytes& filteredRows,
                size_t split, const Bytes& plte) {
  PngBuilder b;
  b.Header(width, height, depth, colorType);
  if (!plte.empty()) b.Chunk("PLTE", plte);
  const Bytes z = Deflate(filteredRows);
  if (split == 0) split = z.size();
  for (size_t at = 0; at < z.size(); at += split)
    b.Chunk("IDAT", Bytes(z.begin() + static_cast<std::ptrdiff_t>(at),
                          z.begin() + static_cast<std::ptrdiff_t>(std::min(z.size(), at + split))));
  return b.End().Out;
}

void LoadBytes(TPNGChunkList& png, const Bytes& data) {
  TMemoryStream s;
  if (!data.empty()) s.Write(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  png.LoadFromStream(s);
}

Bytes SaveBytes(TPNGChunkList& png) {
  TMemoryStream s;
  png.SaveToStream(s);
  const auto* p = static_cast<const uint8_t*>(s.Memory());
  return Bytes(p, p + s.Size());
}

namespace {

struct ReadState {
  const Bytes* File;
  size_t Pos;
  char Error[256];
};

void ReadData(png_structp p, png_bytep out, png_size_t n) {
  auto* st = static_cast<ReadState*>(png_get_io_ptr(p));
  if (st->Pos + n > st->File->size()) png_error(p, "read past end");
  std::memcpy(out, st->File->data() + st->Pos, n);
  st->Pos += n;
}

void OnError(png_structp p, png_const_charp msg) {
  auto* st = static_cast<ReadState*>(png_get_io_ptr(p));
  std::snprintf(st->Error, sizeof(st->Error), "%s", msg);
  png_longjmp(p, 1);
}

void OnWarning(png_structp, png_const_charp) {}

}  // namespace

bool LibpngDecode(const Bytes& file, LibpngImage& out) {
  ReadState st{&file, 0, {0}};
  png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  png_infop info = png_create_info_struct(p);
  png_set_read_fn(p, &st, ReadData);
  if (setjmp(png_jmpbuf(p))) {
    out.Error = st.Error;
    png_destroy_read_struct(&p, &info, nullptr);
    return false;
  }
  png_read_info(p, info);
  out.Width = png_get_image_width(p, info);
  out.Height = png_get_image_height(p, info);
  out.ColorType = png_get_color_type(p, info);
  out.BitDepth = png_get_bit_depth(p, info);
  png_colorp palette = nullptr;
  int count = 0;
  if (png_get_PLTE(p, info, &palette, &count)) {
    out.Palette.clear();
    for (int i = 0; i < count; ++i) out.Palette.insert(out.Palette.end(), {palette[i].red, palette[i].green, palette[i].blue});
  }
  if (out.BitDepth == 16) png_set_strip_16(p);
  if (out.BitDepth < 8) png_set_packing(p);
  png_set_interlace_handling(p);
  png_read_update_info(p, info);
  out.Channels = png_get_channels(p, info);
  const size_t rowBytes = png_get_rowbytes(p, info);
  out.Rows.assign(out.Height, Bytes(rowBytes));
  std::vector<png_bytep> rows(out.Height);
  for (uint32_t y = 0; y < out.Height; ++y) rows[y] = out.Rows[y].data();
  png_read_image(p, rows.data());
  png_read_end(p, nullptr);
  png_destroy_read_struct(&p, &info, nullptr);
  return true;
}

Shown OursAt(const TPNGChunkList& png, int x, int y) {
  const uint8_t* alpha = png.AlphaRow(y);
  return {png.GetPixel(x, y), alpha ? alpha[x] : uint8_t(255)};
}

Shown ExpectedAt(const LibpngImage& ref, const TPNGChunkList& png, int x, int y) {
  const uint8_t* s = ref.Rows[static_cast<size_t>(y)].data() + static_cast<size_t>(x) * ref.Channels;
  const uint8_t* g = png.GammaCurve;
  auto rgb = [](uint8_t r, uint8_t gg, uint8_t b) { return uint32_t(r) | (uint32_t(gg) << 8) | (uint32_t(b) << 16); };
  auto grey = [&](unsigned v) {
    const unsigned max = ref.BitDepth < 8 ? (1u << ref.BitDepth) - 1 : 255u;
    const uint8_t d = g[v * 255 / max];
    return rgb(d, d, d);
  };
  switch (ref.ColorType) {
    case 0: return {grey(s[0]), 255};
    case 2: return {rgb(g[s[0]], g[s[1]], g[s[2]]), 255};
    case 3: {
      const size_t i = s[0];
      if (i * 3 + 2 >= ref.Palette.size()) return {0, 255};
      return {rgb(g[ref.Palette[i * 3]], g[ref.Palette[i * 3 + 1]], g[ref.Palette[i * 3 + 2]]), 255};
    }
    case 4: return {grey(s[0]), s[1]};
    case 6: return {rgb(g[s[0]], g[s[1]], g[s[2]]), s[3]};
    default: return {0, 0};
  }
}
