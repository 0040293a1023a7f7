// Case-blind names (window classes, resources, modules, messages, faces)
// compare their ASCII letters only, as the system's own do: the C library's
// tolower and strcasecmp follow LC_CTYPE, and in a Turkish locale 'I' is no
// upper-case 'i'.
#pragma once

#include <string>

namespace hkwin {

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string AsciiLower(std::string s) {
  for (char& c : s) c = AsciiLower(c);
  return s;
}

inline bool AsciiSameText(const char* a, const char* b) {
  for (; *a != 0 && *b != 0; ++a, ++b)
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  return *a == *b;
}

inline bool AsciiSameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace hkwin
