#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"
#include "dict/DataFiles.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Runs a copy of the program from a folder of its own, headless; answers its
// exit status and what it wrote to standard error.
int RunProgramIn(const fs::path& dir, std::string* errors) {
  const fs::path program = dir / "HanakumoDict";
  fs::copy_file(HK_DICT_PROGRAM, program, fs::copy_options::overwrite_existing);
  const fs::path log = dir / "stderr.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::string driver = "HANAKUMO_DRIVER=headless";
  std::string options = "ASAN_OPTIONS=detect_leaks=0";
  char* env[] = {driver.data(), options.data(), nullptr};
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  EXPECT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, env), 0);
  posix_spawn_file_actions_destroy(&actions);
  // A program that hangs is killed after a minute and reported as such.
  int status = 0;
  bool ended = false;
  for (int i = 0; i < 600 && !ended; ++i) {
    ended = waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) usleep(100000);
  }
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    *errors = "the program hung";
    return -2;
  }
  std::ifstream in(log);
  std::stringstream text;
  text << in.rdbuf();
  *errors = text.str();
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

TEST(Startup, MissingDictionaryEndsTheProgramWithTheErrorReport) {
  const fs::path dir = fs::temp_directory_path() / ("hk-start-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "markers.txt") << "n|noun\n";
  std::string errors;
  EXPECT_EQ(RunProgramIn(dir, &errors), 1);
  EXPECT_NE(errors.find("Exception EFOpenError in module HanakumoDict"), std::string::npos) << errors;
  EXPECT_NE(errors.find((dir / "edict.txt").string()), std::string::npos) << errors;
  fs::remove_all(dir);
}

TEST(Startup, WithoutConfigTheProgramDirectoryDictionaryIsRead) {
  ConfigFileName = "/nonexistent/config.txt";
  EXPECT_THROW(LoadDictionary(), EFOpenError);  // the tests' folder has no dictionary
  EXPECT_EQ(DictFileName, ProgramDirectory() + "edict.txt");
}

TEST(Startup, FifoAsDictionaryOrMarkersEndsTheProgramWithTheErrorReport) {
  for (const std::string fifoName : {"fifo-dictionary", "markers.txt"}) {
    SCOPED_TRACE(fifoName);
    const fs::path dir = fs::temp_directory_path() / ("hk-start-fifo-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path fifo = dir / fifoName;
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    if (fifoName == "markers.txt") {
      std::ofstream(dir / "edict.txt") << "x /y/\n";
    } else {
      std::ofstream(dir / "markers.txt") << "n|noun\n";
      std::ofstream(dir / "config.txt") << "[Dictionary]\nDictionaryFileName=" << fifo.string() << "\n";
    }
    std::string errors;
    EXPECT_EQ(RunProgramIn(dir, &errors), 1) << errors;
    EXPECT_NE(errors.find("Exception EFOpenError in module HanakumoDict"), std::string::npos) << errors;
    EXPECT_NE(errors.find("Cannot open file \"" + fifo.string() + "\". not a regular file"), std::string::npos)
        << errors;
    fs::remove_all(dir);
  }
}
