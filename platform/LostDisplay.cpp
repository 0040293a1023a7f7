// The driver that stands in once the display's connection is lost.
#include <string>

#include "platform/Driver.h"

namespace {

class TLostDisplayDriver : public TPlatformDriver {
 public:
  TLostDisplayDriver(std::string name, int width, int height) : FName(std::move(name)), FWidth(width), FHeight(height) {}
  const char* Name() const override { return FName.c_str(); }
  void ScreenSize(int* width, int* height) override {
    *width = FWidth;
    *height = FHeight;
  }

 private:
  std::string FName;
  int FWidth, FHeight;
};

}  // namespace

std::unique_ptr<TPlatformDriver> MakeLostDisplayDriver(TPlatformDriver& lost) {
  // A driver's screen size is what it last heard, asked of no one.
  int width = 0, height = 0;
  lost.ScreenSize(&width, &height);
  return std::make_unique<TLostDisplayDriver>(lost.Name(), width, height);
}
