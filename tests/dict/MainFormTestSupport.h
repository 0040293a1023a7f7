// A main window made headless on a small dictionary, for the form tests.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "dict/DataFiles.h"
#include "dict/DictionaryProgram.h"
#include "dict/MainForm.h"
#include "dict/Markers.h"
#include "platform/Windows.h"
#include "platform/text/FontEngine.h"

inline const char16_t* const kTestDictionary =
    u"\u3000\uFF1F\uFF1F\uFF1F /test dictionary/\r\n"
    u"水 [みず] /(n) water/(P)/\r\n"
    u"お水 [おみず] /(n) (pol) water/\r\n"
    u"水道 [すいどう] /(n) water supply/water service/(P)/\r\n"
    u"雨水 [あまみず] /(n) rainwater/\r\n"
    u"ウォーター /(n) water/cold water/\r\n"
    u"日本 [にほん] /(n) Japan/(P)/\r\n"
    u"研究開発 [けんきゅうかいはつ] /(n) research and development/R&D/\r\n";

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    SetFontEngine(Engine());
    InitializeDictionaryProgram();
    FDir = fs::temp_directory_path() /
           ("hk-form-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
    ConfigFileName = (FDir / "config.txt").string();
    DictFileName.clear();
    DictionaryText = std::make_shared<const WideString>(kTestDictionary);
    SetMarkersFromLines({"n|noun", "pol|polite", "P|common"});
    Application->CreateForm(HanakumoForm);
    form = HanakumoForm;
    form->Show();
  }

  void TearDown() override {
    DoneApplication();
    HanakumoForm = nullptr;
    SetFontEngine(nullptr);
    std::filesystem::remove_all(FDir);
  }

  void Search(const WideString& query, TShiftState shift = 0) {
    form->edtSearch->SetText(query);
    WORD key = VK_RETURN;
    form->edtSearchKeyDown(form->edtSearch, key, shift);
  }

  static std::vector<WideString> Items(TWideListBox* list) {
    std::vector<WideString> items;
    for (int i = 0; i < list->Items().Count(); ++i) items.push_back(list->Items()[i]);
    return items;
  }

  std::string TempFile(const std::string& name) const { return (FDir / name).string(); }

  // Fixed metrics unless a test needs the real fonts.
  virtual std::shared_ptr<TFontEngine> Engine() { return CreateFakeFontEngine(); }

  THanakumoForm* form = nullptr;
  std::filesystem::path FDir;
};
