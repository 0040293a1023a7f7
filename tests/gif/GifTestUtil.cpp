#include "GifTestUtil.h"

#include <gif_lib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

std::string DataPath(const std::string& name) { return std::string(HK_SOURCE_DIR) + "/tests/gif/data/" + name; }

Bytes ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CorpusFiles() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(DataPath("")))
    if (e.path().extension() == ".gif") names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string LoadBytes(TRecordingImage& image, const Bytes& data, int64_t* endPosition) {
  TMemoryStream stream;
  if (!data.empty()) stream.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  stream.SetPosition(0);
  std::string error;
  try {
    image.ClearImage();
    image.ReadImage(stream);
  } catch (const GIFException& e) {
    error = e.Message();
    if (error.empty()) error = "(empty message)";
  }
  if (endPosition) *endPosition = stream.Position();
  return error;
}

bool OracleLoad(const std::string& path, TOracleImage& out) {
  int err = 0;
  GifFileType* gif = DGifOpenFileName(path.c_str(), &err);
  if (!gif) return false;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &err);
    return false;
  }
  out = TOracleImage();
  out.Width = gif->SWidth;
  out.Height = gif->SHeight;
  if (gif->SColorMap)
    for (int i = 0; i < gif->SColorMap->ColorCount; ++i) {
      GifColorType c = gif->SColorMap->Colors[i];
      out.GlobalMap.insert(out.GlobalMap.end(), {c.Red, c.Green, c.Blue});
    }
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& s = gif->SavedImages[i];
    TOracleFrame f;
    f.Left = s.ImageDesc.Left;
    f.Top = s.ImageDesc.Top;
    f.Width = s.ImageDesc.Width;
    f.Height = s.ImageDesc.Height;
    f.Interlaced = s.ImageDesc.Interlace;
    f.Raster.assign(s.RasterBits, s.RasterBits + static_cast<size_t>(f.Width) * f.Height);
    if (s.ImageDesc.ColorMap)
      for (int c = 0; c < s.ImageDesc.ColorMap->ColorCount; ++c) {
        GifColorType col = s.ImageDesc.ColorMap->Colors[c];
        f.LocalMap.insert(f.LocalMap.end(), {col.Red, col.Green, col.Blue});
      }
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
      f.Delay = gcb.DelayTime;
      f.Disposal = gcb.DisposalMode;
      f.Transparent = gcb.TransparentColor;
    }
    for (int e = 0; e + 1 < s.ExtensionBlockCount; ++e) {
      const ExtensionBlock& b = s.ExtensionBlocks[e];
      if (b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
          std::equal(b.Bytes, b.Bytes + 11, "NETSCAPE2.0")) {
        const ExtensionBlock& d = s.ExtensionBlocks[e + 1];
        if (d.ByteCount >= 3 && d.Bytes[0] == 1) out.Loops = d.Bytes[1] | (d.Bytes[2] << 8);
      }
    }
    out.Frames.push_back(std::move(f));
  }
  DGifCloseFile(gif, &err);
  return true;
}

void TCodeWriter::Put(int code, int bits) {
  FAcc |= static_cast<uint32_t>(code) << FBits;
  FBits += bits;
  while (FBits >= 8) {
    FOut.push_back(static_cast<uint8_t>(FAcc));
    FAcc >>= 8;
    FBits -= 8;
  }
}

Bytes TCodeWriter::Finish() {
  if (FBits > 0) FOut.push_back(static_cast<uint8_t>(FAcc));
  FAcc = 0;
  FBits = 0;
  return FOut;
}

TGifBuilder& TGifBuilder::Raw(std::initializer_list<int> bytes) {
  for (int b : bytes) Data.push_back(static_cast<uint8_t>(b));
  return *this;
}

TGifBuilder& TGifBuilder::Raw(const Bytes& bytes) {
  Data.insert(Data.end(), bytes.begin(), bytes.end());
  return *this;
}

TGifBuilder& TGifBuilder::Word(int value) { return Raw({value & 0xFF, (value >> 8) & 0xFF}); }

TGifBuilder& TGifBuilder::Header(int width, int height, int sizeField, const char* sig) {
  Data.insert(Data.end(), sig, sig + 6);
  Word(width).Word(height);
  Raw({sizeField >= 0 ? 0x80 | sizeField : 0, 0, 0});
  if (sizeField >= 0)
    for (int i = 0; i < (2 << sizeField); ++i) Raw({i, i, i});
  return *this;
}

TGifBuilder& TGifBuilder::Descriptor(int left, int top, int width, int height, int packed) {
  Raw({0x2C});
  Word(left).Word(top).Word(width).Word(height);
  return Raw({packed});
}

TGifBuilder& TGifBuilder::ImageData(int minCodeSize, const Bytes& lzw, int blockSize) {
  Raw({minCodeSize});
  for (size_t i = 0; i < lzw.size(); i += static_cast<size_t>(blockSize)) {
    size_t n = std::min(lzw.size() - i, static_cast<size_t>(blockSize));
    Data.push_back(static_cast<uint8_t>(n));
    Data.insert(Data.end(), lzw.begin() + static_cast<std::ptrdiff_t>(i),
                lzw.begin() + static_cast<std::ptrdiff_t>(i + n));
  }
  return Raw({0});
}

TGifBuilder& TGifBuilder::Gce(int disposal, int delay, int transparent) {
  Raw({0x21, 0xF9, 4, (disposal << 2) | (transparent >= 0 ? 1 : 0)});
  Word(delay);
  return Raw({transparent >= 0 ? transparent : 0, 0});
}

Bytes Literals(int m, const std::vector<int>& values, bool endCode) {
  TCodeWriter w;
  int clear = 1 << m, size = m + 1, next = clear + 2, threshold = 2 * clear;
  w.Put(clear, size);
  for (size_t i = 0; i < values.size(); ++i) {
    w.Put(values[i], size);
    if (i > 0 && next <= 4095 && ++next >= threshold && threshold <= 4095) {
      threshold *= 2;
      ++size;
    }
  }
  if (endCode) w.Put(clear + 1, size);
  return w.Finish();
}
