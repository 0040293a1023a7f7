// Helpers shared by the search engine tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "unicode/search/URESearch.h"

using TMatchList = std::vector<std::pair<int64_t, int64_t>>;

// Every match FindAllMatches records, through OnMatch and checked against the
// results list.
TMatchList AllMatches(TURESearch& Engine, const std::u16string& Text);

// Compiles Pattern (options 8 folds case, 1 keeps it) and returns all matches.
TMatchList Search(const std::u16string& Pattern, const std::u16string& Text, uint8_t Options = 8);

// The same matches through the general matcher alone.
TMatchList GeneralMatches(const TDFA& DFA, const std::u16string& Text);

std::string Describe(const TMatchList& Matches);
