#include "classlib/controls/Dialogs.h"

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ControlsFixture.h"

namespace fs = std::filesystem;

namespace {

class DialogsTest : public HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    Root = fs::temp_directory_path() / ("hk-dialogs-" + std::to_string(getpid()));
    fs::create_directories(Root / "sub");
    for (const char* f : {"edict.txt", "common.txt", "notes.md", "sub/deep.txt"}) std::ofstream(Root / f) << "x";
  }
  void TearDown() override {
    hk::SetOpenDialogAnswerer(nullptr);
    fs::remove_all(Root);
    HeadlessTest::TearDown();
  }
  fs::path Root;
};

// HOME for one test.
class ScopedHome {
 public:
  explicit ScopedHome(const std::string& home) {
    if (const char* old = std::getenv("HOME")) FOld = old;
    setenv("HOME", home.c_str(), 1);
  }
  ~ScopedHome() { setenv("HOME", FOld.c_str(), 1); }

 private:
  std::string FOld;
};

const char* const kCardFilter = "Text Files (*.txt)|*.txt|All Files (*.*)| *.*";

}  // namespace

TEST_F(DialogsTest, FiltersParseAndPatternsMatch) {
  auto entries = TOpenDialog::ParseFilter(kCardFilter);
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].Description, "Text Files (*.txt)");
  EXPECT_EQ(entries[1].Patterns, std::vector<std::string>{"*.*"});  // its leading blank is no part of it
  EXPECT_EQ(TOpenDialog::ParseFilter("Images|*.png;*.gif")[0].Patterns, (std::vector<std::string>{"*.png", "*.gif"}));
  EXPECT_EQ(TOpenDialog::ParseFilter("")[0].Patterns, std::vector<std::string>{"*"});
  struct Case {
    const char* name;
    const char* pattern;
    bool match;
  } cases[] = {{"edict.txt", "*.txt", true}, {"README", "*.*", true}, {"notes.md", "*.txt", false},
               {"a.TXT", "*.txt", false}, {"x1.png", "x?.png", true}};
  for (const Case& c : cases) EXPECT_EQ(TOpenDialog::MatchesPattern(c.name, c.pattern), c.match) << c.name;
}

TEST_F(DialogsTest, AMissingFolderOpensAtHome) {
  ScopedHome home(Root.string());
  TOpenDialog dialog(nullptr);
  dialog.InitialDir = "/no/such/folder";
  EXPECT_EQ(dialog.StartFolder(), Root.string());
  dialog.InitialDir.clear();
  dialog.FileName = (Root / "sub" / "deep.txt").string();
  EXPECT_EQ(dialog.StartFolder(), (Root / "sub").string());
  dialog.FileName = "/gone/edict.txt";
  EXPECT_EQ(dialog.StartFolder(), Root.string());
}

TEST_F(DialogsTest, ChooserListsFoldersThenMatchingFilesAndAcceptsExistingOnes) {
  TFileChooser chooser(TOpenDialog::ParseFilter(kCardFilter), 0, Root.string());
  EXPECT_EQ(chooser.Entries(), (std::vector<std::string>{"../", "sub/", "common.txt", "edict.txt"}));
  chooser.SetFilterIndex(1);
  EXPECT_EQ(chooser.Entries().back(), "notes.md");
  std::string full;
  EXPECT_FALSE(chooser.Accept("missing.txt", &full));
  EXPECT_FALSE(chooser.Accept("sub", &full));  // a folder opens
  EXPECT_EQ(chooser.Folder(), (Root / "sub").string());
  EXPECT_TRUE(chooser.Accept("deep.txt", &full));
  EXPECT_EQ(full, (Root / "sub" / "deep.txt").string());
  EXPECT_TRUE(chooser.Open("../"));
  EXPECT_EQ(chooser.Folder(), Root.string());
  EXPECT_FALSE(chooser.Open("edict.txt"));
  EXPECT_EQ(chooser.Name(), "edict.txt");
}

TEST_F(DialogsTest, HeadlessExecuteIsAnsweredByTheTest) {
  TOpenDialog dialog(nullptr);
  dialog.Filter = kCardFilter;
  EXPECT_FALSE(dialog.Execute());  // no answer: cancelled
  hk::SetOpenDialogAnswerer([&](TOpenDialog& d) {
    EXPECT_EQ(d.Filter, kCardFilter);
    d.FileName = (Root / "edict.txt").string();
    return true;
  });
  EXPECT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, (Root / "edict.txt").string());
}

TEST_F(DialogsTest, TheChooserWindowTakesATypedName) {
  TOpenDialog dialog(nullptr);
  dialog.Filter = kCardFilter;
  dialog.InitialDir = Root.string();
  HeadlessChars(u"sub");
  HeadlessKeyPress(VK_RETURN);  // opens the folder
  HeadlessChars(u"deep.txt");
  HeadlessKeyPress(VK_RETURN);
  std::atomic<bool> done{false}, timedOut{false};
  std::thread watchdog([&] {
    for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!done) {
      timedOut = true;
      hk::CancelOpenDialogWindow();
    }
  });
  bool accepted = hk::RunOpenDialogWindow(dialog);
  done = true;
  watchdog.join();
  EXPECT_FALSE(timedOut);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(dialog.FileName, (Root / "sub" / "deep.txt").string());
}
