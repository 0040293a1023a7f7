// Writes arbitrary bytes as a settings file in a private folder and reads
// every section and key of it through TIniFile, then writes to it: a write
// must read back, through the same object while it is held and through
// another once it is saved, and leave the file readable.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "classlib/IniFiles.h"

namespace {

std::string gFolder;

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // In memory where there is a tmpfs: every write syncs the file to disk.
  char shm[] = "/dev/shm/hkfuzziniXXXXXX";
  char tmp[] = "/tmp/hkfuzziniXXXXXX";
  const char* folder = mkdtemp(shm);
  if (!folder) folder = mkdtemp(tmp);
  if (!folder) std::abort();
  gFolder = folder;
  std::atexit([] {
    std::remove((gFolder + "/fuzz.ini").c_str());
    rmdir(gFolder.c_str());
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) return 0;
  const std::string path = gFolder + "/fuzz.ini";
  WriteFile(path, data, size);
  TIniFile ini(path);
  try {
    TStringList sections;
    ini.ReadSections(sections);
    for (int i = 0; i < sections.Count(); ++i) {
      const std::string section = sections[i];
      TStringList keys;
      ini.ReadSection(section, keys);
      // A section exists while it holds a key.
      if (keys.Count() > 0 && !ini.SectionExists(section)) __builtin_trap();
      for (int k = 0; k < keys.Count(); ++k) {
        (void)ini.ReadString(section, keys[k], "");
        (void)ini.ReadInteger(section, keys[k], 7);
        (void)ini.ReadBool(section, keys[k], false);
      }
    }
    const std::string first = sections.Count() ? sections[0] : "Fuzz";
    ini.WriteString(first, "FuzzKey", "fuzz value");
    if (ini.ReadString(first, "FuzzKey", "") != "fuzz value") __builtin_trap();
    ini.WriteInteger("Fuzz Section", "Number", -12345);
    if (ini.ReadInteger("Fuzz Section", "Number", 0) != -12345) __builtin_trap();
    ini.DeleteKey(first, "FuzzKey");
    if (ini.ValueExists(first, "FuzzKey")) __builtin_trap();
    ini.EraseSection("Fuzz Section");
    if (ini.SectionExists("Fuzz Section")) __builtin_trap();
    // The held writes reach the file as they read.
    ini.WriteString(first, "FuzzKey", "saved");
    ini.UpdateFile();
    if (TIniFile(path).ReadString(first, "FuzzKey", "") != "saved") __builtin_trap();
  } catch (const Exception&) {
  }
  return 0;
}
