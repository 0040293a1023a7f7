// Temporary folders for tests that touch files.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/hkclasslibXXXXXX";
    FPath = mkdtemp(tmpl);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(FPath, ec);
  }
  std::string File(const std::string& name) const { return FPath + "/" + name; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  const std::string& Path() const { return FPath; }

 private:
  std::string FPath;
};
