// A temporary folder for one test, removed with everything in it, and an
// environment variable set for the test's duration.
#pragma once

#include <optional>
#include <string>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& name) const { return FPath + "/" + name; }

 private:
  std::string FPath;
};

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();

 private:
  std::string FName;
  std::optional<std::string> FOld;
};

std::string ReadWholeFile(const std::string& fileName);
void WriteWholeFile(const std::string& fileName, const std::string& content);
bool FileExistsAt(const std::string& fileName);
