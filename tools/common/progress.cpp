#include "tools/common/progress.h"

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

#include <cstdio>

namespace tools {

namespace {

constexpr auto kRedrawPeriod = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

// "m:ss", or "h:mm:ss" from an hour on.
void FormatTime(double seconds, char (&out)[32]) {
  const unsigned long s = seconds > 0 ? static_cast<unsigned long>(seconds + 0.5) : 0;
  if (s >= 3600) {
    std::snprintf(out, sizeof out, "%lu:%02lu:%02lu", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(out, sizeof out, "%lu:%02lu", s / 60, s % 60);
  }
}

}  // namespace

ProgressBar::ProgressBar(uint64_t total)
    : total_(total > 0 ? total : 1), shown_(isatty(fileno(stderr)) != 0), start_(Clock::now()), next_(start_) {}

void ProgressBar::Update(uint64_t done) {
  done_ = done;
  if (!shown_) return;
  const Clock::time_point now = Clock::now();
  if (now < next_) return;
  next_ = now + kRedrawPeriod;
  Draw(done);
}

void ProgressBar::Finish() {
  if (!shown_ || !drawn_) return;
  Draw(done_);
  std::fputc('\n', stderr);
}

void ProgressBar::Draw(uint64_t done) {
  const double fraction = done >= total_ ? 1.0 : static_cast<double>(done) / static_cast<double>(total_);
  const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
  char bar[kBarWidth + 1];
  const int filled = static_cast<int>(fraction * kBarWidth);
  for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '-';
  bar[kBarWidth] = '\0';
  char spent[32], left[32] = "?";
  FormatTime(elapsed, spent);
  if (done > 0) FormatTime(elapsed / fraction - elapsed, left);
  // \r and a cleared rest of the line: a shorter line leaves nothing behind.
  std::fprintf(stderr, "\r[%s] %llu/%llu %5.1f%% %s elapsed, %s left\x1b[K", bar, static_cast<unsigned long long>(done),
               static_cast<unsigned long long>(total_), fraction * 100.0, spent, left);
  std::fflush(stderr);
  drawn_ = true;
}

}  // namespace tools
