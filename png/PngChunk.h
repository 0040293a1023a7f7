// The chunk base class, the chunk list and the registry of chunk classes.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

class TStream;
class TPNGChunkList;
class TChunkIHDR;

// Big-endian helpers of the stream format.
inline uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint16_t ReadBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline void WriteBE32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
inline void WriteBE16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v >> 8);
  p[1] = uint8_t(v);
}

using TChunkName = std::array<uint8_t, 4>;

class TChunk {
 public:
  explicit TChunk(TPNGChunkList* owner);
  virtual ~TChunk() = default;
  TChunk(const TChunk&) = delete;
  TChunk& operator=(const TChunk&) = delete;

  // The type a chunk class stands for ("IHDR"); empty for the plain chunk.
  virtual std::string GetName() const { return {}; }
  // A new chunk of the same class for another owner (the virtual constructor).
  virtual std::unique_ptr<TChunk> CreateSame(TPNGChunkList* owner) const;
  virtual void Assign(const TChunk& source);
  // Called with the stream on the first data byte; reads data and CRC.
  virtual bool LoadFromStream(TStream& stream, const TChunkName& type, uint32_t size);
  virtual bool SaveToStream(TStream& stream);

  void ResizeData(uint32_t size);
  bool SaveData(TStream& stream);
  TChunkIHDR& GetHeader() const;

  uint8_t* Data() { return FData.data(); }
  const uint8_t* Data() const { return FData.data(); }
  uint32_t DataSize() const { return static_cast<uint32_t>(FData.size()); }
  TPNGChunkList* Owner() const { return FOwner; }
  const TChunkName& Name() const { return FName; }
  std::string NameString() const { return std::string(reinterpret_cast<const char*>(FName.data()), 4); }
  void SetName(const TChunkName& name) { FName = name; }

 protected:
  // Takes the four-letter type from the class's GetName (constructors
  // cannot call it virtually).
  void SetNameFrom(const char* name);

 private:
  std::vector<uint8_t> FData;
  TPNGChunkList* FOwner;
  TChunkName FName{};
};

// The ordered, owning list of a picture's chunks.
class TPNGList {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  // nullptr outside 0 .. Count-1.
  TChunk* Item(int index) const {
    return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
  }
  TChunk* Add(std::unique_ptr<TChunk> chunk) {
    FItems.push_back(std::move(chunk));
    return FItems.back().get();
  }
  // Takes the last occurrence of the chunk out of the list; nullptr when absent.
  std::unique_ptr<TChunk> Remove(TChunk* chunk);
  void Clear() { FItems.clear(); }
  // The first chunk of class T or a class descending from it.
  template <class T>
  T* ItemFromClass() const {
    for (const auto& c : FItems)
      if (auto* t = dynamic_cast<T*>(c.get())) return t;
    return nullptr;
  }

 private:
  std::vector<std::unique_ptr<TChunk>> FItems;
};

using TChunkFactory = std::unique_ptr<TChunk> (*)(TPNGChunkList* owner);

// Maps a type to the class that decodes it; the codec's own classes are
// registered on first use.
void RegisterChunkClass(const char* name, TChunkFactory factory);
// A chunk of the registered class for the type, else a plain TChunk; either
// way it carries the type as its Name. `known` tells which it was.
std::unique_ptr<TChunk> CreateChunkByName(TPNGChunkList* owner, const TChunkName& type, bool* known = nullptr);

// Fills a fresh registry with the codec's own chunk classes.
void RegisterCodecChunkClasses(std::map<std::string, TChunkFactory>& registry);

// Reads a chunk's length and type. False when the stream has no bytes left;
// raises EPngUnexpectedEnd when they are cut short or the length is beyond
// 2^31-1 or past the end of the stream (its CRC included).
bool ReadChunkHeader(TStream& stream, uint32_t& length, TChunkName& type);
