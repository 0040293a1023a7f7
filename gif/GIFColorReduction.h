// Reducing pictures to at most 256 colours: fixed and optimised (octree)
// palettes and ReduceToPalette, which maps every pixel through a lookup and
// a ditherer into an 8-bit palette bitmap.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Graphics.h"
#include "gif/GIFDIB.h"

enum TColorReduction : uint8_t {
  ReduceNone,
  ReduceSystem20,
  ReduceHalftone256,
  ReduceGray4,
  ReduceMonochrome,
  ReduceGray256,
  ReduceWebCube,
  ReduceOctree,
  ReduceOctreeSystem,
  ReduceCustomPalette
};

enum TDitherKind : uint8_t {
  DitherNearest,
  DitherFloydSteinberg,
  DitherStucki,
  DitherSierra,
  DitherJaJuNi,
  DitherSteveArche,
  DitherBurkes
};

class TOctreeNode {
 public:
  ~TOctreeNode();
  bool IsLeaf = false;
  int64_t PixelCount = 0;
  int64_t RedSum = 0, GreenSum = 0, BlueSum = 0;
  TOctreeNode* Next = nullptr;  // same level, in the list of reducible nodes
  TOctreeNode* Child[8] = {};   // owned
};

// Builds a palette of at most MaxColors colours from an image; the tree is
// reduced as it grows, so memory follows the palette size.
class TColorQuantizer {
 public:
  TColorQuantizer(int maxColors, int colorBits);
  ~TColorQuantizer();
  TColorQuantizer(const TColorQuantizer&) = delete;
  TColorQuantizer& operator=(const TColorQuantizer&) = delete;
  // Rows of 24-bit pixels (blue, green, red), top to bottom.
  bool FeedImage(TDIBReader& reader, int width, int height);
  void AddColor(uint8_t red, uint8_t green, uint8_t blue);
  // One entry per leaf, depth first.
  void ReadPalette(std::vector<RGBQUAD>& colors) const;
  int LeafCount() const { return FLeafCount; }

 private:
  void InsertColor(TOctreeNode*& node, uint8_t red, uint8_t green, uint8_t blue, int level);
  // False when no level has a node left to merge.
  bool MergeDeepestNode();
  TOctreeNode* FTree = nullptr;
  int FLeafCount = 0;
  TOctreeNode* FReducibleNodes[8] = {};
  int FMaxColors, FColorBits;
};

// New palette handles, owned by the caller; version $300.
HPALETTE MakeGray256Palette();
HPALETTE MakeBlackWhitePalette();
HPALETTE MakeGray4Palette();
HPALETTE MakeHalftonePalette();
// An octree palette of the image; with useSystemColors the 20 static colours
// take entries 0..9 and 246..255 and 236 are left for the image.
HPALETTE MakeReaderPalette(TDIBReader& reader, int width, int height, int colors, int colorBits,
                           bool useSystemColors);
// A copy of a palette's entries, or nullptr when it has none.
HPALETTE CopyPalette(HPALETTE source);
HPALETTE MakeBitmapPalette(TBitmap& bitmap, int colors, int colorBits, bool useSystemColors);

// A new 8-bit palette bitmap of the picture (24 bits for ReduceNone); an
// empty bitmap for a method above 9, a dither kind above 6 or a palette
// without entries. The depth of ReduceOctree is held to 1..8. The result
// owns its palette.
std::unique_ptr<TBitmap> ReduceToPalette(TBitmap& bitmap, int reduction, int ditherKind, int reductionDepth,
                                         HPALETTE customPalette);
