// GIF colour tables: the global one of the header and the local one of a frame.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/Components.h"
#include "gif/GIFTypes.h"
#include "platform/Types.h"

class TGIFImageCore;
class TGIFHeader;
class TGIFSubImage;

// Pixel-value histogram: a frame's bytes can hold any of 256 values, whatever
// the table's count, so every histogram and map is this large.
constexpr int GIFMaxColors = 256;

class TGIFColorMap : public TPersistent {
 public:
  TGIFColorMap() = default;
  virtual ~TGIFColorMap() = default;
  TGIFColorMap(const TGIFColorMap&) = delete;
  TGIFColorMap& operator=(const TGIFColorMap&) = delete;

  virtual void ReportWarning(int severity, const std::string& message) = 0;
  // Adds each pixel of the frames using this table to histogram[value].
  virtual void CountUses(uint32_t (&histogram)[GIFMaxColors]) = 0;
  // Rewrites the pixels (and transparent indices) of those frames through map.
  virtual void RemapPixels(const uint8_t (&map)[GIFMaxColors]) = 0;
  virtual void TableChanged() = 0;
  virtual bool SortByUse();

  void Assign(const TPersistent* source) override;
  void Assign(const TGIFColorMap& source);
  void Reset();
  void ReadTable(TStream& stream, int count);
  void WriteTable(TStream& stream) const;
  int FindColor(COLORREF color) const;
  int AppendColor(COLORREF color);
  int FindOrAppendColor(COLORREF color);
  void RemoveColor(int index);
  COLORREF ColorAt(int index);
  void TakePaletteEntries(HPALETTE palette);
  void TakeRGBQuads(const uint8_t* quads, int count);
  void TakeDIBColors(HDC dc);
  HPALETTE MakePalette() const;

  int Count() const { return FCount; }
  int Capacity() const { return FCapacity; }
  int IndexBits() const { return IndexBitsFor(FCount); }
  bool Sorted() const { return FSorted; }
  void SetSorted(bool value) { FSorted = value; }
  // Entry bytes (red, green, blue); valid for index < Count.
  const uint8_t* Entry(int index) const { return FData.get() + index * 3; }
  const uint8_t* Data() const { return FData.get(); }

 protected:
  void Grow(int needed);

 private:
  std::unique_ptr<uint8_t[]> FData;
  int FCount = 0;
  int FCapacity = 0;
  bool FSorted = false;
};

class TGIFGlobalColorMap : public TGIFColorMap {
 public:
  explicit TGIFGlobalColorMap(TGIFHeader* header) : FHeader(header) {}
  // The table-changed step runs here, where the derived part still exists.
  ~TGIFGlobalColorMap() override;
  void ReportWarning(int severity, const std::string& message) override;
  void CountUses(uint32_t (&histogram)[GIFMaxColors]) override;
  void RemapPixels(const uint8_t (&map)[GIFMaxColors]) override;
  void TableChanged() override;
  bool SortByUse() override;

 private:
  TGIFHeader* FHeader;
};

class TGIFLocalColorMap : public TGIFColorMap {
 public:
  explicit TGIFLocalColorMap(TGIFSubImage* frame) : FFrame(frame) {}
  ~TGIFLocalColorMap() override;
  void ReportWarning(int severity, const std::string& message) override;
  void CountUses(uint32_t (&histogram)[GIFMaxColors]) override;
  void RemapPixels(const uint8_t (&map)[GIFMaxColors]) override;
  void TableChanged() override;

 private:
  TGIFSubImage* FFrame;
};
