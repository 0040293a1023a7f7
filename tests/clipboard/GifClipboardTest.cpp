#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "classlib/Streams.h"
#include "gif/GifCodec.h"
#include "platform/ClipboardData.h"
#include "platform/GlobalMemory.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Web-palette colours, so the import keeps them exactly.
const uint32_t Colours[] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x336699};
constexpr int W = 5, H = 3;

uint32_t PixelAt(int x, int y) { return Colours[(x + 2 * y) % 6]; }

void MakeImage(TGIFImage& gif) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf24bit);
  bitmap.SetSize(W, H);
  for (int y = 0; y < H; ++y) {
    auto* row = static_cast<uint8_t*>(bitmap.ScanLine(y));
    for (int x = 0; x < W; ++x) {
      uint32_t c = PixelAt(x, y);
      row[3 * x] = c & 0xFF;
      row[3 * x + 1] = (c >> 8) & 0xFF;
      row[3 * x + 2] = (c >> 16) & 0xFF;
    }
  }
  gif.Assign(&bitmap);
}

Bytes Saved(TGIFImage& gif) {
  TMemoryStream m;
  gif.SaveToStream(m);
  auto* p = static_cast<const uint8_t*>(m.Memory());
  return Bytes(p, p + m.Size());
}

HGLOBAL BlockOf(const Bytes& b) {
  HGLOBAL h = GlobalAlloc(GHND, b.size());
  if (!b.empty()) {
    std::memcpy(GlobalLock(h), b.data(), b.size());
    GlobalUnlock(h);
  }
  return h;
}

Bytes BlockBytes(HGLOBAL h) {
  auto* p = static_cast<const uint8_t*>(GlobalLock(h));
  Bytes b(p, p + GlobalSize(h));
  GlobalUnlock(h);
  return b;
}

// giflib's reading of a stream in memory: the colour of each pixel of frame 0.
bool OracleColours(const Bytes& data, std::vector<uint32_t>& out, int& width, int& height) {
  struct Reader {
    const Bytes* Data;
    size_t Pos = 0;
  } reader{&data};
  auto read = [](GifFileType* f, GifByteType* buf, int n) -> int {
    auto* r = static_cast<Reader*>(f->UserData);
    size_t k = std::min(static_cast<size_t>(n), r->Data->size() - r->Pos);
    std::memcpy(buf, r->Data->data() + r->Pos, k);
    r->Pos += k;
    return static_cast<int>(k);
  };
  int err = 0;
  GifFileType* f = DGifOpen(&reader, read, &err);
  if (!f) return false;
  bool ok = DGifSlurp(f) == GIF_OK && f->ImageCount > 0;
  if (ok) {
    const SavedImage& im = f->SavedImages[0];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : f->SColorMap;
    width = f->SWidth;
    height = f->SHeight;
    out.clear();
    for (int i = 0; i < im.ImageDesc.Width * im.ImageDesc.Height; ++i) {
      const GifColorType& c = map->Colors[im.RasterBits[i]];
      out.push_back(uint32_t(c.Red) << 16 | uint32_t(c.Green) << 8 | c.Blue);
    }
  }
  DGifCloseFile(f, &err);
  return ok;
}

class GifClipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
  }
  void TearDown() override {
    EmptyClipboard();
    CloseClipboard();
  }
};

TEST_F(GifClipboard, TheFormatIsRegisteredByNameForThePictureFramework) {
  EXPECT_EQ(GIFClipboardFormat, RegisterClipboardFormatA("GIF Image"));
  EXPECT_GE(GIFClipboardFormat, CF_REGISTERED_FIRST);
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(GIFClipboardFormat));
}

TEST_F(GifClipboard, CopyPlacesBothFormsAndPasteReadsTheGifBack) {
  TGIFImage gif;
  MakeImage(gif);
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  gif.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, CF_BITMAP);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(SetClipboardData(format, data), data);
  if (palette) DeleteObject(reinterpret_cast<HGDIOBJ>(palette));

  auto block = static_cast<HGLOBAL>(GetClipboardData(GIFClipboardFormat));
  ASSERT_NE(block, nullptr);
  Bytes stream = BlockBytes(block);
  EXPECT_EQ(stream, Saved(gif)) << "the block holds exactly the GIF stream";
  std::vector<uint32_t> colours;
  int w = 0, h = 0;
  ASSERT_TRUE(OracleColours(stream, colours, w, h));
  ASSERT_EQ(w, W);
  ASSERT_EQ(h, H);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) EXPECT_EQ(colours[y * W + x], PixelAt(x, y)) << x << "," << y;

  // Pasting with no data given fetches it from the clipboard.
  TGIFImage pasted;
  pasted.LoadFromClipboardFormat(GIFClipboardFormat, nullptr, nullptr);
  EXPECT_EQ(Saved(pasted), stream);
  TPicture picture;
  picture.LoadFromClipboardFormat(GIFClipboardFormat, nullptr, nullptr);
  ASSERT_NE(dynamic_cast<TGIFImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), W);

  // The bitmap form pastes too.
  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr);
  EXPECT_EQ(fromBitmap.Width(), W);
  EXPECT_EQ(fromBitmap.Height(), H);
}

TEST_F(GifClipboard, CopyOnAClosedClipboardFailsAndKeepsNothing) {
  TGIFImage gif;
  MakeImage(gif);
  CloseClipboard();
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  try {
    gif.SaveToClipboardFormat(format, data, palette);
    ADD_FAILURE() << "no error";
  } catch (const GIFException& e) {
    EXPECT_STREQ(e.what(), "Failed to store GIF on clipboard");
  }
  EXPECT_EQ(data, nullptr) << "the bitmap form was freed, not handed out half-done";
  EXPECT_EQ(palette, nullptr);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(IsClipboardFormatAvailable(GIFClipboardFormat));

  TGIFImage empty;
  format = 7;
  data = reinterpret_cast<HANDLE>(uintptr_t{1});
  empty.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(CountClipboardFormats(), 0);
}

TEST_F(GifClipboard, DamagedOrForeignDataIsRefusedAndThePictureKept) {
  TGIFImage source;
  MakeImage(source);
  const Bytes good = Saved(source);
  Bytes badSignature = good;
  badSignature[0] = 'X';
  HGLOBAL stale = BlockOf(good);
  GlobalFree(stale);
  HGLOBAL empty = BlockOf({});

  struct Case {
    const char* Name;
    UINT Format;
    HANDLE Data;
    const char* Message;  // nullptr: the decoder's own
  } cases[] = {
      {"signature", GIFClipboardFormat, BlockOf(badSignature), nullptr},
      {"cut in the header", GIFClipboardFormat, BlockOf(Bytes(good.begin(), good.begin() + 7)), nullptr},
      {"zero-sized block", GIFClipboardFormat, empty, "Unsupported clipboard format"},
      {"freed block", GIFClipboardFormat, stale, "Unsupported clipboard format"},
      {"foreign handle", GIFClipboardFormat, reinterpret_cast<HANDLE>(uintptr_t{0x1234}), "Unsupported clipboard format"},
      {"bad bitmap", CF_BITMAP, BlockOf(good), nullptr},
      {"other format", CF_TEXT, BlockOf(good), "Unsupported clipboard format"},
      {"nothing on the clipboard", GIFClipboardFormat, nullptr, "Unsupported clipboard format"},
  };
  TGIFImage target;
  MakeImage(target);
  const Bytes before = Saved(target);
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      target.LoadFromClipboardFormat(c.Format, c.Data, nullptr);
      ADD_FAILURE() << "no error";
    } catch (const GIFException& e) {
      if (c.Message) {
        EXPECT_STREQ(e.what(), c.Message);
      }
    }
    EXPECT_EQ(Saved(target), before);
    if (c.Data) GlobalFree(static_cast<HGLOBAL>(c.Data));
  }
}

// Every cut of the stream either loads or raises GIFException; a refusal
// leaves the picture it was pasted on as it was.
TEST_F(GifClipboard, EveryCutOfTheStreamIsSafe) {
  TGIFImage source;
  MakeImage(source);
  const Bytes good = Saved(source);
  TGIFImage target;
  MakeImage(target);
  const Bytes before = Saved(target);
  for (size_t n = 1; n < good.size(); ++n) {
    HGLOBAL block = BlockOf(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)));
    try {
      target.LoadFromClipboardFormat(GIFClipboardFormat, block, nullptr);
      MakeImage(target);
    } catch (const GIFException&) {
      EXPECT_EQ(Saved(target), before) << "cut at " << n;
    }
    GlobalFree(block);
  }
}

}  // namespace
