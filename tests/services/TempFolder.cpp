#include "TempFolder.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "hk-services-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  FPath = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(FPath, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(FPath, ignored);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : FName(name) {
  if (const char* old = std::getenv(name)) FOld = old;
  setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
  if (FOld)
    setenv(FName.c_str(), FOld->c_str(), 1);
  else
    unsetenv(FName.c_str());
}

std::string ReadWholeFile(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteWholeFile(const std::string& fileName, const std::string& content) {
  std::ofstream out(fileName, std::ios::binary);
  out << content;
}

bool FileExistsAt(const std::string& fileName) { return access(fileName.c_str(), F_OK) == 0; }
