// The card window's life: creation, the refresh cycle and its timer, the
// pause behind a full-screen program, anchoring, the window messages and
// the tray menu's commands.
#include "card/CardForm.h"

#include <algorithm>

#include "bitmap32/Bitmap32PNG.h"
#include "card/MainGlobals.h"
#include "card/SettingsForm.h"
#include "card/TrayIcon.h"
#include "classlib/FormReader.h"
#include "common/WindowUtils.h"
#include "dict/EntryParser.h"
#include "platform/Windows.h"
#include "unicode/WideUnicode.h"

THanakumoCardForm* HanakumoCardForm = nullptr;

namespace {

// Where the anchor point lies on the card for each "Resize From" choice, in
// halves of its width and height: the centre (1/2, 1/2), the top left (0, 0),
// the top right (1, 0), the bottom left (0, 1), the bottom right (1, 1).
constexpr int kAnchorHalves[5][2] = {{1, 1}, {0, 0}, {2, 0}, {0, 2}, {2, 2}};

// The start of a span of `size` at `pos`, moved the least to lie in
// [lo, hi); a span longer than that keeps its start in.
int KeepInside(int pos, int size, int lo, int hi) { return std::clamp(pos, lo, std::max(lo, hi - size)); }

// Lock is looked at again once a new notification area has its icons back.
constexpr UINT kApplyLock = WM_APP + 1;
// A refresh put off by a drag comes once the card is let go.
constexpr UINT kRefreshAfterMove = WM_APP + 2;

}  // namespace

THanakumoCardForm::THanakumoCardForm(TComponent* owner) : TForm(owner) {
  SetMessageHandler(WM_ERASEBKGND, [this](TMessage& m) { WMEraseBkgnd(m); });
  SetMessageHandler(WM_NCHITTEST, [this](TMessage& m) { WMNCHitTest(m); });
  SetMessageHandler(WM_WINDOWPOSCHANGED, [this](TMessage& m) { WMWindowPosChanged(m); });
  SetMessageHandler(WM_NCRBUTTONDOWN, [this](TMessage& m) { WMNCRButtonDown(m); });
  if (WM_TASKBARCREATED != 0)
    SetMessageHandler(WM_TASKBARCREATED, [this](TMessage& m) {
      Dispatch(m);
      PostMessageA(Handle(), kApplyLock, 0, 0);
    });
  SetMessageHandler(kApplyLock, [this](TMessage&) { ApplyLock(); });
  SetMessageHandler(WM_ENTERSIZEMOVE, [this](TMessage& m) {
    Dispatch(m);
    FMoving = true;
  });
  SetMessageHandler(WM_EXITSIZEMOVE, [this](TMessage& m) {
    Dispatch(m);
    FMoving = false;
    if (FRefreshDue) PostMessageA(Handle(), kRefreshAfterMove, 0, 0);
  });
  SetMessageHandler(kRefreshAfterMove, [this](TMessage&) {
    if (!FRefreshDue || FMoving) return;
    FRefreshDue = false;
    if (tmrRefresh->Enabled()) tmrRefreshTimer(tmrRefresh);
  });
}

THanakumoCardForm::~THanakumoCardForm() = default;

void THanakumoCardForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  // No taskbar button; and a card that appears on its own timer never takes
  // the keyboard from the window the user is typing in.
  params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
}

void THanakumoCardForm::FormCreate(TObject*) {
  if (TrayIcon) TrayIcon->SetIcon(&Application->Icon());
  LoadConfig();
  std::string error;
  if (auto lines = ReadDictionaryFile(DictFileName, error)) {
    DictionaryLines = std::move(lines);
  } else {
    // The program goes on without cards: the tray menu and the settings
    // dialog still work, and the dialog can choose another file.
    DictionaryLines = std::make_unique<TStringList>();
    MessageBoxA(Application->Handle(), error.c_str(), "Error", MB_ICONERROR);
  }
  FHeadword.clear();
  FReading.clear();
  FGlosses.Clear();
  FCard = std::make_unique<TBitmap32>();
  FCard->SetSize(ClientWidth(), ClientHeight());
  for (int n = 1; n <= 9; ++n) {
    auto piece = std::make_unique<TBitmap32>();
    bool alphaUsed = false;
    LoadPngResourceToBitmap32(piece.get(), "CARD" + std::to_string(n), "PNG", alphaUsed);
    FFramePieces[static_cast<size_t>(n - 1)] = std::move(piece);
  }
  Application->ShowMainForm = false;
  FRefreshing = false;
  RefreshCard();
}

void THanakumoCardForm::FormDestroy(TObject*) {
  // A settings file that cannot be written is reported by the application
  // as any event's failure; the end goes on.
  SaveConfig();
  for (auto& piece : FFramePieces) piece.reset();
  FCard.reset();
  FGlosses.Clear();
  DictionaryLines.reset();
}

bool THanakumoCardForm::ReplaceDictionary(const std::string& fileName) {
  std::string error;
  auto lines = ReadDictionaryFile(fileName, error);
  if (!lines) {
    error += "\r\nThe dictionary in use is kept.";
    MessageBoxA(Application->Handle(), error.c_str(), "Error", MB_ICONERROR);
    return false;
  }
  DictionaryLines = std::move(lines);
  DictFileName = fileName;
  return true;
}

// ---- the entry and the refresh

void THanakumoCardForm::PickRandomEntry() {
  const int i = Random(DictionaryLines->Count());
  // A card shows at most a work area of text, far less than this: a longer
  // line (a dictionary of one huge line) is read only so far, so that a
  // refresh costs the same whatever the line's length.
  constexpr size_t kEntryBytesShown = 1u << 20;
  const std::string_view line = DictionaryLines->View(i);
  ParseEntryLine(UTF8ToWide(line.data(), Utf8PrefixLength(line, kEntryBytesShown)), FHeadword, FReading, FGlosses);
}

void THanakumoCardForm::SetEntry(const WideString& headword, const WideString& reading,
                                 const std::vector<WideString>& glosses) {
  FHeadword = headword;
  FReading = reading;
  FGlosses.Clear();
  for (const auto& g : glosses) FGlosses.Add(g);
}

void THanakumoCardForm::RefreshCard() {
  FadeLayeredWindow(Handle(), Alpha, RefreshFadeMs, false);
  // Without a dictionary there is nothing to show: the card stays hidden.
  if (!DictionaryLines || DictionaryLines->Count() == 0) return;
  PickRandomEntry();
  FRefreshing = true;
  try {
    RenderCard();
    UpdateLayeredCard();
    PlaceAtAnchor();
  } catch (...) {
    FRefreshing = false;
    throw;
  }
  FRefreshing = false;
  FHaveCard = true;
  FadeLayeredWindow(Handle(), Alpha, RefreshFadeMs, true);
}

void THanakumoCardForm::tmrRefreshTimer(TObject*) {
  ApplyLock();  // the notification area may have gone
  // A refresh holds the program for its fades: one in the middle of a drag
  // would show the new card where the drag had got to, and only then take
  // the rest of it. The card in the user's hand is changed once let go.
  if (FMoving) {
    FRefreshDue = true;
    return;
  }
  if (AutoStopRefresh && IsFullScreenProgramActive()) return;  // the next tick tries again
  RefreshCard();
}

bool THanakumoCardForm::IsFullScreenProgramActive() {
  HWND w = GetForegroundWindow();
  if (w == nullptr || w == GetDesktopWindow() || w == Handle()) return false;
  RECT r{};
  if (!GetClientRect(w, &r)) return false;
  return r.right - r.left >= Screen->Width() && r.bottom - r.top >= Screen->Height();
}

void THanakumoCardForm::PlaceAtAnchor() {
  if (ResizingFrom >= 5) return;
  // Read before the first move, which may move the anchor.
  const int* halves = kAnchorHalves[ResizingFrom];
  const int x = ResizingPointX, y = ResizingPointY, w = Width(), h = Height();
  // The whole card lies in the work area: a point near its edge moves the
  // card only as far as it must, and the point stays where the user put it.
  const TRect work = Screen->WorkAreaRect();
  const int left = KeepInside(x - w * halves[0] / 2, w, work.left, work.right);
  const int top = KeepInside(y - h * halves[1] / 2, h, work.top, work.bottom);
  SetLeft(left);
  SetTop(top);
  FPlaced = Bounds(left, top, w, h);
  FPlacedFrom = ResizingFrom;
}

// ---- window messages

void THanakumoCardForm::WMEraseBkgnd(TMessage& m) {
  Dispatch(m);
  if (FCard) BitBlt(reinterpret_cast<HDC>(m.WParam), 0, 0, FCard->Width(), FCard->Height(), FCard->DC(), 0, 0, SRCCOPY);
}

void THanakumoCardForm::WMNCHitTest(TMessage& m) {
  Dispatch(m);
  if (m.Result == HTCLIENT) m.Result = HTCAPTION;  // a press anywhere drags the card
}

void THanakumoCardForm::WMWindowPosChanged(TMessage& m) {
  Dispatch(m);
  if (FRefreshing) return;  // the program's own moves keep the anchor
  const auto* wp = reinterpret_cast<const WINDOWPOS*>(m.LParam);
  if (wp == nullptr || ResizingFrom >= 5) return;
  // Still where the last refresh kept it inside the work area (shown or
  // hidden by a fade): the user's point stays, off the card or not.
  if (ResizingFrom == FPlacedFrom && Bounds(wp->x, wp->y, wp->cx, wp->cy) == FPlaced) return;
  const int* halves = kAnchorHalves[ResizingFrom];
  ResizingPointX = wp->x + wp->cx * halves[0] / 2;
  ResizingPointY = wp->y + wp->cy * halves[1] / 2;
}

bool THanakumoCardForm::TrayIconDocked() { return TrayIcon && TrayIcon->InTray(); }

void THanakumoCardForm::WMNCRButtonDown(TMessage& m) {
  Dispatch(m);
  // Without a notification area the card is the only thing to click: its
  // right button opens the tray menu, so the program can still be ended.
  if (TrayIconDocked() || !pmTray) return;
  // As the icon does: a dialog or box of the card that is up comes back.
  if (BringBackDialogOf(Handle())) return;
  POINT p{};
  GetCursorPos(&p);
  pmTray->PopupComponent = this;
  pmTray->Popup(p.x, p.y);
}

// ---- tray menu commands

void THanakumoCardForm::Disable1Click(TObject*) {
  if (Disable1->Checked()) {
    tmrRefresh->SetEnabled(false);
    FadeLayeredWindow(Handle(), Alpha, DisableFadeMs, false);
  } else {
    if (FHaveCard) FadeLayeredWindow(Handle(), Alpha, DisableFadeMs, true);  // the card last shown
    tmrRefresh->SetEnabled(true);
  }
}

void THanakumoCardForm::Lock1Click(TObject*) { ApplyLock(); }

void THanakumoCardForm::ApplyLock() {
  // A locked card lets every click through; without a notification area
  // nothing else could open the menu again, so Lock waits for one.
  const bool locked = Lock1 && Lock1->Checked() && TrayIconDocked();
  const LONG_PTR style = GetWindowLongA(Handle(), GWL_EXSTYLE);
  const LONG_PTR wanted = locked ? (style | WS_EX_TRANSPARENT) : (style & ~LONG_PTR{WS_EX_TRANSPARENT});
  if (wanted != style) SetWindowLongA(Handle(), GWL_EXSTYLE, wanted);
}

void THanakumoCardForm::CheckAnchorItem(uint8_t kind) {
  TMenuItem* items[] = {Center1, TopLeft1, TopRight1, BottomLeft1, BottomRight1};
  if (kind < 5 && items[kind]) items[kind]->SetChecked(true);  // its group's others go off
}

// A radio item without AutoCheck does not move the check itself.
void THanakumoCardForm::Center1Click(TObject*) {
  ResizingFrom = 0;
  CheckAnchorItem(0);
}
void THanakumoCardForm::TopLeft1Click(TObject*) {
  ResizingFrom = 1;
  CheckAnchorItem(1);
}
void THanakumoCardForm::TopRight1Click(TObject*) {
  ResizingFrom = 2;
  CheckAnchorItem(2);
}
void THanakumoCardForm::BottomLeft1Click(TObject*) {
  ResizingFrom = 3;
  CheckAnchorItem(3);
}
void THanakumoCardForm::BottomRight1Click(TObject*) {
  ResizingFrom = 4;
  CheckAnchorItem(4);
}

void THanakumoCardForm::Settings1Click(TObject*) {
  if (!SettingsForm) return;
  // A window manager may minimise the dialog even so, and it has no taskbar
  // button to come back by: choosing Settings again brings it back.
  if (SettingsForm->HandleAllocated() && IsIconic(SettingsForm->Handle()))
    ShowWindow(SettingsForm->Handle(), SW_RESTORE);
  SettingsForm->Show();
}

void THanakumoCardForm::About1Click(TObject*) {
  MessageBoxA(Application->Handle(), "Hanakumo Card 1.0\r\na part of Hanakumo project", "About", MB_OK);
}

void THanakumoCardForm::Exit1Click(TObject*) { Close(); }

// ---- registration with the form reader

namespace {

const bool registered = [] {
  RegisterClass<THanakumoCardForm, TForm>("THanakumoCardForm");
  auto F = [](const char* name, auto field) { RegisterField(name, field); };
  F("tmrRefresh", &THanakumoCardForm::tmrRefresh);
  F("pmTray", &THanakumoCardForm::pmTray);
  F("Disable1", &THanakumoCardForm::Disable1);
  F("Lock1", &THanakumoCardForm::Lock1);
  F("ResizeFrom1", &THanakumoCardForm::ResizeFrom1);
  F("Center1", &THanakumoCardForm::Center1);
  F("TopLeft1", &THanakumoCardForm::TopLeft1);
  F("TopRight1", &THanakumoCardForm::TopRight1);
  F("BottomLeft1", &THanakumoCardForm::BottomLeft1);
  F("BottomRight1", &THanakumoCardForm::BottomRight1);
  F("N1", &THanakumoCardForm::N1);
  F("Settings1", &THanakumoCardForm::Settings1);
  F("N3", &THanakumoCardForm::N3);
  F("About1", &THanakumoCardForm::About1);
  F("N2", &THanakumoCardForm::N2);
  F("Exit1", &THanakumoCardForm::Exit1);
  F("TrayIcon", &THanakumoCardForm::TrayIcon);

  auto H = [](const char* name, auto method) { RegisterHandler(name, method); };
  H("FormCreate", &THanakumoCardForm::FormCreate);
  H("FormDestroy", &THanakumoCardForm::FormDestroy);
  H("tmrRefreshTimer", &THanakumoCardForm::tmrRefreshTimer);
  H("Disable1Click", &THanakumoCardForm::Disable1Click);
  H("Lock1Click", &THanakumoCardForm::Lock1Click);
  H("Center1Click", &THanakumoCardForm::Center1Click);
  H("TopLeft1Click", &THanakumoCardForm::TopLeft1Click);
  H("TopRight1Click", &THanakumoCardForm::TopRight1Click);
  H("BottomLeft1Click", &THanakumoCardForm::BottomLeft1Click);
  H("BottomRight1Click", &THanakumoCardForm::BottomRight1Click);
  H("Settings1Click", &THanakumoCardForm::Settings1Click);
  H("About1Click", &THanakumoCardForm::About1Click);
  H("Exit1Click", &THanakumoCardForm::Exit1Click);
  return true;
}();

}  // namespace
