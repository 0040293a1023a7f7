// The hidden window that every object of one kind shares (the light timers,
// the tray icons), with the table that finds an object from the id it was
// given. Ids count up from 1 and are never reused, so a late message for an
// object that is gone, or an id nobody gave out, finds nothing: a message
// parameter is only ever looked up, never taken for an address.
#pragma once

#include <unordered_map>

#include "classlib/SysTypes.h"
#include "platform/Types.h"
#include "platform/Window.h"

template <typename T>
class TSharedObjectWindow : public TObject {
 public:
  explicit TSharedObjectWindow(WNDPROC proc) : FProc(proc) { FHandle = CreateHelperWindow(proc); }
  ~TSharedObjectWindow() override {
    if (FHandle && IsWindow(FHandle)) DestroyWindow(FHandle);
  }
  TSharedObjectWindow(const TSharedObjectWindow&) = delete;
  TSharedObjectWindow& operator=(const TSharedObjectWindow&) = delete;

  // The shared window, made again should it have been destroyed under us.
  HWND Handle() {
    if (!FHandle || !IsWindow(FHandle)) FHandle = CreateHelperWindow(FProc);
    return FHandle;
  }
  unsigned Users() const { return FUsers; }
  void AddUser() { ++FUsers; }
  // One user less, never below none; true when none is left.
  bool RemoveUser() {
    if (FUsers > 0) --FUsers;
    return FUsers == 0;
  }

  // A new id for the object.
  UINT_PTR Add(T* object) {
    static UINT_PTR next = 0;
    UINT_PTR id = ++next;
    FObjects[id] = object;
    return id;
  }
  void Remove(UINT_PTR id) { FObjects.erase(id); }
  // The live object of that id, or nullptr.
  T* Find(UINT_PTR id) const {
    auto it = FObjects.find(id);
    return it == FObjects.end() ? nullptr : it->second;
  }

 private:
  WNDPROC FProc;
  HWND FHandle = nullptr;
  unsigned FUsers = 0;
  std::unordered_map<UINT_PTR, T*> FObjects;
};

// The shared handler in `global`: made on first use, one more user.
template <typename H>
void AcquireSharedHandler(H*& global) {
  if (global == nullptr) {
    global = new H;
    // A handler still left when the program ends goes with it. Made after
    // the first window, so it goes before the platform's window table.
    struct TFinaliser {
      H*& Global;
      ~TFinaliser() {
        delete Global;
        Global = nullptr;
      }
    };
    static TFinaliser finaliser{global};
  }
  global->AddUser();
}

// One user less; the last one frees the handler and sets `global` to nil.
template <typename H>
void ReleaseSharedHandler(H*& global) {
  if (global == nullptr) return;
  if (global->RemoveUser()) {
    delete global;
    global = nullptr;
  }
}
