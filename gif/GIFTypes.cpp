#include "gif/GIFTypes.h"

void RaiseGIF(const std::string& message) { throw GIFException(message); }

void ReadExact(TStream& stream, void* buffer, int64_t size) {
  if (size <= 0) return;
  if (stream.Read(buffer, size) != size) RaiseGIF("Premature end of data");
}

uint8_t ReadOneByte(TStream& stream) {
  uint8_t value = 0;
  stream.Read(&value, 1);
  return value;
}

bool ReadByteChecked(TStream& stream, uint8_t& value) { return stream.Read(&value, 1) == 1; }

void WriteOneByte(TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

int IndexBitsFor(int colorCount) {
  if (colorCount <= 0) return 0;
  int bits = 1;
  while ((1 << bits) < colorCount && bits < 30) ++bits;
  return bits;
}

void WriteLines(TStream& stream, const TGIFLines& lines) {
  for (const std::string& line : lines) {
    size_t done = 0;
    while (done < line.size()) {
      size_t n = std::min<size_t>(line.size() - done, 255);
      WriteOneByte(stream, static_cast<uint8_t>(n));
      stream.WriteBuffer(line.data() + done, static_cast<int64_t>(n));
      done += n;
    }
  }
  WriteOneByte(stream, 0);
}

void ReadLines(TStream& stream, TGIFLines& lines) {
  lines.clear();
  uint8_t size = 0;
  if (!ReadByteChecked(stream, size)) return;
  char block[256];
  while (size != 0) {
    ReadExact(stream, block, size);
    size_t len = 0;
    while (len < size && block[len] != 0) ++len;
    lines.emplace_back(block, len);
    if (!ReadByteChecked(stream, size)) return;
  }
}

void SkipSubBlocks(TStream& stream) {
  uint8_t size = 0;
  while (ReadByteChecked(stream, size) && size != 0) {
    int64_t left = stream.Size() - stream.Position();
    if (left < size) {
      stream.Seek(0, soEnd);
      return;
    }
    stream.Seek(size, soCurrent);
  }
}
