// Extension blocks of a GIF stream and the registries that name their readers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gif/GIFItems.h"

class TGIFSubImage;
class TGIFExtension;

// The "class" of an extension, as the registries hold it.
struct TGIFExtensionClass {
  const char* Name;
  std::unique_ptr<TGIFExtension> (*Create)(TGIFSubImage* frame);
  // Given the stream just after the label byte, the class that should read the block.
  const TGIFExtensionClass* (*SubKind)(TStream& stream);
};

class TGIFExtension : public TGIFItem {
 public:
  explicit TGIFExtension(TGIFSubImage* frame);
  // Takes the extension out of its frame's list.
  ~TGIFExtension() override;

  TGIFVersion NeededVersion() const override { return gv89a; }
  virtual uint8_t ExtensionLabel() const = 0;
  virtual const TGIFExtensionClass& ExtensionClass() const = 0;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  TGIFSubImage* Frame() const { return FFrame; }

 protected:
  TGIFSubImage* FFrame;
};

class TGIFExtensionList : public TGIFList<TGIFExtension> {
 public:
  explicit TGIFExtensionList(TGIFSubImage* frame);
  void LoadFromStream(TStream& stream, TGIFSubImage* parent);
};

class TGIFGraphicControlExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFGraphicControlExtension(TGIFSubImage* frame);
  ~TGIFGraphicControlExtension() override;
  uint8_t ExtensionLabel() const override { return 0xF9; }
  const TGIFExtensionClass& ExtensionClass() const override { return Class; }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;

  bool Transparent() const { return (FData[1] & 1) != 0; }
  void SetTransparent(bool value);
  bool UserInput() const { return (FData[1] & 2) != 0; }
  int Disposal() const { return (FData[1] >> 2) & 7; }
  void SetDisposal(int value) { FData[1] = static_cast<uint8_t>((FData[1] & ~0x1C) | ((value & 7) << 2)); }
  int Delay() const { return FData[2] | (FData[3] << 8); }
  void SetDelay(int value) {
    FData[2] = static_cast<uint8_t>(value);
    FData[3] = static_cast<uint8_t>(value >> 8);
  }
  int TransparentColorIndex() const { return FData[4]; }
  void SetTransparentColorIndex(int value);

 private:
  // Block Size, packed byte, Delay Time (2), Transparent Color Index, Block Terminator.
  uint8_t FData[6] = {4, 0, 0, 0, 0, 0};
};

class TGIFTextExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  using TGIFExtension::TGIFExtension;
  uint8_t ExtensionLabel() const override { return 0x01; }
  const TGIFExtensionClass& ExtensionClass() const override { return Class; }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  const uint8_t* Header() const { return FHeader; }
  TGIFLines& Text() { return FText; }

 private:
  uint8_t FHeader[13] = {12};
  TGIFLines FText;
};

class TGIFCommentExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  using TGIFExtension::TGIFExtension;
  uint8_t ExtensionLabel() const override { return 0xFE; }
  const TGIFExtensionClass& ExtensionClass() const override { return Class; }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  TGIFLines& Text() { return FText; }

 private:
  TGIFLines FText;
};

using TGIFApplicationId = std::array<uint8_t, 11>;

class TGIFApplicationExtension : public TGIFExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFApplicationExtension(TGIFSubImage* frame);
  uint8_t ExtensionLabel() const override { return 0xFF; }
  const TGIFExtensionClass& ExtensionClass() const override { return Class; }
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  virtual void WriteAppData(TStream& stream);
  virtual void ReadAppData(TStream& stream);
  const TGIFApplicationId& Identifier() const { return FIdent; }
  void SetIdentifier(const TGIFApplicationId& id) { FIdent = id; }

 protected:
  TGIFApplicationId FIdent{};
};

struct TGIFBlock {
  explicit TGIFBlock(uint8_t size) : Data(size, 0) {}
  std::vector<uint8_t> Data;
};

class TGIFUnknownAppExtension : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class;
  using TGIFApplicationExtension::TGIFApplicationExtension;
  const TGIFExtensionClass& ExtensionClass() const override { return Class; }
  void WriteAppData(TStream& stream) override;
  void ReadAppData(TStream& stream) override;
  std::vector<TGIFBlock>& Blocks() { return FBlocks; }

 private:
  std::vector<TGIFBlock> FBlocks;
};

class TGIFAppExtNSLoop : public TGIFApplicationExtension {
 public:
  static const TGIFExtensionClass Class;
  explicit TGIFAppExtNSLoop(TGIFSubImage* frame);
  const TGIFExtensionClass& ExtensionClass() const override { return Class; }
  void WriteAppData(TStream& stream) override;
  void ReadAppData(TStream& stream) override;
  int Loops() const { return FLoops; }
  void SetLoops(int value) { FLoops = static_cast<uint16_t>(value); }
  uint32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(uint32_t value) { FBufferSize = value; }

 private:
  uint16_t FLoops = 0;
  uint32_t FBufferSize = 0;
};

// The class that should read the extension whose introducer was just read, or
// nullptr; the stream is left where it was (except when no label could be read).
const TGIFExtensionClass* FindExtensionClass(TStream& stream);
// Registries, made on first lookup and freed by FreeExtensionRegistries.
void RegisterExtension(uint8_t label, const TGIFExtensionClass* cls);
void RegisterAppExtension(const TGIFApplicationId& id, const TGIFExtensionClass* cls);
void FreeExtensionRegistries();
