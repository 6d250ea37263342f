// What the tests need that POSIX and Windows spell differently.
#pragma once

#include <cstdlib>

#ifdef _WIN32
// exit(-1) as the parent sees it: the whole value on Windows.
constexpr int kFatalExitStatus = -1;
inline void SetTestEnvironment(const char* name, const char* value) { _putenv_s(name, value); }
#else
// exit(-1) as the parent sees it: the low byte on POSIX.
constexpr int kFatalExitStatus = 255;
inline void SetTestEnvironment(const char* name, const char* value) { setenv(name, value, 1); }
#endif
