// The dictionary's settings page on a real X server, driven through XTest:
// Apply with a name that is no readable file (missing, a folder) says so
// and changes nothing, so the next start still opens the main window; a
// linked config.txt is saved at its target, and a read-only one Apply by a
// user who may not write it is kept and the failure said; a session end
// with that box up ends the program at once, the failure on standard error.
#include "tests/dict-x11/DictionaryWindowFixture.h"

#include <sys/stat.h>

#include "tests/support/AsAnotherUser.h"
#include "tests/support/ProcessTimes.h"
#include "tests/x11/InputMethodServer.h"

namespace {

using namespace hktest;
namespace fs = std::filesystem;

constexpr int NumberBoxX = 1 + 16 + 6, NumberBoxY = 141 + 72 + 8;

class SettingsPageOnTheDisplayTest : public DictionaryWindowTest {
 protected:
  // The program started as the user nobody, in its folder opened to it.
  void StartAsNobody() {
    Child = SpawnAsNobody((ProgramDir / "HanakumoDict").string(), ProgramDir.string(),
                          {"DISPLAY=" + DisplayName, "HOME=" + ProgramDir.string(), "PATH=/usr/bin:/bin"},
                          (ProgramDir / "program.log").string());
  }
  void WaitForWindow() {
    ASSERT_TRUE(WaitFor([&] { return (Win = FindMainWindow()) != 0; }, 30)) << "no window named Hanakumo appeared";
    ASSERT_TRUE(WaitFor([&] { return White(Shot().At(400, 400)); }, 10)) << "the window was never painted";
  }
  // Numbering switched off on the settings page, and Apply.
  void ApplyWithoutNumbers() {
    Click(SettingsIconX, SettingsIconY);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Click(NumberBoxX, NumberBoxY);
    Click(ApplyX, ApplyY);
  }
  // Apply by a user who may not write config.txt, until the failure's box
  // is up; `before` gets the file's text.
  void ApplyWithAReadOnlyConfig(std::string* before) {
    std::ofstream(ProgramDir / "config.txt", std::ios::binary) << "[Dictionary]\r\nShowLineNumber=1\r\n";
    *before = ReadConfig();
    ASSERT_EQ(chmod((ProgramDir / "config.txt").c_str(), 0444), 0);
    StartAsNobody();
    ASSERT_NO_FATAL_FAILURE(WaitForWindow());
    ApplyWithoutNumbers();
    ASSERT_TRUE(WaitFor([&] { return Box() != 0; }, 10)) << "the failure was not said";
  }
  // The session ends (SIGTERM, or the display closing) with that box up.
  void EndWithTheFailureSaid(bool displayCloses) {
    std::string before;
    ASSERT_NO_FATAL_FAILURE(ApplyWithAReadOnlyConfig(&before));
    TEnd end;
    ASSERT_NO_FATAL_FAILURE(EndTheSession(displayCloses, &end));
    EXPECT_LT(end.Cpu, 0.5) << "CPU seconds in the 2 s after the end began";
    std::stringstream log;
    log << std::ifstream(ProgramDir / "program.log").rdbuf();
    EXPECT_NE(log.str().find(": Unable to write to " + (ProgramDir / "config.txt").string()), std::string::npos)
        << log.str();
    EXPECT_EQ(ReadConfig(), before);
  }
};

TEST_P(SettingsPageOnTheDisplayTest, ApplyRefusesAMissingFileAndAFolderAndTheNextStartShowsTheWindow) {
  fs::create_directory(ProgramDir / "afolder");
  std::ofstream(ProgramDir / "config.txt", std::ios::binary)
      << "[Dictionary]\r\nShowLineNumber=1\r\nDictionaryFileName=" << (ProgramDir / "edict.txt").string() << "\r\n";
  const std::string before = ReadConfig();
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  Click(SettingsIconX, SettingsIconY);
  for (const char* name : {"nothing.txt", "afolder"}) {
    SCOPED_TRACE(name);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_NO_FATAL_FAILURE(ApplyDictionaryName(name));
    Window box = 0;
    ASSERT_TRUE(WaitFor([&] { return (box = Box()) != 0; }, 10)) << "Apply said nothing";
    EXPECT_EQ(ReadConfig(), before);
    ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
    ASSERT_TRUE(WaitFor([&] { return Box() == 0; }, 5)) << "the box stayed";
  }
  Click(CloseX, CloseY);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20, true)) << "the close button did not end the program";
  EXPECT_EQ(ReadConfig(), before);
  // The next start opens the main window on the dictionary it had.
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  EXPECT_EQ(Box(), 0u);
}

// A dictionary named in Japanese, its name typed through uim-xim into the
// file field (水 converted, then ".txt" with Japanese input off), is
// applied and kept in config.txt.
TEST_P(SettingsPageOnTheDisplayTest, AFileNameTypedThroughAnInputMethodIsApplied) {
  std::string failure;
  const std::string locales = TInputMethodServer::LocaleDir(&failure);
  ASSERT_FALSE(locales.empty()) << failure;
  ExtraEnv = TInputMethodServer::ProgramEnvironment(locales);
  const std::string name = "\xE6\xB0\xB4.txt";  // 水.txt
  fs::copy_file(ProgramDir / "edict.txt", ProgramDir / name);
  TInputMethodServer im;
  ASSERT_EQ(im.Start(DisplayName), "");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  Click(SettingsIconX, SettingsIconY);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  Click(FileFieldX, FileFieldY);
  ASSERT_NO_FATAL_FAILURE(Key(XK_End));
  for (int i = 0; i < 120; ++i) ASSERT_NO_FATAL_FAILURE(Key(XK_BackSpace));
  auto japanese = [&] {  // uim's on and off key
    XTestFakeKeyEvent(D, XKeysymToKeycode(D, XK_Shift_L), True, CurrentTime);
    Key(XK_space);
    XTestFakeKeyEvent(D, XKeysymToKeycode(D, XK_Shift_L), False, CurrentTime);
    XSync(D, False);
  };
  japanese();
  ASSERT_NO_FATAL_FAILURE(TypeName("mizu"));
  ASSERT_NO_FATAL_FAILURE(Key(XK_space));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  japanese();
  ASSERT_NO_FATAL_FAILURE(TypeName(".txt"));
  Click(ApplyX, ApplyY);
  EXPECT_TRUE(WaitFor([&] { return ReadConfig().find("DictionaryFileName=" + name) != std::string::npos; }, 10))
      << ReadConfig();
  EXPECT_EQ(Box(), 0u) << "Apply refused the name";
}

TEST_P(SettingsPageOnTheDisplayTest, ALinkedConfigIsSavedAtItsTargetAndTheLinkStays) {
  fs::create_directory(ProgramDir / "real");
  std::ofstream(ProgramDir / "real" / "config.txt", std::ios::binary) << "[Dictionary]\r\nShowLineNumber=1\r\n";
  fs::create_symlink("real/config.txt", ProgramDir / "config.txt");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ApplyWithoutNumbers();
  ASSERT_TRUE(WaitFor(
      [&] {
        std::ifstream in(ProgramDir / "real" / "config.txt", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {}).find("ShowLineNumber=0") != std::string::npos;
      },
      10))
      << "the target was not saved";
  EXPECT_TRUE(fs::is_symlink(ProgramDir / "config.txt"));
  EXPECT_EQ(Box(), 0u);
}

TEST_P(SettingsPageOnTheDisplayTest, AReadOnlyConfigIsKeptAndTheFailureSaid) {
  std::string before;
  ASSERT_NO_FATAL_FAILURE(ApplyWithAReadOnlyConfig(&before));
  ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
  ASSERT_TRUE(WaitFor([&] { return Box() == 0; }, 5)) << "the box stayed";
  Click(CloseX, CloseY);
  ASSERT_TRUE(WaitFor([&] { return Exited(); }, 20, true)) << "the close button did not end the program";
  EXPECT_EQ(ReadConfig(), before);
}

TEST_P(SettingsPageOnTheDisplayTest, ASignalWithTheFailuresBoxUpEndsTheProgram) {
  EndWithTheFailureSaid(false);
}

TEST_P(SettingsPageOnTheDisplayTest, TheDisplayClosingUnderTheFailuresBoxEndsTheProgram) {
  EndWithTheFailureSaid(true);
}

INSTANTIATE_TEST_SUITE_P(, SettingsPageOnTheDisplayTest, ::testing::Values(TWindowManager::NoWindowManager),
                         [](const ::testing::TestParamInfo<TWindowManager>& info) {
                           return std::string(hktest::WindowManagerName(info.param));
                         });

}  // namespace
