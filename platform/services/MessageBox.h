// Message boxes. Every box is recorded. On a display, a presenter that the
// class library installs shows it as our own modal window; headless (or with
// no presenter) the test's answerer decides, else the default button does.
// Once the session ends nothing waits for a user: a box is not shown (one
// shown ends), its default button is the answer and its text goes to
// standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/Types.h"

constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_ABORTRETRYIGNORE = 0x2;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_RETRYCANCEL = 0x5;
constexpr UINT MB_TYPEMASK = 0xF;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0xF0;
constexpr UINT MB_DEFBUTTON1 = 0x000;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr UINT MB_DEFMASK = 0xF00;
constexpr UINT MB_APPLMODAL = 0x0000;
constexpr UINT MB_SYSTEMMODAL = 0x1000;
constexpr UINT MB_TASKMODAL = 0x2000;
constexpr UINT MB_TOPMOST = 0x40000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A null caption is "Error", as the platform's is. The result is the id of
// the button chosen; an answer that is not one of the box's buttons counts
// as its default button.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

namespace hk {

struct MessageBoxRecord {
  HWND Owner = nullptr;
  std::string Text;
  std::string Caption;
  UINT Type = 0;
  int Answer = 0;
};

// The ids of a box's buttons, left to right (MB_OK: {IDOK}).
std::vector<int> MessageBoxButtons(UINT type);
int MessageBoxDefaultButton(UINT type);

// Shows the box and returns the chosen id (the class library's windowed box).
using MessageBoxPresenter = std::function<int(const MessageBoxRecord& box)>;
void SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Tests: decides the answer of each box (called where the box would show,
// so it may look at the program's state); nullptr gives the default button.
void SetMessageBoxAnswerer(MessageBoxPresenter answerer);
// Every box shown so far, with its answer.
std::vector<MessageBoxRecord> MessageBoxesShown();
void ClearMessageBoxes();

}  // namespace hk
