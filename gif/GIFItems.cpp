#include "gif/GIFItems.h"

#include <algorithm>
#include <cstring>

#include "gif/GIFSubImage.h"

void GIFReportWarning(TGIFImageCore* image, TObject* sender, int severity, const std::string& message) {
  if (image) image->ReportWarning(sender, severity, message);
}

void TGIFItem::ReportWarning(int severity, const std::string& message) {
  GIFReportWarning(FImage, this, severity, message);
}

void TGIFItem::SaveToFileName(const std::string& fileName) {
  TFileStream stream(fileName, fmCreate);
  SaveToStream(stream);
}

void TGIFItem::LoadFromFileName(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(stream);
}

// ---- Header ----------------------------------------------------------------

TGIFHeader::TGIFHeader(TGIFImageCore* image)
    : TGIFItem(image), FColorMap(std::make_unique<TGIFGlobalColorMap>(this)) {
  Reset();
}

TGIFHeader::~TGIFHeader() = default;

TGIFVersion TGIFHeader::NeededVersion() const {
  return (FColorMap->Sorted() || FDescriptor.AspectRatio != 0) ? gv89a : gv87a;
}

void TGIFHeader::Reset() {
  FColorMap->Reset();
  FDescriptor = TGIFScreenDescriptor();
}

void TGIFHeader::Assign(const TPersistent* source) {
  if (auto* header = dynamic_cast<const TGIFHeader*>(source))
    Assign(*header);
  else if (auto* map = dynamic_cast<const TGIFColorMap*>(source))
    Assign(*map);
  else
    TPersistent::Assign(source);
}

void TGIFHeader::Assign(const TGIFHeader& source) {
  if (&source == this) return;
  FColorMap->Assign(source.ColorMap());
  FDescriptor = source.FDescriptor;
}

void TGIFHeader::Assign(const TGIFColorMap& source) {
  Reset();
  FColorMap->Assign(source);
}

static bool IsGIFSignature(const uint8_t* sig) {
  char text[4] = {0, 0, 0, 0};
  for (int i = 0; i < 3 && sig[i] != 0; ++i) {
    char c = static_cast<char>(sig[i]);
    text[i] = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return std::strcmp(text, "GIF") == 0;
}

void TGIFHeader::LoadFromStream(TStream& stream) {
  int64_t start = stream.Position();
  uint8_t sig[6];
  ReadExact(stream, sig, 6);
  if (!IsGIFSignature(sig)) {
    // GIF data may follow a 4-byte prefix.
    stream.SetPosition(start);
    stream.Seek(4, soCurrent);
    ReadExact(stream, sig, 6);
    if (!IsGIFSignature(sig)) RaiseGIF("Invalid GIF signature");
  }
  uint8_t raw[7];
  ReadExact(stream, raw, 7);
  FDescriptor.Width = static_cast<uint16_t>(raw[0] | (raw[1] << 8));
  FDescriptor.Height = static_cast<uint16_t>(raw[2] | (raw[3] << 8));
  FDescriptor.Packed = raw[4];
  FDescriptor.BackgroundColorIndex = raw[5];
  FDescriptor.AspectRatio = raw[6];
  if (FDescriptor.Packed & 0x80)
    FColorMap->ReadTable(stream, 2 << (FDescriptor.Packed & 7));
  else
    FColorMap->Reset();
}

void TGIFHeader::SaveToStream(TStream& stream) {
  TGIFVersion version = FImage ? FImage->HighestVersion() : gvUnknown;
  if (version == gvUnknown) RaiseGIF("Unsupported GIF version");
  stream.WriteBuffer(version == gv89a ? "GIF89a" : "GIF87a", 6);
  uint8_t packed = 0;
  if (FColorMap->Count() > 0) {
    packed |= 0x80;
    if (FColorMap->Sorted()) packed |= 0x08;
  }
  int resolution = FImage ? FImage->MaxColorResolution() : ColorResolution();
  packed |= static_cast<uint8_t>((resolution << 4) & 0x70);
  packed |= static_cast<uint8_t>((FColorMap->IndexBits() - 1) & 7);
  FDescriptor.Packed = packed;
  uint8_t raw[7] = {static_cast<uint8_t>(FDescriptor.Width), static_cast<uint8_t>(FDescriptor.Width >> 8),
                    static_cast<uint8_t>(FDescriptor.Height), static_cast<uint8_t>(FDescriptor.Height >> 8),
                    packed, FDescriptor.BackgroundColorIndex, FDescriptor.AspectRatio};
  stream.WriteBuffer(raw, 7);
  if (packed & 0x80) FColorMap->WriteTable(stream);
}

// ---- Trailer ---------------------------------------------------------------

void TGIFTrailer::LoadFromStream(TStream& stream) {
  uint8_t b = 0;
  if (ReadByteChecked(stream, b) && b != 0x3B) ReportWarning(GIFWarningSeverity, "Invalid Image trailer");
}

void TGIFTrailer::SaveToStream(TStream& stream) { WriteOneByte(stream, 0x3B); }

// ---- Frame list ------------------------------------------------------------

TGIFImageList::~TGIFImageList() { Clear(); }

static bool NextNonZero(TStream& stream, uint8_t& b) {
  do {
    if (!ReadByteChecked(stream, b)) return false;
  } while (b == 0);
  return true;
}

void TGIFImageList::LoadFromStream(TStream& stream, TGIFImageCore* parent) {
  uint8_t b = 0;
  if (!NextNonZero(stream, b)) return;
  int64_t size = stream.Size();
  while (b != 0x3B) {
    stream.Seek(-1, soCurrent);
    if (b != 0x21 && b != 0x2C) {
      ReportWarning(GIFWarningSeverity, "Unknown GIF block type");
      return;
    }
    auto frame = std::make_unique<TGIFSubImage>(parent);
    // Not in the list while it reads, so a failure frees it alone.
    frame->LoadFromStream(stream);
    Add(std::move(frame));
    int percent = size > 0 ? static_cast<int>(stream.Position() * 100 / size) : 0;
    if (FImage) FImage->ReportProgress(this, gpsRunning, percent, false, "Loading...");
    if (!NextNonZero(stream, b)) return;
  }
  stream.Seek(-1, soCurrent);
}

void TGIFImageList::SaveToStream(TStream& stream) {
  int n = Count();
  for (int i = 0; i < n; ++i) {
    Items(i)->SaveToStream(stream);
    if (FImage) FImage->ReportProgress(this, gpsRunning, (i + 1) * 100 / n, false, "Saving...");
  }
}

// ---- Image core ------------------------------------------------------------

TGIFImageCore::TGIFImageCore()
    : FHeader(std::make_unique<TGIFHeader>(this)), FFrames(std::make_unique<TGIFImageList>(this)) {}

TGIFImageCore::~TGIFImageCore() {
  FFrames->Clear();
  FFrames.reset();
  FHeader.reset();
}

void TGIFImageCore::ReportWarning(TObject* sender, int severity, const std::string& message) {
  if (OnCodecWarning) OnCodecWarning(sender, severity, message);
}

void TGIFImageCore::SetScreenSize(int width, int height) {
  FHeader->Descriptor().Width = static_cast<uint16_t>(width);
  FHeader->Descriptor().Height = static_cast<uint16_t>(height);
  ScreenSizeChanged();
}

void TGIFImageCore::ClearImage() {
  FFrames->Clear();
  FHeader->Reset();
  PaletteChanged();
}

void TGIFImageCore::ReadImage(TStream& stream) {
  int64_t start = stream.Position();
  try {
    FHeader->LoadFromStream(stream);
    FFrames->LoadFromStream(stream, this);
    TGIFTrailer trailer(this);
    trailer.LoadFromStream(stream);
  } catch (...) {
    stream.SetPosition(start);
    throw;
  }
}

void TGIFImageCore::WriteImage(TStream& stream) {
  FHeader->SaveToStream(stream);
  FFrames->SaveToStream(stream);
  TGIFTrailer trailer(this);
  trailer.SaveToStream(stream);
}

TGIFVersion TGIFImageCore::HighestVersion() const {
  TGIFVersion v = gvUnknown;
  for (int i = 0; i < FFrames->Count(); ++i) {
    v = std::max(v, FFrames->Items(i)->NeededVersion());
    if (v >= gv89a) break;
  }
  return v;
}

int TGIFImageCore::MaxColorResolution() const {
  int r = FHeader->ColorResolution();
  for (int i = 0; i < FFrames->Count(); ++i) r = std::max(r, FFrames->Items(i)->ColorResolution());
  return r;
}

int TGIFImageCore::MaxBitsPerPixel() const {
  int r = FHeader->BitsPerPixel();
  for (int i = 0; i < FFrames->Count(); ++i) r = std::max(r, FFrames->Items(i)->BitsPerPixel());
  return r;
}
