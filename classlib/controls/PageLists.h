// A page container: TPageList shows one of its TStandardPage pages at a
// time, each filling it. A page fills its background and then calls its
// OnPaint(Sender, ACanvas, ARect) with its client rectangle.
#pragma once

#include <string>
#include <vector>

#include "classlib/Controls.h"

class TStandardPage;
using TPagePaintEvent = std::function<void(TObject* sender, TCanvas* canvas, TRect rect)>;

class TPageList : public TWinControl {
 public:
  explicit TPageList(TComponent* owner);
  ~TPageList() override;

  int PageCount() const { return static_cast<int>(FPages.size()); }
  TStandardPage* Pages(int index) const;
  TStandardPage* ActivePage() const { return FActivePage; }
  // Shows that page and hides the others; nullptr hides them all.
  void SetActivePage(TStandardPage* page);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  // The page named in a form resource, found once everything is read.
  void SetActivePageName(const std::string& name) { FActivePageName = name; }
  // With it set, enabling or disabling the container does the same to its
  // pages; without it the pages keep their own state.
  bool PropagateEnable = true;
  void SetEnabled(bool enabled) override;
  TNotifyEvent OnChange;

  void Loaded() override;

 protected:
  friend class TStandardPage;
  void PageAdded(TStandardPage* page);
  void PageRemoved(TStandardPage* page);

 private:
  std::vector<TStandardPage*> FPages;
  TStandardPage* FActivePage = nullptr;
  std::string FActivePageName;
};

class TStandardPage : public TWinControl {
 public:
  explicit TStandardPage(TComponent* owner);
  ~TStandardPage() override;
  void SetParent(TWinControl* parent) override;
  TPageList* PageList() const { return FPageList; }
  TCanvas& Canvas() { return FCanvas; }
  TPagePaintEvent OnPaint;

 protected:
  void EraseBackground(HDC) override {}
  void PaintWindow(HDC dc) override;

 private:
  friend class TPageList;
  TPageList* FPageList = nullptr;
  TControlCanvas FCanvas;
};
