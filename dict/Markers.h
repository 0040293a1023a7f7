// The marker table (markers.txt: "key|description" a line) and the routines
// that find, remove and explain the parenthesised markers of glosses.
// A group is the text from the first "(" to the first ")"; groups do not
// nest.
#pragma once

#include <string_view>
#include <vector>

#include "classlib/SysTypes.h"
#include "unicode/WideStrings.h"

struct TMarker {
  AnsiString Key;          // the abbreviation, compared exactly
  AnsiString Description;  // shown after " : " in the legend
};

// One element a line of markers.txt, in file order; fixed after start-up.
extern std::vector<TMarker> Markers;

// Fills Markers from the lines of a marker file: the key is the text before
// the first "|", the description all after it; a line without a bar gives
// an empty element at its index.
void SetMarkersFromLines(const std::vector<AnsiString>& lines);

bool IsMarkerKey(std::u16string_view text);
// The text, or one of its comma-separated parts (spaces kept), is a key.
bool IsMarkerText(std::u16string_view text);
WideString GetMarkerDescription(const WideString& text);
// The marker keys in the text's groups, in order of first occurrence,
// without duplicates (a group with a key among its comma parts adds them all).
void CollectMarkers(const WideString& text, TWideStringList& list);
// The text without the groups whose inner text is a marker text (not trimmed).
WideString RemoveMarkers(const WideString& text);
// The text without any group.
WideString RemoveParentheses(const WideString& text);
