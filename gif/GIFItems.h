// Items of a GIF stream: the common base, the owned item lists, the header
// with its logical screen descriptor, the trailer and the frame list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Components.h"
#include "gif/GIFColorMap.h"
#include "gif/GIFTypes.h"

class TGIFImageCore;
class TGIFSubImage;

class TGIFItem : public TPersistent {
 public:
  explicit TGIFItem(TGIFImageCore* image) : FImage(image) {}
  virtual ~TGIFItem() = default;
  TGIFItem(const TGIFItem&) = delete;
  TGIFItem& operator=(const TGIFItem&) = delete;

  virtual TGIFVersion NeededVersion() const { return gv87a; }
  virtual void ReportWarning(int severity, const std::string& message);
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  void SaveToFileName(const std::string& fileName);
  void LoadFromFileName(const std::string& fileName);

  TGIFImageCore* Image() const { return FImage; }

 protected:
  TGIFImageCore* FImage;
};

void GIFReportWarning(TGIFImageCore* image, TObject* sender, int severity, const std::string& message);

// An ordered list that owns its items.
template <class T>
class TGIFList : public TPersistent {
 public:
  explicit TGIFList(TGIFImageCore* image) : FImage(image) {}
  virtual ~TGIFList() { Clear(); }
  TGIFList(const TGIFList&) = delete;
  TGIFList& operator=(const TGIFList&) = delete;

  virtual void ReportWarning(int severity, const std::string& message) {
    GIFReportWarning(FImage, this, severity, message);
  }
  virtual void SaveToStream(TStream& stream) {
    for (auto& item : FItems) item->SaveToStream(stream);
  }

  int Count() const { return static_cast<int>(FItems.size()); }
  T* Items(int index) const {
    if (index < 0 || index >= Count())
      throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
  }
  T* operator[](int index) const { return Items(index); }
  int Add(std::unique_ptr<T> item) {
    FItems.push_back(std::move(item));
    return Count() - 1;
  }
  // Removes the item and frees it.
  void Delete(int index) {
    Items(index);
    std::unique_ptr<T> item = std::move(FItems[static_cast<size_t>(index)]);
    FItems.erase(FItems.begin() + index);
    item.reset();
  }
  // Takes the item out without freeing it; its former index or -1.
  int Remove(T* item) {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].get() == item) {
        (void)FItems[i].release();
        FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(i));
        return static_cast<int>(i);
      }
    return -1;
  }
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < FItems.size(); ++i)
      if (FItems[i].get() == item) return static_cast<int>(i);
    return -1;
  }
  void Clear() {
    while (!FItems.empty()) Delete(0);
  }
  TGIFImageCore* Image() const { return FImage; }

 protected:
  TGIFImageCore* FImage;
  std::vector<std::unique_ptr<T>> FItems;
};

// Logical screen descriptor bytes as they stand in the stream.
struct TGIFScreenDescriptor {
  uint16_t Width = 0;
  uint16_t Height = 0;
  uint8_t Packed = 0;
  uint8_t BackgroundColorIndex = 0;
  uint8_t AspectRatio = 0;
};

class TGIFHeader : public TGIFItem {
 public:
  explicit TGIFHeader(TGIFImageCore* image);
  ~TGIFHeader() override;

  TGIFVersion NeededVersion() const override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  void Assign(const TPersistent* source) override;
  void Assign(const TGIFHeader& source);
  void Assign(const TGIFColorMap& source);
  void Reset();

  TGIFScreenDescriptor& Descriptor() { return FDescriptor; }
  const TGIFScreenDescriptor& Descriptor() const { return FDescriptor; }
  TGIFGlobalColorMap& ColorMap() { return *FColorMap; }
  const TGIFGlobalColorMap& ColorMap() const { return *FColorMap; }
  COLORREF BackgroundColor() { return FColorMap->ColorAt(FDescriptor.BackgroundColorIndex); }
  int BitsPerPixel() const { return FColorMap->IndexBits(); }
  int ColorResolution() const { return BitsPerPixel() - 1; }

 private:
  TGIFScreenDescriptor FDescriptor;
  std::unique_ptr<TGIFGlobalColorMap> FColorMap;
};

class TGIFTrailer : public TGIFItem {
 public:
  using TGIFItem::TGIFItem;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
};

class TGIFImageList : public TGIFList<TGIFSubImage> {
 public:
  using TGIFList<TGIFSubImage>::TGIFList;
  ~TGIFImageList() override;
  void LoadFromStream(TStream& stream, TGIFImageCore* parent);
  void SaveToStream(TStream& stream) override;
};

enum TGIFProgressStage { gpsStarting, gpsRunning, gpsEnding };

// The part of a GIF image that its items talk to: header, frames, warnings,
// progress, palette and change notification. The picture class builds on it.
class TGIFImageCore {
 public:
  TGIFImageCore();
  virtual ~TGIFImageCore();
  TGIFImageCore(const TGIFImageCore&) = delete;
  TGIFImageCore& operator=(const TGIFImageCore&) = delete;

  virtual void ReportWarning(TObject* sender, int severity, const std::string& message);
  virtual void ReportProgress(TObject* sender, TGIFProgressStage stage, int percent, bool redrawNow,
                              const std::string& message) {}
  // What frames ask of the picture while they render.
  virtual HPALETTE ImagePalette() { return nullptr; }
  virtual bool IsPaletteModified() const { return false; }
  virtual void SetPaletteModified(bool) {}
  virtual void ImageChanged(TObject* sender) {}
  // Drops the shared palette so that it is made again (global table changed).
  virtual void PaletteChanged() {}
  virtual bool DitherWanted() const { return false; }
  // The logical screen grew or shrank, so cached composites are stale.
  virtual void ScreenSizeChanged() {}

  // Reads header, frames and trailer; the stream position is restored on failure.
  void ReadImage(TStream& stream);
  void WriteImage(TStream& stream);
  // Empties frames, global table and logical screen.
  void ClearImage();

  TGIFHeader& Header() { return *FHeader; }
  TGIFImageList& Images() { return *FFrames; }
  TGIFGlobalColorMap& GlobalColorMap() { return FHeader->ColorMap(); }
  int ScreenWidth() const { return FHeader->Descriptor().Width; }
  int ScreenHeight() const { return FHeader->Descriptor().Height; }
  void SetScreenSize(int width, int height);
  TGIFVersion HighestVersion() const;
  int MaxColorResolution() const;
  int MaxBitsPerPixel() const;

  // Warning handler: (sender, severity, message).
  std::function<void(TObject*, int, const std::string&)> OnCodecWarning;

 protected:
  std::unique_ptr<TGIFHeader> FHeader;
  std::unique_ptr<TGIFImageList> FFrames;
};
