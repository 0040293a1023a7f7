// A form's OnDestroy: once, on the whole form, whichever way it is freed,
// and what it raises goes to the application's handler.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "classlib/FormReader.h"
#include "classlib/Forms.h"
#include "classlib/controls/Timer.h"
#include "platform/Resources.h"
#include "platform/Windows.h"
#include "platform/services/MessageBox.h"

namespace {

std::vector<std::string> gDestroyLog;
bool gThrowOnCreate = false;

class TDestroyForm : public TForm {
 public:
  using TForm::TForm;
  TTimer* tmrRefresh = nullptr;
  TDestroyForm* Partner = nullptr;  // another form of ours that we own
  bool ThrowOnDestroy = false;
  std::unique_ptr<std::vector<std::string>> FGlosses = std::make_unique<std::vector<std::string>>(2, "gloss");

  void FormCreate(TObject*) {
    if (gThrowOnCreate) throw EInvalidOperation("Cannot open the dictionary");
  }
  // Reads its own members and components, as a form that saves its settings.
  void FormDestroy(TObject*) {
    gDestroyLog.push_back(Name() + " " + std::to_string(FGlosses->size()) + " " +
                          std::to_string(tmrRefresh->Interval()));
    if (ThrowOnDestroy) throw EIniFileException("Unable to write to /ro/config.ini");
  }
};

constexpr char kDestroyForm[] =
    "object DestroyForm: TDestroyForm\n"
    "  OnCreate = FormCreate\n"
    "  OnDestroy = FormDestroy\n"
    "  object tmrRefresh: TTimer\n"
    "    Interval = 900000\n"
    "  end\n"
    "end\n";

const bool kRegistered = [] {
  RegisterClass<TDestroyForm, TForm>("TDestroyForm");
  RegisterHandler("FormCreate", &TDestroyForm::FormCreate);
  RegisterHandler("FormDestroy", &TDestroyForm::FormDestroy);
  RegisterField("tmrRefresh", &TDestroyForm::tmrRefresh);
  RegisterResource("RCDATA", "TDESTROYFORM", LANG_NEUTRAL_ID, kDestroyForm, sizeof kDestroyForm - 1);
  return true;
}();

class FormDestroyTest : public testing::Test {
 protected:
  void SetUp() override {
    gDestroyLog.clear();
    hk::ClearMessageBoxes();
  }
  void TearDown() override { DoneApplication(); }
  static std::vector<std::string> Reported() {
    std::vector<std::string> texts;
    for (auto& box : hk::MessageBoxesShown()) texts.push_back(box.Text);
    return texts;
  }
};

}  // namespace

TEST_F(FormDestroyTest, EveryWayOfFreeingRunsOnDestroyOnceOnTheWholeForm) {
  using Log = std::vector<std::string>;
  // The end of the run.
  TDestroyForm* main = nullptr;
  Application->CreateForm(main);
  Application->ShowMainForm = false;
  Application->Terminate();
  Application->Run();
  EXPECT_EQ(gDestroyLog, Log{"DestroyForm 2 900000"});
  DoneApplication();
  EXPECT_EQ(gDestroyLog.size(), 1u);

  // The application's own end, without a run.
  gDestroyLog.clear();
  CreateFormOf<TDestroyForm>(Application);
  DoneApplication();
  EXPECT_EQ(gDestroyLog, Log{"DestroyForm 2 900000"});

  // Release, then an owner freeing what it owns (a form in a form).
  gDestroyLog.clear();
  auto* released = CreateFormOf<TDestroyForm>(Application);
  released->Release();
  Application->ProcessMessages();
  EXPECT_EQ(gDestroyLog, Log{"DestroyForm 2 900000"});
  auto* outer = CreateFormOf<TDestroyForm>(Application);
  outer->Partner = CreateFormOf<TDestroyForm>(outer);
  FreeComponent(outer);
  // The owned form goes while its owner is still whole: after its OnDestroy.
  EXPECT_EQ(gDestroyLog, (Log{"DestroyForm 2 900000", "DestroyForm 2 900000", "DestroyForm 2 900000"}));

  // A failed creation cleans up through the same path.
  gDestroyLog.clear();
  gThrowOnCreate = true;
  EXPECT_THROW(CreateFormOf<TDestroyForm>(Application), EInvalidOperation);
  gThrowOnCreate = false;
  EXPECT_EQ(gDestroyLog, Log{"DestroyForm 2 900000"});
  EXPECT_EQ(Screen->FormCount(), 0);
  EXPECT_EQ(Application->ComponentCount(), 0);
}

TEST_F(FormDestroyTest, AnExceptionFromOnDestroyIsReportedAndTheEndGoesOn) {
  TDestroyForm* main = nullptr;
  Application->CreateForm(main);
  main->ThrowOnDestroy = true;
  auto* second = CreateFormOf<TDestroyForm>(Application);
  second->ThrowOnDestroy = true;
  Application->ShowMainForm = false;
  Application->Terminate();
  Application->Run();
  // Both forms went, each reported once, in the application's default way.
  EXPECT_EQ(gDestroyLog.size(), 2u);
  EXPECT_EQ(Reported(), (std::vector<std::string>{"Unable to write to /ro/config.ini.", "Unable to write to /ro/config.ini."}));
  EXPECT_EQ(Screen->FormCount(), 0);

  // OnException sees it instead, when the program set one.
  std::vector<std::string> seen;
  Application->OnException = [&](TObject* sender, const std::exception& e) {
    seen.push_back(static_cast<TComponent*>(sender)->Name() + ": " + e.what());
  };
  auto* form = CreateFormOf<TDestroyForm>(Application);
  form->ThrowOnDestroy = true;
  FreeComponent(form);
  EXPECT_EQ(seen, std::vector<std::string>{"DestroyForm: Unable to write to /ro/config.ini"});
}
