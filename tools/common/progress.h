// A progress bar for a tool's long work, drawn on standard error only when it
// is a terminal (so that logs and captured output stay clean): one line with
// the steps done of the total, the percentage, the elapsed and the estimated
// remaining time, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>

namespace tools {

class ProgressBar {
 public:
  explicit ProgressBar(uint64_t total);
  // done steps of the total; cheap when nothing is redrawn.
  void Update(uint64_t done);
  // The last state drawn and the line ended; nothing when never drawn.
  void Finish();

 private:
  void Draw(uint64_t done);

  using Clock = std::chrono::steady_clock;
  uint64_t total_;
  bool shown_;
  bool drawn_ = false;
  uint64_t done_ = 0;
  Clock::time_point start_, next_;
};

}  // namespace tools
