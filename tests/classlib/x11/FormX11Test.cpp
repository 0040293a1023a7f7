// A form with a label, a paint box and an image on a real display: the X
// server shows the pixels the form painted into its surface.
#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "ScreenGrab.h"
#include "platform/drivers/headless/Headless.h"

namespace {

class FormX11Test : public testing::Test {
 protected:
  const char* FDisplay = nullptr;
  void SetUp() override {
    FDisplay = std::getenv("HANAKUMO_TEST_DISPLAY");
    if (FDisplay == nullptr || *FDisplay == 0) GTEST_SKIP() << "HANAKUMO_TEST_DISPLAY is not set";
    ASSERT_TRUE(SelectPlatformDriver("x11", FDisplay));
  }
  void TearDown() override {
    if (!FDisplay || !*FDisplay) return;
    DoneApplication();
    SelectPlatformDriver("headless");
  }
  std::vector<uint32_t> ScreenPixels(const TRect& r) { return GrabScreen(FDisplay, r.left, r.top, r.Width(), r.Height()); }
};

}  // namespace

TEST_F(FormX11Test, TheScreenShowsWhatTheFormPainted) {
  auto* form = new TForm(Application);
  form->SetBorderStyle(bsNone);
  form->SetBounds(60, 40, 160, 90);
  form->SetColor(0xF5F5F5);
  auto* box = new TPaintBox(form);
  box->SetParent(form);
  box->SetBounds(80, 10, 70, 30);
  box->OnPaint = [box](TObject*) {
    box->Canvas().Brush().SetColor(clRed);
    box->Canvas().FillRect(box->ClientRect());
  };
  auto* label = new TLabel(form);
  label->SetParent(form);
  label->SetBounds(8, 50, 100, 20);
  label->SetCaption("Loading...");
  auto* image = new TImage(form);
  image->SetParent(form);
  image->SetBounds(10, 10, 4, 2);
  image->Picture().LoadFromFile(HK_SOURCE_DIR "/tests/classlib/data/blue-green.bmp");
  form->Show();
  form->Update();

  std::vector<uint32_t> surface, screen;
  auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  bool same = false;
  while (!same && std::chrono::steady_clock::now() < end) {
    Application->ProcessMessages();
    int w = 0, h = 0;
    surface.clear();
    ReadWindowPixels(form->Handle(), true, &w, &h, &surface);
    for (auto& p : surface) p &= 0xFFFFFFu;
    screen = ScreenPixels(Bounds(60, 40, 160, 90));
    same = !surface.empty() && screen == surface;
    if (!same) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(same);
  ASSERT_EQ(surface.size(), 160u * 90u);
  EXPECT_EQ(surface[20 * 160 + 100], 0xFF0000u);  // the paint box
  EXPECT_EQ(surface[10 * 160 + 10], 0x0000FFu);   // the image's blue row
  EXPECT_EQ(surface[80 * 160 + 150], 0xF5F5F5u);  // the form's colour
}
