#include "platform/drivers/x11/X11IconProperty.h"

#include <algorithm>
#include <utility>

#include "platform/Icons.h"

namespace hkx11 {

std::vector<long> NetWmIconData(const std::vector<HICON>& icons) {
  std::vector<long> data;
  std::vector<std::pair<int, int>> given;
  for (HICON icon : icons)
    for (const TIconImage& image : GetIconImages(icon)) {
      const std::pair<int, int> size{image.Width, image.Height};
      if (image.Width <= 0 || image.Height <= 0 ||
          image.Pixels.size() != static_cast<size_t>(image.Width) * static_cast<size_t>(image.Height) ||
          std::find(given.begin(), given.end(), size) != given.end())
        continue;
      given.push_back(size);
      data.push_back(image.Width);
      data.push_back(image.Height);
      for (uint32_t p : image.Pixels) data.push_back(static_cast<long>(p));
    }
  return data;
}

}  // namespace hkx11
