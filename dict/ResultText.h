// The texts of the result pane, apart from how they are drawn.
#pragma once

#include "classlib/SysTypes.h"
#include "unicode/WideStrings.h"

// True when the entry's last gloss is "(P)", which marks a common word.
bool IsCommonEntry(const TWideStringList& glosses);

// The glosses one a line, without the final "(P)" of a common word; each
// gloss but the list's last item is followed by CR LF. With numbering on,
// and at least two glosses shown, each starts with its number and ". ".
WideString GlossText(const TWideStringList& glosses, bool showLineNumber);
// The same for an entry's glosses of which only the first are listed: the
// whole list has `count` glosses and ends in "(P)" when `common`.
WideString GlossText(const TWideStringList& first, int count, bool common, bool showLineNumber);

// "key : description" for every marker in the text, in order of first
// occurrence, joined by ", "; '' when the text has none.
WideString MarkerLegend(const WideString& glossText);
