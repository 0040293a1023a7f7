#include "platform/services/MessageBox.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "platform/Session.h"
#include "platform/drivers/headless/Headless.h"

namespace hk {
namespace {

struct BoxState {
  std::mutex Lock;
  MessageBoxPresenter Presenter;
  MessageBoxPresenter Answerer;
  std::vector<MessageBoxRecord> Shown;
};

BoxState& State() {
  static BoxState state;
  return state;
}

}  // namespace

std::vector<int> MessageBoxButtons(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
  }
}

int MessageBoxDefaultButton(UINT type) {
  auto buttons = MessageBoxButtons(type);
  size_t index = (type & MB_DEFMASK) >> 8;
  return buttons[index < buttons.size() ? index : 0];
}

void SetMessageBoxPresenter(MessageBoxPresenter presenter) {
  std::lock_guard<std::mutex> guard(State().Lock);
  State().Presenter = std::move(presenter);
}

void SetMessageBoxAnswerer(MessageBoxPresenter answerer) {
  std::lock_guard<std::mutex> guard(State().Lock);
  State().Answerer = std::move(answerer);
}

std::vector<MessageBoxRecord> MessageBoxesShown() {
  std::lock_guard<std::mutex> guard(State().Lock);
  return State().Shown;
}

void ClearMessageBoxes() {
  std::lock_guard<std::mutex> guard(State().Lock);
  State().Shown.clear();
}

}  // namespace hk

int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type) {
  using namespace hk;
  MessageBoxRecord box;
  box.Owner = owner;
  box.Text = text != nullptr ? text : "";
  box.Caption = caption != nullptr ? caption : "Error";
  box.Type = type;
  MessageBoxPresenter show;
  // At the session's end no user is there to answer: the box is not shown.
  if (!SessionEnding()) {
    std::lock_guard<std::mutex> guard(State().Lock);
    show = State().Answerer;
    if (!show && PlatformDriverName() != "headless") show = State().Presenter;
  }
  int answer = show ? show(box) : MessageBoxDefaultButton(type);
  // What the box said (or would have said, had the end not cut it short)
  // is not lost: it goes to standard error.
  if (SessionEnding()) {
    std::string said = box.Text;
    said.erase(std::remove(said.begin(), said.end(), '\r'), said.end());
    std::fprintf(stderr, "%s: %s\n", box.Caption.c_str(), said.c_str());
  }
  auto buttons = MessageBoxButtons(type);
  if (std::find(buttons.begin(), buttons.end(), answer) == buttons.end()) answer = MessageBoxDefaultButton(type);
  box.Answer = answer;
  {
    std::lock_guard<std::mutex> guard(State().Lock);
    State().Shown.push_back(box);
  }
  return answer;
}
