// Lists of classes found by name: what a class is called and how to make one.
#pragma once

#include <functional>
#include <string>
#include <vector>

template <typename Factory>
struct TClassRef {
  std::string ClassName;
  Factory Create;
};

// In insertion order; owns nothing (the class references are static).
template <typename Factory>
class TClassList {
 public:
  using Ref = const TClassRef<Factory>*;
  int Add(Ref ref) {
    FItems.push_back(ref);
    return static_cast<int>(FItems.size()) - 1;
  }
  int Count() const { return static_cast<int>(FItems.size()); }
  Ref Items(int i) const { return FItems.at(static_cast<size_t>(i)); }
  // The whole name, case-sensitive; nullptr when none.
  Ref Find(const std::string& className) const {
    for (Ref r : FItems)
      if (r->ClassName == className) return r;
    return nullptr;
  }

 private:
  std::vector<Ref> FItems;
};
