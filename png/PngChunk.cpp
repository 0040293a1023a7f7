#include "png/PngChunk.h"

#include <map>

#include "classlib/Streams.h"
#include "png/PngCrc.h"
#include "png/PngErrors.h"
#include "png/PngHeaderChunk.h"
#include "png/PngCodec.h"

TChunk::TChunk(TPNGChunkList* owner) : FOwner(owner) {}

void TChunk::SetNameFrom(const char* name) {
  if (std::strlen(name) == 4) std::memcpy(FName.data(), name, 4);
}

std::unique_ptr<TChunk> TChunk::CreateSame(TPNGChunkList* owner) const { return std::make_unique<TChunk>(owner); }

void TChunk::Assign(const TChunk& source) {
  FName = source.FName;
  FData = source.FData;
}

void TChunk::ResizeData(uint32_t size) { FData.resize(size); }

bool TChunk::LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size) {
  ResizeData(size);
  if (size > 0 && stream.Read(FData.data(), size) != static_cast<int64_t>(size))
    RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  uint8_t crc[4];
  if (stream.Read(crc, 4) != 4) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  if (ReadBE32(crc) != ChunkCrc(type.data(), FData.data(), FData.size()))
    RaisePNGError<EPngInvalidCRC>(PngMessages::InvalidCRC);
  return true;
}

bool TChunk::SaveToStream(TStream& stream) { return SaveData(stream); }

bool TChunk::SaveData(TStream& stream) {
  uint8_t head[8];
  WriteBE32(head, DataSize());
  std::memcpy(head + 4, FName.data(), 4);
  stream.WriteBuffer(head, 8);
  if (!FData.empty()) stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
  uint8_t crc[4];
  WriteBE32(crc, ChunkCrc(FName.data(), FData.data(), FData.size()));
  stream.WriteBuffer(crc, 4);
  return true;
}

TChunkIHDR& TChunk::GetHeader() const { return FOwner->Header(); }

std::unique_ptr<TChunk> TPNGList::Remove(TChunk* chunk) {
  for (size_t i = FItems.size(); i-- > 0;) {
    if (FItems[i].get() == chunk) {
      std::unique_ptr<TChunk> taken = std::move(FItems[i]);
      FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
      return taken;
    }
  }
  return nullptr;
}

namespace {

std::map<std::string, TChunkFactory>& Registry() {
  static std::map<std::string, TChunkFactory> registry = [] {
    std::map<std::string, TChunkFactory> r;
    RegisterCodecChunkClasses(r);
    return r;
  }();
  return registry;
}

}  // namespace

void RegisterChunkClass(const char* name, TChunkFactory factory) { Registry()[name] = factory; }

std::unique_ptr<TChunk> CreateChunkByName(TPNGChunkList* owner, const TChunkName& type, bool* known) {
  const auto& registry = Registry();
  const auto it = registry.find(std::string(reinterpret_cast<const char*>(type.data()), 4));
  std::unique_ptr<TChunk> chunk = it != registry.end() ? it->second(owner) : std::make_unique<TChunk>(owner);
  if (known) *known = it != registry.end();
  chunk->SetName(type);
  return chunk;
}

bool ReadChunkHeader(TStream& stream, uint32_t& length, TChunkName& type) {
  uint8_t head[8];
  const int64_t got = stream.Read(head, 8);
  if (got == 0) return false;
  if (got != 8) RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  length = ReadBE32(head);
  std::memcpy(type.data(), head + 4, 4);
  if (length > 0x7FFFFFFFu || int64_t(length) + 4 > stream.Size() - stream.Position())
    RaisePNGError<EPngUnexpectedEnd>(PngMessages::UnexpectedEnd);
  return true;
}
