// The zlib streams behind IDAT data and compressed text.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TStream;

// zlib's own name for a result code, as the decoder reports it.
std::string ZlibResultText(int result);

// Inflate state over IDAT chunks read from a stream.
struct IdatReadStream {
  static constexpr size_t BufferSize = 65535;
  z_stream ZLib{};
  std::unique_ptr<uint8_t[]> Buffer;
  TStream* Source = nullptr;

  explicit IdatReadStream(TStream& source);
  ~IdatReadStream();
  IdatReadStream(const IdatReadStream&) = delete;
  IdatReadStream& operator=(const IdatReadStream&) = delete;
};

// Deflate state whose output buffer becomes one IDAT chunk when full.
struct IdatWriteStream {
  z_stream ZLib{};
  std::unique_ptr<uint8_t[]> Buffer;
  uint32_t BufferSize = 0;
  TStream* Target = nullptr;

  IdatWriteStream(TStream& target, int compressionLevel, uint32_t bufferSize);
  ~IdatWriteStream();
  IdatWriteStream(const IdatWriteStream&) = delete;
  IdatWriteStream& operator=(const IdatWriteStream&) = delete;
};

// Most bytes a compressed text may inflate to; a larger one is refused
// rather than filling memory.
constexpr size_t MaxInflatedTextSize = 8u << 20;

// Inflates a complete zlib buffer. False, with zlib's text in errorText, when
// the data is damaged, incomplete or would inflate past MaxInflatedTextSize.
bool InflateTextBuffer(const uint8_t* input, size_t inputSize, std::vector<uint8_t>& output, std::string& errorText);
// Deflates a buffer at the given level.
bool DeflateTextBuffer(const uint8_t* input, size_t inputSize, int level, std::string& errorText,
                       std::vector<uint8_t>& output);
