// The card program made headless from its own forms, on the virtual clock,
// with its settings file, dictionary and the user's autostart entries in a
// folder of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "card/CardForm.h"
#include "card/CardProgram.h"
#include "card/MainGlobals.h"
#include "card/SettingsForm.h"
#include "classlib/Forms.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "common/WindowUtils.h"
#include "platform/Session.h"
#include "platform/Windows.h"
#include "platform/drivers/headless/Headless.h"
#include "platform/services/MessageBox.h"
#include "platform/text/FontEngine.h"

// Two entries with a reading and a short gloss, so every pick is a
// 280 x 170 card.
inline const char* const kShortDictionary =
    "水 [みず] /(n) water/(P)/\n"
    "火 [ひ] /(n) fire/\n";

// Files chosen as the dictionary by mistake: the start of a program (a zero
// byte among its first bytes, then lines of text) and of a PNG image.
inline const std::string kProgramBytes =
    std::string("\x7F" "ELF\x02\x01\x01\0\0\0\n", 11) + "/lib64/ld-linux-x86-64.so.2\n";
inline const std::string kImageBytes = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);

// Counts the card images handed to windows: one per refresh.
inline int& ImageUpdates() {
  static int n = 0;
  return n;
}
inline BOOL CountingUpdate(HWND hwnd, HDC dst, POINT* dstPoint, SIZE* size, HDC src, POINT* srcPoint,
                           COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
  if (src != nullptr) ++ImageUpdates();
  return UpdateLayeredWindow(hwnd, dst, dstPoint, size, src, srcPoint, key, blend, flags);
}

class CardTest : public ::testing::Test {
 public:
  void SetUp() override {
    namespace fs = std::filesystem;
    UseVirtualClock(true);
    ResetPlatformForTests();
    HeadlessSetScreenSize(1280, 1024);
    SetFontEngine(CreateFakeFontEngine());
    hk::ClearMessageBoxes();
    FDir = fs::temp_directory_path() / ("hk-card-" + std::to_string(::getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(FDir);
    fs::create_directories(FDir / "config");
    ::setenv("XDG_CONFIG_HOME", (FDir / "config").c_str(), 1);
    InitializeCardProgram();
    SetModuleExport("User32.dll", "UpdateLayeredWindow", reinterpret_cast<FARPROC>(&CountingUpdate));
    BindLayeredWindowFunctions();
    ImageUpdates() = 0;
    ConfigFileName = (FDir / "config.ini").string();
    WriteFile("dict.txt", kShortDictionary);
  }

  void TearDown() override {
    Finish();
    SetFontEngine(nullptr);
    ResetModuleExports();
    BindLayeredWindowFunctions();
    ResetPlatformForTests();
    ::unsetenv("XDG_CONFIG_HOME");
    std::filesystem::remove_all(FDir);
  }

  // The program block: the card, then the dialog.
  void Start() {
    Application->Initialize();
    Application->CreateForm(HanakumoCardForm);
    Application->CreateForm(SettingsForm);
    card = HanakumoCardForm;
    settings = SettingsForm;
  }
  // The end of the program: every form freed, config.ini written.
  void Finish() {
    DoneApplication();
    HanakumoCardForm = nullptr;
    SettingsForm = nullptr;
    card = nullptr;
    settings = nullptr;
  }

  // A config.ini naming the test's dictionary, with these keys besides.
  void WriteConfig(const std::map<std::string, std::string>& keys = {}, bool withDictionary = true) {
    std::string text = "[Card]\n";
    if (withDictionary) text += "DictionaryFileName=" + Path("dict.txt") + "\n";
    text += "FirstRun=0\n";
    for (auto& [k, v] : keys) text += k + "=" + v + "\n";
    WriteFile("config.ini", text);
  }

  std::string Path(const std::string& name) const { return (FDir / name).string(); }
  void WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(FDir / name, std::ios::binary) << text;
  }
  std::string ReadFile(const std::string& name) const {
    std::ifstream in(FDir / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  HWND CardWindow() const { return card->Handle(); }
  RECT CardRect() const {
    RECT r{};
    GetWindowRect(card->Handle(), &r);
    return r;
  }
  BYTE CardOpacity() const {
    BYTE a = 0;
    GetLayeredWindowAttributes(card->Handle(), nullptr, &a, nullptr);
    return a;
  }
  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (auto& b : hk::MessageBoxesShown()) texts.push_back(b.Text);
    return texts;
  }
  static std::string AutostartEntry() {
    TRegistry r;
    r.SetRootKey(HKEY_CURRENT_USER);
    r.OpenKey(RunKey, true);
    return r.ReadString(RunValueName);
  }

  THanakumoCardForm* card = nullptr;
  TSettingsForm* settings = nullptr;
  std::filesystem::path FDir;
};
