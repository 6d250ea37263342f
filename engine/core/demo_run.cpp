#include "engine/core/demo_run.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/timeline.h"
#include "engine/music/music_player.h"

namespace {
constexpr size_t kMaxKeysPerFrame = 256;

// Unsigned wrap-around comparison of tick counts: a is later than b.
inline bool TickAfter(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }
}  // namespace

uint32_t FrameTimeFromPosition(const FrameLoop& loop, int32_t result, uint32_t positionMs) {
  const bool accepted = MusicPlayer::PositionIsClock(result);
  if (loop.program == ShowProgram::Window) return accepted ? positionMs : kFailedClockMs;
  if (!accepted || positionMs == 0xFFFFFFFFu) return loop.startMs + loop.frameIndex * kFrameMs;
  return positionMs;
}

bool TrackHasEnded(const FrameLoop& loop) {
  return loop.timeMs == 0 && (loop.clockMoved || loop.startMs > 0) && loop.frameIndex > kEndOfTrackGraceFrames;
}

bool ParseStartSeconds(const char* program, const char* text, uint32_t* startMs) {
  // Plain decimals only: no sign, space, exponent or hexadecimal.
  const bool plain = *text >= '0' && *text <= '9' && text[std::strspn(text, "0123456789.")] == '\0';
  char* end = nullptr;
  const double seconds = plain ? std::strtod(text, &end) : -1.0;
  if (!plain || *end != '\0' || !(seconds >= 0.0 && seconds * 1000.0 <= kLatestStartMs)) {
    std::fprintf(stderr, "%s: --from takes seconds from 0 to %u, not \"%s\"\n", program, kLatestStartMs / 1000, text);
    return false;
  }
  *startMs = static_cast<uint32_t>(std::lround(seconds * 1000.0));
  return true;
}

KeyActions ApplyConsoleKeys(FrameLoop& loop, const KeyRecord* records, size_t count) {
  KeyActions actions;
  if (loop.muteDelay > 0) --loop.muteDelay;
  for (size_t i = 0; i < count; ++i) {
    if (records[i].virtualKey == kVirtualKeyEscape) actions.quit = true;
    if (records[i].character == kMuteCharacter && loop.muteDelay == 0) {
      loop.muted = !loop.muted;
      actions.muteToggled = !actions.muteToggled;
      loop.muteDelay = kMuteDebounceFrames;
    }
  }
  return actions;
}

bool StartFitsTrack(const char* program, uint32_t startMs, uint32_t trackMs) {
  if (startMs < trackMs || startMs == 0) return true;
  std::fprintf(stderr, "%s: --from %u.%03u s is not before the end of the track (%u.%03u s)\n", program,
               startMs / 1000, startMs % 1000, trackMs / 1000, trackMs % 1000);
  return false;
}

void ToggleMute(FrameLoop& loop, FrameLoopPorts& ports) {
  loop.muted = !loop.muted;
  ports.SetMute(loop.muted);
}

void RunFrameLoop(FrameLoop& loop, FrameLoopPorts& ports) {
  KeyRecord keys[kMaxKeysPerFrame];
  while (!ports.QuitRequested()) {
    // A late frame starts at once; the window waits at least one sleep.
    if (loop.program == ShowProgram::Window) {
      do {
        ports.SleepMs(1);
      } while (!TickAfter(ports.TickMs(), loop.deadline));
    } else {
      while (!TickAfter(ports.TickMs(), loop.deadline)) ports.SleepMs(1);
    }
    loop.deadline += kFrameMs;   // the grid never moves for a late frame

    ports.UpdateMusic();
    uint32_t position = 0;
    const int32_t result = ports.MusicPosition(&position);
    loop.timeMs = FrameTimeFromPosition(loop, result, position);
    if (loop.timeMs != 0) loop.clockMoved = true;

    loop.stop = RenderFrame(loop.timeMs);
    ports.Present(loop);

    if (TrackHasEnded(loop)) loop.stop = true;
    ++loop.frameIndex;

    if (loop.program == ShowProgram::Console) {
      const size_t count = ports.PollKeys(keys, kMaxKeysPerFrame);
      const KeyActions actions = ApplyConsoleKeys(loop, keys, count);
      if (actions.muteToggled) ports.SetMute(loop.muted);
      if (actions.quit) loop.stop = true;
    }
    if (loop.stop) break;
  }
}
