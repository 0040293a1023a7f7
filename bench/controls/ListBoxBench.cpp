// A result list as one search fills it: 700,000 owner-drawn items added
// one by one, then scrolled to the end and painted. Peers: the bare vector
// the items could live in, and the same list with a hundred items (painting
// must not depend on the count).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/controls/ListBoxes.h"
#include "classlib/controls/TextUnits.h"
#include "platform/drivers/headless/Headless.h"

namespace {

constexpr int kItems = 700000;

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename F>
double Best(int runs, F f) {
  double best = 1e300;
  for (int i = 0; i < runs; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    f();
    best = std::min(best, Ms(std::chrono::steady_clock::now() - t0));
  }
  return best;
}

std::vector<std::u16string> Headwords() {
  std::vector<std::u16string> words;
  std::ifstream in(HK_PROGRAM_DIR "/edict.txt");
  std::string line;
  while (std::getline(in, line)) {
    size_t space = line.find(' ');
    if (space != std::string::npos && space > 0) words.push_back(Utf8ToUtf16(line.substr(0, space)));
  }
  if (words.empty()) words.push_back(u"見本");
  std::vector<std::u16string> items;
  items.reserve(kItems);
  for (int i = 0; i < kItems; ++i) items.push_back(words[static_cast<size_t>(i) % words.size()]);
  return items;
}

struct TList {
  TComponentPtr<TForm> Form;
  TWideListBox* Box;
  int Drawn = 0;
  TList() : Form(new TForm(nullptr)) {
    Form->InitializeForm();
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(0, 0, 680, 520);
    Box = new TWideListBox(Form.get());
    Box->SetParent(Form.get());
    Box->SetBounds(0, 48, 180, 324);
    Box->SetStyle(lbOwnerDrawFixed);
    Box->SetItemHeight(20);
    Box->OnDrawItem = [this](TWinControl*, int index, TRect rect, TOwnerDrawState state) {
      TCanvas& c = Box->Canvas();
      c.Brush().SetColor((state & odSelected) ? static_cast<TColor>(0xE87300) : static_cast<TColor>(0xF0F0F0));
      c.FillRect(rect);
      c.Brush().SetStyle(bsClear);
      c.WideTextRect(rect, rect.left + 16, rect.top + 3, Box->Items().Strings(index));
      ++Drawn;
    };
    Form->Show();
    HeadlessPumpMessages();
  }
  void ScrollToEndAndPaint() {
    Box->SetFocus();
    HeadlessKeyPress(VK_END);
    HeadlessPumpMessages();
    UpdateWindow(Box->Handle());
  }
};

}  // namespace

int main() {
  SelectPlatformDriver("headless");
  std::vector<std::u16string> items = Headwords();

  double ours = Best(3, [&] {
    TList list;
    for (const auto& s : items) list.Box->Items().AddObject(s, nullptr);
    HeadlessPumpMessages();
  });
  double peer = Best(3, [&] {
    struct Item {
      std::u16string Text;
      void* Object;
    };
    std::vector<Item> v;
    for (const auto& s : items) v.push_back(Item{s, nullptr});
    if (v.size() != items.size()) std::puts("?");
  });
  std::printf("ROW | list box: add %d owner-drawn items one by one | ours %.1f ms | std::vector push_back %.1f ms | ratio %.2f\n",
              kItems, ours, peer, ours / peer);

  TList big;
  for (const auto& s : items) big.Box->Items().Add(s);
  TList small;
  for (int i = 0; i < 100; ++i) small.Box->Items().Add(items[static_cast<size_t>(i)]);
  double bigPaint = Best(5, [&] {
    big.Box->SetItemIndex(0);
    HeadlessPumpMessages();
    big.ScrollToEndAndPaint();
  });
  double smallPaint = Best(5, [&] {
    small.Box->SetItemIndex(0);
    HeadlessPumpMessages();
    small.ScrollToEndAndPaint();
  });
  big.Drawn = 0;
  big.Box->SetItemIndex(0);
  HeadlessPumpMessages();
  big.Drawn = 0;
  big.ScrollToEndAndPaint();
  // 324 pixels of 20-pixel rows: 16 whole rows at the end, each drawn once.
  if (big.Box->TopIndex() != kItems - 16 || big.Box->ItemIndex() != kItems - 1 || big.Drawn != 16)
    std::printf("unexpected end: top %d index %d drawn %d\n", big.Box->TopIndex(), big.Box->ItemIndex(), big.Drawn);
  std::printf("ROW | list box: scroll to the end and paint, %d items | ours %.2f ms | same list of 100 items %.2f ms | ratio %.2f\n",
              kItems, bigPaint, smallPaint, bigPaint / smallPaint);
  return 0;
}
