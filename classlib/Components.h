// TPersistent and TComponent: assignable objects, and the owner tree that
// frees what it owns.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/SysTypes.h"

using TNotifyEvent = std::function<void(TObject* sender)>;

class TPersistent : public TObject {
 public:
  // Copies source into this object; a class that cannot raises
  // EConvertError "Cannot assign a <source> to a <this>".
  virtual void Assign(const TPersistent* source);

 protected:
  virtual void AssignTo(TPersistent* dest) const;
};

enum TComponentStateFlag { csLoading = 1, csReading = 2, csWriting = 4, csDestroying = 8, csDesigning = 16 };
enum TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  // The owner takes the new component and frees it with itself.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  TComponent* Owner() const { return FOwner; }
  const std::string& Name() const { return FName; }
  // Unique among the owner's components (case-insensitive): a clash raises
  // EComponentError "A component named %s already exists"; a name that is
  // not an identifier raises "Component name \"%s\" is not valid".
  virtual void SetName(const std::string& name);
  int ComponentCount() const { return static_cast<int>(FComponents.size()); }
  TComponent* Components(int index) const;
  int ComponentIndex() const;
  // The owned component of that name (case-insensitive), or nullptr.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);
  // Frees every owned component, the last created first.
  void DestroyComponents();

  int ComponentState() const { return FComponentState; }
  bool IsLoading() const { return (FComponentState & csLoading) != 0; }
  bool IsDestroying() const { return (FComponentState & csDestroying) != 0; }
  void SetLoading(bool loading);
  // Called once after the component's properties were read.
  virtual void Loaded();
  // Runs once, while the whole object still exists, just before it is freed
  // (FreeComponent; an owner freeing what it owns). Its exceptions are the
  // class's own to handle: freeing goes on.
  virtual void BeforeDestruction() {}
  // The component it stands inside in a form resource (a control's parent).
  virtual void SetParentComponent(TComponent* parent);
  // Tells this component that another one it may refer to comes or goes.
  virtual void Notification(TComponent* component, TOperation operation);
  // Asks for a Notification(opRemove) when component is destroyed, even if
  // it belongs to another owner.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  intptr_t Tag = 0;

 protected:
  void MarkDestroying() { FComponentState |= csDestroying; }

 private:
  friend void FreeComponent(TComponent* component);
  bool FBeforeDestructionDone = false;
  TComponent* FOwner = nullptr;
  std::string FName;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  int FComponentState = 0;
};

// Makes a component that its owner will free.
template <typename T, typename... A>
T* NewComponent(TComponent* owner, A&&... args) {
  return new T(owner, std::forward<A>(args)...);
}

// Frees a component now (it leaves its owner first): the one way every
// component goes, so that BeforeDestruction runs on the whole object.
void FreeComponent(TComponent* component);

// For a component held by a unique_ptr: freed the same way.
struct TComponentDeleter {
  void operator()(TComponent* component) const { FreeComponent(component); }
};
template <typename T>
using TComponentPtr = std::unique_ptr<T, TComponentDeleter>;

bool IsValidIdent(const std::string& name);
