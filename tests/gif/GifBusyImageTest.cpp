// The busy indicator as the dictionary program shows it: a TGIFImage in an
// image control on a shown form, turning while the GUI thread pumps messages.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <chrono>
#include <thread>

#include "GifTestUtil.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "gif/GifCodec.h"
#include "platform/Clock.h"
#include "platform/Windows.h"

TEST(GifBusyImage, TurnsWhileMessagesArePumped) {
  UseVirtualClock(true);
  TComponentPtr<TForm> form(new TForm(nullptr));
  form->SetBounds(0, 0, 200, 100);
  auto* image = new TImage(form.get());
  image->SetParent(form.get());
  image->SetBounds(10, 10, 16, 16);
  Bytes data = ReadFileBytes(std::string(HK_SOURCE_DIR) + "/assets/dict/busy.gif");
  TMemoryStream s;
  s.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  s.SetPosition(0);
  image->Picture().LoadFromStreamAs("TGIFImage", s);
  auto* gif = dynamic_cast<TGIFImage*>(image->Picture().Graphic());
  ASSERT_NE(gif, nullptr);
  std::atomic<int> painted{0};
  std::vector<int> frames;
  gif->OnFramePaint = [&](TGIFPainter* p) {
    ++painted;
    frames.push_back(p->CurrentFrame);
  };
  form->Show();
  form->Update();
  // What the window shows of the ring's top dot, which changes shade each frame.
  std::set<COLORREF> shown;
  auto sample = [&] {
    HDC dc = GetDC(form->Handle());
    shown.insert(GetPixel(dc, 10 + 8, 10 + 2));
    ReleaseDC(form->Handle(), dc);
  };
  // A long search: the handler lets pending messages run after each match.
  for (int i = 0; i < 1500 && painted < 20; ++i) {
    Application->ProcessMessages();
    sample();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    AdvanceClock(1);
  }
  EXPECT_GE(painted, 20);
  ASSERT_GE(frames.size(), 13u);
  // Frames advance in order and wrap round: the image loops forever.
  for (size_t i = 1; i < 13; ++i) EXPECT_EQ(frames[i], static_cast<int>(i % 12));
  ASSERT_NE(gif->CompositeBitmap(), nullptr);
  EXPECT_GE(shown.size(), 3u);
  image->Hide();
  form.reset();
}
