// A failure that stops the show: one printf-formatted line on standard output,
// then exit code -1. There is no log and no exception handling.
#pragma once

// Checks a printf-style format against its arguments: the C99 printf that
// every build links (MinGW's own on Windows, not msvcrt.dll's).
#ifdef __MINGW32__
#define LUMEN_PRINTF(f, a) __attribute__((format(gnu_printf, f, a)))
#else
#define LUMEN_PRINTF(f, a) __attribute__((format(printf, f, a)))
#endif

[[noreturn]] void Fatal(const char* format, ...) LUMEN_PRINTF(1, 2);
