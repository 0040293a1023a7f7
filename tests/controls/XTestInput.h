// Input sent through XTest on a test display, kept apart from the class
// library's headers (Xlib's names clash with them).
#pragma once

#include <string>

// Also takes a lock that other test processes on the same display take, so
// their pointer and keyboard do not cross ours; XTestClose gives it back.
bool XTestOpen(const std::string& display);
void XTestClose();
// Types the letters a-z and Backspace ('\b') as key presses.
void XTestType(const std::string& keys);
void XTestClick(int x, int y);
void XTestMove(int x, int y);
