#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/GlobalMemory.h"

namespace {

TEST(GlobalMemory, LockCountsGateFreeAndStaleHandlesAreRefused) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 10);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 10u);
  EXPECT_EQ(GlobalUnlock(h), FALSE);  // not locked yet
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0) << "blocks start zeroed";
  std::memcpy(p, "clipboard", 10);
  EXPECT_EQ(GlobalLock(h), p) << "a locked block does not move";
  EXPECT_EQ(GlobalFlags(h) & GMEM_LOCKCOUNT, 2u);
  EXPECT_EQ(GlobalFree(h), h) << "its pointer is still in use";
  EXPECT_EQ(GlobalUnlock(h), TRUE);
  EXPECT_EQ(GlobalUnlock(h), FALSE);
  EXPECT_EQ(GlobalFlags(h), 0u);
  EXPECT_STREQ(static_cast<char*>(GlobalLock(h)), "clipboard");
  GlobalUnlock(h);

  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalUnlock(h), FALSE);
  EXPECT_EQ(GlobalFree(h), h) << "a second free is refused";
  HGLOBAL next = GlobalAlloc(GHND, 10);
  EXPECT_NE(next, h) << "a freed handle is not handed out again at once";
  EXPECT_EQ(GlobalFree(next), nullptr);
}

TEST(GlobalMemory, ZeroSizedBlockHasNothingToLock) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalFlags(h), 0u);
  EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST(GlobalMemory, RefusesSizesPastTheLimitAndForeignHandles) {
  EXPECT_EQ(GlobalAlloc(GHND, SIZE_MAX), nullptr);
  EXPECT_EQ(GlobalAlloc(GHND, GMEM_MAXBLOCK + 1), nullptr);
  HGLOBAL foreign[] = {nullptr, reinterpret_cast<HGLOBAL>(uintptr_t{1}), reinterpret_cast<HGLOBAL>(uintptr_t{0x47000001}),
                       reinterpret_cast<HGLOBAL>(~uintptr_t{0})};
  for (HGLOBAL h : foreign) {
    EXPECT_EQ(GlobalLock(h), nullptr);
    EXPECT_EQ(GlobalUnlock(h), FALSE);
    EXPECT_EQ(GlobalSize(h), 0u);
    EXPECT_EQ(GlobalFree(h), h);
  }
}

}  // namespace
