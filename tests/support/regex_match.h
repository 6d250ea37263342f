// Whether a line contains a match of a POSIX extended regular expression, as
// gtest's death tests match their output. (std::regex trips GCC's
// uninitialised-use warning in the sanitizer build; Windows has no regex.h.)
#pragma once

#include <string>

#ifdef _WIN32
#include <regex>

inline bool ContainsMatch(const std::string& text, const std::string& pattern) {
  return std::regex_search(text, std::regex(pattern, std::regex::extended));
}
#else
#include <regex.h>

inline bool ContainsMatch(const std::string& text, const std::string& pattern) {
  regex_t re;
  if (regcomp(&re, pattern.c_str(), REG_EXTENDED | REG_NOSUB) != 0) return false;
  const bool found = regexec(&re, text.c_str(), 0, nullptr, 0) == 0;
  regfree(&re);
  return found;
}
#endif
