// Reading GIF streams: the corpus against giflib, the block structure,
// extensions, LZW decoding and damaged input.
#include <gtest/gtest.h>

#include <cstring>

#include "GifTestUtil.h"
#include "gif/GIFExtensions.h"

namespace {

std::vector<int> Iota(int n, int mod) {
  std::vector<int> v;
  for (int i = 0; i < n; ++i) v.push_back(i % mod);
  return v;
}

Bytes FramePixels(TGIFSubImage* f) { return Bytes(f->Data(), f->Data() + f->DataSize()); }

bool Has(const std::vector<std::string>& list, const std::string& s) {
  return std::find(list.begin(), list.end(), s) != list.end();
}

}  // namespace

TEST(GifCorpus, FramesMatchGiflib) {
  for (const std::string& name : CorpusFiles()) {
    // giflib refuses frames whose data ends early; those are checked by hand.
    if (name.rfind("damaged-", 0) == 0) continue;
    SCOPED_TRACE(name);
    TOracleImage want;
    ASSERT_TRUE(OracleLoad(DataPath(name), want));
    TRecordingImage got;
    ASSERT_EQ(LoadBytes(got, ReadFileBytes(DataPath(name))), "");
    EXPECT_TRUE(got.Warnings.empty()) << got.Warnings.front();
    EXPECT_EQ(got.ScreenWidth(), want.Width);
    EXPECT_EQ(got.ScreenHeight(), want.Height);
    const TGIFGlobalColorMap& gm = got.GlobalColorMap();
    EXPECT_EQ(Bytes(gm.Data(), gm.Data() + gm.Count() * 3), want.GlobalMap);
    std::vector<TGIFSubImage*> frames;
    int loops = -1;
    for (int i = 0; i < got.Images().Count(); ++i) {
      TGIFSubImage* f = got.Images()[i];
      for (int e = 0; e < f->Extensions().Count(); ++e)
        if (auto* l = dynamic_cast<TGIFAppExtNSLoop*>(f->Extensions()[e])) loops = l->Loops();
      if (!f->Empty()) frames.push_back(f);
    }
    EXPECT_EQ(loops, want.Loops);
    ASSERT_EQ(frames.size(), want.Frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
      SCOPED_TRACE(i);
      TGIFSubImage* f = frames[i];
      const TOracleFrame& w = want.Frames[i];
      EXPECT_EQ(f->Left(), w.Left);
      EXPECT_EQ(f->Top(), w.Top);
      EXPECT_EQ(f->Width(), w.Width);
      EXPECT_EQ(f->Height(), w.Height);
      EXPECT_EQ(f->Interlaced(), w.Interlaced);
      EXPECT_TRUE(FramePixels(f) == w.Raster);
      const TGIFLocalColorMap& lm = f->ColorMap();
      EXPECT_EQ(Bytes(lm.Data(), lm.Data() + lm.Count() * 3), w.LocalMap);
      TGIFGraphicControlExtension* gce = f->GraphicControlExtension();
      ASSERT_EQ(gce != nullptr, w.Delay >= 0);
      if (gce) {
        EXPECT_EQ(gce->Delay(), w.Delay);
        EXPECT_EQ(gce->Disposal(), w.Disposal);
        EXPECT_EQ(f->Transparent() ? gce->TransparentColorIndex() : -1, w.Transparent);
      }
    }
  }
}

TEST(GifStructure, SignatureAndHeader) {
  Bytes body = TGifBuilder().Descriptor(0, 0, 2, 1).ImageData(2, Literals(2, {1, 3})).Trailer().Data;
  struct Case {
    const char* name;
    Bytes data;
    std::string error;
  };
  Bytes plain = TGifBuilder().Header(2, 1, 1).Raw(body).Data;
  Bytes prefixed = {9, 9, 9, 9};
  prefixed.insert(prefixed.end(), plain.begin(), plain.end());
  Bytes lower = TGifBuilder().Header(2, 1, 1, "gif87z").Raw(body).Data;
  std::vector<Case> cases = {
      {"plain", plain, ""},
      {"4-byte prefix", prefixed, ""},
      {"lower case, any version", lower, ""},
      {"too short", {'G', 'I', 'F', '8', '9'}, "Premature end of data"},
      {"not a GIF", Bytes(20, 'x'), "Invalid GIF signature"},
      {"table cut", Bytes(plain.begin(), plain.begin() + 15), "Premature end of data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingImage image;
    EXPECT_EQ(LoadBytes(image, c.data), c.error);
    if (c.error.empty()) {
      ASSERT_EQ(image.Images().Count(), 1);
      EXPECT_EQ(FramePixels(image.Images()[0]), (Bytes{1, 3}));
      EXPECT_TRUE(image.Warnings.empty());
    }
  }
}

TEST(GifStructure, GlobalTableSizesAndCapacity) {
  for (auto [field, count, capacity] : {std::tuple{0, 2, 16}, {3, 16, 16}, {4, 32, 32}, {7, 256, 256}}) {
    TRecordingImage image;
    EXPECT_EQ(LoadBytes(image, TGifBuilder().Header(1, 1, field).Trailer().Data), "");
    EXPECT_EQ(image.GlobalColorMap().Count(), count);
    EXPECT_EQ(image.GlobalColorMap().Capacity(), capacity);
  }
}

TEST(GifStructure, BlockLoop) {
  Bytes frame = TGifBuilder().Descriptor(0, 0, 1, 1).ImageData(2, Literals(2, {2})).Data;
  struct Case {
    const char* name;
    Bytes tail;
    int frames;
    std::vector<std::string> warnings;
  };
  std::vector<Case> cases = {
      {"ends after header", {}, 0, {}},
      {"zero bytes between blocks", [&] { Bytes b = {0, 0}; b.insert(b.end(), frame.begin(), frame.end()); b.insert(b.end(), {0, 0, 0x3B}); return b; }(), 1, {}},
      {"unknown block", [&] { Bytes b = frame; b.insert(b.end(), {0x99, 0x3B}); return b; }(), 1,
       {"Unknown GIF block type", "Invalid Image trailer"}},
      {"trailing comment forms a frame", [&] { Bytes b = frame; b.insert(b.end(), {0x21, 0xFE, 2, 'h', 'i', 0, 0x3B}); return b; }(), 2, {}},
      {"no trailer", frame, 1, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingImage image;
    EXPECT_EQ(LoadBytes(image, TGifBuilder().Header(1, 1, 1).Raw(c.tail).Data), "");
    EXPECT_EQ(image.Images().Count(), c.frames);
    EXPECT_EQ(image.Warnings, c.warnings);
  }
  TRecordingImage image;
  LoadBytes(image, TGifBuilder().Header(1, 1, 1).Raw(frame).Raw({0x21, 0xFE, 3, 'a', 0, 'b', 0, 0x3B}).Data);
  ASSERT_EQ(image.Images().Count(), 2);
  auto* comment = dynamic_cast<TGIFCommentExtension*>(image.Images()[1]->Extensions()[0]);
  ASSERT_NE(comment, nullptr);
  EXPECT_EQ(comment->Text(), TGIFLines{"a"});
  EXPECT_TRUE(image.Images()[1]->Empty());
}

TEST(GifExtensions, Kinds) {
  auto load = [](const Bytes& ext, TRecordingImage& image) {
    return LoadBytes(image, TGifBuilder().Header(1, 1, 1).Raw(ext).Descriptor(0, 0, 1, 1).ImageData(2, Literals(2, {1})).Trailer().Data);
  };
  auto app = [](int size, const char* id, Bytes data) {
    Bytes b = {0x21, 0xFF, static_cast<uint8_t>(size)};
    b.insert(b.end(), id, id + std::strlen(id));
    b.insert(b.end(), data.begin(), data.end());
    return b;
  };
  struct Case {
    const char* name;
    Bytes ext;
    std::string error;
    int loops;  // -1: not a looping extension
  };
  std::vector<Case> cases = {
      {"private label", {0x21, 0xAA, 1, 0, 0}, "Unknown extension type", -1},
      {"label 0", {0x21, 0x00, 0}, "Unknown extension type", -1},
      {"NETSCAPE loop 5", app(11, "NETSCAPE2.0", {3, 1, 5, 0, 0}), "", 5},
      {"ANIMEXTS loop 2", app(11, "ANIMEXTS1.0", {3, 1, 2, 0, 0}), "", 2},
      {"id 9 counts as 1", app(11, "NETSCAPE2.0", {3, 9, 7, 0, 0}), "", 7},
      {"id 3 skipped, buffer size", app(11, "NETSCAPE2.0", {2, 3, 0, 5, 2, 1, 0, 0, 0, 3, 1, 4, 0, 0}), "", 4},
      {"loop block too short", app(11, "NETSCAPE2.0", {2, 1, 0, 0}), "Invalid GIF data", -1},
      {"block size 9", app(9, "NETSCAPE", {0}), "Unsupported Application Extension block size", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingImage image;
    EXPECT_EQ(load(c.ext, image), c.error);
    if (c.loops >= 0) {
      ASSERT_EQ(image.Images().Count(), 1);
      auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(image.Images()[0]->Extensions()[0]);
      ASSERT_NE(loop, nullptr);
      EXPECT_EQ(loop->Loops(), c.loops);
    }
  }
  // A header the stream cannot hold names no reader.
  TRecordingImage cut;
  EXPECT_EQ(LoadBytes(cut, TGifBuilder().Header(1, 1, 1).Raw({0x21, 0xFF, 10, 'A', 'B'}).Data), "Unknown extension type");
  // Unknown application data survives a round trip; a 10-byte header is read as unknown.
  for (auto [size, id] : {std::pair{11, "XMP DataXMP"}, {10, "ABCDEFGHIJ"}}) {
    TRecordingImage image;
    Bytes data = {2, 7, 8, 1, 9, 0};
    ASSERT_EQ(load(app(size, id, data), image), "");
    auto* unknown = dynamic_cast<TGIFUnknownAppExtension*>(image.Images()[0]->Extensions()[0]);
    ASSERT_NE(unknown, nullptr);
    TMemoryStream out;
    unknown->SaveToStream(out);
    const uint8_t* p = static_cast<const uint8_t*>(out.Memory());
    Bytes written(p, p + out.Size());
    Bytes expect = {0x21, 0xFF, 11};
    if (size == 11) {
      expect.insert(expect.end(), id, id + 11);
      expect.insert(expect.end(), data.begin(), data.end());
    } else {
      // The identifier's last byte is the first sub-block's size.
      expect.insert(expect.end(), id, id + 10);
      expect.insert(expect.end(), {2, 2, 7, 8, 1, 9, 0});
    }
    EXPECT_EQ(written, expect);
  }
}

TEST(GifExtensions, GraphicControl) {
  // Only the second extension is transparent: the frame is, with the first one's index.
  Bytes two = TGifBuilder().Header(2, 1, 1).Gce(1, 4).Raw({0x21, 0xF9, 4, 1, 0, 0, 3, 0})
                  .Descriptor(0, 0, 2, 1).ImageData(2, Literals(2, {1}, true)).Trailer().Data;
  TRecordingImage image;
  ASSERT_EQ(LoadBytes(image, two), "");
  TGIFSubImage* f = image.Images()[0];
  EXPECT_TRUE(f->Transparent());
  EXPECT_EQ(f->GraphicControlExtension()->Delay(), 4);
  EXPECT_EQ(f->GraphicControlExtension()->TransparentColorIndex(), 0);
  // Pixels the data does not reach keep the transparent index.
  Bytes prefilled = TGifBuilder().Header(3, 1, 2).Gce(0, 0, 3).Descriptor(0, 0, 3, 1).ImageData(2, Literals(2, {1})).Trailer().Data;
  ASSERT_EQ(LoadBytes(image, prefilled), "");
  EXPECT_EQ(FramePixels(image.Images()[0]), (Bytes{1, 3, 3}));

  // Cut short by the end of the stream: a warning, and the frame is not transparent.
  Bytes cut = TGifBuilder().Header(1, 1, 1).Raw({0x21, 0xF9, 4, 1, 0}).Data;
  ASSERT_EQ(LoadBytes(image, cut), "");
  EXPECT_EQ(image.Warnings, std::vector<std::string>{"Premature end of data"});
  ASSERT_EQ(image.Images().Count(), 1);
  EXPECT_FALSE(image.Images()[0]->Transparent());

  // An index past the active table is refused with a warning.
  image.Warnings.clear();
  ASSERT_EQ(LoadBytes(image, two), "");
  image.Warnings.clear();
  image.Images()[0]->GraphicControlExtension()->SetTransparentColorIndex(9);
  EXPECT_EQ(image.Images()[0]->GraphicControlExtension()->TransparentColorIndex(), 0);
  EXPECT_EQ(image.Warnings, std::vector<std::string>{"Invalid color index"});
  // Freeing the extension clears the frame's transparency and link.
  image.Images()[0]->Extensions().Delete(1);
  image.Images()[0]->Extensions().Delete(0);
  EXPECT_FALSE(image.Images()[0]->Transparent());
  EXPECT_EQ(image.Images()[0]->GraphicControlExtension(), nullptr);
}

TEST(GifDecode, InterlacedRowOrder) {
  for (auto [height, order] : {std::pair<int, std::vector<int>>{1, {0}}, {2, {0, 1}},
                               {10, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}}}) {
    SCOPED_TRACE(height);
    TRecordingImage image;
    Bytes gif = TGifBuilder().Header(1, height, 3).Descriptor(0, 0, 1, height, 0x40)
                    .ImageData(4, Literals(4, Iota(height, 16))).Trailer().Data;
    ASSERT_EQ(LoadBytes(image, gif), "");
    TGIFSubImage* f = image.Images()[0];
    for (int i = 0; i < height; ++i) EXPECT_EQ(f->PixelAt(0, order[static_cast<size_t>(i)]), i);
  }
}

TEST(GifDecode, StreamPositionAndEarlyEnd) {
  // 16 x 16, M = 4: the stream is left right after the terminator, whatever follows.
  Bytes frame = TGifBuilder().Header(16, 16, 3).Descriptor(0, 0, 16, 16).ImageData(4, Literals(4, Iota(256, 16))).Data;
  TRecordingImage image;
  TMemoryStream s;
  s.WriteBuffer(frame.data(), static_cast<int64_t>(frame.size()));
  s.WriteBuffer("\x3B", 1);
  s.SetPosition(0);
  image.ReadImage(s);
  EXPECT_EQ(s.Position(), static_cast<int64_t>(frame.size()) + 1);
  EXPECT_EQ(FramePixels(image.Images()[0]), [] { Bytes b; for (int i = 0; i < 256; ++i) b.push_back(static_cast<uint8_t>(i % 16)); return b; }());

  // Data ending after half the pixels keeps 0 in the rest, and the next frame still reads.
  Bytes half = TGifBuilder().Header(4, 2, 1).Descriptor(0, 0, 4, 2).ImageData(2, Literals(2, {1, 2, 3, 1}))
                   .Descriptor(0, 0, 4, 2).ImageData(2, Literals(2, {3, 3, 3, 3, 3, 3, 3, 3})).Trailer().Data;
  ASSERT_EQ(LoadBytes(image, half), "");
  ASSERT_EQ(image.Images().Count(), 2);
  EXPECT_EQ(FramePixels(image.Images()[0]), (Bytes{1, 2, 3, 1, 0, 0, 0, 0}));
  EXPECT_EQ(FramePixels(image.Images()[1]), Bytes(8, 3));
  EXPECT_TRUE(image.Warnings.empty());

  // Extra data after the last pixel (no end code) is passed over, not taken for blocks.
  Bytes noEnd = Literals(2, {1, 2}, false);
  noEnd.insert(noEnd.end(), {0x55, 0x55, 0x55});
  Bytes extra = TGifBuilder().Header(2, 1, 1).Descriptor(0, 0, 2, 1).ImageData(2, noEnd, 2)
                    .Descriptor(0, 0, 2, 1).ImageData(2, Literals(2, {3, 0})).Trailer().Data;
  image.Warnings.clear();
  ASSERT_EQ(LoadBytes(image, extra), "");
  EXPECT_EQ(image.Images().Count(), 2);
  EXPECT_TRUE(image.Warnings.empty());
}

TEST(GifDecode, CodeTable) {
  TRecordingImage image;
  // Code 6 is the code being defined: the previous string plus its first value.
  TCodeWriter w;
  w.Put(4, 3);
  w.Put(1, 3);
  w.Put(6, 3);
  w.Put(5, 3);
  Bytes kwk = TGifBuilder().Header(3, 1, 1).Descriptor(0, 0, 3, 1).ImageData(2, w.Finish()).Trailer().Data;
  ASSERT_EQ(LoadBytes(image, kwk), "");
  EXPECT_EQ(FramePixels(image.Images()[0]), (Bytes{1, 1, 1}));

  // Code sizes the 12-bit tables cannot hold are refused.
  for (int m : {12, 13, 40, 255}) {
    Bytes big = TGifBuilder().Header(1, 1, 1).Descriptor(0, 0, 1, 1).Raw({m, 1, 0, 0}).Trailer().Data;
    EXPECT_EQ(LoadBytes(image, big), "Invalid LZW code size") << m;
  }
  // M = 11 (12-bit codes from the start) still decodes.
  TCodeWriter w11;
  w11.Put(2048, 12);
  w11.Put(77, 12);
  w11.Put(2049, 12);
  ASSERT_EQ(LoadBytes(image, TGifBuilder().Header(1, 1, 1).Descriptor(0, 0, 1, 1).ImageData(11, w11.Finish()).Trailer().Data), "");
  EXPECT_EQ(image.Images()[0]->PixelAt(0, 0), 77);

  // A code beyond the next free one after a self-referencing definition loops the table.
  TCodeWriter loop;
  loop.Put(4, 3);
  loop.Put(1, 3);
  loop.Put(7, 3);  // beyond code 6: taken as the previous code, and becomes the previous code
  loop.Put(7, 3);  // defines 7 with prefix 7
  loop.Put(7, 4);
  Bytes circular = TGifBuilder().Header(16, 1, 1).Descriptor(0, 0, 16, 1).ImageData(2, loop.Finish()).Trailer().Data;
  EXPECT_EQ(LoadBytes(image, circular), "Circular decoder table entry");
}

TEST(GifDecode, FrameSizes) {
  TRecordingImage image;
  // Width 0 takes the logical screen's size, with a warning.
  Bytes zero = TGifBuilder().Header(3, 2, 1).Descriptor(0, 0, 0, 5).ImageData(2, Literals(2, Iota(6, 4))).Trailer().Data;
  ASSERT_EQ(LoadBytes(image, zero), "");
  EXPECT_EQ(image.Images()[0]->Width(), 3);
  EXPECT_EQ(image.Images()[0]->Height(), 2);
  EXPECT_EQ(image.Warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
  // A frame larger than the allocation cap is refused before memory is taken.
  Bytes huge = TGifBuilder().Header(1, 1, 1).Descriptor(0, 0, 65535, 65535).ImageData(2, Literals(2, {1})).Trailer().Data;
  uint64_t saved = GIFMaxFramePixels;
  GIFMaxFramePixels = 1 << 20;
  EXPECT_EQ(LoadBytes(image, huge), "Invalid image dimensions");
  GIFMaxFramePixels = saved;
  // A local table of size field 0 holds 2 entries; the descriptor cut short fails the load.
  Bytes local = TGifBuilder().Header(1, 1).Descriptor(0, 0, 1, 1, 0x80).Raw({1, 2, 3, 4, 5, 6}).ImageData(2, Literals(2, {1})).Trailer().Data;
  ASSERT_EQ(LoadBytes(image, local), "");
  EXPECT_EQ(image.Images()[0]->ColorMap().Count(), 2);
  EXPECT_EQ(&image.Images()[0]->ActiveColorMap(), &image.Images()[0]->ColorMap());
  EXPECT_EQ(LoadBytes(image, Bytes(local.begin(), local.begin() + 18)), "Premature end of data");
}

TEST(GifDecode, DamagedSubBlocks) {
  TRecordingImage image;
  // A sub-block longer than the rest of the stream: a warning and what could be decoded.
  Bytes data = Literals(2, Iota(8, 4));
  Bytes gif = TGifBuilder().Header(8, 1, 1).Descriptor(0, 0, 8, 1).Raw({2, 40}).Raw(Bytes(data.begin(), data.begin() + 2)).Data;
  ASSERT_EQ(LoadBytes(image, gif), "");
  EXPECT_TRUE(Has(image.Warnings, "Premature end of data"));
  EXPECT_EQ(image.Images()[0]->PixelAt(0, 0), 0);
  EXPECT_EQ(image.Images()[0]->PixelAt(1, 0), 1);
  // The data ends (terminator) while codes are still needed: the under-run warning.
  TCodeWriter w;
  w.Put(4, 3);
  w.Put(1, 3);
  w.Put(2, 3);
  w.Put(3, 3);
  w.Put(1, 4);  // the table grew to 4-bit codes; the data ends on a byte border
  Bytes under = TGifBuilder().Header(8, 1, 1).Descriptor(0, 0, 8, 1).ImageData(2, w.Finish()).Trailer().Data;
  image.Warnings.clear();
  ASSERT_EQ(LoadBytes(image, under), "");
  EXPECT_TRUE(Has(image.Warnings, "Decoder bit buffer under-run"));
  EXPECT_EQ(FramePixels(image.Images()[0]), (Bytes{1, 2, 3, 1, 0, 0, 0, 0}));
}

TEST(GifDecode, FramesEndingEarly) {
  TRecordingImage image;
  ASSERT_EQ(LoadBytes(image, ReadFileBytes(DataPath("damaged-short-frames.gif"))), "");
  ASSERT_EQ(image.Images().Count(), 2);
  Bytes first = FramePixels(image.Images()[0]);
  for (int i = 0; i < 2; ++i) {
    Bytes px = FramePixels(image.Images()[i]);
    // The second frame is transparent with index 5: its unreached half keeps 5.
    EXPECT_EQ(Bytes(px.begin() + 64, px.end()), Bytes(64, i == 0 ? 0 : 5));
    EXPECT_EQ(Bytes(px.begin(), px.begin() + 64), Bytes(first.begin(), first.begin() + 64));
  }
  EXPECT_TRUE(image.Warnings.empty());
}

TEST(GifColorMap, Operations) {
  TRecordingImage image;
  TGIFGlobalColorMap& map = image.GlobalColorMap();
  EXPECT_EQ(map.Capacity(), 0);
  for (int i = 0; i < 5; ++i) map.AppendColor(0x010203u * static_cast<uint32_t>(i));
  map.AppendColor(0x010203u);
  EXPECT_EQ(map.FindColor(0x010203u), 5);
  map.SetSorted(true);
  EXPECT_EQ(map.FindColor(0x010203u), 1);
  EXPECT_EQ(map.FindColor(0x777777u), -1);
  TMemoryStream out;
  map.RemoveColor(5);
  map.WriteTable(out);
  EXPECT_EQ(out.Size(), 8 * 3);
  EXPECT_EQ(static_cast<const uint8_t*>(out.Memory())[5 * 3], 0);
  EXPECT_EQ(map.ColorAt(2), 0x020406u);
  EXPECT_EQ(map.ColorAt(300), 0u);
  EXPECT_EQ(image.Warnings, std::vector<std::string>{"Invalid color index"});
  EXPECT_THROW(map.RemoveColor(5), GIFException);
  map.Reset();
  TMemoryStream empty;
  map.WriteTable(empty);
  EXPECT_EQ(empty.Size(), 0);
  try {
    map.ColorAt(0);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Color table is empty");
  }
  for (int i = 0; i < 256; ++i) map.AppendColor(static_cast<uint32_t>(i));
  EXPECT_EQ(map.Capacity(), 256);
  try {
    map.AppendColor(1);
    FAIL();
  } catch (const GIFException& e) {
    EXPECT_EQ(e.Message(), "Color table overflow");
  }
  EXPECT_EQ(IndexBitsFor(0), 0);
  EXPECT_EQ(IndexBitsFor(1), 1);
  EXPECT_EQ(IndexBitsFor(3), 2);
  EXPECT_EQ(IndexBitsFor(129), 8);
}

TEST(GifColorMap, SortByUseCountsEveryPixelValue) {
  // Pixel values past the table's count must not overrun the histogram or map.
  Bytes gif = TGifBuilder().Header(6, 1, 1).Descriptor(0, 0, 6, 1).ImageData(3, Literals(3, {1, 1, 1, 0, 7, 7})).Trailer().Data;
  TRecordingImage image;
  ASSERT_EQ(LoadBytes(image, gif), "");
  EXPECT_TRUE(image.GlobalColorMap().SortByUse());
  EXPECT_EQ(image.GlobalColorMap().Count(), 2);
  EXPECT_EQ(image.GlobalColorMap().ColorAt(0), 0x010101u);
  EXPECT_EQ(FramePixels(image.Images()[0]), (Bytes{0, 0, 0, 1, 7, 7}));
}

// Every corpus file cut at every length and with flipped bytes: an exception,
// warnings or an image, never a crash or hang.
TEST(GifRobustness, CutAndFlipSweep) {
  for (const std::string& name : CorpusFiles()) {
    SCOPED_TRACE(name);
    Bytes data = ReadFileBytes(DataPath(name));
    size_t step = data.size() > 4000 ? data.size() / 997 : 1;
    TRecordingImage image;
    for (size_t len = 0; len < data.size(); len += step) LoadBytes(image, Bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(len)));
    for (size_t at = 0; at < data.size(); at += step)
      for (uint8_t mask : {0x01, 0x80, 0xFF}) {
        Bytes bad = data;
        bad[at] ^= mask;
        LoadBytes(image, bad);
      }
  }
}

TEST(GifBusyIndicator, ShapeOfTheAsset) {
  TRecordingImage image;
  Bytes data = ReadFileBytes(std::string(HK_SOURCE_DIR) + "/assets/dict/busy.gif");
  ASSERT_EQ(LoadBytes(image, data), "");
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 6), (Bytes{'G', 'I', 'F', '8', '9', 'a'}));
  EXPECT_EQ(image.ScreenWidth(), 16);
  EXPECT_EQ(image.ScreenHeight(), 16);
  EXPECT_EQ(image.GlobalColorMap().Count(), 16);
  ASSERT_EQ(image.Images().Count(), 12);
  auto* loop = dynamic_cast<TGIFAppExtNSLoop*>(image.Images()[0]->Extensions()[0]);
  ASSERT_NE(loop, nullptr);
  EXPECT_EQ(loop->Loops(), 0);
  for (int i = 0; i < 12; ++i) {
    TGIFSubImage* f = image.Images()[i];
    ASSERT_NE(f->GraphicControlExtension(), nullptr);
    EXPECT_EQ(f->GraphicControlExtension()->Disposal(), 1);
    EXPECT_EQ(f->GraphicControlExtension()->Delay(), 3);
    EXPECT_TRUE(f->Transparent());
    EXPECT_EQ(f->GraphicControlExtension()->TransparentColorIndex(), 0);
    EXPECT_EQ(f->ColorMap().Count(), 0);
  }
  EXPECT_TRUE(image.Warnings.empty());
}
