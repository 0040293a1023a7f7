// Key symbols of the X server as the platform's virtual keys.
#include "platform/drivers/x11/X11Keys.h"

#include <X11/keysym.h>

#include "platform/Input.h"

int KeysymToVirtualKey(KeySym k) {
  if (k >= XK_a && k <= XK_z) return static_cast<int>('A' + (k - XK_a));
  if (k >= XK_A && k <= XK_Z) return static_cast<int>('A' + (k - XK_A));
  if (k >= XK_0 && k <= XK_9) return static_cast<int>('0' + (k - XK_0));
  if (k >= XK_KP_0 && k <= XK_KP_9) return static_cast<int>(VK_NUMPAD0 + (k - XK_KP_0));
  if (k >= XK_F1 && k <= XK_F24) return static_cast<int>(VK_F1 + (k - XK_F1));
  switch (k) {
    case XK_Return:
    case XK_KP_Enter: return VK_RETURN;
    case XK_BackSpace: return VK_BACK;
    case XK_Tab:
    case XK_ISO_Left_Tab: return VK_TAB;
    case XK_Escape: return VK_ESCAPE;
    case XK_space: return VK_SPACE;
    case XK_Delete:
    case XK_KP_Delete: return VK_DELETE;
    case XK_Insert:
    case XK_KP_Insert: return VK_INSERT;
    case XK_Home:
    case XK_KP_Home: return VK_HOME;
    case XK_End:
    case XK_KP_End: return VK_END;
    case XK_Prior:
    case XK_KP_Prior: return VK_PRIOR;
    case XK_Next:
    case XK_KP_Next: return VK_NEXT;
    case XK_Left:
    case XK_KP_Left: return VK_LEFT;
    case XK_Up:
    case XK_KP_Up: return VK_UP;
    case XK_Right:
    case XK_KP_Right: return VK_RIGHT;
    case XK_Down:
    case XK_KP_Down: return VK_DOWN;
    case XK_Shift_L: return VK_LSHIFT;
    case XK_Shift_R: return VK_RSHIFT;
    case XK_Control_L: return VK_LCONTROL;
    case XK_Control_R: return VK_RCONTROL;
    case XK_Alt_L:
    case XK_Meta_L: return VK_LMENU;
    case XK_Alt_R:
    case XK_Meta_R:
    case XK_ISO_Level3_Shift: return VK_RMENU;
    case XK_Caps_Lock: return VK_CAPITAL;
    case XK_Num_Lock: return VK_NUMLOCK;
    case XK_Scroll_Lock: return VK_SCROLL;
    case XK_Pause: return VK_PAUSE;
    case XK_Print: return VK_SNAPSHOT;
    case XK_Menu: return VK_APPS;
    case XK_Super_L: return VK_LWIN;
    case XK_Super_R: return VK_RWIN;
    case XK_KP_Multiply: return VK_MULTIPLY;
    case XK_KP_Add: return VK_ADD;
    case XK_KP_Subtract: return VK_SUBTRACT;
    case XK_KP_Decimal: return VK_DECIMAL;
    case XK_KP_Divide: return VK_DIVIDE;
    case XK_semicolon: return VK_OEM_1;
    case XK_equal: return VK_OEM_PLUS;
    case XK_comma: return VK_OEM_COMMA;
    case XK_minus: return VK_OEM_MINUS;
    case XK_period: return VK_OEM_PERIOD;
    case XK_slash: return VK_OEM_2;
    case XK_grave: return VK_OEM_3;
    case XK_bracketleft: return VK_OEM_4;
    case XK_backslash: return VK_OEM_5;
    case XK_bracketright: return VK_OEM_6;
    case XK_apostrophe: return VK_OEM_7;
    case XK_Kanji: return VK_KANJI;
    case XK_Henkan: return VK_CONVERT;
    case XK_Muhenkan: return VK_NONCONVERT;
    case XK_Hiragana_Katakana: return VK_KANA;
    default: return 0;
  }
}
