#include "classlib/Classes.h"

#include <gtest/gtest.h>

namespace {
struct TProbe : TComponent {
  TProbe(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), FLog(log) {}
  ~TProbe() override { FLog->push_back("free " + Name()); }
  void Notification(TComponent* c, TOperation op) override {
    TComponent::Notification(c, op);
    if (op == opRemove) FLog->push_back(Name() + " hears " + c->Name());
  }
  std::vector<std::string>* FLog;
};
}  // namespace

TEST(Component, OwnerFreesItsComponentsLastFirst) {
  std::vector<std::string> log;
  {
    TComponent owner(nullptr);
    auto* a = NewComponent<TProbe>(&owner, &log);
    a->SetName("a");
    auto* b = NewComponent<TProbe>(&owner, &log);
    b->SetName("b");
    auto* c = NewComponent<TProbe>(a, &log);  // a grandchild
    c->SetName("c");
    EXPECT_EQ(owner.ComponentCount(), 2);
    EXPECT_EQ(owner.FindComponent("B"), b);
    EXPECT_EQ(owner.FindComponent("c"), nullptr);
    EXPECT_EQ(b->ComponentIndex(), 1);
    EXPECT_THROW(b->SetName("A"), EComponentError);
    EXPECT_THROW(b->SetName("1x"), EComponentError);
    // Freeing one alone tells the others and leaves the owner.
    FreeComponent(b);
    EXPECT_EQ(owner.ComponentCount(), 1);
  }
  // Owned components hear of the going too, down the tree.
  EXPECT_EQ(log, (std::vector<std::string>{"free b", "c hears b", "a hears b", "free a", "free c"}));
}

TEST(Component, FreeNotificationAcrossOwners) {
  std::vector<std::string> log;
  TComponent o1(nullptr), o2(nullptr);
  auto* watcher = NewComponent<TProbe>(&o1, &log);
  watcher->SetName("w");
  auto* other = NewComponent<TProbe>(&o2, &log);
  other->SetName("x");
  watcher->FreeNotification(other);
  FreeComponent(other);
  EXPECT_EQ(log, (std::vector<std::string>{"free x", "w hears x"}));
  EXPECT_EQ(TStringList().ClassName(), "TStringList");
  TStringList s;
  EXPECT_THROW(s.Assign(watcher), EConvertError);
}

TEST(List, IndexErrorsAndOrder) {
  TList l;
  int a, b, c;
  l.Add(&a);
  l.Add(&b);
  l.Insert(0, &c);
  EXPECT_EQ(l.IndexOf(&a), 1);
  EXPECT_EQ(l.Remove(&c), 0);
  EXPECT_EQ(l.Remove(&c), -1);
  l.Add(nullptr);
  l.Pack();
  EXPECT_EQ(l.Count(), 2);
  try {
    l.Get(2);
    FAIL();
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), "List index out of bounds (2)");
  }
  EXPECT_THROW(l.Insert(3, &a), EListError);
  l.Exchange(0, 1);
  EXPECT_EQ(l[0], &b);
}
