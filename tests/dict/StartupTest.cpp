#include <gtest/gtest.h>
#include <fcntl.h>
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
  int status = 0;
  waitpid(pid, &status, 0);
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
