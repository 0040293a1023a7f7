#include "classlib/ImgList.h"

#include "classlib/FormReader.h"

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() = default;

int TCustomImageList::Add(const TBitmap& image) {
  auto copy = std::make_unique<TBitmap>();
  copy->Assign(&image);
  copy->SetPixelFormat(pf32bit);
  FImages.push_back(std::move(copy));
  Changed();
  return Count() - 1;
}

int TCustomImageList::AddIcon(TIcon& icon) { return Add(icon.Image()); }

void TCustomImageList::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  FImages.erase(FImages.begin() + index);
  Changed();
}

void TCustomImageList::Clear() {
  FImages.clear();
  Changed();
}

bool TCustomImageList::GetIcon(int index, TIcon& icon) const {
  if (index < 0 || index >= Count()) return false;
  icon.SetImage(*FImages[static_cast<size_t>(index)]);
  return true;
}

void TCustomImageList::Changed() {
  if (OnChange) OnChange(this);
}

namespace {
// Form resources may name image lists as soon as the program runs.
const bool kRegistered = [] {
  RegisterClass<TCustomImageList, TComponent>("TCustomImageList");
  RegisterClass<TImageList, TCustomImageList>("TImageList");
  return true;
}();
}  // namespace
