#include "classlib/controls/MessageDialogs.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "ControlsFixture.h"

namespace {

class MessageDialogsTest : public HeadlessTest {
 protected:
  // Shows the window with input queued; a watchdog ends a box the input
  // failed to end.
  int Show(UINT type) {
    hk::MessageBoxRecord box;
    box.Text = "Please enter valid number";
    box.Caption = "Error";
    box.Type = type;
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) {
        TimedOut = true;
        hk::CancelMessageBoxWindow();
      }
    });
    int answer = hk::ShowMessageBoxWindow(box);
    done = true;
    watchdog.join();
    return answer;
  }
  std::atomic<bool> TimedOut{false};
};

}  // namespace

TEST_F(MessageDialogsTest, EnterTakesTheDefaultButtonEscapeTheCancelOne) {
  HeadlessKeyPress(VK_RETURN);
  EXPECT_EQ(Show(MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION), IDNO);
  HeadlessKeyPress(VK_ESCAPE);
  EXPECT_EQ(Show(MB_YESNOCANCEL), IDCANCEL);
  HeadlessKeyPress(VK_ESCAPE);
  EXPECT_EQ(Show(MB_OK | MB_ICONERROR), IDOK);  // one button: Escape is it
  HeadlessKeyPress(VK_TAB);  // from Retry to Cancel
  HeadlessKeyPress(VK_SPACE);
  EXPECT_EQ(Show(MB_RETRYCANCEL), IDCANCEL);
  EXPECT_FALSE(TimedOut);
}
