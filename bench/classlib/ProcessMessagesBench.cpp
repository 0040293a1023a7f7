// Application.ProcessMessages with nothing pending, as a search calls it per
// match: against a loop that asks the operating system once per call.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "bench/BenchTiming.h"
#include "classlib/Forms.h"
#include "platform/Clock.h"
#include "platform/drivers/headless/Headless.h"

namespace {

volatile long gSink = 0;

}  // namespace

int main() {
  UseVirtualClock(false);
  SelectPlatformDriver("headless");
  Application->Initialize();
  TForm* form = CreateFormOf<TForm>(Application);
  form->Show();
  Application->ProcessMessages();

  constexpr int kCalls = 1000000;
  const double ours = BestMs([] {
    for (int i = 0; i < kCalls; ++i) Application->ProcessMessages();
  });
  const int fd = eventfd(0, EFD_NONBLOCK);
  const double peer = BestMs([fd] {
    for (int i = 0; i < kCalls; ++i) {
      pollfd p{fd, POLLIN, 0};
      gSink = gSink + poll(&p, 1, 0);
    }
  });
  close(fd);
  std::printf("ROW | Application.ProcessMessages with nothing pending, 1000000 calls | ours %.2f ms | poll(2) per call %.2f ms | ratio %.2f\n",
              ours, peer, ours / peer);
  DoneApplication();
  return 0;
}
