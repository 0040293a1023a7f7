#include "platform/services/NotifyIcon.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"

namespace {

HWND Window(uintptr_t id) { return reinterpret_cast<HWND>(id); }
// A stock icon's pixels in an icon of the caller's own.
HICON OwnIcon(const char* stock = IDI_APPLICATION) { return CopyIcon(LoadIconA(nullptr, stock)); }
std::vector<uint32_t> PixelsOf(HICON icon) {
  int w = 0, h = 0;
  std::vector<uint32_t> pixels;
  if (!GetIconPixels(icon, &w, &h, &pixels)) pixels.clear();
  return pixels;
}

NOTIFYICONDATAA Data(HWND window, UINT_PTR id, UINT flags, const char* tip = "") {
  NOTIFYICONDATAA data{};
  data.cbSize = sizeof(data);
  data.hWnd = window;
  data.uID = id;
  data.uFlags = flags;
  data.uCallbackMessage = 0x800;
  data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  std::strncpy(data.szTip, tip, sizeof(data.szTip) - 1);
  return data;
}

struct Recorder : hk::TrayObserver {
  std::vector<std::pair<hk::TrayChange, std::string>> Seen;
  void TrayIconChanged(const hk::TrayIconRecord& icon, hk::TrayChange change) override {
    Seen.emplace_back(change, icon.Tip);
  }
};

class NotifyIconTest : public ::testing::Test {
 protected:
  void SetUp() override { hk::ClearTrayIcons(); }
  void TearDown() override {
    hk::SetTrayObserver(nullptr);
    hk::ClearTrayIcons();
  }
};

}  // namespace

TEST_F(NotifyIconTest, AddModifySetVersionDeleteAreRecordedAndObserved) {
  Recorder recorder;
  hk::SetTrayObserver(&recorder);
  auto data = Data(Window(1), 7, NIF_MESSAGE | NIF_ICON | NIF_TIP, "Card");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));  // already there

  hk::TrayIconRecord icon;
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 7, &icon));
  EXPECT_EQ(icon.CallbackMessage, 0x800u);
  EXPECT_EQ(PixelsOf(icon.Icon), PixelsOf(data.hIcon));
  EXPECT_FALSE(PixelsOf(icon.Icon).empty());
  EXPECT_EQ(icon.Tip, "Card");
  const HICON kept = icon.Icon;

  // Only the flagged fields change.
  auto tipOnly = Data(Window(1), 7, NIF_TIP, "New tip");
  tipOnly.hIcon = LoadIconA(nullptr, IDI_WINLOGO);
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &tipOnly));
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 7, &icon));
  EXPECT_EQ(icon.Tip, "New tip");
  EXPECT_EQ(icon.Icon, kept);

  data.uVersion = NOTIFYICON_VERSION;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_SETVERSION, &data));
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 7, &icon));
  EXPECT_EQ(icon.Version, 3u);

  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_FALSE(hk::FindTrayIcon(Window(1), 7, nullptr));
  for (DWORD op : {NIM_MODIFY, NIM_DELETE, NIM_SETVERSION}) EXPECT_FALSE(Shell_NotifyIconA(op, &data)) << op;

  using C = hk::TrayChange;
  EXPECT_EQ(recorder.Seen, (std::vector<std::pair<C, std::string>>{
                               {C::Added, "Card"}, {C::Modified, "New tip"}, {C::Modified, "New tip"},
                               {C::Deleted, "New tip"}}));
}

TEST_F(NotifyIconTest, IconsAreKeyedByWindowAndIdInOrderOfAddition) {
  auto a = Data(Window(1), 1, NIF_TIP, "a");
  auto b = Data(Window(2), 1, NIF_TIP, "b");
  auto c = Data(Window(1), 2, NIF_TIP, "c");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &a));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &b));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &c));
  auto icons = hk::TrayIcons();
  ASSERT_EQ(icons.size(), 3u);
  EXPECT_EQ(icons[0].Tip + icons[1].Tip + icons[2].Tip, "abc");
}

TEST_F(NotifyIconTest, TipsAreCutToTheirFieldAndBadRecordsRefused) {
  auto data = Data(Window(1), 1, NIF_TIP);
  std::memset(data.szTip, 'x', sizeof(data.szTip));  // 128 bytes, no terminating zero
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  hk::TrayIconRecord icon;
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 1, &icon));
  EXPECT_EQ(icon.Tip, std::string(127, 'x'));

  // The oldest layout holds a 64-byte tip; anything shorter is no record.
  auto old = Data(Window(1), 2, NIF_TIP);
  std::memset(old.szTip, 'y', sizeof(old.szTip));
  old.cbSize = offsetof(NOTIFYICONDATAA, szTip) + 64;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &old));
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 2, &icon));
  EXPECT_EQ(icon.Tip, std::string(63, 'y'));
  old.uID = 3;
  old.cbSize -= 1;
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &old));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, nullptr));
  auto noWindow = Data(nullptr, 4, NIF_TIP);
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &noWindow));
  EXPECT_FALSE(Shell_NotifyIconA(99, &data));
}

namespace {
std::vector<MSG> gReceived;
LRESULT RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg >= WM_USER) gReceived.push_back(MSG{hwnd, msg, wParam, lParam, 0, {0, 0}, 0});
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}
}  // namespace

TEST_F(NotifyIconTest, MouseOnTheIconPostsItsCallbackMessage) {
  ResetPlatformForTests();
  HWND window = CreateHelperWindow(&RecordingProc);
  ASSERT_NE(window, nullptr);
  auto data = Data(window, 42, NIF_MESSAGE | NIF_TIP, "Card");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  gReceived.clear();
  EXPECT_TRUE(hk::NotifyTrayIconEvent(window, 42, WM_RBUTTONDOWN));
  EXPECT_FALSE(hk::NotifyTrayIconEvent(window, 43, WM_RBUTTONDOWN));  // no such icon
  HeadlessPumpMessages();
  ASSERT_EQ(gReceived.size(), 1u);
  EXPECT_EQ(gReceived[0].message, 0x800u);
  EXPECT_EQ(gReceived[0].wParam, 42u);
  EXPECT_EQ(gReceived[0].lParam, static_cast<LPARAM>(WM_RBUTTONDOWN));

  auto silent = Data(window, 7, NIF_TIP, "no callback");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &silent));
  EXPECT_FALSE(hk::NotifyTrayIconEvent(window, 7, WM_LBUTTONDOWN));
  DestroyWindow(window);
  ResetPlatformForTests();
}

TEST_F(NotifyIconTest, IdsArePointerSizedAndUnknownOnesReachNobody) {
  ResetPlatformForTests();
  HWND window = CreateHelperWindow(&RecordingProc);
  // A component's address as its id, and one equal to it in the low 32 bits.
  const UINT_PTR mine = reinterpret_cast<UINT_PTR>(&gReceived) | (UINT_PTR{1} << 40);
  const UINT_PTR low = mine & 0xFFFFFFFFu;
  auto a = Data(window, mine, NIF_MESSAGE | NIF_TIP, "mine");
  auto b = Data(window, low, NIF_MESSAGE | NIF_TIP, "low");
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &a));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &b));
  hk::TrayIconRecord icon;
  ASSERT_TRUE(hk::FindTrayIcon(window, mine, &icon));
  EXPECT_EQ(icon.Tip, "mine");
  gReceived.clear();
  EXPECT_TRUE(hk::NotifyTrayIconEvent(window, mine, WM_LBUTTONUP));
  EXPECT_FALSE(hk::NotifyTrayIconEvent(window, mine + 8, WM_LBUTTONUP));
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &b));
  EXPECT_FALSE(hk::NotifyTrayIconEvent(window, low, WM_LBUTTONUP));  // deleted: nothing
  HeadlessPumpMessages();
  ASSERT_EQ(gReceived.size(), 1u);
  EXPECT_EQ(gReceived[0].wParam, mine);
  DestroyWindow(window);
  ResetPlatformForTests();
}

TEST_F(NotifyIconTest, WithoutANotificationAreaAddFailsUntilOneAppearsAndSaysSo) {
  ResetPlatformForTests();
  HWND window = CreateHelperWindow(&RecordingProc);
  const UINT created = RegisterWindowMessageA("TaskbarCreated");
  Recorder recorder;
  hk::SetTrayObserver(&recorder);
  auto data = Data(window, 1, NIF_MESSAGE | NIF_TIP, "Card");
  ASSERT_TRUE(NotificationAreaPresent());
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));

  // The taskbar goes: its icons go with it, and nothing can be added.
  HeadlessSetNotificationArea(false);
  EXPECT_FALSE(NotificationAreaPresent());
  EXPECT_TRUE(hk::TrayIcons().empty());
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data));
  EXPECT_TRUE(hk::TrayIcons().empty());  // the failed add kept nothing
  gReceived.clear();
  HeadlessPumpMessages();
  EXPECT_TRUE(gReceived.empty());

  // It comes back: every window hears "TaskbarCreated", and a re-add works.
  HeadlessSetNotificationArea(true);
  EXPECT_TRUE(NotificationAreaPresent());
  HeadlessPumpMessages();
  ASSERT_EQ(gReceived.size(), 1u);
  EXPECT_EQ(gReceived[0].message, created);
  EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  using C = hk::TrayChange;
  EXPECT_EQ(recorder.Seen, (std::vector<std::pair<C, std::string>>{{C::Added, "Card"}, {C::Deleted, "Card"},
                                                                    {C::Added, "Card"}}));
  DestroyWindow(window);
  ResetPlatformForTests();
  EXPECT_TRUE(NotificationAreaPresent());
}

TEST_F(NotifyIconTest, TheAreaKeepsItsOwnCopyOfTheIcon) {
  // Freed by the caller right after NIM_ADD, then after NIM_MODIFY: the
  // area still shows the picture it was given.
  auto data = Data(Window(1), 1, NIF_ICON | NIF_TIP, "a");
  HICON first = OwnIcon(IDI_APPLICATION);
  data.hIcon = first;
  const std::vector<uint32_t> firstPixels = PixelsOf(first);
  ASSERT_FALSE(firstPixels.empty());
  ASSERT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  ASSERT_TRUE(DestroyIcon(first));
  hk::TrayIconRecord icon;
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 1, &icon));
  EXPECT_NE(icon.Icon, first);
  EXPECT_EQ(PixelsOf(icon.Icon), firstPixels);

  HICON second = OwnIcon(IDI_WINLOGO);
  const std::vector<uint32_t> secondPixels = PixelsOf(second);
  data.hIcon = second;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  ASSERT_TRUE(DestroyIcon(second));
  const HICON replaced = icon.Icon;
  ASSERT_TRUE(hk::FindTrayIcon(Window(1), 1, &icon));
  EXPECT_EQ(PixelsOf(icon.Icon), secondPixels);
  // The copy it replaced is the area's to free, and so is the last at NIM_DELETE.
  EXPECT_TRUE(PixelsOf(replaced).empty());
  const HICON last = icon.Icon;
  ASSERT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_TRUE(PixelsOf(last).empty());
}
