// Base class of the text searches: records matches as [Start, Stop) pairs of
// UTF-16 offsets and announces each one through OnMatch.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

#include "classlib/SysTypes.h"

// Called once per match, in text order, after the pair is recorded.
using TMatchEvent = std::function<void(int64_t Start, int64_t Stop)>;

class TSearchEngine {
 public:
  // Owner is kept for the caller's sake only.
  explicit TSearchEngine(void* Owner = nullptr);
  virtual ~TSearchEngine();
  TSearchEngine(const TSearchEngine&) = delete;
  TSearchEngine& operator=(const TSearchEngine&) = delete;

  virtual int64_t ResultCount() const;
  virtual void AddMatch(int64_t Start, int64_t Stop);
  virtual void ClearMatches();
  virtual void ResetResults();
  // Index out of range raises EListError.
  virtual void RemoveResult(int64_t Index);
  virtual void ResultAt(int64_t Index, int64_t& Start, int64_t& Stop) const;

  // Options bit 0 set: case-sensitive; every other bit is ignored.
  virtual void PreparePattern(const WideString& Pattern, uint8_t Options) = 0;
  virtual void PreparePattern(const char16_t* Pattern, int64_t Length, uint8_t Options) = 0;
  virtual bool FindFirstMatch(const WideString& Text, int64_t& Start, int64_t& Stop) = 0;
  virtual bool FindFirstMatch(const char16_t* Text, int64_t Length, int64_t& Start, int64_t& Stop) = 0;
  virtual bool FindAllMatches(const WideString& Text) = 0;
  virtual bool FindAllMatches(const char16_t* Text, int64_t Length) = 0;

  void* Owner() const { return FOwner; }
  // Off: matches only reach OnMatch and none is kept (ResultCount stays 0),
  // for a caller that handles each as it comes.
  bool KeepMatches() const { return FKeepMatches; }
  void SetKeepMatches(bool keep) { FKeepMatches = keep; }

  TMatchEvent OnMatch;

 private:
  void CheckIndex(int64_t Index) const;

  // Start and stop of each match in turn.
  // In blocks: hundreds of thousands of matches are recorded without a copy
  // of all the others each time the room doubles.
  std::deque<int64_t> FResults;
  bool FKeepMatches = true;
  void* FOwner;
};
