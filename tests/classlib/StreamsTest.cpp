#include "classlib/Streams.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TestUtil.h"

TEST(Streams, MemoryStreamReadWriteSeek) {
  TMemoryStream m;
  m.WriteBuffer("hello world", 11);
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Position(), 11);
  m.SetPosition(6);
  char buf[16] = {};
  EXPECT_EQ(m.Read(buf, 16), 5);
  EXPECT_STREQ(buf, "world");
  // Reading past the end is a short read, and ReadBuffer refuses it.
  EXPECT_EQ(m.Read(buf, 1), 0);
  m.SetPosition(8);
  try {
    m.ReadBuffer(buf, 4);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  // Writing past the end after a seek grows the stream with zero bytes.
  m.Seek(4, soEnd);
  m.WriteBuffer("!", 1);
  EXPECT_EQ(m.Size(), 16);
  EXPECT_EQ(static_cast<const char*>(m.Memory())[12], '\0');
  m.SetSize(5);
  EXPECT_EQ(m.Position(), 5);
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
}

TEST(Streams, CopyFromZeroCopiesWholeSource) {
  TMemoryStream a, b;
  a.WriteBuffer("abcdef", 6);
  a.SetPosition(3);
  EXPECT_EQ(b.CopyFrom(a, 0), 6);
  EXPECT_EQ(std::string(static_cast<const char*>(b.Memory()), 6), "abcdef");
  a.SetPosition(2);
  TMemoryStream c;
  EXPECT_EQ(c.CopyFrom(a, 3), 3);
  EXPECT_EQ(std::string(static_cast<const char*>(c.Memory()), 3), "cde");
  EXPECT_THROW(c.CopyFrom(a, 10), EReadError);
}

TEST(Streams, FileStreamRoundTripAndErrors) {
  TempDir dir;
  std::string path = dir.File("a.bin");
  {
    TFileStream f(path, fmCreate);
    f.WriteBuffer("0123456789", 10);
    f.SetSize(4);
    EXPECT_EQ(f.Size(), 4);
  }
  EXPECT_EQ(TempDir::Read(path), "0123");
  {
    TFileStream f(path, fmOpenReadWrite | fmShareDenyNone);
    f.Seek(0, soEnd);
    f.WriteBuffer("xy", 2);
  }
  TMemoryStream m;
  m.LoadFromFile(path);
  EXPECT_EQ(std::string(static_cast<const char*>(m.Memory()), 6), "0123xy");
  {
    TFileStream ro(path, fmOpenRead);
    EXPECT_THROW(ro.WriteBuffer("z", 1), EWriteError);
  }

  try {
    TFileStream f(dir.File("missing"), fmOpenRead);
    FAIL();
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot open file \"" + dir.File("missing") + "\". ", 0), 0u);
  }
  EXPECT_THROW(TFileStream(dir.Path(), fmOpenRead), EFOpenError);
  // A FIFO with no writer, or a device, is refused at once instead of
  // blocking the open (or being read without end).
  const std::string fifo = dir.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  for (const std::string& special : {fifo, std::string("/dev/zero")}) {
    for (uint16_t mode : {fmOpenRead, fmOpenWrite, fmOpenReadWrite}) {
      try {
        TFileStream f(special, mode | fmShareDenyWrite);
        FAIL() << special;
      } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "Cannot open file \"" + special + "\". not a regular file");
      }
    }
  }
  EXPECT_THROW(TFileStream(fifo, fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.File("no/such/dir"), fmCreate), EFCreateError);
  try {
    TFileStream f(dir.File("no/x"), fmCreate);
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message().rfind("Cannot create file \"", 0), 0u);
  }
}

TEST(Streams, ResourceStream) {
  TResourceStream r(nullptr, "streamdata", "RCDATA");
  EXPECT_EQ(r.Size(), 14);
  std::string s(14, ' ');
  r.ReadBuffer(s.data(), 14);
  EXPECT_EQ(s, "resource bytes");
  EXPECT_THROW(r.WriteBuffer("x", 1), EStreamError);
  try {
    TResourceStream missing(nullptr, "NOPE", "RCDATA");
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource NOPE not found");
  }
}
