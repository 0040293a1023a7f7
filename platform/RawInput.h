// Input as the display (or a test) delivers it, before it becomes messages.
#pragma once

#include <string>

#include "platform/Types.h"

namespace hkwin {

enum class TRawKind { MouseMove, ButtonDown, ButtonUp, Wheel, LeaveScreen, KeyDown, KeyUp, Chars };

struct TRawInput {
  TRawKind Kind = TRawKind::MouseMove;
  int X = 0;  // screen position of the pointer (mouse events)
  int Y = 0;
  int Button = 0;  // 0 left, 1 right, 2 middle
  int Delta = 0;   // wheel
  int Vk = 0;      // key events
  unsigned Scan = 0;
  bool Extended = false;
  std::u16string Text;  // what the key types (for TranslateMessage), or committed text
};

// Queues an event for the input thread and updates the asynchronous state
// (pointer position, keys down) at once.
void PushRawInput(TRawInput e);
// The US layout's text of a key with the asynchronous modifier state.
std::u16string UsLayoutText(int vk);

}  // namespace hkwin
