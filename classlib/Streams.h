// Byte streams: the base class, memory, file and resource streams.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/SysTypes.h"
#include "platform/Types.h"

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

// Open modes and share flags of TFileStream.  The share flags are accepted
// for the callers' sake; files here are never locked against each other.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareCompat = 0x0000;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00;

class TStream {
 public:
  virtual ~TStream() = default;
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t newSize);

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, soBeginning); }
  int64_t Size();

  // Raise EReadError / EWriteError unless the whole count moves.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // A count of 0 copies the whole source from its start.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Shared by TMemoryStream and TResourceStream: a stream over bytes in memory.
class TCustomMemoryStream : public TStream {
 public:
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SaveToStream(TStream& stream);
  void SaveToFile(const std::string& fileName);
  const void* Memory() const { return FData; }
  void* Memory() { return const_cast<uint8_t*>(FData); }

 protected:
  void SetPointer(const uint8_t* data, int64_t size) { FData = data; FSize = size; }
  const uint8_t* FData = nullptr;
  int64_t FSize = 0;
  int64_t FPosition = 0;
};

class TMemoryStream : public TCustomMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override;
  void SetSize(int64_t newSize) override;
  void Clear();
  void LoadFromStream(TStream& stream);
  void LoadFromFile(const std::string& fileName);

 private:
  std::vector<uint8_t> FBuffer;
};

class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, uint16_t mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;
  const std::string& FileName() const { return FFileName; }
  int Handle() const { return FHandle; }

 private:
  std::string FFileName;
  int FHandle = -1;
};

// Read-only view of an embedded resource.
class TResourceStream : public TCustomMemoryStream {
 public:
  TResourceStream(HINSTANCE instance, const std::string& resourceName, const char* resourceType);
  int64_t Write(const void* buffer, int64_t count) override;
};
