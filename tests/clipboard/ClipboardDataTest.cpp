#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/ClipboardData.h"
#include "platform/GlobalMemory.h"
#include "platform/gdi/Gdi.h"

namespace {

HGLOBAL Block(const char* text) {
  size_t n = std::char_traits<char>::length(text) + 1;
  HGLOBAL h = GlobalAlloc(GHND, n);
  std::char_traits<char>::copy(static_cast<char*>(GlobalLock(h)), text, n);
  GlobalUnlock(h);
  return h;
}

std::string Text(HANDLE h) {
  auto* p = static_cast<const char*>(GlobalLock(static_cast<HGLOBAL>(h)));
  std::string s = p ? p : "";
  GlobalUnlock(static_cast<HGLOBAL>(h));
  return s;
}

class ClipboardData : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
  }
};

TEST(ClipboardFormats, SameNameSameIdInAnyCase) {
  UINT a = RegisterClipboardFormatA("Hanakumo Test A");
  UINT b = RegisterClipboardFormatA("Hanakumo Test B");
  EXPECT_GE(a, CF_REGISTERED_FIRST);
  EXPECT_GE(b, CF_REGISTERED_FIRST);
  EXPECT_NE(a, b);
  EXPECT_EQ(RegisterClipboardFormatA("Hanakumo Test A"), a);
  EXPECT_EQ(RegisterClipboardFormatA("HANAKUMO test a"), a);

  char name[64];
  EXPECT_EQ(GetClipboardFormatNameA(a, name, sizeof name), 15);
  EXPECT_STREQ(name, "Hanakumo Test A") << "the first spelling is kept";
  EXPECT_EQ(GetClipboardFormatNameA(a, name, 5), 4);
  EXPECT_STREQ(name, "Hana");
  EXPECT_EQ(GetClipboardFormatNameA(CF_TEXT, name, sizeof name), 0);
  EXPECT_EQ(GetClipboardFormatNameA(0xFFFF, name, sizeof name), 0);
}

TEST(ClipboardFormats, RefusesMissingEmptyAndOverlongNames) {
  EXPECT_EQ(RegisterClipboardFormatA(nullptr), 0u);
  EXPECT_EQ(RegisterClipboardFormatA(""), 0u);
  EXPECT_EQ(RegisterClipboardFormatA(std::string(256, 'x').c_str()), 0u);
  EXPECT_GE(RegisterClipboardFormatA(std::string(255, 'x').c_str()), CF_REGISTERED_FIRST);
}

TEST_F(ClipboardData, PlacedDataIsReadBackWhileOpenAndOwnedByTheClipboard) {
  UINT fmt = RegisterClipboardFormatA("Hanakumo Words");
  HGLOBAL h = Block("kumo");
  EXPECT_EQ(SetClipboardData(fmt, h), nullptr) << "not open";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_EQ(SetClipboardData(fmt, h), h);
  EXPECT_EQ(GlobalFree(h), h) << "the clipboard's block is not the caller's to free";
  EXPECT_EQ(GetClipboardData(fmt), h);
  EXPECT_EQ(GetClipboardData(CF_TEXT), nullptr);
  EXPECT_TRUE(CloseClipboard());
  EXPECT_FALSE(CloseClipboard());

  EXPECT_TRUE(IsClipboardFormatAvailable(fmt));
  EXPECT_FALSE(IsClipboardFormatAvailable(CF_TEXT));
  EXPECT_EQ(GetClipboardData(fmt), nullptr) << "reading needs the clipboard open";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(Text(GetClipboardData(fmt)), "kumo");
  CloseClipboard();
}

TEST_F(ClipboardData, ReplacingAndEmptyingFreeTheOldData) {
  UINT fmt = RegisterClipboardFormatA("Hanakumo Words");
  UINT other = RegisterClipboardFormatA("Hanakumo Other");
  HGLOBAL first = Block("hana"), second = Block("kumo"), third = Block("ame");
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(fmt, first);
  SetClipboardData(other, third);
  EXPECT_EQ(SetClipboardData(fmt, first), first) << "the same data again stays";
  EXPECT_EQ(GlobalSize(first), 5u);
  EXPECT_EQ(SetClipboardData(other, first), nullptr) << "one block cannot stand for two formats";
  EXPECT_EQ(SetClipboardData(fmt, second), second);
  EXPECT_EQ(GlobalSize(first), 0u) << "the replaced block was freed";
  EXPECT_EQ(CountClipboardFormats(), 2);
  EXPECT_EQ(EnumClipboardFormats(0), fmt);
  EXPECT_EQ(EnumClipboardFormats(fmt), other);
  EXPECT_EQ(EnumClipboardFormats(other), 0u);

  // A reader that still holds the block locked keeps readable memory.
  auto* held = static_cast<const char*>(GlobalLock(second));
  EXPECT_TRUE(EmptyClipboard());
  EXPECT_STREQ(held, "kumo");
  EXPECT_EQ(GlobalSize(second), 0u);
  EXPECT_EQ(GlobalSize(third), 0u);
  EXPECT_EQ(CountClipboardFormats(), 0);
  CloseClipboard();
}

TEST_F(ClipboardData, RefusedDataStaysTheCallers) {
  UINT fmt = RegisterClipboardFormatA("Hanakumo Words");
  HGLOBAL h = Block("ame");
  HGLOBAL stale = Block("old");
  GlobalFree(stale);
  HBITMAP bitmap = CreateBitmap(2, 2, 1, 32, nullptr);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  struct Case {
    UINT Format;
    HANDLE Data;
  } refused[] = {
      {0, h},              // no format
      {0xFFF0, h},         // an id never registered
      {fmt, nullptr},      // no data
      {fmt, stale},        // a freed block
      {fmt, bitmap},       // a bitmap is no memory block
      {CF_BITMAP, h},      // a memory block is no bitmap
      {CF_PALETTE, bitmap},
  };
  for (auto& c : refused) EXPECT_EQ(SetClipboardData(c.Format, c.Data), nullptr) << c.Format;
  EXPECT_EQ(CountClipboardFormats(), 0);
  EXPECT_EQ(GlobalFree(h), nullptr);

  EXPECT_EQ(SetClipboardData(CF_BITMAP, bitmap), bitmap);
  EmptyClipboard();
  EXPECT_EQ(GetObjectType(bitmap), 0u) << "the clipboard deleted its bitmap";
  CloseClipboard();
}

TEST_F(ClipboardData, OneThreadAtATimeHoldsItOpen) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_TRUE(OpenClipboard(nullptr)) << "the opener may open it again";
  BOOL other = TRUE, otherClose = TRUE, otherEmpty = TRUE;
  std::thread([&] {
    other = OpenClipboard(nullptr);
    otherEmpty = EmptyClipboard();
    otherClose = CloseClipboard();
  }).join();
  EXPECT_FALSE(other);
  EXPECT_FALSE(otherEmpty);
  EXPECT_FALSE(otherClose);
  EXPECT_TRUE(CloseClipboard());
  std::thread([&] {
    other = OpenClipboard(nullptr);
    CloseClipboard();
  }).join();
  EXPECT_TRUE(other);
  EXPECT_FALSE(OpenClipboard(reinterpret_cast<HWND>(uintptr_t{0x57FFFFFF}))) << "a dead window";
}

}  // namespace
