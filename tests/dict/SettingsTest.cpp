#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "MainFormTestSupport.h"
#include "unicode/WideUnicode.h"
#include "classlib/IniFiles.h"
#include "classlib/controls/Dialogs.h"
#include "tests/support/AsAnotherUser.h"

namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST_F(MainFormTest, WithoutConfigLineNumbersAreOn) {
  EXPECT_TRUE(form->chkShowLineNumber->Checked());
}

TEST_F(MainFormTest, ApplyWithANewFileServesTheNextSearch) {
  const std::string other = TempFile("other.txt");
  std::ofstream(other, std::ios::binary) << "x /waterfall/\n";
  form->edtDictFileName->SetText(other);
  form->chkShowLineNumber->SetChecked(false);
  form->btnApplyClick(form->btnApply);
  EXPECT_EQ(DictFileName, other);
  Search(u"water");
  EXPECT_EQ(Items(form->lstSimiliarMatch), (std::vector<WideString>{u"waterfall"}));
  TIniFile ini(ConfigFileName);
  EXPECT_EQ(ini.ReadString("Dictionary", "DictionaryFileName", ""), other);
  EXPECT_FALSE(ini.ReadBool("Dictionary", "ShowLineNumber", true));
}

// A name Apply cannot open (a FIFO: below) is refused with the file and the reason, and
// changes neither config.txt nor the dictionary in use.
TEST_F(MainFormTest, ApplyRefusesANameThatIsNoReadableFile) {
  const std::string folder = TempFile("folder");
  ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
  const std::string missing = TempFile("missing.txt");
  TIniFile(ConfigFileName).WriteString("Other", "Keep", "1");
  const std::string before = ReadAll(ConfigFileName);
  const struct {
    std::string Name, Reason;
  } cases[] = {{missing, "No such file or directory"}, {folder, "Is a directory"}};
  for (const auto& c : cases) {
    form->edtDictFileName->SetText(c.Name);
    form->chkShowLineNumber->SetChecked(false);
    try {
      form->btnApplyClick(form->btnApply);
      ADD_FAILURE() << c.Name << " was taken";
    } catch (const EFOpenError& e) {
      EXPECT_EQ(e.Message(), "Cannot open file \"" + c.Name + "\". " + c.Reason);
    }
    EXPECT_EQ(*DictionaryText, kTestDictionary);
    EXPECT_TRUE(DictFileName.empty());
    EXPECT_EQ(ReadAll(ConfigFileName), before) << c.Name;
  }
}

// A file that opens but holds no dictionary (empty, a program) is refused
// with its name: config.txt and the dictionary in use stay as they were.
TEST_F(MainFormTest, ApplyRefusesAFileThatHoldsNoDictionary) {
  const std::string empty = TempFile("empty.txt");
  std::ofstream(empty, std::ios::binary) << "";
  TIniFile(ConfigFileName).WriteString("Other", "Keep", "1");
  const std::string before = ReadAll(ConfigFileName);
  const struct {
    std::string Name, Why;
  } cases[] = {{empty, "holds no entry"}, {"/bin/ls", "is not a UTF-8 text file"}};
  for (const auto& c : cases) {
    form->edtDictFileName->SetText(c.Name);
    form->chkShowLineNumber->SetChecked(false);
    try {
      form->btnApplyClick(form->btnApply);
      ADD_FAILURE() << c.Name << " was taken";
    } catch (const EDictionaryFileError& e) {
      EXPECT_EQ(e.Message(), "The dictionary file " + c.Name + " " + c.Why + ".\r\nThe dictionary in use is kept.");
    }
    EXPECT_EQ(ReadAll(ConfigFileName), before) << c.Name;
    EXPECT_EQ(*DictionaryText, kTestDictionary);
    EXPECT_TRUE(DictFileName.empty());
  }
  Search(u"water");
  EXPECT_EQ(form->ExactCount(), 4);
}

// A dictionary with a damaged byte (a Latin-1 letter typed into a gloss) is
// taken, and finds what the whole one finds: the damage is one U+FFFD.
TEST_F(MainFormTest, ApplyTakesADictionaryWithADamagedByte) {
  const std::string whole = WideToUTF8(kTestDictionary);
  const size_t japan = whole.find("Japan/");
  ASSERT_NE(japan, std::string::npos);
  const std::string damaged = TempFile("damaged.txt");
  std::ofstream(damaged, std::ios::binary) << whole.substr(0, japan) + "Jap\xE9n/" + whole.substr(japan + 6);
  const WideString queries[] = {u"water", u"日本", u"Jap"};
  auto found = [&] {
    std::vector<std::pair<std::vector<WideString>, std::vector<WideString>>> lists;
    for (const WideString& query : queries) {
      Search(query);
      lists.emplace_back(Items(form->lstExactMatch), Items(form->lstSimiliarMatch));
    }
    return lists;
  };
  const auto before = found();
  form->edtDictFileName->SetText(damaged);
  form->btnApplyClick(form->btnApply);
  EXPECT_EQ(DictFileName, damaged);
  const auto after = found();
  EXPECT_EQ(after[0], before[0]);
  EXPECT_EQ(after[1], before[1]);
  EXPECT_EQ(after[2].second, std::vector<WideString>{u"Jap\uFFFDn"});
}

// With no dictionary loaded (the start could not read it) a search finds
// nothing, and Apply reads the file again even by the same name, which may
// be back by now.
TEST_F(MainFormTest, WithoutADictionarySearchesFindNothingAndApplyReadsTheNameAgain) {
  const std::string back = TempFile("back.txt");
  DictionaryText = std::make_shared<const WideString>();
  DictFileName = back;
  Search(u"water");
  EXPECT_EQ(form->ExactCount() + form->SimiliarCount(), 0);
  EXPECT_FALSE(form->Searching());
  // Still gone: said, and the check box is saved with the name as it was.
  form->edtDictFileName->SetText(back);
  form->chkShowLineNumber->SetChecked(false);
  EXPECT_THROW(form->btnApplyClick(form->btnApply), EFOpenError);
  EXPECT_FALSE(TIniFile(ConfigFileName).ReadBool("Dictionary", "ShowLineNumber", true));
  EXPECT_EQ(TIniFile(ConfigFileName).ReadString("Dictionary", "DictionaryFileName", ""), back);
  std::ofstream(back, std::ios::binary) << "x /waterfall/\n";
  form->btnApplyClick(form->btnApply);
  Search(u"water");
  EXPECT_EQ(Items(form->lstSimiliarMatch), (std::vector<WideString>{u"waterfall"}));
}

TEST_F(MainFormTest, ApplySavesThroughALinkAndKeepsAReadOnlyConfig) {
  namespace fs = std::filesystem;
  const std::string real = TempFile("real.txt");
  TIniFile(ConfigFileName).WriteString("Other", "Keep", "1");
  fs::rename(ConfigFileName, real);
  fs::create_symlink(real, ConfigFileName);
  form->chkShowLineNumber->SetChecked(false);
  form->btnApplyClick(form->btnApply);
  EXPECT_TRUE(fs::is_symlink(ConfigFileName));
  EXPECT_FALSE(TIniFile(real).ReadBool("Dictionary", "ShowLineNumber", true));
  // Read-only, and Apply by a user who may not write it.
  fs::remove(ConfigFileName);
  fs::copy_file(real, ConfigFileName);
  const std::string before = ReadAll(ConfigFileName);
  ASSERT_EQ(chmod(ConfigFileName.c_str(), 0444), 0);
  ASSERT_EQ(chmod(fs::path(ConfigFileName).parent_path().c_str(), 0777), 0);
  const int code = hktest::RunAsNobody([&] {
    form->chkShowLineNumber->SetChecked(true);
    try {
      form->btnApplyClick(form->btnApply);
    } catch (const EIniFileException& e) {
      return e.Message() == "Unable to write to " + ConfigFileName ? 0 : 1;
    }
    return 2;
  });
  EXPECT_EQ(code, 0);
  EXPECT_EQ(ReadAll(ConfigFileName), before);
}

TEST_F(MainFormTest, ApplyDuringASearchWaitsForItsEnd) {
  const std::string other = TempFile("other.txt");
  std::ofstream(other, std::ios::binary) << "x /waterfall/\n";
  form->edtDictFileName->SetText(other);
  bool applied = false;
  auto classify = SearchEngine->OnMatch;
  SearchEngine->OnMatch = [&](int64_t start, int64_t stop) {
    if (!applied) {
      applied = true;
      form->btnApplyClick(form->btnApply);
      EXPECT_EQ(*DictionaryText, kTestDictionary);  // the running scan keeps its text
    }
    classify(start, stop);
  };
  Search(u"water");
  EXPECT_EQ(form->ExactCount(), 4);
  EXPECT_EQ(*DictionaryText, u"x /waterfall/\r\n");
  EXPECT_EQ(DictFileName, other);
}

TEST_F(MainFormTest, ConfigRoundTrip) {
  form->edtDictFileName->SetText("/some/where/dict.txt");
  form->chkShowLineNumber->SetChecked(false);
  SaveSettings(*form);
  form->chkShowLineNumber->SetChecked(true);
  DictFileName = "/some/where/dict.txt";
  LoadSettings(*form);
  EXPECT_FALSE(form->chkShowLineNumber->Checked());
  EXPECT_EQ(form->edtDictFileName->Text(), "/some/where/dict.txt");
}

TEST_F(MainFormTest, BrowseOnlyFillsTheEdit) {
  const std::string chosen = TempFile("chosen.txt");
  std::ofstream(chosen, std::ios::binary) << "y /z/\n";
  hk::SetOpenDialogAnswerer([&](TOpenDialog& dialog) {
    EXPECT_EQ(dialog.Filter, "Text Files (*.txt)|*.txt|All Files (*.*)|*.*");
    dialog.FileName = chosen;
    return true;
  });
  form->btnBrowseDictFileClick(form->btnBrowseDictFile);
  hk::SetOpenDialogAnswerer(nullptr);
  EXPECT_EQ(form->edtDictFileName->Text(), chosen);
  EXPECT_EQ(*DictionaryText, kTestDictionary);
  EXPECT_FALSE(std::filesystem::exists(ConfigFileName));
}
