#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"
#include "dict/DataFiles.h"
#include "dict/Markers.h"
#include "tests/support/AsAnotherUser.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct StartupFiles : ::testing::Test {
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() / ("hk-start-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir);
    ::chmod(dir.c_str(), 0755);
    ConfigFileName = (dir / "config.txt").string();
  }
  void TearDown() override {
    fs::remove_all(dir);
    SetMarkersFromLines({});
    DictionaryText = std::make_shared<const WideString>();
  }
  void NameDictionary(const fs::path& file) {
    std::ofstream(ConfigFileName, std::ios::binary) << "[Dictionary]\r\nDictionaryFileName=" << file.string()
                                                    << "\r\nShowLineNumber=0\r\n";
  }
};

// The tests' own folder holds no markers.txt: the start says so each time.
std::string MarkersUnread() {
  const std::string file = ProgramDirectory() + "markers.txt";
  return "The marker list " + file + " cannot be read: No such file or directory.\r\n"
         "The abbreviations in the glosses are shown without their meaning.";
}

}  // namespace

TEST_F(StartupFiles, WithoutConfigTheProgramDirectoryDictionaryIsRead) {
  ConfigFileName = "/nonexistent/config.txt";
  EXPECT_THROW(LoadDictionary(), EFOpenError);  // the tests' folder has no dictionary
  EXPECT_EQ(DictFileName, ProgramDirectory() + "edict.txt");
}

// A dictionary that cannot be read at the start leaves the dictionary
// empty and says which file and why, for the user: the main window opens
// all the same. config.txt stays as it was.
TEST_F(StartupFiles, ADictionaryThatCannotBeReadIsToldAndLeavesItEmpty) {
  const fs::path folder = dir / "folder", fifo = dir / "fifo", closed = dir / "closed.txt", empty = dir / "empty.txt";
  fs::create_directory(folder);
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  std::ofstream(closed) << "x /y/\n";
  ::chmod(closed.c_str(), 0);
  std::ofstream(empty) << "";
  const struct {
    fs::path File;
    std::string Told;
  } cases[] = {
      {dir / "gone.txt", "cannot be read: No such file or directory."},
      {folder, "cannot be read: Is a directory."},
      {fifo, "cannot be read: not a regular file."},
      {closed, "cannot be read: Permission denied."},
      {empty, "holds no entry."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File.string());
    NameDictionary(c.File);
    const std::string config = ReadAll(ConfigFileName);
    const std::string told = "The dictionary file " + c.File.string() + " " + c.Told +
                             "\r\nChoose another one on the settings page.";
    // Root reads any file: the closed one is tried as nobody.
    const int code = hktest::RunAsNobody([&] {
      DictionaryText = std::make_shared<const WideString>(u"old\r\n");
      const std::vector<std::string> problems = LoadStartupFiles();
      if (problems != std::vector<std::string>{told, MarkersUnread()}) {
        for (const auto& p : problems) std::fprintf(stderr, "told: %s\n", p.c_str());
        return 1;
      }
      return DictionaryText->empty() && DictFileName == c.File.string() ? 0 : 2;
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(ConfigFileName), config);
  }
}

TEST_F(StartupFiles, AMissingMarkerListIsToldAndTheDictionaryIsRead) {
  std::ofstream(dir / "mine.txt") << "x /y/\n";
  NameDictionary(dir / "mine.txt");
  SetMarkersFromLines({"n|noun"});
  EXPECT_EQ(LoadStartupFiles(), std::vector<std::string>{MarkersUnread()});
  EXPECT_EQ(*DictionaryText, u"x /y/\r\n");
  EXPECT_TRUE(Markers.empty());
}
