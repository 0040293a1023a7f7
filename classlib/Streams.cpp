#include "classlib/Streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Resources.h"

void TStream::SetSize(int64_t) {}

int64_t TStream::Size() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t total = count;
  std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 0xF000)));
  while (count > 0) {
    int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
    source.ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    count -= n;
  }
  return total;
}

// ---- memory streams

int64_t TCustomMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
  int64_t n = std::min(count, FSize - FPosition);
  std::memcpy(buffer, FData + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TCustomMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case soBeginning: FPosition = offset; break;
    case soCurrent: FPosition += offset; break;
    case soEnd: FPosition = FSize + offset; break;
  }
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream& stream) { stream.WriteBuffer(FData, FSize); }

void TCustomMemoryStream::SaveToFile(const std::string& fileName) {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || FPosition < 0) return 0;
  int64_t end = FPosition + count;
  if (end > FSize) SetSize(end);
  std::memcpy(FBuffer.data() + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  return count;
}

void TMemoryStream::SetSize(int64_t newSize) {
  if (newSize < 0) newSize = 0;
  try {
    FBuffer.resize(static_cast<size_t>(newSize));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory while expanding memory stream");
  }
  SetPointer(FBuffer.data(), newSize);
  if (FPosition > newSize) FPosition = newSize;
}

void TMemoryStream::Clear() {
  FBuffer.clear();
  FBuffer.shrink_to_fit();
  SetPointer(nullptr, 0);
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  int64_t count = stream.Size();
  SetSize(count);
  if (count != 0) stream.ReadBuffer(FBuffer.data(), count);
  FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

// ---- file stream

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : FFileName(fileName) {
  // Opened without blocking, so a FIFO or device named as the file cannot
  // hang the caller; only a regular file is a stream's file.
  const bool create = (mode & fmCreate) == fmCreate;
  int flags = O_RDONLY;
  if ((mode & 3) == fmOpenWrite) flags = O_WRONLY;
  if ((mode & 3) == fmOpenReadWrite) flags = O_RDWR;
  if (create) flags = O_RDWR | O_CREAT | O_TRUNC;
  FHandle = ::open(fileName.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0644);
  std::string reason;
  if (FHandle < 0) {
    // Writing to a FIFO without a reader fails to open, not for want of a file.
    struct stat st {};
    const int error = errno;
    reason = error == ENXIO && ::stat(fileName.c_str(), &st) == 0 && !S_ISREG(st.st_mode) ? "not a regular file"
                                                                                           : std::strerror(error);
  } else {
    struct stat st {};
    if (::fstat(FHandle, &st) != 0 || !S_ISREG(st.st_mode)) {
      // A folder opens on Linux but is not a file a stream can use.
      reason = S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file";
      ::close(FHandle);
      FHandle = -1;
    } else {
      ::fcntl(FHandle, F_SETFL, ::fcntl(FHandle, F_GETFL) & ~O_NONBLOCK);
    }
  }
  if (FHandle >= 0) return;
  if (create) throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
  throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::read(FHandle, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  auto* p = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    ssize_t n = ::write(FHandle, p + done, static_cast<size_t>(std::min<int64_t>(count - done, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(FHandle, static_cast<off_t>(offset), whence);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

void TFileStream::SetSize(int64_t newSize) {
  int64_t pos = Position();
  if (::ftruncate(FHandle, static_cast<off_t>(newSize)) != 0)
    throw EStreamError("Stream write error");
  if (pos > newSize) Seek(newSize, soBeginning);
}

// ---- resource stream

TResourceStream::TResourceStream(HINSTANCE instance, const std::string& resourceName, const char* resourceType) {
  HRSRC res = FindResourceA(instance, resourceName.c_str(), resourceType);
  if (!res) throw EResNotFound("Resource " + resourceName + " not found");
  HGLOBAL data = LoadResource(instance, res);
  SetPointer(static_cast<const uint8_t*>(LockResource(data)), SizeofResource(instance, res));
}

int64_t TResourceStream::Write(const void*, int64_t) {
  throw EStreamError("Can't write to a read-only resource stream");
}
