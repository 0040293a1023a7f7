// Image lists: numbered 32-bit images with alpha, handed out as icons.
#pragma once

#include <memory>
#include <vector>

#include "classlib/Components.h"
#include "classlib/Graphics.h"

class TCustomImageList : public TComponent {
 public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;

  int Count() const { return static_cast<int>(FImages.size()); }
  // A copy of the image (made 32-bit); returns its index.
  int Add(const TBitmap& image);
  int AddIcon(TIcon& icon);
  void Delete(int index);
  void Clear();
  // Copies the image at index into the icon; false (icon unchanged) for an
  // index outside the list.
  bool GetIcon(int index, TIcon& icon) const;

  TNotifyEvent OnChange;

 private:
  void Changed();
  std::vector<std::unique_ptr<TBitmap>> FImages;
};

class TImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
};
