#include "classlib/controls/PageLists.h"
#include "classlib/controls/ControlClasses.h"
#include "classlib/controls/PaintScope.h"

#include <algorithm>

TPageList::TPageList(TComponent* owner) : TWinControl(owner) {
  FWidth = 200;
  FHeight = 150;
}

TPageList::~TPageList() {
  // Pages that outlive us (another owner) forget us.
  for (TStandardPage* page : FPages) page->FPageList = nullptr;
  FPages.clear();
  SetParent(nullptr);
}

TStandardPage* TPageList::Pages(int index) const {
  if (index < 0 || index >= PageCount()) throw EListError("List index out of bounds (" + std::to_string(index) + ")");
  return FPages[static_cast<size_t>(index)];
}

int TPageList::ActivePageIndex() const {
  auto it = std::find(FPages.begin(), FPages.end(), FActivePage);
  return it == FPages.end() ? -1 : static_cast<int>(it - FPages.begin());
}

void TPageList::SetActivePageIndex(int index) {
  SetActivePage(index >= 0 && index < PageCount() ? FPages[static_cast<size_t>(index)] : nullptr);
}

void TPageList::SetActivePage(TStandardPage* page) {
  if (page && std::find(FPages.begin(), FPages.end(), page) == FPages.end()) return;
  if (page == FActivePage) return;
  // Show the new page before hiding the old, so nothing behind shows through.
  if (page) {
    page->SetBounds(0, 0, ClientWidth(), ClientHeight());
    page->SetVisible(true);
    page->BringToFront();
  }
  TStandardPage* old = FActivePage;
  FActivePage = page;
  if (old) old->SetVisible(false);
  if (OnChange) OnChange(this);
}

void TPageList::SetEnabled(bool enabled) {
  TWinControl::SetEnabled(enabled);
  if (PropagateEnable)
    for (TStandardPage* page : FPages) page->SetEnabled(enabled);
}

void TPageList::Loaded() {
  TWinControl::Loaded();
  if (!FActivePageName.empty() && Owner()) {
    if (auto* page = dynamic_cast<TStandardPage*>(Owner()->FindComponent(FActivePageName))) SetActivePage(page);
    FActivePageName.clear();
  }
}

void TPageList::PageAdded(TStandardPage* page) {
  if (std::find(FPages.begin(), FPages.end(), page) != FPages.end()) return;
  FPages.push_back(page);
  page->SetAlign(alClient);
  if (!FActivePage)
    SetActivePage(page);
  else
    page->SetVisible(false);
}

void TPageList::PageRemoved(TStandardPage* page) {
  auto it = std::find(FPages.begin(), FPages.end(), page);
  if (it == FPages.end()) return;
  FPages.erase(it);
  if (FActivePage == page) {
    FActivePage = nullptr;
    if (!FPages.empty()) SetActivePage(FPages.front());
  }
}

TStandardPage::TStandardPage(TComponent* owner) : TWinControl(owner), FCanvas(this) {}

TStandardPage::~TStandardPage() { SetParent(nullptr); }

void TStandardPage::SetParent(TWinControl* parent) {
  if (FPageList && FPageList != parent) {
    TPageList* old = FPageList;
    FPageList = nullptr;
    old->PageRemoved(this);
  }
  TWinControl::SetParent(parent);
  if (auto* list = dynamic_cast<TPageList*>(parent); list && list != FPageList) {
    FPageList = list;
    list->PageAdded(this);
  }
}

void TStandardPage::PaintWindow(HDC dc) {
  TPaintScope scope(FCanvas, dc);
  TRect r = ClientRect();
  FCanvas.Brush().SetStyle(bsSolid);
  FCanvas.Brush().SetColor(Color());
  FCanvas.FillRect(r);
  FCanvas.Font().Assign(&Font());
  if (OnPaint) OnPaint(this, &FCanvas, r);
}

namespace {
// Form resources may name the controls as soon as the program runs.
const bool kRegistered = (RegisterStandardControls(), true);
}  // namespace
