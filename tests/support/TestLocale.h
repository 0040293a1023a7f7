// A locale the machine may not have (a Turkish one, a Japanese one), made
// by Debian's localedef once into a folder of the build and used through
// LOCPATH, so the machine's own locales stay as they are.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#ifndef HK_TEST_LOCALE_DIR
#define HK_TEST_LOCALE_DIR HK_BINARY_DIR "/tests/locale"
#endif

namespace hktest {

// The folder that holds `language`.UTF-8 (e.g. "ja_JP"), for LOCPATH; empty
// when localedef failed, the reason in `failure`.
inline std::string TestLocaleDir(const std::string& language, std::string* failure) {
  namespace fs = std::filesystem;
  const fs::path dir = HK_TEST_LOCALE_DIR;
  const std::string name = language + ".UTF-8";
  if (fs::exists(dir / name / "LC_CTYPE")) return dir.string();
  // Made beside it and renamed, so a run that stops halfway leaves nothing half made.
  std::error_code ec;
  fs::create_directories(dir, ec);
  const fs::path part = dir / (name + ".part" + std::to_string(getpid()));
  const std::string command = "localedef -i " + language + " -f UTF-8 '" + part.string() + "' >/dev/null 2>&1; test -f '" +
                              part.string() + "/LC_CTYPE'";
  if (std::system(command.c_str()) != 0) {
    *failure = "localedef could not make " + name + " (is Debian's locales package installed?)";
    fs::remove_all(part, ec);
    return "";
  }
  fs::rename(part, dir / name, ec);
  fs::remove_all(part, ec);
  if (!fs::exists(dir / name / "LC_CTYPE")) {
    *failure = "cannot place " + name + " in " + dir.string();
    return "";
  }
  return dir.string();
}

}  // namespace hktest
