// Choosing the driver, and the headless one: surfaces in memory, input only
// from tests.
#include "platform/Driver.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>

#include "platform/WindowInternals.h"
#include "platform/gdi/Gdi.h"
#include "platform/services/NotifyIcon.h"

namespace {

class THeadlessDriver : public TPlatformDriver {
 public:
  // A desktop with a notification area, unless a test takes it away.
  THeadlessDriver() { hk::SetNotificationAreaPresent(true, false); }
  const char* Name() const override { return "headless"; }
  void ScreenSize(int* width, int* height) override {
    *width = Width;
    *height = Height;
  }
  // Another program in front, as a test put it there, until SetForegroundWindow.
  bool ForeignForeground(RECT* clientRect) override { return Answer(Foreign, clientRect); }
  // Panels as a test lays them out; the whole screen until then.
  bool WorkArea(RECT* area) override { return Answer(Work, area); }
  int Width = 1280;
  int Height = 1024;
  std::optional<RECT> Foreign, Work;

 private:
  static bool Answer(const std::optional<RECT>& set, RECT* out) {
    if (set) *out = *set;
    return set.has_value();
  }
};

// Sets (or, given none, clears) a rectangle a test gives the headless display.
bool SetHeadlessRect(std::optional<RECT> THeadlessDriver::*field, const RECT* value) {
  auto* headless = dynamic_cast<THeadlessDriver*>(&Driver());
  if (headless == nullptr) return false;
  headless->*field = value ? std::optional<RECT>(*value) : std::nullopt;
  return true;
}

std::mutex gDriverLock;
std::unique_ptr<TPlatformDriver> gDriver;
// Answers in place of gDriver once its display is lost.
std::unique_ptr<TPlatformDriver> gStandIn;

std::unique_ptr<TPlatformDriver> ChooseDriver() {
  const char* name = std::getenv("HANAKUMO_DRIVER");
  if (name != nullptr && std::strcmp(name, "headless") == 0) return MakeHeadlessDriver();
  if (auto x11 = MakeX11Driver("")) return x11;
  return MakeHeadlessDriver();
}

void ScreenSizeToGdi(TPlatformDriver& d) {
  int w = 0, h = 0;
  d.ScreenSize(&w, &h);
  SetGdiScreenSize(w, h);
}

}  // namespace

std::unique_ptr<TPlatformDriver> MakeHeadlessDriver() { return std::make_unique<THeadlessDriver>(); }

TPlatformDriver& Driver() {
  std::lock_guard<std::mutex> guard(gDriverLock);
  if (!gDriver) {
    gDriver = ChooseDriver();
    ScreenSizeToGdi(*gDriver);
  }
  // One check for every call that would reach a dead connection.
  if (gDriver->DisplayLost()) {
    if (!gStandIn) gStandIn = MakeLostDisplayDriver(*gDriver);
    return *gStandIn;
  }
  return *gDriver;
}

namespace hkwin {

bool ReplaceDriver(std::unique_ptr<TPlatformDriver> driver) {
  if (!driver) return false;
  std::lock_guard<std::mutex> guard(gDriverLock);
  gStandIn.reset();
  gDriver = std::move(driver);
  ScreenSizeToGdi(*gDriver);
  return true;
}

bool SetHeadlessScreenSize(int width, int height) {
  TPlatformDriver& d = Driver();
  auto* headless = dynamic_cast<THeadlessDriver*>(&d);
  if (headless == nullptr || width <= 0 || height <= 0) return false;
  headless->Width = width;
  headless->Height = height;
  SetGdiScreenSize(width, height);
  return true;
}

bool SetHeadlessForeignForeground(const RECT* clientRect) {
  return SetHeadlessRect(&THeadlessDriver::Foreign, clientRect);
}

bool SetHeadlessWorkArea(const RECT* area) { return SetHeadlessRect(&THeadlessDriver::Work, area); }

}  // namespace hkwin
