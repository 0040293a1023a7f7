#include "png/PngZlib.h"

#include <algorithm>

#include "png/PngErrors.h"

std::string ZlibResultText(int result) {
  switch (result) {
    case -6: return "incompatible version (-6)";
    case -5: return "buffer error (-5)";
    case -4: return "insufficient memory (-4)";
    case -3: return "data error (-3)";
    case -2: return "stream error (-2)";
    case -1: return "file error (-1)";
    case 0: return "(0)";
    case 1: return "stream end (1)";
    case 2: return "need dictionary (2)";
    default: return "(" + std::to_string(result) + ")";
  }
}

namespace {

std::string ZlibMessage(const z_stream& zs, int result) {
  return zs.msg ? std::string(zs.msg) : ZlibResultText(result);
}

}  // namespace

IdatReadStream::IdatReadStream(TStream& source)
    : Buffer(std::make_unique_for_overwrite<uint8_t[]>(BufferSize)), Source(&source) {
  const int r = inflateInit(&ZLib);
  if (r != Z_OK) RaisePNGError<EPNGZLIBError>(std::string(PngMessages::ZLIBError) + ZlibResultText(r));
}

IdatReadStream::~IdatReadStream() { inflateEnd(&ZLib); }

IdatWriteStream::IdatWriteStream(TStream& target, int compressionLevel, uint32_t bufferSize)
    : Buffer(std::make_unique_for_overwrite<uint8_t[]>(bufferSize)), BufferSize(bufferSize), Target(&target) {
  ZLib.next_out = Buffer.get();
  ZLib.avail_out = bufferSize;
  const int level = std::clamp(compressionLevel, 0, 9);
  const int r = deflateInit(&ZLib, level);
  if (r != Z_OK) RaisePNGError<EPNGZLIBError>(std::string(PngMessages::ZLIBError) + ZlibResultText(r));
}

IdatWriteStream::~IdatWriteStream() { deflateEnd(&ZLib); }

bool InflateTextBuffer(const uint8_t* input, size_t inputSize, std::vector<uint8_t>& output, std::string& errorText) {
  output.clear();
  z_stream zs{};
  int r = inflateInit(&zs);
  if (r != Z_OK) {
    errorText = ZlibMessage(zs, r);
    return false;
  }
  zs.next_in = const_cast<Bytef*>(input);
  zs.avail_in = static_cast<uInt>(std::min<size_t>(inputSize, 0xFFFFFFFFu));
  uint8_t area[16384];
  bool ok = false;
  for (;;) {
    zs.next_out = area;
    zs.avail_out = sizeof(area);
    r = inflate(&zs, Z_NO_FLUSH);
    if (r != Z_OK && r != Z_STREAM_END) {
      // Z_BUF_ERROR here means the input ran out before the stream ended.
      errorText = ZlibMessage(zs, r);
      break;
    }
    const size_t produced = sizeof(area) - zs.avail_out;
    if (output.size() + produced > MaxInflatedTextSize) {
      errorText = "text too large";
      break;
    }
    output.insert(output.end(), area, area + produced);
    if (r == Z_STREAM_END) {
      ok = true;
      break;
    }
  }
  inflateEnd(&zs);
  if (!ok) output.clear();
  return ok;
}

bool DeflateTextBuffer(const uint8_t* input, size_t inputSize, int level, std::string& errorText,
                       std::vector<uint8_t>& output) {
  output.clear();
  z_stream zs{};
  int r = deflateInit(&zs, std::clamp(level, 0, 9));
  if (r != Z_OK) {
    errorText = ZlibMessage(zs, r);
    return false;
  }
  zs.next_in = const_cast<Bytef*>(input);
  zs.avail_in = static_cast<uInt>(inputSize);
  uint8_t area[16384];
  bool ok = false;
  for (;;) {
    zs.next_out = area;
    zs.avail_out = sizeof(area);
    r = deflate(&zs, Z_FINISH);
    if (r != Z_OK && r != Z_STREAM_END) {
      errorText = ZlibMessage(zs, r);
      break;
    }
    output.insert(output.end(), area, area + (sizeof(area) - zs.avail_out));
    if (r == Z_STREAM_END) {
      ok = true;
      break;
    }
  }
  deflateEnd(&zs);
  if (!ok) output.clear();
  return ok;
}
