// Whether a line contains a match of a POSIX extended regular expression, as
// gtest's death tests match their output. (std::regex trips GCC's
// uninitialised-use warning in the sanitizer build.)
#pragma once

#include <regex.h>

#include <string>

inline bool ContainsMatch(const std::string& text, const std::string& pattern) {
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0) return false;
  const bool found = regexec(&re, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  return found;
}
