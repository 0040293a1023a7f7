#include "classlib/Components.h"

#include <algorithm>

#include "classlib/SysUtils.h"

void TPersistent::Assign(const TPersistent* source) {
  if (source) {
    source->AssignTo(this);
    return;
  }
  throw EConvertError("Cannot assign a nil to a " + ClassName());
}

void TPersistent::AssignTo(TPersistent* dest) const {
  throw EConvertError("Cannot assign a " + ClassName() + " to a " + dest->ClassName());
}

bool IsValidIdent(const std::string& name) {
  if (name.empty()) return false;
  auto alpha = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; };
  if (!alpha(name[0])) return false;
  return std::all_of(name.begin(), name.end(), [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() {
  FComponentState |= csDestroying;
  // Anyone who asked to hear of our going hears it, and forgets us.
  while (!FFreeNotifies.empty()) {
    TComponent* other = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    auto& back = other->FFreeNotifies;
    back.erase(std::remove(back.begin(), back.end(), this), back.end());
    other->Notification(this, opRemove);
  }
  DestroyComponents();
  if (FOwner) FOwner->RemoveComponent(this);
}

void FreeComponent(TComponent* component) {
  if (!component) return;
  if (!component->FBeforeDestructionDone) {
    component->FBeforeDestructionDone = true;
    try {
      component->BeforeDestruction();
    } catch (...) {
      // Freeing never stops halfway; the class reports its own failures.
    }
  }
  delete component;
}

TComponent* TComponent::Components(int index) const {
  if (index < 0 || index >= ComponentCount()) throw EListError(Format("List index out of bounds (%d)", index));
  return FComponents[static_cast<size_t>(index)];
}

int TComponent::ComponentIndex() const {
  if (!FOwner) return -1;
  auto& c = FOwner->FComponents;
  auto it = std::find(c.begin(), c.end(), this);
  return it == c.end() ? -1 : static_cast<int>(it - c.begin());
}

void TComponent::SetName(const std::string& name) {
  if (name == FName) return;
  if (!name.empty() && !IsValidIdent(name)) throw EComponentError("Component name \"" + name + "\" is not valid");
  if (!name.empty() && FOwner) {
    TComponent* other = FOwner->FindComponent(name);
    if (other && other != this) throw EComponentError("A component named " + name + " already exists");
  }
  FName = name;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : FComponents)
    if (SameText(c->FName, name)) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (!component || component->FOwner == this) return;
  if (!component->FName.empty() && FindComponent(component->FName))
    throw EComponentError("A component named " + component->FName + " already exists");
  if (component->FOwner) component->FOwner->RemoveComponent(component);
  FComponents.push_back(component);
  component->FOwner = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(FComponents.begin(), FComponents.end(), component);
  if (it == FComponents.end()) return;
  FComponents.erase(it);
  component->FOwner = nullptr;
  Notification(component, opRemove);
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    // Its destructor takes it out of our list.
    FreeComponent(FComponents.back());
  }
}

void TComponent::SetLoading(bool loading) {
  if (loading) FComponentState |= csLoading;
  else FComponentState &= ~csLoading;
}

void TComponent::Loaded() { FComponentState &= ~csLoading; }

void TComponent::SetParentComponent(TComponent*) {}

void TComponent::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove) {
    auto& f = FFreeNotifies;
    f.erase(std::remove(f.begin(), f.end(), component), f.end());
  }
  // Owned components hear of each other's going, as the owner does.
  if (operation == opRemove && !IsDestroying())
    for (TComponent* c : std::vector<TComponent*>(FComponents))
      if (c != component) c->Notification(component, operation);
}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), component) == FFreeNotifies.end())
    FFreeNotifies.push_back(component);
  auto& back = component->FFreeNotifies;
  if (std::find(back.begin(), back.end(), this) == back.end()) back.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  if (!component) return;
  FFreeNotifies.erase(std::remove(FFreeNotifies.begin(), FFreeNotifies.end(), component), FFreeNotifies.end());
  auto& back = component->FFreeNotifies;
  back.erase(std::remove(back.begin(), back.end(), this), back.end());
}
