#include "classlib/Forms.h"

#include <gtest/gtest.h>

#include "classlib/ExtCtrls.h"
#include "classlib/FormReader.h"
#include "classlib/StdCtrls.h"
#include "classlib/Threads.h"
#include "classlib/controls/Buttons.h"
#include "platform/Windows.h"
#include "platform/services/MessageBox.h"
#include "platform/text/FontEngine.h"

namespace {

std::vector<std::string>* gLog = nullptr;

// A label that tells when it is loaded and when the mouse comes and goes.
struct TLogLabel : TLabel {
  explicit TLogLabel(TComponent* owner) : TLabel(owner) {
    SetMessageHandler(CM_MOUSEENTER, [this](TMessage&) { Log("enter " + Name()); });
    SetMessageHandler(CM_MOUSELEAVE, [this](TMessage&) { Log("leave " + Name()); });
  }
  void Loaded() override {
    Log("Loaded " + Name());
    TLabel::Loaded();
  }
  void Log(const std::string& s) {
    if (gLog) gLog->push_back(s);
  }
};

class TTestForm : public TForm {
 public:
  explicit TTestForm(TComponent* owner) : TForm(owner) {
    if (gLog) gLog->push_back("constructed");
  }
  TLabel* lblCaption = nullptr;
  TPaintBox* pbBox = nullptr;
  TImage* imgPicture = nullptr;
  int Clicks = 0;
  bool ThrowOnClick = false;
  void Loaded() override {
    if (gLog) gLog->push_back("Loaded form");
    TForm::Loaded();
  }
  void FormCreate(TObject*) {
    if (gLog) gLog->push_back(std::string("OnCreate, fields ") + (lblCaption && pbBox && imgPicture ? "set" : "missing"));
  }
  void FormPaint(TObject*) {
    // A grey frame around the client area.
    Canvas().Brush().SetStyle(bsClear);
    Canvas().Pen().SetColor(clGray);
    Canvas().Rectangle(ClientRect());
  }
  void pbBoxPaint(TObject*) {
    pbBox->Canvas().Brush().SetColor(clRed);
    pbBox->Canvas().FillRect(pbBox->ClientRect());
  }
  void lblCaptionClick(TObject*) {
    ++Clicks;
    if (ThrowOnClick) throw EInvalidOperation("Nothing to load");
  }
};

class TNoResourceForm : public TForm {
 public:
  using TForm::TForm;
};

const bool kRegistered = [] {
  RegisterClass<TLogLabel, TLabel>("TLogLabel");
  RegisterClass<TTestForm, TForm>("TTestForm");
  RegisterHandler("FormCreate", &TTestForm::FormCreate);
  RegisterHandler("FormPaint", &TTestForm::FormPaint);
  RegisterHandler("pbBoxPaint", &TTestForm::pbBoxPaint);
  RegisterHandler("lblCaptionClick", &TTestForm::lblCaptionClick);
  RegisterField("lblCaption", &TTestForm::lblCaption);
  RegisterField("pbBox", &TTestForm::pbBox);
  RegisterField("imgPicture", &TTestForm::imgPicture);
  return true;
}();

struct Pixels {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t At(int x, int y) const { return px[static_cast<size_t>(y * w + x)] & 0xFFFFFF; }
};

Pixels Read(HWND hwnd) {
  Pixels p;
  EXPECT_TRUE(ReadWindowPixels(hwnd, true, &p.w, &p.h, &p.px));
  return p;
}

LPARAM At(int x, int y) { return MAKELONG(static_cast<WORD>(x), static_cast<WORD>(y)); }

// The pointer moved there, as the window gets it from the input queue.
void MoveMouse(TControl* form, int x, int y) {
  POINT p = form->ClientToScreen(Point(x, y));
  SetCursorPos(p.x, p.y);
  Application->ProcessMessages();
}

class FormTest : public testing::Test {
 protected:
  void SetUp() override {
    gLog = &FLog;
    hk::ClearMessageBoxes();
    // Fixed metrics: layouts independent of the fonts installed.
    SetFontEngine(CreateFakeFontEngine());
  }
  void TearDown() override {
    DoneApplication();
    SetFontEngine(nullptr);
    gLog = nullptr;
  }
  std::vector<std::string> FLog;
};

}  // namespace

TEST_F(FormTest, CreationOrderLoadedThenOnCreate) {
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  EXPECT_EQ(FLog, (std::vector<std::string>{"constructed", "Loaded form", "Loaded lblCaption", "OnCreate, fields set"}));
  EXPECT_EQ(form->Name(), "TestForm");
  EXPECT_EQ(form->Owner(), static_cast<TComponent*>(Application));
  EXPECT_EQ(form->lblCaption->Parent(), form);
  EXPECT_EQ(form->lblCaption->Caption(), "Loading...\r\nPlease wait");
  EXPECT_EQ(form->ClientWidth(), 200);
  EXPECT_EQ(form->Font().Name(), "Tahoma");
  EXPECT_EQ(form->lblCaption->Font().Name(), "Tahoma");  // from its parent
  EXPECT_EQ(form->imgPicture->Picture().Width(), 4);
  EXPECT_FALSE(form->Visible());
  EXPECT_FALSE(form->HandleAllocated());
  FreeComponent(form);

  try {
    CreateFormOf<TNoResourceForm>(Application);
    FAIL();
  } catch (const EResNotFound& e) {
    EXPECT_EQ(e.Message(), "Resource TNoResourceForm not found");
  }
}

TEST_F(FormTest, ShownFormPaintsItsControls) {
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  form->Show();
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  form->Update();
  Pixels p = Read(form->Handle());
  ASSERT_EQ(p.w, 200);
  ASSERT_EQ(p.h, 120);
  EXPECT_EQ(p.At(0, 0), 0x808080u);     // the frame of OnPaint
  EXPECT_EQ(p.At(199, 60), 0x808080u);
  EXPECT_EQ(p.At(60, 40), 0xF5F5F5u);   // the form's colour
  EXPECT_EQ(p.At(100, 10), 0xFF0000u);  // the paint box, drawn by its OnPaint
  EXPECT_EQ(p.At(189, 49), 0xFF0000u);
  EXPECT_EQ(p.At(190, 50), 0xF5F5F5u);
  EXPECT_EQ(p.At(20, 10), 0x0000FFu);   // the image: blue top row, green below
  EXPECT_EQ(p.At(23, 11), 0x00FF00u);
  // The label's two lines of text.
  TRect r = form->lblCaption->BoundsRect();
  EXPECT_GT(r.Height(), 20);
  int ink = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) ink += p.At(x, y) != 0xF5F5F5u;
  EXPECT_GT(ink, 20);
  form->Hide();
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
}

TEST_F(FormTest, AnchoredChildrenFollowAResize) {
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  form->Show();
  TRect label = form->lblCaption->BoundsRect();
  form->SetBounds(form->Left(), form->Top(), 300, 200);
  EXPECT_EQ(form->ClientWidth(), 300);
  // L B: keeps its distance to the bottom.
  EXPECT_EQ(form->lblCaption->Top(), label.top + 80);
  EXPECT_EQ(form->lblCaption->Left(), label.left);
  // L T R: grows with the width.
  EXPECT_EQ(form->pbBox->BoundsRect(), Bounds(100, 10, 190, 40));
  // T R: moves with the right edge.
  EXPECT_EQ(form->imgPicture->BoundsRect(), Bounds(120, 10, 4, 2));
  // Back again, and not below the minimum size.
  form->SetBounds(form->Left(), form->Top(), 10, 10);
  EXPECT_EQ(form->Width(), 150);
  EXPECT_EQ(form->Height(), 100);
  EXPECT_EQ(form->pbBox->Width(), 40);
  EXPECT_EQ(form->imgPicture->Left(), -30);
  form->Update();
  Pixels p = Read(form->Handle());
  EXPECT_EQ(p.w, 150);
  EXPECT_EQ(p.At(100, 10), 0xFF0000u);
}

TEST_F(FormTest, MouseReachesGraphicControls) {
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  form->Show();
  HWND h = form->Handle();
  TRect r = form->lblCaption->BoundsRect();
  int x = r.left + 2, y = r.top + 2;
  SendMessageA(h, WM_MOUSEMOVE, 0, At(x, y));
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  SendMessageA(h, WM_LBUTTONUP, 0, At(x, y));
  EXPECT_EQ(form->Clicks, 1);
  // Pressed on the label, released elsewhere: no click.
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  SendMessageA(h, WM_MOUSEMOVE, MK_LBUTTON, At(150, 30));
  SendMessageA(h, WM_LBUTTONUP, 0, At(150, 30));
  EXPECT_EQ(form->Clicks, 1);
  SendMessageA(h, WM_MOUSEMOVE, 0, At(150, 30));
  SendMessageA(h, WM_MOUSEMOVE, 0, At(x, y));
  std::vector<std::string> moves(FLog.begin() + 4, FLog.end());
  EXPECT_EQ(moves, (std::vector<std::string>{"enter lblCaption", "leave lblCaption", "enter lblCaption"}));
  // A disabled label takes no clicks.
  form->lblCaption->SetEnabled(false);
  SendMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y));
  SendMessageA(h, WM_LBUTTONUP, 0, At(x, y));
  EXPECT_EQ(form->Clicks, 1);
}

TEST_F(FormTest, ExceptionInAHandlerReachesTheDefaultHandler) {
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  Application->SetTitle("Hanakumo Test");
  form->ThrowOnClick = true;
  form->Show();
  TRect r = form->lblCaption->BoundsRect();
  SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(r.left + 1, r.top + 1));
  SendMessageA(form->Handle(), WM_LBUTTONUP, 0, At(r.left + 1, r.top + 1));
  auto boxes = hk::MessageBoxesShown();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Nothing to load.");
  EXPECT_EQ(boxes[0].Caption, "Hanakumo Test");
  // The program goes on.
  form->ThrowOnClick = false;
  SendMessageA(form->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, At(r.left + 1, r.top + 1));
  SendMessageA(form->Handle(), WM_LBUTTONUP, 0, At(r.left + 1, r.top + 1));
  EXPECT_EQ(form->Clicks, 2);
}

TEST_F(FormTest, ApplicationLoopHooksAndTerminate) {
  Application->Initialize();
  std::vector<UINT> seen;
  int hook = Application->HookMainWindow([&](TMessage& m) {
    if (m.Msg >= WM_USER) seen.push_back(m.Msg);
    if (m.Msg == WM_USER + 2) Application->Terminate();
    return m.Msg == WM_USER + 1;
  });
  // Nothing pending: returns at once.
  Application->ProcessMessages();
  PostMessageA(Application->Handle(), WM_USER + 1, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(seen, std::vector<UINT>{WM_USER + 1});

  TTestForm* main = nullptr;
  Application->CreateForm(main);
  EXPECT_EQ(Application->MainForm(), main);
  bool destroyed = false;
  main->OnDestroy = [&](TObject*) { destroyed = true; };
  Application->ShowMainForm = false;
  PostMessageA(Application->Handle(), WM_USER + 2, 0, 0);
  Application->Run();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(destroyed);  // the end of the run frees the forms
  EXPECT_EQ(Application->MainForm(), nullptr);
  Application->UnhookMainWindow(hook);
}

TEST_F(FormTest, MainFormCloseEndsTheRun) {
  TTestForm* main = nullptr;
  Application->CreateForm(main);
  int closes = 0;
  main->OnClose = [&](TObject*, TCloseAction& action) {
    if (++closes == 1) action = caNone;  // the first close is refused
  };
  main->Show();
  PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
  PostMessageA(main->Handle(), WM_CLOSE, 0, 0);
  Application->Run();
  EXPECT_EQ(closes, 2);
}

TEST_F(FormTest, FormStylesFollowProperties) {
  struct TShadowForm : TForm {
    using TForm::TForm;
    void CreateParams(TCreateParams& p) override {
      TForm::CreateParams(p);
      p.WindowClass.style |= CS_DROPSHADOW;
    }
  };
  auto* form = new TShadowForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetFormStyle(fsStayOnTop);
  form->SetPosition(poScreenCenter);
  form->SetBounds(0, 0, 100, 60);
  form->Show();
  LONG_PTR style = GetWindowLongPtrA(form->Handle(), GWL_STYLE);
  EXPECT_TRUE(style & static_cast<LONG_PTR>(WS_POPUP));
  EXPECT_FALSE(style & static_cast<LONG_PTR>(WS_CAPTION));
  EXPECT_TRUE(GetWindowLongPtrA(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
  EXPECT_TRUE(GetClassLongA(form->Handle(), GCL_STYLE) & CS_DROPSHADOW);
  EXPECT_EQ(form->Left(), (Screen->Width() - 100) / 2);
  EXPECT_EQ(form->Top(), (Screen->Height() - 60) / 2);
  // Near an edge of the screen, a snapping form sits on it.
  form->ScreenSnap = true;
  form->SetBounds(6, 5, 100, 60);
  EXPECT_EQ(form->Left(), 0);
  EXPECT_EQ(form->Top(), 0);
  form->SetBorderStyle(bsSizeable);
  EXPECT_TRUE(GetWindowLongPtrA(form->Handle(), GWL_STYLE) & static_cast<LONG_PTR>(WS_CAPTION));
}

TEST_F(FormTest, HintShowsWhenTheMouseRests) {
  Application->Initialize();
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  form->lblCaption->SetHint("Press Ctrl + Enter|The long help");
  form->lblCaption->SetShowHint(true);
  form->Show();
  TRect r = form->lblCaption->BoundsRect();
  MoveMouse(form, r.left + 2, r.top + 2);
  AdvanceClock(400);
  Application->ProcessMessages();
  EXPECT_TRUE(!Application->HintWindow() || !Application->HintWindow()->IsShowing());
  AdvanceClock(200);
  Application->ProcessMessages();
  THintWindow* hint = Application->HintWindow();
  ASSERT_TRUE(hint);
  EXPECT_TRUE(hint->IsShowing());
  EXPECT_EQ(hint->Text(), "Press Ctrl + Enter");
  EXPECT_TRUE(IsWindowVisible(hint->Handle()));
  {
    // A one-pixel frame around the yellow face with the text.
    Application->ProcessMessages();
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    ASSERT_TRUE(ReadWindowPixels(hint->Handle(), false, &w, &h, &px));
    ASSERT_GT(w, 10);
    ASSERT_GT(h, 6);
    auto at = [&](int x, int y) { return px[static_cast<size_t>(y * w + x)] & 0xFFFFFFu; };
    auto rgb = [](COLORREF c) { return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c); };
    const uint32_t frame = rgb(GetSysColor(COLOR_WINDOWFRAME)), face = rgb(ColorToRGB(clInfoBk));
    for (int x = 0; x < w; ++x) {
      EXPECT_EQ(at(x, 0), frame) << x;
      EXPECT_EQ(at(x, h - 1), frame) << x;
    }
    for (int y = 0; y < h; ++y) {
      EXPECT_EQ(at(0, y), frame) << y;
      EXPECT_EQ(at(w - 1, y), frame) << y;
    }
    EXPECT_EQ(at(1, 1), face);
    EXPECT_EQ(at(w - 2, h - 2), face);
  }
  // It goes after a while, or at once when the mouse moves on.
  AdvanceClock(2600);
  Application->ProcessMessages();
  EXPECT_FALSE(hint->IsShowing());
  MoveMouse(form, 150, 30);
  MoveMouse(form, r.left + 2, r.top + 2);
  AdvanceClock(600);
  Application->ProcessMessages();
  EXPECT_TRUE(hint->IsShowing());
  MoveMouse(form, 150, 30);
  EXPECT_FALSE(hint->IsShowing());
  // No hint without ShowHint.
  form->lblCaption->SetShowHint(false);
  MoveMouse(form, r.left + 2, r.top + 2);
  AdvanceClock(600);
  Application->ProcessMessages();
  EXPECT_FALSE(hint->IsShowing());
}

TEST_F(FormTest, ReleasedFormGoesOnceTheQueueRuns) {
  Application->Initialize();
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  bool destroyed = false;
  form->OnDestroy = [&](TObject*) { destroyed = true; };
  form->Release();
  EXPECT_FALSE(destroyed);
  Application->ProcessMessages();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(Screen->FormCount(), 0);
  // Freed before its release message runs: the message finds nothing.
  TTestForm* other = CreateFormOf<TTestForm>(Application);
  other->Release();
  FreeComponent(other);
  Application->ProcessMessages();
  EXPECT_EQ(Application->ComponentCount(), 0);
}

TEST_F(FormTest, AlignedChildrenFillTheirParent) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 200, 100);
  auto* top = new TPaintBox(form);
  top->SetParent(form);
  top->SetHeight(20);
  top->SetAlign(alTop);
  auto* right = new TPaintBox(form);
  right->SetParent(form);
  right->SetWidth(50);
  right->SetAlign(alRight);
  auto* client = new TPaintBox(form);
  client->SetParent(form);
  client->SetAlign(alClient);
  EXPECT_EQ(top->BoundsRect(), Bounds(0, 0, 200, 20));
  EXPECT_EQ(right->BoundsRect(), Bounds(150, 20, 50, 80));
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 20, 150, 80));
  form->Show();
  form->SetBounds(0, 0, 300, 150);
  EXPECT_EQ(right->BoundsRect(), Bounds(250, 20, 50, 130));
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 20, 250, 130));
  top->SetVisible(false);
  EXPECT_EQ(client->BoundsRect(), Bounds(0, 0, 250, 150));
}

TEST_F(FormTest, PicturesOfAFormResourceComeThroughTheirClass) {
  auto* form = new TForm(Application);
  ReadFormText(form, "TPICTUREFORM",
               "object PictureForm: TForm\n"
               "  object img1: TImage\n"
               "    Picture = TBitmap resource 'BMP' 'BLUEGREEN'\n"
               "  end\n"
               "end\n");
  auto* img = static_cast<TImage*>(form->FindComponent("img1"));
  ASSERT_TRUE(img);
  ASSERT_TRUE(dynamic_cast<TBitmap*>(img->Picture().Graphic()));
  EXPECT_EQ(img->Picture().Width(), 4);

  struct {
    const char* picture;
    const char* what;
  } bad[] = {
      {"TNoSuchPicture {00}", "Picture class TNoSuchPicture is not registered"},
      {"TBitmap {424D00}", "Bitmap image is not valid"},
      {"TBitmap resource 'BMP' 'NOSUCH'", "Resource NOSUCH not found"},
      {"'logo.png'", "a picture class and its data expected"},
  };
  for (auto& b : bad) {
    auto* f = new TForm(Application);
    try {
      ReadFormText(f, "TPICTUREFORM",
                   std::string("object PictureForm: TForm\n  object img1: TImage\n    Picture = ") + b.picture +
                       "\n  end\nend\n");
      ADD_FAILURE() << b.picture;
    } catch (const EFormResourceError& e) {
      EXPECT_NE(e.Message().find("TPICTUREFORM line 3: Picture: "), std::string::npos) << e.Message();
      EXPECT_NE(e.Message().find(b.what), std::string::npos) << e.Message();
    }
    FreeComponent(f);
  }
}

TEST_F(FormTest, TwoFormsOfOneClassGetNamesOfTheirOwn) {
  TTestForm* a = CreateFormOf<TTestForm>(Application);
  TTestForm* b = CreateFormOf<TTestForm>(Application);
  EXPECT_EQ(a->Name(), "TestForm");
  EXPECT_EQ(b->Name(), "TestForm_1");
  EXPECT_EQ(b->lblCaption->Owner(), b);
}

TEST_F(FormTest, KeyPreviewLetsTheFormSeeKeysFirst) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 100, 100);
  auto* child = new TWinControl(form);
  child->SetParent(form);
  child->SetBounds(10, 10, 50, 20);
  std::vector<std::string> keys;
  form->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    keys.push_back("form " + std::to_string(key));
    if (key == VK_ESCAPE) key = 0;  // taken by the form
  };
  child->OnKeyDown = [&](TObject*, WORD& key, TShiftState) { keys.push_back("child " + std::to_string(key)); };
  form->Show();
  ASSERT_TRUE(child->HandleAllocated());
  SendMessageA(child->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  form->KeyPreview = true;
  SendMessageA(child->Handle(), WM_KEYDOWN, VK_RETURN, 0);
  SendMessageA(child->Handle(), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(keys, (std::vector<std::string>{"child 13", "form 13", "child 13", "form 27"}));
  EXPECT_EQ(GetParentForm(child), form);
}

TEST_F(FormTest, CursorAndBevelOfGraphicControls) {
  TTestForm* form = CreateFormOf<TTestForm>(Application);
  auto* bevel = new TBevel(form);
  bevel->SetParent(form);
  bevel->SetBounds(10, 60, 80, 9);
  bevel->SetShape(bsTopLine);
  form->Show();
  form->Update();
  Pixels p = Read(form->Handle());
  EXPECT_EQ(p.At(40, 60), ColorToRGB(clBtnShadow));
  EXPECT_EQ(p.At(40, 61), ColorToRGB(clBtnHighlight));
  EXPECT_EQ(p.At(40, 62), 0xF5F5F5u);
  // Over the label the hand shows; over the form the arrow.
  TRect r = form->lblCaption->BoundsRect();
  MoveMouse(form, r.left + 2, r.top + 2);
  SendMessageA(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->Handle()), MAKELONG(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_HAND));
  MoveMouse(form, 150, 100);
  SetCursor(LoadCursorA(nullptr, IDC_ARROW));
  SendMessageA(form->Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(form->Handle()), MAKELONG(HTCLIENT, WM_MOUSEMOVE));
  EXPECT_EQ(GetCursor(), LoadCursorA(nullptr, IDC_ARROW));
}

namespace {
struct TTerminatingThread : TThread {
  TTerminatingThread() : TThread(false) {}
  ~TTerminatingThread() override { TerminateAndWait(); }
  void Execute() override {
    Synchronize([this] {
      RanOnMain = GetCurrentThreadId() == MainThreadID;
      Application->Terminate();
    });
  }
  bool RanOnMain = false;
};
}  // namespace

TEST_F(FormTest, AThreadsSynchronisedCallWakesTheIdleLoop) {
  Application->Initialize();
  auto* thread = TThread::Create<TTerminatingThread>();
  // Returns only once the thread's call has run on this thread.
  Application->Run();
  thread->WaitFor();
  EXPECT_TRUE(thread->RanOnMain);
  delete thread;
}

TEST_F(FormTest, HandlersOfAGoneClassDoNotRunWhileTheWindowCloses) {
  struct THandled : TForm {
    explicit THandled(TComponent* owner) : TForm(owner) {
      SetMessageHandler(WM_WINDOWPOSCHANGED, [this](TMessage& m) {
        ++*Count;
        Dispatch(m);
      });
    }
    std::shared_ptr<int> Count = std::make_shared<int>(0);
  };
  auto* form = new THandled(Application);
  std::shared_ptr<int> count = form->Count;
  form->SetBounds(0, 0, 50, 50);
  form->Show();
  form->SetBounds(10, 10, 60, 60);
  int seen = *count;
  EXPECT_GT(seen, 0);
  FreeComponent(form);  // the visible window goes: no handler of ours runs
  EXPECT_EQ(*count, seen);
}

// A child's window asked for before its form has one: the form's window is
// made first, and the child gets one window, inside it, that paints once.
TEST_F(FormTest, AChildsWindowAskedForBeforeItsFormsIsMadeOnceInsideIt) {
  auto* form = new TForm(Application);
  form->SetBounds(0, 0, 200, 100);
  auto* button = new TButton(form);
  button->SetParent(form);
  button->SetBounds(10, 10, 75, 25);
  ASSERT_FALSE(form->HandleAllocated());
  HWND child = button->Handle();
  ASSERT_TRUE(form->HandleAllocated());
  EXPECT_EQ(GetParent(child), form->Handle());
  int children = 0;
  EnumChildWindows(
      form->Handle(), [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; },
      reinterpret_cast<LPARAM>(&children));
  EXPECT_EQ(children, 1);
  form->Show();
  // The queue runs dry: no window is left to paint again and again.
  int paints = 0, messages = 0;
  MSG msg;
  while (messages < 1000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ++messages;
    if (msg.message == WM_PAINT) ++paints;
    DispatchMessageA(&msg);
  }
  EXPECT_LT(messages, 1000);
  EXPECT_LE(paints, 2);  // the form and its button
  EXPECT_EQ(button->Handle(), child);
}

TEST_F(FormTest, ATransparentLabelDrawsInItsOwnFont) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(0, 0, 100, 60);
  form->SetColor(clWhite);
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetTransparent(true);
  label->Font().SetSize(20);  // fixed metrics: cells 27 high, 13 wide
  label->Font().SetColor(clBlack);
  label->SetLeft(10);
  label->SetCaption("WW");
  EXPECT_EQ(label->Width(), 26);
  EXPECT_EQ(label->Height(), 27);
  form->Show();
  form->Update();
  Pixels p = Read(form->Handle());
  EXPECT_EQ(p.At(10 + 13 + 6, 12), 0x000000u);  // inside the second glyph's box
  EXPECT_EQ(p.At(10 + 13, 12), 0xFFFFFFu);      // the gap between the cells
  EXPECT_EQ(p.At(50, 12), 0xFFFFFFu);
}
