#include "card/TrayIcon.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <vector>

#include "ComponentsFixture.h"
#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "classlib/ImgList.h"
#include "classlib/Streams.h"
#include "classlib/controls/Menus.h"
#include "platform/Icons.h"
#include "platform/Input.h"
#include "platform/Messages.h"
#include "platform/services/NotifyIcon.h"

namespace {

// A menu that records where it was asked to open instead of tracking.
class TRecordingMenu : public TPopupMenu {
 public:
  using TPopupMenu::TPopupMenu;
  void Popup(int x, int y) override {
    Opened.push_back({x, y});
    Foreground = GetForegroundWindow();
    Component = PopupComponent;
  }
  std::vector<POINT> Opened;
  HWND Foreground = nullptr;
  TComponent* Component = nullptr;
};

TMenuItem* AddItem(TPopupMenu* menu, const std::string& caption, int* clicks) {
  auto* item = NewComponent<TMenuItem>(menu);
  item->SetCaption(caption);
  item->OnClick = [clicks](TObject*) { ++*clicks; };
  menu->Items()->Add(item);
  return item;
}

void AddSolid(TImageList* list, uint32_t bgra) {
  TBitmap b;
  b.SetPixelFormat(pf32bit);
  b.SetSize(16, 16);
  for (int y = 0; y < 16; ++y) {
    auto* row = static_cast<uint32_t*>(b.ScanLine(y));
    for (int x = 0; x < 16; ++x) row[x] = bgra;
  }
  list->Add(b);
}

uint32_t IconColour(TIcon& icon) { return static_cast<const uint32_t*>(icon.Image().ScanLine(0))[0]; }

// A form whose tray icon asks, at start, to keep the main form hidden.
class TStartupForm : public TForm {
 public:
  using TForm::TForm;
  void TrayStartup(TObject* sender, bool& showMainForm) {
    Sender = sender;
    showMainForm = false;
  }
  TObject* Sender = nullptr;
};

const bool kStartupFormRegistered = [] {
  RegisterClass<TStartupForm, TForm>("TStartupForm");
  RegisterHandler("TrayStartup", &TStartupForm::TrayStartup);
  return true;
}();

class TrayIconTest : public CardComponentsTest {
 protected:
  void SetUp() override {
    CardComponentsTest::SetUp();
    hk::ClearTrayIcons();
    Form = new TForm(Application);
    Form->SetBounds(100, 100, 200, 150);
  }
  void TearDown() override {
    DoneApplication();
    EXPECT_EQ(TrayIconHandler, nullptr);
    hk::ClearTrayIcons();
    CardComponentsTest::TearDown();
  }

  TTrayIcon* MakeTray(bool visible = true) {
    auto* tray = NewComponent<TTrayIcon>(Form);
    tray->SetIconVisible(visible);
    return tray;
  }
  // What the notification area does when the user handles the icon.
  void Send(TTrayIcon* tray, UINT event) {
    ASSERT_TRUE(hk::NotifyTrayIconEvent(TrayIconHandler->Handle(), tray->NotifyId(), event));
    HeadlessPumpMessages();
  }
  bool Shown(TTrayIcon* tray, hk::TrayIconRecord* record = nullptr) {
    hk::TrayIconRecord r;
    bool found = hk::FindTrayIcon(TrayIconHandler->Handle(), tray->NotifyId(), &r);
    if (record) *record = r;
    return found;
  }

  // The top-left pixel of the icon the notification area shows (0: none).
  uint32_t TrayPixel(TTrayIcon* tray) {
    hk::TrayIconRecord r;
    int w = 0, h = 0;
    std::vector<uint32_t> pixels;
    if (!Shown(tray, &r) || !GetIconPixels(r.Icon, &w, &h, &pixels) || pixels.empty()) return 0;
    return pixels[0];
  }

  TForm* Form = nullptr;
};

}  // namespace

TEST_F(TrayIconTest, RightPressOpensTheMenuAtTheCursorAndTheReleaseDoesNothingMore) {
  TTrayIcon* tray = MakeTray();
  auto* menu = NewComponent<TRecordingMenu>(Form);
  tray->SetPopupMenu(menu);
  std::vector<std::string> seen;
  tray->OnMouseDown = [&](TObject* s, TMouseButton b, TShiftState shift, int x, int y) {
    EXPECT_EQ(s, tray);
    EXPECT_EQ(b, mbRight);
    EXPECT_TRUE(shift & ssRight);
    seen.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  };
  tray->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) {
    seen.push_back(b == mbRight ? "up right" : "up");
  };
  HeadlessSetForeignForeground(RECT{0, 0, 300, 200});
  HWND foreign = GetForegroundWindow();
  ASSERT_NE(foreign, nullptr);
  SetCursorPos(1200, 1000);
  Send(tray, WM_RBUTTONDOWN);
  ASSERT_EQ(menu->Opened.size(), 1u);
  EXPECT_EQ(menu->Opened[0].x, 1200);
  EXPECT_EQ(menu->Opened[0].y, 1000);
  EXPECT_EQ(menu->Component, tray);
  EXPECT_NE(menu->Foreground, foreign);  // our program came in front of it
  EXPECT_EQ(seen, (std::vector<std::string>{"down 1200,1000"}));
  Send(tray, WM_RBUTTONUP);
  EXPECT_EQ(menu->Opened.size(), 1u);
  EXPECT_EQ(seen.back(), "up right");

  // No menu without AutoPopup, nor when the icon is disabled.
  menu->AutoPopup = false;
  Send(tray, WM_RBUTTONDOWN);
  menu->AutoPopup = true;
  tray->Enabled = false;
  Send(tray, WM_RBUTTONDOWN);
  EXPECT_EQ(menu->Opened.size(), 1u);
}

TEST_F(TrayIconTest, WhileADialogOfTheOwnerIsUpAPressBringsItBackInsteadOfTheMenu) {
  TTrayIcon* tray = MakeTray();
  auto* menu = NewComponent<TRecordingMenu>(Form);
  tray->SetPopupMenu(menu);
  // The owner is not shown (as a disabled card): the dialog stays the window
  // of it active last.
  auto* dialog = new TForm(Application);
  dialog->SetPopupParent(Form->Handle());
  dialog->SetBounds(150, 150, 100, 80);
  dialog->Show();
  for (UINT press : {WM_RBUTTONDOWN, WM_LBUTTONDOWN}) {
    ShowWindow(dialog->Handle(), SW_MINIMIZE);  // as a window manager lets the user
    Send(tray, press);
    EXPECT_TRUE(menu->Opened.empty());
    EXPECT_FALSE(IsIconic(dialog->Handle()));
    EXPECT_EQ(GetActiveWindow(), dialog->Handle());
  }
  dialog->Hide();
  Send(tray, WM_RBUTTONDOWN);
  EXPECT_EQ(menu->Opened.size(), 1u) << "the menu, once the dialog is closed";
}

TEST_F(TrayIconTest, AFailedCommandInTheMenuLeavesTheNextPressOpeningIt) {
  // The command chosen fails: its exception leaves the menu, and the next
  // press opens the menu again.
  class TFailingMenu : public TRecordingMenu {
   public:
    using TRecordingMenu::TRecordingMenu;
    void Popup(int x, int y) override {
      TRecordingMenu::Popup(x, y);
      if (Opened.size() == 1) throw EMenuError("the command failed");
    }
  };
  TTrayIcon* tray = MakeTray();
  auto* menu = NewComponent<TFailingMenu>(Form);
  tray->SetPopupMenu(menu);
  SetCursorPos(1200, 1000);
  ASSERT_TRUE(hk::NotifyTrayIconEvent(TrayIconHandler->Handle(), tray->NotifyId(), WM_RBUTTONDOWN));
  EXPECT_THROW(HeadlessPumpMessages(), EMenuError);
  HeadlessPumpMessages();
  Send(tray, WM_RBUTTONDOWN);
  EXPECT_EQ(menu->Opened.size(), 2u);
}

TEST_F(TrayIconTest, ClickComesAtReleaseWithoutDoubleClickHandler) {
  TTrayIcon* tray = MakeTray();
  int clicks = 0, doubles = 0;
  tray->OnClick = [&](TObject*) { ++clicks; };
  Send(tray, WM_LBUTTONDOWN);
  EXPECT_EQ(clicks, 0);
  Send(tray, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);
  // A release without a press is no click.
  Send(tray, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);

  // With a double-click handler: a double click is only that, and a single
  // click waits the double-click time.
  tray->OnDblClick = [&](TObject*) { ++doubles; };
  for (UINT e : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Send(tray, e);
  HeadlessAdvance(GetDoubleClickTime() * 2);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(doubles, 1);
  Send(tray, WM_LBUTTONDOWN);
  Send(tray, WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);
  HeadlessAdvance(GetDoubleClickTime() - 1);
  EXPECT_EQ(clicks, 1);
  HeadlessAdvance(1);
  EXPECT_EQ(clicks, 2);
}

TEST_F(TrayIconTest, DoubleClickClicksTheMenusDefaultItem) {
  TTrayIcon* tray = MakeTray();
  auto* menu = NewComponent<TRecordingMenu>(Form);
  int first = 0, second = 0, third = 0;
  AddItem(menu, "First", &first);
  AddItem(menu, "Second", &second)->SetDefault(true);
  AddItem(menu, "Third", &third)->SetDefault(true);
  tray->SetPopupMenu(menu);
  Send(tray, WM_LBUTTONDBLCLK);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
  EXPECT_EQ(third, 0);
  EXPECT_TRUE(menu->Opened.empty());
  // Not while the left button opens the menu, nor without AutoPopup.
  tray->LeftPopup = true;
  Send(tray, WM_LBUTTONDBLCLK);
  tray->LeftPopup = false;
  menu->AutoPopup = false;
  Send(tray, WM_LBUTTONDBLCLK);
  EXPECT_EQ(second, 1);
  // A freed menu is forgotten.
  menu->AutoPopup = true;
  FreeComponent(menu);
  EXPECT_EQ(tray->PopupMenu(), nullptr);
  Send(tray, WM_LBUTTONDBLCLK);
}

TEST_F(TrayIconTest, LeftPopupOpensTheMenuOnTheLeftPress) {
  TTrayIcon* tray = MakeTray();
  auto* menu = NewComponent<TRecordingMenu>(Form);
  tray->SetPopupMenu(menu);
  Send(tray, WM_LBUTTONDOWN);
  EXPECT_TRUE(menu->Opened.empty());
  tray->LeftPopup = true;
  Send(tray, WM_LBUTTONDOWN);
  EXPECT_EQ(menu->Opened.size(), 1u);
}

TEST_F(TrayIconTest, CyclesThroughTheImageListInOrder) {
  TTrayIcon* tray = MakeTray();
  auto* list = NewComponent<TImageList>(Form);
  const uint32_t colours[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
  for (uint32_t c : colours) AddSolid(list, c);
  tray->SetIconList(list);
  EXPECT_EQ(IconColour(tray->Icon()), colours[0]);
  std::vector<int> next;
  std::vector<uint32_t> shown;
  tray->OnCycle = [&](TObject*, int n) { next.push_back(n); };
  tray->SetCycleInterval(300);
  tray->SetCycleIcons(true);
  std::vector<uint32_t> docked;  // what the notification area holds
  for (int i = 0; i < 5; ++i) {
    HeadlessAdvance(300);
    shown.push_back(IconColour(tray->Icon()));
    docked.push_back(TrayPixel(tray));
  }
  EXPECT_EQ(next, (std::vector<int>{1, 2, 0, 1, 2}));
  const std::vector<uint32_t> order{colours[1], colours[2], colours[0], colours[1], colours[2]};
  EXPECT_EQ(shown, order);
  EXPECT_EQ(docked, order);
  EXPECT_EQ(tray->IconIndex(), 2);

  // A new interval starts again from the first icon.
  tray->SetCycleInterval(100);
  EXPECT_EQ(tray->IconIndex(), 0);
  HeadlessAdvance(100);
  EXPECT_EQ(next.back(), 1);
  tray->SetCycleIcons(false);
  HeadlessAdvance(1000);
  EXPECT_EQ(next.size(), 6u);

  // Indexes past the end take the last icon; without a list the index is 0.
  tray->SetIconIndex(7);
  EXPECT_EQ(tray->IconIndex(), 2);
  EXPECT_EQ(IconColour(tray->Icon()), colours[2]);
  tray->SetIconIndex(-3);
  EXPECT_EQ(tray->IconIndex(), 0);
  EXPECT_EQ(IconColour(tray->Icon()), colours[0]);
  FreeComponent(list);
  EXPECT_EQ(tray->IconList(), nullptr);
  EXPECT_EQ(tray->IconIndex(), 0);
}

TEST_F(TrayIconTest, TaskbarRestartPutsBackOnlyVisibleIcons) {
  TTrayIcon* shown = MakeTray(true);
  TTrayIcon* hidden = MakeTray(true);
  hidden->SetIconVisible(false);
  EXPECT_TRUE(Shown(shown));
  EXPECT_FALSE(Shown(hidden));
  ASSERT_NE(WM_TASKBARCREATED, 0u);
  // The notification area goes, with its icons, and comes back.
  HeadlessSetNotificationArea(false);
  EXPECT_FALSE(Shown(shown));
  HeadlessSetNotificationArea(true);
  HeadlessPumpMessages();
  EXPECT_TRUE(Shown(shown));
  EXPECT_FALSE(Shown(hidden));
  EXPECT_TRUE(shown->IconVisible());
  EXPECT_FALSE(hidden->IconVisible());
}

TEST_F(TrayIconTest, IconAddedWithoutANotificationAreaDocksWhenOneAppears) {
  HeadlessSetNotificationArea(false);
  TTrayIcon* tray = MakeTray(false);
  EXPECT_FALSE(tray->AddTrayIcon());
  EXPECT_TRUE(tray->IconVisible());  // still meant to be shown
  EXPECT_FALSE(Shown(tray));
  tray->SetHint("Later");
  HeadlessSetNotificationArea(true);
  HeadlessPumpMessages();
  hk::TrayIconRecord r;
  ASSERT_TRUE(Shown(tray, &r));
  EXPECT_EQ(r.Tip, "Later");
}

TEST_F(TrayIconTest, TipIsTheHintCutTo127Bytes) {
  TTrayIcon* tray = MakeTray();
  hk::TrayIconRecord r;
  std::string hint(200, 'h');
  for (size_t i = 0; i < hint.size(); ++i) hint[i] = static_cast<char>('a' + i % 26);
  tray->SetHint(hint);
  ASSERT_TRUE(Shown(tray, &r));
  EXPECT_EQ(r.Tip, hint.substr(0, 127));
  tray->SetShowHint(false);
  Shown(tray, &r);
  EXPECT_EQ(r.Tip, "");
  tray->SetShowHint(true);
  // A character is never cut in two: 126 bytes and then a 3-byte one.
  tray->SetHint(std::string(126, 'x') + "\xE8\x8A\xB1" + "y");
  Shown(tray, &r);
  EXPECT_EQ(r.Tip, std::string(126, 'x'));
  tray->SetHint("");
  Shown(tray, &r);
  EXPECT_EQ(r.Tip, "");
}

TEST_F(TrayIconTest, RecordAndLifeOfTheIcon) {
  TTrayIcon* tray = MakeTray(false);
  EXPECT_FALSE(Shown(tray));
  const NOTIFYICONDATAA& d = tray->NotifyData();
  EXPECT_EQ(d.hWnd, TrayIconHandler->Handle());
  EXPECT_EQ(d.uID, tray->NotifyId());
  EXPECT_EQ(d.uFlags, NIF_MESSAGE | NIF_ICON | NIF_TIP);
  EXPECT_EQ(d.uCallbackMessage, 0x800u);
  EXPECT_TRUE(tray->Enabled);
  EXPECT_TRUE(tray->ShowHint());
  tray->SetIconVisible(true);
  hk::TrayIconRecord r;
  ASSERT_TRUE(Shown(tray, &r));
  EXPECT_EQ(r.CallbackMessage, 0x800u);
  EXPECT_EQ(r.Icon, nullptr);  // no image yet
  // The icon it is given is what the notification area shows.
  auto* list = NewComponent<TImageList>(Form);
  AddSolid(list, 0xFF10C020);
  TIcon given;
  list->GetIcon(0, given);
  tray->SetIcon(&given);
  EXPECT_EQ(TrayPixel(tray), 0xFF10C020u);
  tray->SetIcon(nullptr);
  EXPECT_EQ(TrayPixel(tray), 0u);
  // Two icons share the window; the last one's going frees it.
  TTrayIcon* other = MakeTray();
  EXPECT_EQ(other->NotifyData().hWnd, d.hWnd);
  EXPECT_NE(other->NotifyId(), tray->NotifyId());
  EXPECT_EQ(TrayIconHandler->Users(), 2u);
  HWND window = d.hWnd;
  FreeComponent(tray);
  EXPECT_EQ(hk::TrayIcons().size(), 1u);
  FreeComponent(other);
  EXPECT_TRUE(hk::TrayIcons().empty());
  EXPECT_EQ(TrayIconHandler, nullptr);
  EXPECT_FALSE(IsWindow(window));
}

TEST_F(TrayIconTest, NotificationsForUnknownIdsDoNothing) {
  TTrayIcon* tray = MakeTray();
  int events = 0;
  tray->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++events; };
  tray->OnClick = [&](TObject*) { ++events; };
  TTrayIcon* gone = MakeTray();
  UINT_PTR goneId = gone->NotifyId();
  FreeComponent(gone);
  HWND window = TrayIconHandler->Handle();
  for (WPARAM id : {static_cast<WPARAM>(goneId), static_cast<WPARAM>(0), static_cast<WPARAM>(0x7FFFFFFF),
                    reinterpret_cast<WPARAM>(tray)}) {
    PostMessageA(window, WM_TRAYNOTIFY, id, WM_LBUTTONDOWN);
    SendMessageA(window, WM_TRAYNOTIFY, id, WM_LBUTTONUP);
  }
  HeadlessPumpMessages();
  EXPECT_EQ(events, 0);
  SendMessageA(window, WM_TRAYNOTIFY, tray->NotifyId(), WM_LBUTTONDOWN);
  EXPECT_EQ(events, 1);
  // The shared window survives what would end a session or close it.
  for (UINT m : {WM_CLOSE, WM_QUERYENDSESSION, WM_ENDSESSION}) EXPECT_EQ(SendMessageA(window, m, 0, 0), 1);
  EXPECT_TRUE(IsWindow(window));
}

TEST_F(TrayIconTest, BalloonEventsComeEvenWhenDisabled) {
  TTrayIcon* tray = MakeTray();
  std::vector<std::string> seen;
  tray->OnBalloonHintShow = [&](TObject* s) { seen.push_back(s == tray ? "show" : "?"); };
  tray->OnBalloonHintHide = [&](TObject*) { seen.push_back("hide"); };
  tray->OnBalloonHintTimeout = [&](TObject*) { seen.push_back("timeout"); };
  tray->OnBalloonHintClick = [&](TObject*) { seen.push_back("click"); };
  tray->OnMouseMove = [&](TObject*, TShiftState, int, int) { seen.push_back("move"); };
  tray->Enabled = false;
  for (UINT e : {NIN_BALLOONSHOW, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT, NIN_BALLOONUSERCLICK, UINT(WM_MOUSEMOVE)})
    Send(tray, e);
  EXPECT_EQ(seen, (std::vector<std::string>{"show", "hide", "timeout", "click"}));
}

TEST_F(TrayIconTest, NotifyVersionChoosesWhichMessageIsTheRightRelease) {
  TTrayIcon* tray = MakeTray();
  int ups = 0;
  tray->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) { ups += b == mbRight; };
  for (UINT e : {UINT(WM_CONTEXTMENU), NIN_SELECT, NIN_KEYSELECT}) Send(tray, e);
  EXPECT_EQ(ups, 0);
  tray->SetNotifyVersion(1);
  hk::TrayIconRecord r;
  Shown(tray, &r);
  EXPECT_EQ(r.Version, 3u);
  Send(tray, WM_RBUTTONUP);
  EXPECT_EQ(ups, 0);
  for (UINT e : {UINT(WM_CONTEXTMENU), NIN_SELECT, NIN_KEYSELECT}) Send(tray, e);
  EXPECT_EQ(ups, 3);
}

TEST_F(TrayIconTest, MiddleButtonAndEnterExit) {
  TTrayIcon* tray = MakeTray();
  std::vector<std::string> seen;
  tray->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int, int) {
    seen.push_back(b == mbMiddle && (s & ssMiddle) ? "mdown" : "?");
  };
  tray->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState, int, int) { seen.push_back(b == mbMiddle ? "mup" : "?"); };
  tray->OnMouseEnter = [&](TObject*) { seen.push_back("enter"); };
  tray->OnMouseExit = [&](TObject*) { seen.push_back("exit"); };
  Send(tray, WM_MBUTTONDOWN);
  Send(tray, WM_MBUTTONUP);
  SetCursorPos(1250, 1010);
  Send(tray, WM_MOUSEMOVE);  // no enter events unless wanted
  tray->SetWantEnterExitEvents(true);
  Send(tray, WM_MOUSEMOVE);
  Send(tray, WM_MOUSEMOVE);
  HeadlessAdvance(100);  // the cursor rests on the icon
  SetCursorPos(600, 500);
  HeadlessAdvance(20);
  HeadlessAdvance(100);
  EXPECT_EQ(seen, (std::vector<std::string>{"mdown", "mup", "enter", "exit"}));
}

TEST_F(TrayIconTest, ShowingTheOwnerBringsItToTheForeground) {
  MakeTray();
  auto* otherForm = new TForm(Application);
  otherForm->Show();
  HWND other = otherForm->Handle();
  SetForegroundWindow(other);
  HeadlessPumpMessages();
  ASSERT_EQ(GetForegroundWindow(), other);
  ShowWindow(Form->Handle(), SW_SHOWNOACTIVATE);
  HeadlessPumpMessages();
  EXPECT_EQ(GetForegroundWindow(), Form->Handle());

  // A window that will not be activated is raised and leaves the keyboard.
  ShowWindow(Form->Handle(), SW_HIDE);
  SetForegroundWindow(other);
  SetWindowLongPtrA(Form->Handle(), GWL_EXSTYLE, GetWindowLongPtrA(Form->Handle(), GWL_EXSTYLE) | WS_EX_NOACTIVATE);
  ShowWindow(Form->Handle(), SW_SHOWNOACTIVATE);
  HeadlessPumpMessages();
  EXPECT_EQ(GetForegroundWindow(), other);
  EXPECT_EQ(GetTopWindow(nullptr), Form->Handle());
}

TEST_F(TrayIconTest, MinimizeToTrayHidesTheOwnerAndShowsTheIcon) {
  TTrayIcon* tray = MakeTray(false);
  Application->SetMainForm(Form);
  Form->Show();
  HeadlessPumpMessages();
  int told = 0;
  // Without the flag and the event the window minimises as usual.
  tray->OnMinimizeToTray = [&](TObject*) { ++told; };
  SendMessageA(Form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(told, 0);
  ShowWindow(Form->Handle(), SW_RESTORE);
  Form->Show();
  tray->MinimizeToTray = true;
  EXPECT_EQ(SendMessageA(Form->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 1);
  EXPECT_EQ(told, 1);
  EXPECT_FALSE(Form->Visible());
  EXPECT_TRUE(tray->IconVisible());
  EXPECT_TRUE(Shown(tray));
  // The application's restore brings the main form back.
  SendMessageA(Application->Handle(), WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_TRUE(Form->Visible());
}

TEST_F(TrayIconTest, FreeingTakesTheHookOffTheOwner) {
  HWND h = Form->Handle();
  LONG_PTR before = GetWindowLongPtrA(h, GWL_WNDPROC);
  TTrayIcon* tray = MakeTray();
  EXPECT_NE(GetWindowLongPtrA(h, GWL_WNDPROC), before);
  FreeComponent(tray);
  EXPECT_EQ(GetWindowLongPtrA(h, GWL_WNDPROC), before);
  // The form still works, and a form freed with its icon is fine too.
  Form->Show();
  HeadlessPumpMessages();
  MakeTray();
  FreeComponent(Form);
  Form = nullptr;
  EXPECT_TRUE(hk::TrayIcons().empty());
}

TEST_F(TrayIconTest, ReadFromAFormResource) {
  auto* root = new TForm(Application);
  ReadFormText(root, "TFORM",
               "object TrayForm: TForm\n"
               "  object TrayIcon: TTrayIcon\n"
               "    CycleInterval = 0\n"
               "    Hint = 'Card'\n"
               "    IconVisible = True\n"
               "    IconIndex = 0\n"
               "    PopupMenu = pmTray\n"
               "    IconList = ilCycle\n"
               "  end\n"
               "  object pmTray: TPopupMenu\n"
               "    object Exit1: TMenuItem\n"
               "      Caption = 'Exit'\n"
               "      Default = True\n"
               "    end\n"
               "  end\n"
               "  object ilCycle: TImageList\n"
               "  end\n"
               "end\n");
  auto* tray = dynamic_cast<TTrayIcon*>(root->FindComponent("TrayIcon"));
  ASSERT_NE(tray, nullptr);
  EXPECT_EQ(tray->PopupMenu(), root->FindComponent("pmTray"));
  EXPECT_EQ(tray->IconList(), root->FindComponent("ilCycle"));
  EXPECT_TRUE(tray->IconVisible());
  EXPECT_EQ(tray->CycleInterval(), 0u);
  EXPECT_FALSE(tray->CycleIcons());
  hk::TrayIconRecord r;
  ASSERT_TRUE(Shown(tray, &r));
  EXPECT_EQ(r.Tip, "Card");

  // An icon stored in the resource.
  TBitmap image;
  image.SetPixelFormat(pf32bit);
  image.SetSize(4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) static_cast<uint32_t*>(image.ScanLine(y))[x] = 0x80FF8000;
  TMemoryStream stream;
  image.SaveToStream(stream);
  std::string hex;
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  for (int64_t i = 0; i < stream.Size(); ++i) {
    static const char digits[] = "0123456789ABCDEF";
    hex += digits[bytes[i] >> 4];
    hex += digits[bytes[i] & 15];
  }
  auto* withIcon = new TForm(Application);
  ReadFormText(withIcon, "TICONFORM",
               "object IconForm: TForm\n"
               "  object TrayIcon: TTrayIcon\n"
               "    Icon = TIcon {" + hex + "}\n"
               "  end\n"
               "end\n");
  auto* iconTray = dynamic_cast<TTrayIcon*>(withIcon->FindComponent("TrayIcon"));
  ASSERT_NE(iconTray, nullptr);
  EXPECT_EQ(iconTray->Icon().Width(), 4);
  EXPECT_EQ(IconColour(iconTray->Icon()), 0x80FF8000u);
  EXPECT_FALSE(iconTray->IconVisible());

  auto* broken = new TForm(Application);
  try {
    ReadFormText(broken, "TBROKEN",
                 "object Broken: TForm\n"
                 "  object TrayIcon: TTrayIcon\n"
                 "    PopupMenu = pmMissing\n"
                 "  end\n"
                 "end\n");
    ADD_FAILURE() << "an unknown component was taken";
  } catch (const EFormResourceError& e) {
    EXPECT_NE(std::string(e.what()).find("pmMissing"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("line 3"), std::string::npos) << e.what();
  }
}

TEST_F(TrayIconTest, TheRealMenuTracksOnceAndItsItemMayFreeTheIcon) {
  TTrayIcon* tray = MakeTray();
  // The menu outlives the form its command frees.
  auto holder = std::make_unique<TComponent>(nullptr);
  auto* menu = NewComponent<TPopupMenu>(holder.get());
  int opened = 0;
  // The user chooses once the menu is open.
  menu->OnPopup = [&](TObject*) {
    ++opened;
    HeadlessKeyPress('X');
  };
  tray->SetPopupMenu(menu);
  auto* exit = NewComponent<TMenuItem>(holder.get());
  exit->SetCaption("E&xit");
  // The command frees the form, and with it the icon, while the icon's
  // own handler is still on the stack.
  int chosen = 0;
  bool freeForm = false;
  exit->OnClick = [&](TObject*) {
    ++chosen;
    if (!freeForm) return;
    FreeComponent(Form);
    Form = nullptr;
  };
  menu->Items()->Add(exit);

  // A watchdog ends a menu the input failed to end, so a fault fails
  // instead of hanging.
  Form->Show();
  SetFocus(Form->Handle());
  HeadlessPumpMessages();
  HWND window = TrayIconHandler->Handle();
  std::atomic<bool> done{false}, timedOut{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
      timedOut = true;
      TPopupMenu::CancelTracking();
      PostMessageA(window, WM_NULL, 0, 0);  // wakes the menu's loop
    }
  });
  UINT_PTR id = tray->NotifyId();
  // A second press queued behind the first comes while the menu is being
  // opened: one menu, one choice.
  hk::NotifyTrayIconEvent(window, id, WM_RBUTTONDOWN);
  hk::NotifyTrayIconEvent(window, id, WM_RBUTTONDOWN);
  HeadlessPumpMessages();
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(chosen, 1);
  freeForm = true;
  hk::NotifyTrayIconEvent(window, id, WM_RBUTTONDOWN);
  HeadlessPumpMessages();
  done = true;
  watchdog.join();
  EXPECT_FALSE(timedOut);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(chosen, 2);
  EXPECT_EQ(Form, nullptr);
  EXPECT_EQ(TrayIconHandler, nullptr);
  EXPECT_TRUE(hk::TrayIcons().empty());
}

TEST_F(TrayIconTest, StartupEventMayKeepTheMainFormHidden) {
  auto* form = new TStartupForm(Application);
  Application->SetMainForm(form);
  form->Show();
  ASSERT_TRUE(Application->ShowMainForm);
  ReadFormText(form, "TSTARTUPFORM",
               "object StartupForm: TStartupForm\n"
               "  object TrayIcon: TTrayIcon\n"
               "    OnStartup = TrayStartup\n"
               "  end\n"
               "end\n");
  EXPECT_EQ(form->Sender, form->FindComponent("TrayIcon"));
  EXPECT_FALSE(Application->ShowMainForm);
  EXPECT_FALSE(form->Visible());
}
