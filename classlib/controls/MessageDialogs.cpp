#include "classlib/controls/MessageDialogs.h"

#include <algorithm>
#include <atomic>
#include <memory>

#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "classlib/controls/Buttons.h"
#include "classlib/controls/ModalLoop.h"

namespace {

struct TBoxState {
  std::atomic<bool> Done{false};
  int Answer = 0;
  DWORD Thread = 0;
  HWND Window = nullptr;
};
std::atomic<TBoxState*> gBox{nullptr};

const char* ButtonCaption(int id) {
  switch (id) {
    case IDOK: return "OK";
    case IDCANCEL: return "Cancel";
    case IDABORT: return "&Abort";
    case IDRETRY: return "&Retry";
    case IDIGNORE: return "&Ignore";
    case IDYES: return "&Yes";
    case IDNO: return "&No";
    default: return "?";
  }
}

// The icon: a disc in the kind's colour with its sign, 32 pixels.
void PaintIcon(TCanvas& c, UINT icon, int x, int y) {
  TColor fill;
  const char* sign;
  switch (icon) {
    case MB_ICONERROR: fill = static_cast<TColor>(0x2020D0); sign = "X"; break;
    case MB_ICONQUESTION: fill = static_cast<TColor>(0xC06020); sign = "?"; break;
    case MB_ICONWARNING: fill = static_cast<TColor>(0x00C0F0); sign = "!"; break;
    case MB_ICONINFORMATION: fill = static_cast<TColor>(0xC06020); sign = "i"; break;
    default: return;
  }
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(fill);
  for (int row = 0; row < 32; ++row) {  // a disc, one line a row
    int dy = row - 16;
    int half = 0;
    while (half * half + dy * dy < 256) ++half;
    c.FillRect(TRect(x + 16 - half, y + row, x + 16 + half, y + row + 1));
  }
  c.Brush().SetStyle(bsClear);
  c.Font().SetStyle(fsBold);
  c.Font().SetSize(14);
  c.Font().SetColor(clWhite);
  SIZE s = c.TextExtent(sign);
  c.TextOut(x + 16 - s.cx / 2, y + 16 - s.cy / 2, sign);
}

// The box's text: "&" is a character of it (a file's name may hold one),
// and a word too long for a line (a path) is broken at its edge.
class TBoxText : public TLabel {
 public:
  using TLabel::TLabel;

 protected:
  UINT DrawFlags() const override { return TLabel::DrawFlags() | DT_EDITCONTROL; }
};

}  // namespace

namespace hk {

HWND MessageBoxOwner(HWND given) {
  const HWND application = Application.Exists() ? Application->Handle() : nullptr;
  if (given && IsWindow(given) && given != application) {
    HWND root = GetAncestor(given, GA_ROOT);
    return root ? root : given;
  }
  // The box the programs show with the application's window is the
  // program's: it goes with the window the user sees.
  auto shown = [](TCustomForm* f) { return f && f->HandleAllocated() && IsWindowVisible(f->Handle()); };
  if (TCustomForm* active = Screen->ActiveForm(); shown(active)) return active->Handle();
  if (TCustomForm* main = Application.Exists() ? Application->MainForm() : nullptr; shown(main))
    return main->Handle();
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    if (shown(f) && (GetWindowLongPtrA(f->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST)) return f->Handle();
  }
  return nullptr;
}

int ShowMessageBoxWindow(const MessageBoxRecord& box) {
  TBoxState state;
  state.Thread = GetCurrentThreadId();
  state.Answer = MessageBoxDefaultButton(box.Type);
  TBoxState* previous = gBox.exchange(&state);
  std::vector<int> ids = MessageBoxButtons(box.Type);
  bool hasCancel = std::find(ids.begin(), ids.end(), IDCANCEL) != ids.end();
  int escape = hasCancel ? IDCANCEL : ids.size() == 1 ? ids[0] : 0;
  const UINT icon = box.Type & MB_ICONMASK;

  TComponentPtr<TForm> form(new TForm(nullptr));
  form->InitializeForm();
  form->SetCaption(box.Caption);
  form->SetBorderStyle(bsDialog);
  form->SetPosition(poScreenCenter);
  if (box.Type & (MB_TOPMOST | MB_SYSTEMMODAL)) form->SetFormStyle(fsStayOnTop);
  // Transient for its owner, and above the program's stay-on-top windows.
  const HWND owner = MessageBoxOwner(box.Owner);
  if (owner) form->SetPopupParent(owner);
  form->StayAboveProgramsTopmostWindows();
  const int textLeft = icon ? 64 : 16;
  auto* text = new TBoxText(form.get());
  text->SetParent(form.get());
  text->SetShowAccelChar(false);
  text->SetWordWrap(true);
  text->SetAutoSize(false);
  text->SetBounds(textLeft, 20, 340, 60);
  text->SetCaption(box.Text);
  // A long text (a deep path and its reason) makes the box taller rather
  // than being cut; one taller than most screens is cut all the same.
  text->SetAutoSize(true);
  const int textHeight = std::clamp(text->Height(), 60, 600);
  text->SetAutoSize(false);
  text->SetBounds(textLeft, 20, 340, textHeight);
  const int buttonsTop = 20 + textHeight + 12;
  const int buttonsWidth = static_cast<int>(ids.size()) * 81 - 6;
  const int width = std::max(textLeft + 340 + 16, buttonsWidth + 32);
  form->SetClientSize(width, buttonsTop + 38);
  form->OnPaint = [&, icon](TObject*) { PaintIcon(form->Canvas(), icon, 16, 20); };
  TButton* focus = nullptr;
  int x = (width - buttonsWidth) / 2;
  for (int id : ids) {
    auto* b = new TButton(form.get());
    b->SetParent(form.get());
    b->SetBounds(x, buttonsTop, 75, 25);
    b->SetCaption(ButtonCaption(id));
    b->SetDefault(id == state.Answer);
    b->SetCancel(id == escape);
    b->OnClick = [&state, id](TObject*) {
      state.Answer = id;
      state.Done = true;
    };
    if (id == state.Answer) focus = b;
    x += 81;
  }
  form->OnClose = [&](TObject*, TCloseAction& action) {
    action = caHide;
    if (escape) state.Answer = escape;
    state.Done = true;
  };
  bool ownerWasEnabled = box.Owner && IsWindowEnabled(box.Owner);
  if (ownerWasEnabled) EnableWindow(box.Owner, FALSE);
  state.Window = form->Handle();
  form->Show();
  if (focus) focus->SetFocus();
  RunModalLoop(state.Done);
  if (ownerWasEnabled) EnableWindow(box.Owner, TRUE);
  // The keyboard goes back to the owner, as at a dialog's end: the box may
  // have hidden while the owner was still disabled, and then nothing took
  // it (without a window manager, nothing else gives it back).
  // A window that never takes the keyboard (the card) is not given it.
  const HWND active = GetActiveWindow();
  if (owner && IsWindow(owner) && IsWindowVisible(owner) && IsWindowEnabled(owner) &&
      !(GetWindowLongPtrA(owner, GWL_EXSTYLE) & WS_EX_NOACTIVATE) && (active == nullptr || active == form->Handle()))
    SetActiveWindow(owner);
  form.reset();
  gBox = previous;
  return state.Answer;
}

HWND MessageBoxWindowShown() {
  TBoxState* state = gBox;
  return state && state->Thread == GetCurrentThreadId() ? state->Window : nullptr;
}

void CancelMessageBoxWindow() {
  if (TBoxState* state = gBox) {
    state->Done = true;
    PostThreadMessageA(state->Thread, WM_NULL, 0, 0);
  }
}

}  // namespace hk
