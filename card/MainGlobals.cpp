#include "card/MainGlobals.h"

#include "classlib/SysUtils.h"
#include "dict/DictionaryFileCheck.h"

std::unique_ptr<TStringList> DictionaryLines;
bool AutoStopRefresh = true;
int Alpha = 100;
int ResizingPointX = 0;
int ResizingPointY = 0;
uint8_t ResizingFrom = 0;
std::string ConfigFileName;
std::string DictFileName;
const WideString PriorityMark = u"(P)";

void InitializeMain() {
  static bool seeded = false;
  if (!seeded) {
    Randomize();
    seeded = true;
  }
  ConfigFileName = ProgramDirectory() + "config.ini";
}

std::unique_ptr<TStringList> ReadDictionaryFile(const std::string& fileName, std::string& error) {
  auto lines = std::make_unique<TStringList>();
  try {
    lines->SetText(ReadDictionaryBytes(fileName));
  } catch (const EDictionaryFileError& e) {
    error = e.Message();
    return nullptr;
  } catch (const std::exception& e) {
    error = "The dictionary file " + fileName + " cannot be read:\r\n" + e.what();
    return nullptr;
  }
  return lines;
}
