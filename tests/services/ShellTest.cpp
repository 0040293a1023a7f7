#include "platform/services/Shell.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "TempFolder.h"

namespace {

uintptr_t Code(HINSTANCE result) { return reinterpret_cast<uintptr_t>(result); }

// A stand-in xdg-open on PATH that records its arguments, one a line, and
// its working directory.
class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string script = FFolder.File("xdg-open");
    WriteWholeFile(script, "#!/bin/sh\n{ pwd; for a in \"$@\"; do printf '%s\\n' \"$a\"; done; } > \"" +
                               FFolder.File("args.tmp") + "\"\nmv \"" + FFolder.File("args.tmp") + "\" \"" +
                               FFolder.File("args") + "\"\n");
    chmod(script.c_str(), 0755);
  }

  std::string Recorded() {
    for (int i = 0; i < 500 && !FileExistsAt(FFolder.File("args")); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return ReadWholeFile(FFolder.File("args"));
  }

  TempFolder FFolder;
  ScopedEnv FPath{"PATH", FFolder.Path() + ":/usr/bin:/bin"};
};

}  // namespace

TEST_F(ShellTest, OpenHandsTheAddressToXdgOpenUntouched) {
  ScopedEnv home("HOME", FFolder.Path());
  const std::string address = "https://example.org/a b?q='x'&r=\"y\";touch $HOME/pwned`id`";
  EXPECT_GT(Code(ShellExecuteA(nullptr, "open", address.c_str(), "", "", 5)), 32u);
  std::string recorded = Recorded();
  EXPECT_EQ(recorded.substr(recorded.find('\n') + 1), address + "\n");  // one argument, no shell
  EXPECT_FALSE(FileExistsAt(FFolder.File("pwned")));
}

TEST_F(ShellTest, DirectoryIsTheOpenersWorkingFolder) {
  EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "notes.txt", nullptr, "/", 5)), 32u);
  EXPECT_EQ(Recorded(), "/\nnotes.txt\n");
}

TEST_F(ShellTest, RefusalsAreReportedAsErrors) {
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "print", "https://example.org", "", "", 5)), SE_ERR_NOASSOC);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "", "", "", 5)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", nullptr, "", "", 5)), SE_ERR_FNF);
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "--help", "", "", 5)), SE_ERR_NOASSOC);  // no options
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "a.txt", "-x", "", 5)), SE_ERR_NOASSOC);
  EXPECT_LE(Code(ShellExecuteA(nullptr, "open", "a.txt", "", "/no/such/folder", 5)), 32u);
  ScopedEnv noOpener("PATH", FFolder.File("empty"));
  EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "https://example.org", "", "", 5)), SE_ERR_FNF);
}
