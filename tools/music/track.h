// Renders a score into the finished stereo track: each note's voice into its
// instrument's bus; every bus through its automation (gain, lowpass) and the
// kick's side-chain ducking into the mix and into the shared echo and reverb;
// then the master: DC blocker, fade, look-ahead limiter.
//
// Rendering is sequential from the track's start (the echo, reverb and
// limiter carry state), in fixed blocks counted from frame 0, so the samples
// never depend on how a caller splits its requests.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tools/music/score.h"

namespace music {

// The master limiter's ceiling: -1.5 dBFS, which leaves room for the MP3
// encoder's small overshoots below the -1 dBFS the track must keep.
constexpr double kLimiterCeiling = 0.8413951416;  // 10^(-1.5 / 20)

class TrackRenderer {
 public:
  // Starts at frame 0 of the score (which must outlive the renderer).
  explicit TrackRenderer(const Score& score = ShowScore());
  ~TrackRenderer();
  TrackRenderer(const TrackRenderer&) = delete;
  TrackRenderer& operator=(const TrackRenderer&) = delete;

  // Writes the next `frames` frames, interleaved left and right, into out
  // (2 x frames floats). Past the score's end the track is silent.
  void Render(float* out, int64_t frames);
  // Renders and drops the next `frames` frames.
  void Skip(int64_t frames);
  // Frames delivered so far.
  int64_t Position() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Frames [first, first + count) of the show's track, interleaved stereo
// (renders everything before `first` too, as the track's state needs it).
std::vector<float> RenderShowFrames(int64_t first, int64_t count);

}  // namespace music
