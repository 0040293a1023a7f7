#include "gif/GIFExtensions.h"

#include <cstring>
#include <mutex>

#include "gif/GIFSubImage.h"

// ---- Registries ----------------------------------------------------------------

namespace {
struct TExtensionEntry {
  const TGIFExtensionClass* Class;
  uint8_t Label;
};
struct TAppExtensionEntry {
  const TGIFExtensionClass* Class;
  TGIFApplicationId Ident;
};
struct TRegistries {
  std::vector<TExtensionEntry> Labels;
  std::vector<TAppExtensionEntry> Apps;
  bool LabelsMade = false;
  bool AppsMade = false;
};
std::mutex RegistryLock;
TRegistries& Registries() {
  static TRegistries r;
  return r;
}

TGIFApplicationId MakeId(const char* text) {
  TGIFApplicationId id{};
  std::memcpy(id.data(), text, 11);
  return id;
}

void MakeLabels(TRegistries& r) {
  if (r.LabelsMade) return;
  r.LabelsMade = true;
  r.Labels.push_back({&TGIFTextExtension::Class, 0x01});
  r.Labels.push_back({&TGIFGraphicControlExtension::Class, 0xF9});
  r.Labels.push_back({&TGIFCommentExtension::Class, 0xFE});
  r.Labels.push_back({&TGIFApplicationExtension::Class, 0xFF});
}

void MakeApps(TRegistries& r) {
  if (r.AppsMade) return;
  r.AppsMade = true;
  r.Apps.push_back({&TGIFAppExtNSLoop::Class, MakeId("NETSCAPE2.0")});
  r.Apps.push_back({&TGIFAppExtNSLoop::Class, MakeId("ANIMEXTS1.0")});
}

const TGIFExtensionClass* LookupLabel(uint8_t label) {
  std::lock_guard<std::mutex> lock(RegistryLock);
  TRegistries& r = Registries();
  MakeLabels(r);
  for (auto it = r.Labels.rbegin(); it != r.Labels.rend(); ++it)
    if (it->Label == label) return it->Class;
  return nullptr;
}

const TGIFExtensionClass* LookupApp(const uint8_t* ident) {
  std::lock_guard<std::mutex> lock(RegistryLock);
  TRegistries& r = Registries();
  MakeApps(r);
  for (auto it = r.Apps.rbegin(); it != r.Apps.rend(); ++it)
    if (std::memcmp(it->Ident.data(), ident, 11) == 0) return it->Class;
  return nullptr;
}

const TGIFExtensionClass* SameKind(TStream&) { return nullptr; }

template <class T>
std::unique_ptr<TGIFExtension> Make(TGIFSubImage* frame) {
  return std::make_unique<T>(frame);
}

const TGIFExtensionClass* AppSubKind(TStream& stream);
}  // namespace

void RegisterExtension(uint8_t label, const TGIFExtensionClass* cls) {
  std::lock_guard<std::mutex> lock(RegistryLock);
  MakeLabels(Registries());
  Registries().Labels.push_back({cls, label});
}

void RegisterAppExtension(const TGIFApplicationId& id, const TGIFExtensionClass* cls) {
  std::lock_guard<std::mutex> lock(RegistryLock);
  MakeApps(Registries());
  Registries().Apps.push_back({cls, id});
}

void FreeExtensionRegistries() {
  std::lock_guard<std::mutex> lock(RegistryLock);
  Registries() = TRegistries();
}

// Classes name themselves through SubKind answering nullptr ("no further kind").
const TGIFExtensionClass TGIFGraphicControlExtension::Class = {"TGIFGraphicControlExtension",
                                                               Make<TGIFGraphicControlExtension>, SameKind};
const TGIFExtensionClass TGIFTextExtension::Class = {"TGIFTextExtension", Make<TGIFTextExtension>, SameKind};
const TGIFExtensionClass TGIFCommentExtension::Class = {"TGIFCommentExtension", Make<TGIFCommentExtension>,
                                                        SameKind};
const TGIFExtensionClass TGIFApplicationExtension::Class = {"TGIFApplicationExtension",
                                                            Make<TGIFApplicationExtension>, AppSubKind};
const TGIFExtensionClass TGIFUnknownAppExtension::Class = {"TGIFUnknownAppExtension",
                                                           Make<TGIFUnknownAppExtension>, SameKind};
const TGIFExtensionClass TGIFAppExtNSLoop::Class = {"TGIFAppExtNSLoop", Make<TGIFAppExtNSLoop>, SameKind};

namespace {
// Sentinel: the stream could not tell (too short); the block gets no reader.
const TGIFExtensionClass NoClass = {"", nullptr, nullptr};

const TGIFExtensionClass* AppSubKind(TStream& stream) {
  int64_t start = stream.Position();
  uint8_t size = 0;
  if (!ReadByteChecked(stream, size)) return &NoClass;
  uint8_t ident[11];
  if (size == 10) {
    if (stream.Read(ident, 10) != 10) return &NoClass;
    return &TGIFUnknownAppExtension::Class;
  }
  if (size == 11 && stream.Read(ident, 11) == 11) {
    const TGIFExtensionClass* cls = LookupApp(ident);
    return cls ? cls : &TGIFUnknownAppExtension::Class;
  }
  // Longer headers are kept as unknown data rather than refused.
  if (size > 11) {
    stream.SetPosition(start);
    return &TGIFUnknownAppExtension::Class;
  }
  stream.SetPosition(start);
  return nullptr;
}
}  // namespace

const TGIFExtensionClass* FindExtensionClass(TStream& stream) {
  int64_t start = stream.Position();
  uint8_t label = 0;
  if (!ReadByteChecked(stream, label)) return nullptr;
  const TGIFExtensionClass* cls = LookupLabel(label);
  // Each kind may name a more particular one, reading on from where it stopped.
  for (int guard = 0; cls && cls != &NoClass && guard < 16; ++guard) {
    const TGIFExtensionClass* sub = cls->SubKind(stream);
    if (!sub || sub == cls) break;
    cls = sub;
  }
  stream.SetPosition(start);
  return cls == &NoClass ? nullptr : cls;
}

// ---- Base ----------------------------------------------------------------------

TGIFExtension::TGIFExtension(TGIFSubImage* frame) : TGIFItem(frame ? frame->Image() : nullptr), FFrame(frame) {}

TGIFExtension::~TGIFExtension() {
  if (FFrame) FFrame->Extensions().Remove(this);
}

void TGIFExtension::LoadFromStream(TStream& stream) {
  uint8_t head[2];
  ReadExact(stream, head, 2);
  if (head[0] != 0x21) RaiseGIF("Invalid extension introducer");
  if (head[1] != ExtensionLabel()) RaiseGIF("Internal error: Extension Instance does not match Extension Label");
}

void TGIFExtension::SaveToStream(TStream& stream) {
  WriteOneByte(stream, 0x21);
  WriteOneByte(stream, ExtensionLabel());
}

TGIFExtensionList::TGIFExtensionList(TGIFSubImage* frame) : TGIFList(frame ? frame->Image() : nullptr) {}

void TGIFExtensionList::LoadFromStream(TStream& stream, TGIFSubImage* parent) {
  uint8_t b = 0;
  if (!ReadByteChecked(stream, b)) return;
  while (b != 0x2C && b != 0x3B) {
    if (b != 0x21) {
      ReportWarning(GIFWarningSeverity, "Invalid extension introducer");
      break;
    }
    const TGIFExtensionClass* cls = FindExtensionClass(stream);
    if (!cls) RaiseGIF("Unknown extension type");
    stream.Seek(-1, soCurrent);
    std::unique_ptr<TGIFExtension> ext = cls->Create(parent);
    ext->LoadFromStream(stream);
    Add(std::move(ext));
    if (!ReadByteChecked(stream, b)) return;
  }
  stream.Seek(-1, soCurrent);
}

// ---- Graphic control -------------------------------------------------------------

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFSubImage* frame) : TGIFExtension(frame) {
  if (FFrame && !FFrame->GraphicControlExtension()) FFrame->SetGraphicControlExtension(this);
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  if (!FFrame) return;
  if (Transparent()) FFrame->SetTransparentFlag(false);
  if (FFrame->GraphicControlExtension() == this) FFrame->SetGraphicControlExtension(nullptr);
}

void TGIFGraphicControlExtension::SetTransparent(bool value) {
  FData[1] = static_cast<uint8_t>(value ? FData[1] | 1 : FData[1] & ~1);
  if (FFrame) FFrame->SetTransparentFlag(value);
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(int value) {
  if (FFrame) {
    TGIFColorMap& map = FFrame->ActiveColorMap();
    if (map.Count() > 0 && value >= map.Count()) {
      ReportWarning(GIFWarningSeverity, "Invalid color index");
      value = 0;
    }
  }
  FData[4] = static_cast<uint8_t>(value);
}

void TGIFGraphicControlExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  if (stream.Read(FData, 6) != 6) {
    ReportWarning(GIFWarningSeverity, "Premature end of data");
    return;
  }
  if (Transparent() && FFrame) FFrame->SetTransparentFlag(true);
}

void TGIFGraphicControlExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.WriteBuffer(FData, 6);
}

// ---- Plain text and comment ------------------------------------------------------

void TGIFTextExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  ReadExact(stream, FHeader, 13);
  ReadLines(stream, FText);
}

void TGIFTextExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  stream.WriteBuffer(FHeader, 13);
  WriteLines(stream, FText);
}

void TGIFCommentExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  ReadLines(stream, FText);
}

void TGIFCommentExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteLines(stream, FText);
}

// ---- Application -------------------------------------------------------------------

TGIFApplicationExtension::TGIFApplicationExtension(TGIFSubImage* frame) : TGIFExtension(frame) {}

void TGIFApplicationExtension::LoadFromStream(TStream& stream) {
  TGIFExtension::LoadFromStream(stream);
  uint8_t size = 0;
  ReadExact(stream, &size, 1);
  if (size == 10) {
    ReadExact(stream, FIdent.data(), 11);
    stream.Seek(-1, soCurrent);
  } else if (size < 10) {
    RaiseGIF("Unsupported Application Extension block size");
  } else {
    ReadExact(stream, FIdent.data(), 11);
    if (size > 11) {
      uint8_t skip[255];
      ReadExact(stream, skip, size - 11);
    }
  }
  ReadAppData(stream);
}

void TGIFApplicationExtension::SaveToStream(TStream& stream) {
  TGIFExtension::SaveToStream(stream);
  WriteOneByte(stream, 11);
  stream.WriteBuffer(FIdent.data(), 11);
  WriteAppData(stream);
}

// The plain kind has no data of its own: its sub-blocks are passed over.
void TGIFApplicationExtension::ReadAppData(TStream& stream) { SkipSubBlocks(stream); }
void TGIFApplicationExtension::WriteAppData(TStream& stream) { WriteOneByte(stream, 0); }

void TGIFUnknownAppExtension::ReadAppData(TStream& stream) {
  FBlocks.clear();
  uint8_t size = 0;
  if (!ReadByteChecked(stream, size)) return;
  while (size != 0) {
    TGIFBlock block(size);
    ReadExact(stream, block.Data.data(), size);
    FBlocks.push_back(std::move(block));
    if (!ReadByteChecked(stream, size)) return;
  }
}

void TGIFUnknownAppExtension::WriteAppData(TStream& stream) {
  for (const TGIFBlock& b : FBlocks) {
    WriteOneByte(stream, static_cast<uint8_t>(b.Data.size()));
    stream.WriteBuffer(b.Data.data(), static_cast<int64_t>(b.Data.size()));
  }
  WriteOneByte(stream, 0);
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFSubImage* frame) : TGIFApplicationExtension(frame) {
  FIdent = MakeId("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::ReadAppData(TStream& stream) {
  uint8_t size = 0;
  while (ReadByteChecked(stream, size) && size != 0) {
    uint8_t id = 0;
    if (!ReadByteChecked(stream, id)) RaiseGIF("Premature end of data");
    int remaining = size - 1;
    uint8_t buf[4];
    if ((id & 7) == 1) {
      if (remaining < 2) RaiseGIF("Invalid GIF data");
      ReadExact(stream, buf, 2);
      FLoops = static_cast<uint16_t>(buf[0] | (buf[1] << 8));
      remaining -= 2;
    } else if ((id & 7) == 2) {
      if (remaining < 4) RaiseGIF("Invalid GIF data");
      ReadExact(stream, buf, 4);
      FBufferSize = static_cast<uint32_t>(buf[0] | (buf[1] << 8) | (buf[2] << 16)) | (uint32_t(buf[3]) << 24);
      remaining -= 4;
    }
    if (remaining > 0) {
      uint8_t skip[255];
      ReadExact(stream, skip, remaining);
    }
  }
}

void TGIFAppExtNSLoop::WriteAppData(TStream& stream) {
  uint8_t loop[4] = {3, 1, static_cast<uint8_t>(FLoops), static_cast<uint8_t>(FLoops >> 8)};
  stream.WriteBuffer(loop, 4);
  if (FBufferSize != 0) {
    uint8_t buf[6] = {5, 2, static_cast<uint8_t>(FBufferSize), static_cast<uint8_t>(FBufferSize >> 8),
                      static_cast<uint8_t>(FBufferSize >> 16), static_cast<uint8_t>(FBufferSize >> 24)};
    stream.WriteBuffer(buf, 6);
  }
  WriteOneByte(stream, 0);
}
