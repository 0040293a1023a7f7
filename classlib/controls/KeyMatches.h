// The items of a menu, a dialog or a list that answer to one typed letter:
// each press of it goes to the next of them after the current one (round
// from the last to the first), so every one can be reached when several
// share the letter, and the caller acts at once only when one item has it.
#pragma once

struct TKeyMatch {
  int Index = -1;     // the item to go to, -1 when none answers
  bool Only = false;  // it is the one item that answers
};

// Of `count` items, those for which matches(i) holds; `current` is the
// item now selected or focused (-1 for none).
template <typename Matches>
TKeyMatch NextKeyMatch(int count, int current, Matches matches) {
  TKeyMatch found;
  int matching = 0;
  for (int step = 1; step <= count; ++step) {
    const int i = ((current < 0 ? -1 : current) + step) % count;
    if (!matches(i)) continue;
    if (++matching == 1) found.Index = i;
  }
  found.Only = matching == 1;
  return found;
}
