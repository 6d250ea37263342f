#include "engine/core/fatal.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

void Fatal(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
  std::exit(-1);
}
