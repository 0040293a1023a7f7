#include "classlib/controls/DialogKeys.h"

#include <algorithm>

#include "classlib/controls/Buttons.h"
#include "classlib/controls/KeyMatches.h"
#include "classlib/controls/Menus.h"

TWinControl* ParentForm(TControl* control) {
  TWinControl* form = nullptr;
  for (TControl* c = control; c; c = c->Parent())
    if (c->IsWindowed()) form = static_cast<TWinControl*>(c);
  return form;
}

namespace {

void CollectTabOrder(TWinControl* container, std::vector<TWinControl*>& out) {
  std::vector<TWinControl*> children;
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* c = container->Controls(i);
    if (c->IsWindowed()) children.push_back(static_cast<TWinControl*>(c));
  }
  std::stable_sort(children.begin(), children.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TWinControl* child : children) {
    if (!child->Visible() || !child->Enabled()) continue;
    if (child->TabStop()) out.push_back(child);
    CollectTabOrder(child, out);
  }
}

// Every shown, enabled windowed control within the container, in tab order.
void CollectInTabOrder(TWinControl* container, std::vector<TWinControl*>& out) {
  std::vector<TWinControl*> children;
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* c = container->Controls(i);
    if (c->IsWindowed() && c->Visible() && c->Enabled()) children.push_back(static_cast<TWinControl*>(c));
  }
  std::stable_sort(children.begin(), children.end(),
                   [](TWinControl* a, TWinControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TWinControl* child : children) {
    out.push_back(child);
    CollectInTabOrder(child, out);
  }
}

template <typename T, typename P>
T* FindIn(TWinControl* container, P pick) {
  for (int i = 0; i < container->ControlCount(); ++i) {
    TControl* c = container->Controls(i);
    if (!c->Visible() || !c->Enabled() || !c->IsWindowed()) continue;
    if (auto* t = dynamic_cast<T*>(c); t && pick(t)) return t;
    if (T* found = FindIn<T>(static_cast<TWinControl*>(c), pick)) return found;
  }
  return nullptr;
}

}  // namespace

TWinControl* FindNextControl(TWinControl* root, TWinControl* current, bool forward) {
  if (!root) return nullptr;
  std::vector<TWinControl*> order;
  CollectTabOrder(root, order);
  if (order.empty()) return nullptr;
  auto it = std::find(order.begin(), order.end(), current);
  const int n = static_cast<int>(order.size());
  int index = it == order.end() ? (forward ? -1 : n) : static_cast<int>(it - order.begin());
  for (int step = 1; step <= n; ++step) {
    int k = ((index + (forward ? step : -step)) % n + n) % n;
    if (order[static_cast<size_t>(k)]->CanFocus()) return order[static_cast<size_t>(k)];
  }
  return nullptr;
}

bool HandleDialogKey(TWinControl* focus, WORD key, TShiftState shift) {
  TWinControl* form = ParentForm(focus);
  if (!form) return false;
  switch (key) {
    case VK_TAB: {
      if (shift & (ssCtrl | ssAlt)) return false;
      TWinControl* next = FindNextControl(form, focus, (shift & ssShift) == 0);
      if (!next || next == focus) return false;
      next->SetFocus();
      return true;
    }
    case VK_RETURN: {
      if (auto* own = dynamic_cast<TButton*>(focus)) {
        own->Click();
        return true;
      }
      TButton* button = FindIn<TButton>(form, [](TButton* b) { return b->Default(); });
      if (!button) return false;
      button->Click();
      return true;
    }
    case VK_ESCAPE: {
      TButton* button = FindIn<TButton>(form, [](TButton* b) { return b->Cancel(); });
      if (!button) return false;
      button->Click();
      return true;
    }
    default:
      return false;
  }
}

bool HandleDialogChar(TWinControl* focus, char16_t ch) {
  if (ch > 0x7F || ch < 0x20) return false;
  char upper = static_cast<char>(ch >= u'a' && ch <= u'z' ? ch - u'a' + u'A' : ch);
  TWinControl* form = ParentForm(focus);
  if (!form) return false;
  std::vector<TWinControl*> order;
  CollectInTabOrder(form, order);
  const int current = static_cast<int>(std::find(order.begin(), order.end(), focus) - order.begin());
  const TKeyMatch match =
      NextKeyMatch(static_cast<int>(order.size()), current < static_cast<int>(order.size()) ? current : -1, [&](int i) {
        auto* b = dynamic_cast<TButtonControl*>(order[static_cast<size_t>(i)]);
        return b && GetHotkey(b->Caption()) == upper;
      });
  if (match.Index < 0) return false;
  auto* target = static_cast<TButtonControl*>(order[static_cast<size_t>(match.Index)]);
  if (target->CanFocus()) target->SetFocus();
  // Controls that share the letter take the focus in turn; one alone is pressed.
  if (match.Only) target->Click();
  return true;
}

SIZE MnemonicTextExtent(TCanvas& canvas, const std::string& caption) {
  return canvas.TextExtent(StripHotkey(caption));
}

SIZE DrawMnemonicText(TCanvas& canvas, int x, int y, const std::string& caption) {
  std::string plain = StripHotkey(caption);
  canvas.TextOut(x, y, plain);
  SIZE extent = canvas.TextExtent(plain);
  // Where the marked character sits in the plain text.
  size_t at = std::string::npos, seen = 0;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] != '&') {
        at = seen;
        break;
      }
      ++i;
    }
    ++seen;
  }
  if (at != std::string::npos && at < plain.size()) {
    int x0 = x + canvas.TextWidth(plain.substr(0, at));
    int x1 = x + canvas.TextWidth(plain.substr(0, at + 1));
    canvas.Pen().SetColor(canvas.Font().Color());
    canvas.MoveTo(x0, y + extent.cy - 1);
    canvas.LineTo(x1, y + extent.cy - 1);
  }
  return extent;
}
