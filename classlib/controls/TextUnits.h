// UTF-8 and UTF-16 as the controls hold them (edits keep UTF-16 units; the
// class library's text is UTF-8), and the text the controls put on and take
// from the clipboard.
#pragma once

#include <string>

// Malformed UTF-8 becomes U+FFFD; unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// The clipboard's text (on X11 the CLIPBOARD selection); empty when it
// holds none.
void SetClipboardText(const std::u16string& text);
std::u16string GetClipboardText();
