// Names the system compares without regard to case (resources, window
// classes, registered messages) compare their ASCII letters only, whatever
// LC_CTYPE the program took from the environment: in a Turkish locale the C
// library's tolower('I') is no 'i', so a lookup by "testimage" would miss
// TESTIMAGE.
#include <gtest/gtest.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/Windows.h"
#include "tests/support/TestLocale.h"

namespace {

class NamesInATurkishLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string failure;
    const std::string dir = hktest::TestLocaleDir("tr_TR", &failure);
    ASSERT_FALSE(dir.empty()) << failure;
    setenv("LOCPATH", dir.c_str(), 1);
    ASSERT_NE(std::setlocale(LC_CTYPE, "tr_TR.UTF-8"), nullptr);
    // The locale really bites.
    ASSERT_EQ(std::tolower('I'), 'I');
  }
  void TearDown() override {
    std::setlocale(LC_CTYPE, "C");
    unsetenv("LOCPATH");
  }
};

LRESULT Plain(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcA(h, m, w, l); }

TEST_F(NamesInATurkishLocale, ResourcesClassesAndMessagesAreFoundInAnyCase) {
  EXPECT_NE(FindResourceA(nullptr, "testimage", "png"), nullptr);
  EXPECT_EQ(RegisterWindowMessageA("HK_TURKISH_I"), RegisterWindowMessageA("hk_turkish_i"));
  WNDCLASSA wc{};
  wc.lpfnWndProc = Plain;
  wc.lpszClassName = "HkTurkishClassI";
  ASSERT_NE(RegisterClassA(&wc), 0);
  WNDCLASSA found{};
  EXPECT_TRUE(GetClassInfoA(nullptr, "HKTURKISHCLASSI", &found));
  HWND h = CreateWindowExA(0, "hkturkishclassi", "turkish", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(FindWindowA("HKTURKISHCLASSI", "turkish"), h);
  DestroyWindow(h);
}

}  // namespace
