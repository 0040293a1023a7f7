// The card's settings on a real X server, driven through XTest as a user
// would: in the dialog a refused refresh period gives one box, after which
// the dialog goes on, and OK with an untouched period keeps it; at the end,
// a linked config.ini is saved at its target, and a read-only one run by a
// user who may not write it is kept and the failure said.
#include "tests/card-x11/CardDisplayFixture.h"

#include <sys/stat.h>

#include <X11/keysym.h>

#include "tests/card-x11/OtherDesktops.h"
#include "tests/x11/InputMethodServer.h"
#include "tests/x11/WindowIdentity.h"

namespace {

using hktest::CardOnTheDisplayTest;
using hktest::kExitY;
namespace fs = std::filesystem;

// The tray menu's Settings item: after three items and a separator.
constexpr int kSettingsY = 2 + 3 * 22 + 9 + 11;

class SettingsDialogOnTheDisplayTest : public CardOnTheDisplayTest {
 protected:
  // The card with its tray icon, then the dialog from the icon's menu.
  Window StartAndOpenSettings() {
    StartTray();
    StartCard();
    if (!WaitForCardAndIcon()) return 0;
    Window menu = OpenTrayMenu(Icon);
    EXPECT_NE(menu, 0u) << "no menu";
    if (menu == 0) return 0;
    ChooseItem(menu, kSettingsY);
    Window dialog = 0;
    EXPECT_TRUE(WaitFor([&] { return (dialog = FindTop("Card Settings")) != 0 && Viewable(dialog); }, 10))
        << "no settings dialog";
    return dialog;
  }
  void Key(KeySym sym) {
    const KeyCode code = XKeysymToKeycode(D, sym);
    XTestFakeKeyEvent(D, code, True, CurrentTime);
    XTestFakeKeyEvent(D, code, False, CurrentTime);
    XSync(D, False);
  }
  // Every message box ("Error") seen viewable while `seconds` pass.
  std::set<Window> BoxesWithin(double seconds) {
    std::set<Window> boxes;
    WaitFor(
        [&] {
          for (Window w : AllNamed("Error")) boxes.insert(w);
          return false;
        },
        seconds);
    return boxes;
  }
  std::vector<Window> AllNamed(const char* title) {
    std::vector<Window> out;
    for (Window w : TopWindows()) {
      char* name = nullptr;
      if (XFetchName(D, w, &name) && name != nullptr) {
        if (std::strcmp(name, title) == 0 && Viewable(w)) out.push_back(w);
        XFree(name);
      }
    }
    return out;
  }
  void ExitFromTheMenu() {
    Window menu = OpenTrayMenu(Icon);
    ASSERT_NE(menu, 0u) << "no menu";
    ChooseItem(menu, kExitY);
    ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20)) << "Exit did not end the program";
  }
};

TEST_F(SettingsDialogOnTheDisplayTest, EnterWithZeroGivesOneBoxAndTheDialogGoesOn) {
  WriteConfig("FirstRun=0\n");
  const Window dialog = StartAndOpenSettings();
  ASSERT_NE(dialog, 0u);
  // The minutes field: "15" replaced by "0", then Enter.
  auto [dx, dy] = Origin(dialog);
  Click(dx + 96 + 40, dy + 64 + 10, 1);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Key(XK_End);
  for (int i = 0; i < 3; ++i) Key(XK_BackSpace);
  Key(XK_0);
  Key(XK_Return);
  std::set<Window> boxes = BoxesWithin(2);
  ASSERT_EQ(boxes.size(), 1u) << "one refusal, one box";
  // Its OK (Return) dismisses it, and no other follows.
  Key(XK_Return);
  EXPECT_TRUE(WaitFor([&] { return AllNamed("Error").empty(); }, 5)) << "the box stayed";
  EXPECT_TRUE(BoxesWithin(1.5).empty()) << "another box came";
  EXPECT_TRUE(Viewable(dialog));
  // The field has the focus: a good period typed there, and Enter applies it.
  Key(XK_BackSpace);
  Key(XK_2);
  Key(XK_Return);
  EXPECT_TRUE(WaitFor([&] { return !Viewable(dialog); }, 5)) << "OK did not close the dialog";
  EXPECT_TRUE(BoxesWithin(0.5).empty());
  ASSERT_NO_FATAL_FAILURE(ExitFromTheMenu());
  EXPECT_NE(ReadConfig().find("RefreshTime=120000"), std::string::npos) << ReadConfig();
}

// Japanese typed through uim-xim reaches the dialog's dictionary field: the
// path replaced by 水 (Shift+Space on, "mizu", Space converts, Return
// commits), then copied out of it.
TEST_F(SettingsDialogOnTheDisplayTest, TheDictionaryFieldTakesJapaneseFromAnInputMethod) {
  std::string failure;
  const std::string locales = hktest::TInputMethodServer::LocaleDir(&failure);
  ASSERT_FALSE(locales.empty()) << failure;
  ExtraEnv = hktest::TInputMethodServer::ProgramEnvironment(locales);
  hktest::TInputMethodServer im;
  ASSERT_EQ(im.Start(Server.Name()), "");
  WriteConfig("FirstRun=0\n");
  const Window dialog = StartAndOpenSettings();
  ASSERT_NE(dialog, 0u);
  auto chord = [&](KeySym modifier, KeySym sym) {
    XTestFakeKeyEvent(D, XKeysymToKeycode(D, modifier), True, CurrentTime);
    Key(sym);
    XTestFakeKeyEvent(D, XKeysymToKeycode(D, modifier), False, CurrentTime);
    XSync(D, False);
  };
  auto [dx, dy] = Origin(dialog);
  Click(dx + 16 + 40, dy + 32 + 10, 1);
  chord(XK_Control_L, XK_a);
  chord(XK_Shift_L, XK_space);
  for (KeySym sym : {XK_m, XK_i, XK_z, XK_u, XK_space, XK_Return}) Key(sym);
  chord(XK_Control_L, XK_a);
  chord(XK_Control_L, XK_c);
  std::string seen;
  EXPECT_TRUE(WaitFor([&] { return (seen = hktest::ClipboardText(D, 1)) == "\xE6\xB0\xB4"; }, 10))
      << "the field holds \"" << seen << "\"; the input method said: " << im.Log();
}

TEST_F(SettingsDialogOnTheDisplayTest, OkWithAnUntouchedShortPeriodKeepsIt) {
  WriteConfig("FirstRun=0\nRefreshTime=30000\n");
  const Window dialog = StartAndOpenSettings();
  ASSERT_NE(dialog, 0u);
  // The OK button (bottom right, beside Close).
  auto [dx, dy] = Origin(dialog);
  Click(dx + 128 + 30, dy + 288 + 12, 1);
  EXPECT_TRUE(WaitFor([&] { return !Viewable(dialog); }, 5)) << "OK did not close the dialog";
  EXPECT_TRUE(BoxesWithin(0.5).empty()) << "the untouched period was refused";
  ASSERT_NO_FATAL_FAILURE(ExitFromTheMenu());
  EXPECT_NE(ReadConfig().find("RefreshTime=30000"), std::string::npos) << ReadConfig();
}

TEST_F(SettingsDialogOnTheDisplayTest, ALinkedConfigIsSavedAtItsTargetAndTheLinkStays) {
  WriteConfig("FirstRun=0\nAlpha=200\n");
  fs::create_directory(Dir / "real");
  fs::rename(Dir / "config.ini", Dir / "real" / "config.ini");
  fs::create_symlink("real/config.ini", Dir / "config.ini");
  StartTray();
  StartCard();
  ASSERT_TRUE(WaitForCardAndIcon());
  ASSERT_NO_FATAL_FAILURE(ExitFromTheMenu());
  EXPECT_TRUE(fs::is_symlink(Dir / "config.ini"));
  std::stringstream text;
  text << std::ifstream(Dir / "real" / "config.ini").rdbuf();
  for (const char* key : {"Alpha=200", "FirstRun=0", "Lock=0", "RefreshTime=900000"})
    EXPECT_NE(text.str().find(key), std::string::npos) << key << " in " << text.str();
}

TEST_F(SettingsDialogOnTheDisplayTest, AReadOnlyConfigIsKeptAndTheFailureSaid) {
  const std::string before = StartWithAReadOnlyConfig("FirstRun=0\nAlpha=200\n");
  ASSERT_TRUE(WaitForCardAndIcon());
  Window menu = OpenTrayMenu(Icon);
  ASSERT_NE(menu, 0u) << "no menu";
  ChooseItem(menu, kExitY);
  // The program's box says the save failed; its OK ends the program.
  ASSERT_TRUE(WaitFor([&] { return !AllNamed("HanakumoCard").empty(); }, 10)) << "the failure was not said";
  Key(XK_Return);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20)) << "the program did not end";
  EXPECT_EQ(ReadConfig(), before);
  EXPECT_FALSE(fs::exists(Dir / "config.ini.new"));
}

class SettingsDialogBothTest : public SettingsDialogOnTheDisplayTest,
                               public ::testing::WithParamInterface<hktest::TWindowManager> {
 protected:
  hktest::TWindowManager WindowManager() const override { return GetParam(); }
};

// The card, its tray icon and its dialog say whose they are, for
// window-manager rules, taskbars and tools that look windows up by class.
// The dialog, of a fixed size with only a close box, tells the window
// manager it may be moved and closed and nothing more; openbox then offers
// neither resizing nor maximising. Openbox keeps minimising for every
// dialog whatever the hints say: there only the hints are ours to check, and
// the dialog, which has no taskbar button, minimised all the same comes back
// at a click on the tray icon.
TEST_P(SettingsDialogBothTest, TheCardAndItsDialogNameTheirProgramAndTheDialogAsksForMoveAndCloseOnly) {
  WriteConfig("FirstRun=0\nRefreshTime=600000\n");
  const Window dialog = StartAndOpenSettings();
  ASSERT_NE(dialog, 0u);
  const Window card = FindTop("Card");
  ASSERT_NE(card, 0u);
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  for (Window w : {card, Icon, dialog}) {
    const hktest::TWindowIdentity id = hktest::ReadIdentity(D, w);
    EXPECT_EQ(id.Instance, "HanakumoCard") << "window " << w;
    EXPECT_EQ(id.Class, "HanakumoCard") << "window " << w;
    EXPECT_EQ(id.Pid, static_cast<long>(Card)) << "window " << w;
    EXPECT_EQ(id.Machine, host) << "window " << w;
  }
  if (GetParam() == hktest::TWindowManager::NoWindowManager) return;
  std::vector<std::string> actions;
  ASSERT_TRUE(WaitFor([&] { return !(actions = hktest::AllowedActions(D, dialog)).empty(); }, 10))
      << "no allowed actions";
  auto allowed = [&](const char* action) { return std::find(actions.begin(), actions.end(), action) != actions.end(); };
  for (const char* action : {"MOVE", "CLOSE"}) EXPECT_TRUE(allowed(action)) << action << " is not allowed";
  for (const char* action : {"RESIZE", "MAXIMIZE_HORZ", "MAXIMIZE_VERT"})
    EXPECT_FALSE(allowed(action)) << action << " is allowed";
  const hktest::TMotifHints hints = hktest::ReadMotifHints(D, dialog);
  ASSERT_TRUE(hints.Functions.has_value()) << "the dialog names no functions";
  EXPECT_EQ(*hints.Functions, hktest::kMotifMove | hktest::kMotifClose);

  hktest::MinimiseThroughTheWindowManager(D, dialog);
  ASSERT_TRUE(WaitFor([&] { return !Viewable(dialog); }, 10)) << "openbox did not minimise the dialog";
  auto [ix, iy] = Origin(Icon);
  Click(ix + 12, iy + 12, 3);
  EXPECT_TRUE(WaitFor([&] { return Viewable(dialog); }, 10)) << "a click on the icon left the dialog minimised";
}

INSTANTIATE_TEST_SUITE_P(Setups, SettingsDialogBothTest,
                         ::testing::Values(hktest::TWindowManager::NoWindowManager, hktest::TWindowManager::Openbox),
                         [](const auto& info) { return std::string(hktest::WindowManagerName(info.param)); });

}  // namespace
