// A failure that stops the show: one printf-formatted line on standard output,
// then exit code -1. There is no log and no exception handling.
#pragma once

[[noreturn]] void Fatal(const char* format, ...) __attribute__((format(printf, 1, 2)));
