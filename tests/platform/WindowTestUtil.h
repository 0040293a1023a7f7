// Shared pieces of the windowing tests: a window class that records what it
// receives, and a fixture that starts every test on a clean platform with
// the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"

struct TLoggedMessage {
  HWND Hwnd;
  UINT Msg;
  WPARAM WParam;
  LPARAM LParam;
};

inline std::vector<TLoggedMessage>& MessageLog() {
  static std::vector<TLoggedMessage> log;
  return log;
}

// Handlers a test may set per message; the default handling runs otherwise.
inline std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)>& MessageHook() {
  static std::function<bool(HWND, UINT, WPARAM, LPARAM, LRESULT*)> hook;
  return hook;
}

inline LRESULT RecordingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  MessageLog().push_back({h, m, w, l});
  LRESULT r = 0;
  if (MessageHook() && MessageHook()(h, m, w, l, &r)) return r;
  return DefWindowProcA(h, m, w, l);
}

constexpr const char* kRecordingClass = "HkTestRecording";
constexpr const char* kRecordingDblClass = "HkTestRecordingDbl";

inline void RegisterRecordingClasses() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = RecordingProc;
  wc.lpszClassName = kRecordingClass;
  wc.hbrBackground = SysColorBrushValue(COLOR_WINDOW);
  RegisterClassA(&wc);
  wc.lpszClassName = kRecordingDblClass;
  wc.style = CS_DBLCLKS;
  RegisterClassA(&wc);
}

// Messages of one kind the log holds for a window (any window when hwnd is 0).
inline std::vector<TLoggedMessage> Logged(UINT msg, HWND hwnd = nullptr) {
  std::vector<TLoggedMessage> out;
  for (auto& m : MessageLog())
    if (m.Msg == msg && (hwnd == nullptr || m.Hwnd == hwnd)) out.push_back(m);
  return out;
}

inline size_t IndexOf(UINT msg, HWND hwnd = nullptr, size_t from = 0) {
  for (size_t i = from; i < MessageLog().size(); ++i)
    if (MessageLog()[i].Msg == msg && (hwnd == nullptr || MessageLog()[i].Hwnd == hwnd)) return i;
  return SIZE_MAX;
}

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseVirtualClock(true);
    ResetPlatformForTests();
    RegisterRecordingClasses();
    MessageLog().clear();
    MessageHook() = nullptr;
  }
  void TearDown() override {
    MessageHook() = nullptr;
    ResetPlatformForTests();
    MessageLog().clear();
  }

  HWND MakeTop(int x, int y, int w, int h, DWORD style = WS_POPUP, DWORD ex = 0, const char* cls = kRecordingClass) {
    return CreateWindowExA(ex, cls, "top", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
  }
  HWND MakeChild(HWND parent, int x, int y, int w, int h, DWORD style = WS_CHILD | WS_VISIBLE, DWORD ex = 0,
                 const char* cls = kRecordingClass) {
    return CreateWindowExA(ex, cls, "child", style, x, y, w, h, parent, nullptr, nullptr, nullptr);
  }
};
