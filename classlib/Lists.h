// TList: a growable list of untyped pointers; it owns nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "classlib/SysTypes.h"

class TList : public TObject {
 public:
  int Count() const { return static_cast<int>(FItems.size()); }
  void* Get(int index) const;
  void Put(int index, void* item);
  void* operator[](int index) const { return Get(index); }
  int Add(void* item);
  void Insert(int index, void* item);
  void Delete(int index);
  // Removes the first occurrence; the index it had, or -1.
  int Remove(void* item);
  int IndexOf(void* item) const;
  void Exchange(int a, int b);
  void Move(int from, int to);
  void* First() const { return Get(0); }
  void* Last() const { return Get(Count() - 1); }
  void Clear();
  void Pack();  // drops nil items
  void SetCount(int count);
  int Capacity() const { return static_cast<int>(FItems.capacity()); }
  void SetCapacity(int capacity);
  void Sort(const std::function<int(void*, void*)>& compare);
  void** List() { return FItems.data(); }

 private:
  void Check(int index) const;
  std::vector<void*> FItems;
};
