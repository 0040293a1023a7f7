// The dictionary program on a real X server when its data files fail it: a
// dictionary or markers.txt the start cannot read is told in a box over the
// main window, which opens all the same, so the settings page can choose
// another dictionary; Apply refuses a file that holds no dictionary and
// keeps config.txt and the dictionary in use; a session end with such a
// box up ends the program at once, the box's text on standard error. And
// the window carries the program's icon at the sizes taskbars pick from.
#include "tests/dict-x11/DictionaryWindowFixture.h"

#include <X11/Xatom.h>

#include <map>

#include "tests/support/ProcessTimes.h"

namespace {

using namespace hktest;
namespace fs = std::filesystem;

class DataFilesOnTheDisplayTest : public DictionaryWindowTest {
 protected:
  void NameDictionary(const std::string& name) {
    std::ofstream(ProgramDir / "config.txt", std::ios::binary)
        << "[Dictionary]\r\nDictionaryFileName=" << name << "\r\nShowLineNumber=1\r\n";
  }
  // Starts the program and waits for its main window with a box over it.
  void StartAndWaitForTheBox() {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitFor([&] { return (Win = FindMainWindow()) != 0 && Box() != 0; }, 30))
        << "no main window with a box over it";
    EXPECT_TRUE(Viewable());
  }
  // The box answered with Enter; the keyboard goes back to the main window.
  void DismissTheBox() {
    ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
    ASSERT_TRUE(WaitFor([&] { return Box() == 0; }, 5)) << "the box stayed";
    ASSERT_TRUE(WaitFor(
        [&] {
          Window focus = 0;
          int revert = 0;
          XGetInputFocus(D, &focus, &revert);
          return focus == Win;
        },
        10))
        << "the main window did not get the keyboard back";
  }
  void OpenPage(int x, int y, bool settings) {
    Click(x, y);
    // The settings page is grey where the search page's result pane is white.
    ASSERT_TRUE(WaitFor([&] { TShot s = Shot(); return !s.Empty() && (settings ? ListGrey : White)(s.At(400, 400)); }, 10))
        << "the page did not open";
  }
  void SearchWater() {
    ASSERT_NO_FATAL_FAILURE(OpenPage(DictionaryIconX, DictionaryIconY, false));
    ClickAndLetItLand(SearchBoxX, SearchBoxY);
    ASSERT_NO_FATAL_FAILURE(Type("water"));
    ASSERT_NO_FATAL_FAILURE(Key(XK_Return));
    ASSERT_TRUE(WaitFor([&] { return FirstResultShown(); }, 20)) << "the search found nothing";
  }
  // A SIGTERM (or the display closing) with the box up: the program ends
  // at once, and the box's text is on standard error.
  void EndAndExpectTold(const std::string& told, bool displayCloses = false) {
    TEnd end;
    ASSERT_NO_FATAL_FAILURE(EndTheSession(displayCloses, &end));
    EXPECT_NE(ProgramLog().find("Hanakumo Dictionary: " + told), std::string::npos) << ProgramLog();
  }
};

// What each kind of failure is told as, read at a session end with its box up.
TEST_P(DataFilesOnTheDisplayTest, AFileTheStartCannotReadIsToldByNameAndReason) {
  const struct {
    const char* What;
    std::string Told;
  } cases[] = {
      {"gone", "The dictionary file " + (ProgramDir / "gone.txt").string() +
                   " cannot be read: No such file or directory.\nChoose another one on the settings page."},
      {"folder", "The dictionary file " + (ProgramDir / "folder").string() + " cannot be read: Is a directory."},
      {"markers", "The marker list " + (ProgramDir / "markers.txt").string() +
                      " cannot be read: No such file or directory.\nThe abbreviations"},
  };
  fs::create_directory(ProgramDir / "folder");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string what = c.What;
    if (what == "markers") {
      fs::remove(ProgramDir / "config.txt");
      fs::remove(ProgramDir / "markers.txt");
    } else {
      NameDictionary((ProgramDir / (what == "gone" ? "gone.txt" : "folder")).string());
    }
    const std::string config = ReadConfig();
    ASSERT_NO_FATAL_FAILURE(StartAndWaitForTheBox());
    ASSERT_NO_FATAL_FAILURE(EndAndExpectTold(c.Told));
    EXPECT_EQ(ReadConfig(), config);
  }
}

TEST_P(DataFilesOnTheDisplayTest, TheDisplayClosingWithTheStartsBoxUpEndsTheProgram) {
  NameDictionary((ProgramDir / "gone.txt").string());
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForTheBox());
  ASSERT_NO_FATAL_FAILURE(EndAndExpectTold("The dictionary file " + (ProgramDir / "gone.txt").string(), true));
}

TEST_P(DataFilesOnTheDisplayTest, AfterAMissingDictionaryTheSettingsPageLoadsAnother) {
  const std::string gone = (ProgramDir / "gone.txt").string();
  NameDictionary(gone);
  const std::string config = ReadConfig();
  fs::copy_file(ProgramDir / "edict.txt", ProgramDir / "good.txt");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForTheBox());
  ASSERT_NO_FATAL_FAILURE(DismissTheBox());
  EXPECT_EQ(ReadConfig(), config);
  ASSERT_NO_FATAL_FAILURE(OpenPage(SettingsIconX, SettingsIconY, true));
  ASSERT_NO_FATAL_FAILURE(ApplyDictionaryName("good.txt"));
  ASSERT_TRUE(WaitFor([&] { return ReadConfig().find("DictionaryFileName=good.txt\r\n") != std::string::npos; }, 10))
      << ReadConfig();
  EXPECT_EQ(Box(), 0u);
  ASSERT_NO_FATAL_FAILURE(SearchWater());
}

TEST_P(DataFilesOnTheDisplayTest, WithoutMarkersTheWindowShowsAndSearchesWork) {
  fs::remove(ProgramDir / "markers.txt");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForTheBox());
  ASSERT_NO_FATAL_FAILURE(DismissTheBox());
  ASSERT_NO_FATAL_FAILURE(SearchWater());
}

TEST_P(DataFilesOnTheDisplayTest, ApplyRefusesAnEmptyAndABinaryFileAndKeepsTheDictionary) {
  NameDictionary("edict.txt");
  const std::string config = ReadConfig();
  std::ofstream(ProgramDir / "empty.txt");
  fs::copy_file("/bin/ls", ProgramDir / "program.bin");
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  ASSERT_NO_FATAL_FAILURE(OpenPage(SettingsIconX, SettingsIconY, true));
  ASSERT_NO_FATAL_FAILURE(ApplyDictionaryName("empty.txt"));
  ASSERT_TRUE(WaitFor([&] { return Box() != 0; }, 10)) << "Apply said nothing";
  EXPECT_EQ(ReadConfig(), config);
  ASSERT_NO_FATAL_FAILURE(DismissTheBox());
  ASSERT_NO_FATAL_FAILURE(SearchWater());
  ASSERT_NO_FATAL_FAILURE(OpenPage(SettingsIconX, SettingsIconY, true));
  ASSERT_NO_FATAL_FAILURE(ApplyDictionaryName("program.bin"));
  ASSERT_TRUE(WaitFor([&] { return Box() != 0; }, 10)) << "Apply said nothing";
  EXPECT_EQ(ReadConfig(), config);
  ASSERT_NO_FATAL_FAILURE(EndAndExpectTold("The dictionary file program.bin is not a UTF-8 text file.\n"
                                           "The dictionary in use is kept."));
  EXPECT_EQ(ReadConfig(), config);
}

// _NET_WM_ICON as taskbars read it: each size once, with the pixels of the
// program's icon images as ImageMagick reads them (straight-alpha ARGB).
TEST_P(DataFilesOnTheDisplayTest, TheWindowCarriesTheProgramsIconAtItsSizes) {
  ASSERT_NO_FATAL_FAILURE(StartAndWaitForWindow());
  std::vector<long> prop;
  ASSERT_TRUE(WaitFor(
      [&] {
        Atom type;
        int format;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        prop.clear();
        if (XGetWindowProperty(D, Win, XInternAtom(D, "_NET_WM_ICON", False), 0, 1 << 20, False, XA_CARDINAL, &type,
                               &format, &n, &after, &data) == Success &&
            data != nullptr && format == 32)
          prop.assign(reinterpret_cast<long*>(data), reinterpret_cast<long*>(data) + n);
        if (data) XFree(data);
        return !prop.empty();
      },
      10))
      << "the window has no _NET_WM_ICON";
  std::map<long, std::vector<uint32_t>> images;
  for (size_t at = 0; at + 2 <= prop.size();) {
    const long w = prop[at], h = prop[at + 1];
    ASSERT_EQ(w, h);
    ASSERT_LE(at + 2 + static_cast<size_t>(w * h), prop.size());
    ASSERT_EQ(images.count(w), 0u) << "size " << w << " given twice";
    for (long i = 0; i < w * h; ++i) images[w].push_back(static_cast<uint32_t>(prop[at + 2 + static_cast<size_t>(i)]));
    at += 2 + static_cast<size_t>(w * h);
  }
  std::vector<long> sizes;
  for (const auto& [size, pixels] : images) sizes.push_back(size);
  EXPECT_EQ(sizes, (std::vector<long>{16, 32, 48}));
  for (const auto& [size, pixels] : images) {
    const std::string png = std::string(HK_SOURCE_DIR) + "/assets/dict/images/icon" + std::to_string(size) + ".png";
    FILE* in = popen(("convert '" + png + "' -depth 8 rgba:-").c_str(), "r");
    ASSERT_NE(in, nullptr);
    std::vector<unsigned char> rgba(static_cast<size_t>(size * size * 4));
    const size_t got = fread(rgba.data(), 1, rgba.size(), in);
    pclose(in);
    ASSERT_EQ(got, rgba.size()) << png;
    int differ = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
      const unsigned char* p = &rgba[i * 4];
      const uint32_t argb = (uint32_t{p[3]} << 24) | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
      if (p[3] == 0 ? (pixels[i] >> 24) != 0 : pixels[i] != argb) ++differ;
    }
    EXPECT_EQ(differ, 0) << "pixels of the " << size << " image unlike " << png;
  }
}

INSTANTIATE_TEST_SUITE_P(, DataFilesOnTheDisplayTest,
                         ::testing::Values(TWindowManager::NoWindowManager, TWindowManager::Openbox),
                         [](const ::testing::TestParamInfo<TWindowManager>& info) {
                           return std::string(hktest::WindowManagerName(info.param));
                         });

}  // namespace
