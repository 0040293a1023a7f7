// The registry of the current user, kept in a per-user store file,
// $XDG_CONFIG_HOME/hanakumo/registry ($HOME/.config when the variable is
// unset or not absolute). The store is read on every access and rewritten
// whole through a temporary file and a rename, so it is never left half
// written; one that cannot be read or is damaged counts as empty, and the
// next write keeps the damaged file beside it as registry.damaged.
//
// The values of the Run key (\Software\Microsoft\Windows\CurrentVersion\Run)
// are the user's XDG autostart entries, $XDG_CONFIG_HOME/autostart/NAME.desktop,
// so a program set to start with the desktop does.
#pragma once

#include <string>
#include <vector>

#include "classlib/SysTypes.h"
#include "platform/Types.h"

HK_DECLARE_EXCEPTION(ERegistryException, Exception);

#ifndef HKEY_CURRENT_USER
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u)))
#endif

class TRegistry {
 public:
  TRegistry();
  ~TRegistry();

  // Only the current user's keys are kept; under any other root every
  // OpenKey fails.
  HKEY RootKey() const { return FRootKey; }
  void SetRootKey(HKEY value);

  // A key beginning with '\' is taken from the root, any other from the
  // key that is open. False when the key does not exist and `canCreate` is
  // not set, or when it cannot be created.
  bool OpenKey(const std::string& key, bool canCreate);
  bool OpenKeyReadOnly(const std::string& key);
  void CloseKey();
  bool KeyExists(const std::string& key);
  // The open key's path from the root, without a leading '\'.
  std::string CurrentPath() const { return FCurrentPath; }

  // The data of a string value; empty when the value does not exist.
  std::string ReadString(const std::string& name);
  // Raises ERegistryException "Failed to set data for '<name>'" when the
  // value cannot be stored (no key open, a read-only key, a name that
  // cannot be an autostart entry, a store that cannot be written).
  void WriteString(const std::string& name, const std::string& value);
  // False when there was no such value or it could not be removed.
  bool DeleteValue(const std::string& name);
  bool ValueExists(const std::string& name);
  std::vector<std::string> GetValueNames();

  // Where the store and the autostart entries live (for tests and tools).
  static std::string StoreFileName();
  static std::string AutostartDirectory();

 private:
  std::string Resolve(const std::string& key) const;

  HKEY FRootKey;
  std::string FCurrentPath;
  bool FKeyOpen = false;
  bool FReadOnly = false;
};
