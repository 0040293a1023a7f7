// Helpers of the GIF tests: file access, a loader that records warnings, the
// giflib oracle and a writer for hand-made streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gif/GIFItems.h"
#include "gif/GIFSubImage.h"

using Bytes = std::vector<uint8_t>;

std::string DataPath(const std::string& name);
Bytes ReadFileBytes(const std::string& path);
// The corpus files under tests/gif/data, sorted.
std::vector<std::string> CorpusFiles();

// An image core that keeps every warning.
class TRecordingImage : public TGIFImageCore {
 public:
  void ReportWarning(TObject* sender, int severity, const std::string& message) override {
    Warnings.push_back(message);
  }
  std::vector<std::string> Warnings;
};

// Loads bytes; answers "" or the GIFException's message.
std::string LoadBytes(TRecordingImage& image, const Bytes& data, int64_t* endPosition = nullptr);

struct TOracleFrame {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  bool Interlaced = false;
  Bytes Raster;
  Bytes LocalMap;  // rgb triples
  int Delay = -1, Disposal = -1, Transparent = -1;
};
struct TOracleImage {
  int Width = 0, Height = 0;
  Bytes GlobalMap;
  int Loops = -1;
  std::vector<TOracleFrame> Frames;
};
// giflib's DGifSlurp of the file; false when giflib refuses it.
bool OracleLoad(const std::string& path, TOracleImage& out);

// Writes LZW codes of growing width, as the encoder of a stream would.
class TCodeWriter {
 public:
  void Put(int code, int bits);
  Bytes Finish();

 private:
  Bytes FOut;
  uint32_t FAcc = 0;
  int FBits = 0;
};

// Codes of literal values after a clear code, widths as the decoder expects them.
Bytes Literals(int m, const std::vector<int>& values, bool endCode = true);

// Byte-level builder of test streams.
struct TGifBuilder {
  Bytes Data;
  TGifBuilder& Raw(std::initializer_list<int> bytes);
  TGifBuilder& Raw(const Bytes& bytes);
  TGifBuilder& Word(int value);
  // "GIF89a", the screen descriptor and a global table of 2^(sizeField+1) grey entries.
  TGifBuilder& Header(int width, int height, int sizeField = -1, const char* sig = "GIF89a");
  TGifBuilder& Descriptor(int left, int top, int width, int height, int packed = 0);
  // Minimum code size byte and the data split into sub-blocks of blockSize.
  TGifBuilder& ImageData(int minCodeSize, const Bytes& lzw, int blockSize = 255);
  TGifBuilder& Gce(int disposal, int delay, int transparent = -1);
  TGifBuilder& Trailer() { return Raw({0x3B}); }
};
