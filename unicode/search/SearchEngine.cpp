#include "unicode/search/SearchEngine.h"

#include <string>

TSearchEngine::TSearchEngine(void* Owner) : FOwner(Owner) {}

TSearchEngine::~TSearchEngine() = default;

int64_t TSearchEngine::ResultCount() const { return static_cast<int64_t>(FResults.size() / 2); }

void TSearchEngine::AddMatch(int64_t Start, int64_t Stop) {
  if (FKeepMatches) {
    FResults.push_back(Start);
    FResults.push_back(Stop);
  }
  if (OnMatch) {
    // A handler may reassign OnMatch while it runs; call a copy.
    TMatchEvent handler = OnMatch;
    handler(Start, Stop);
  }
}

void TSearchEngine::ClearMatches() { ResetResults(); }

void TSearchEngine::ResetResults() {
  FResults.clear();
  FResults.shrink_to_fit();
}

void TSearchEngine::CheckIndex(int64_t Index) const {
  if (Index < 0 || Index >= ResultCount())
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TSearchEngine::RemoveResult(int64_t Index) {
  CheckIndex(Index);
  FResults.erase(FResults.begin() + 2 * Index, FResults.begin() + 2 * Index + 2);
}

void TSearchEngine::ResultAt(int64_t Index, int64_t& Start, int64_t& Stop) const {
  CheckIndex(Index);
  Start = FResults[static_cast<size_t>(2 * Index)];
  Stop = FResults[static_cast<size_t>(2 * Index + 1)];
}
