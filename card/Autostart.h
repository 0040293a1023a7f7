// The autostart value: the executable's path under the current user's Run
// key, value "HanakumoCard" (kept by the platform as an XDG autostart entry).
#pragma once

// Writes the value; when it cannot be stored, raises a registry error that
// names the autostart entry and its file.
void WriteAutostartValue();
// Removes it; nothing when it is not there.
void DeleteAutostartValue();
// Whether the value is there with a non-empty path.
bool AutostartValueSet();
