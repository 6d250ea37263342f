// The frame loop shared by both programs: a fixed 16 ms grid, the music
// position as the demo time, the quit and mute rules. What differs between
// the terminal and the window program is chosen by FrameLoop::program.
#pragma once

#include <cstddef>
#include <cstdint>

enum class ShowProgram { Console, Window };

constexpr uint32_t kFrameMs = 16;             // one frame of the 62.5 Hz grid
constexpr int32_t kMuteDebounceFrames = 20;   // console: frames between two mute toggles
constexpr uint32_t kFailedClockMs = 0xFFFFFFFFu;  // window: a time outside every effect
constexpr uint32_t kEndOfTrackGraceFrames = 10;   // frames in which a position of 0 never ends the show
constexpr uint8_t kVirtualKeyEscape = 27;
constexpr uint8_t kMuteCharacter = 'm';
constexpr uint32_t kLatestStartMs = 200000;       // a show started later would show no effect

// A start time in seconds as the players take it ("100", "12.5"), 0 to
// kLatestStartMs, rounded to whole ms; for anything else false, said on
// standard error as "<program>: --from takes ...".
bool ParseStartSeconds(const char* program, const char* text, uint32_t* startMs);
// Whether a track of trackMs has music left at startMs; if not, says so on
// standard error as "<program>: --from ...".
bool StartFitsTrack(const char* program, uint32_t startMs, uint32_t trackMs);

// One key event as the console reports it: a virtual key code (27 for
// Escape, 0 for none) and the character it carries.
struct KeyRecord {
  uint8_t virtualKey;
  uint8_t character;
};

// State of the frame loop, owned by the program's main routine.
struct FrameLoop {
  ShowProgram program;
  uint32_t deadline = 0;     // tick (ms) after which the next frame may start
  uint32_t frameIndex = 0;   // frames begun before this one
  bool muted = false;        // last mute state sent to the music
  uint32_t timeMs = 0;       // demo time of the current frame
  uint32_t startMs = 0;      // where the music was started; the show counts frames from there when the position fails
  bool clockMoved = false;   // a frame has had a time other than 0: playback has begun
  bool stop = false;
  int32_t muteDelay = kMuteDebounceFrames;   // console only

  explicit FrameLoop(ShowProgram p) : program(p) {}
};

// The demo time of a frame from the position query: the position when the
// result is 0, 11 (channel stolen) or 36 (invalid handle, the track is over);
// otherwise the window shows no effect and the console counts frames.
uint32_t FrameTimeFromPosition(const FrameLoop& loop, int32_t result, uint32_t positionMs);

// The track has ended: time 0 once the clock has moved (positions never go
// back during a play, so a 0 then means the track is over) and after the
// first frames. Before the clock moves, 0 is the start, however long the
// output takes to begin playing; a show started later than 0 never reads 0
// before the end.
bool TrackHasEnded(const FrameLoop& loop);

// What one frame's console keys asked for.
struct KeyActions {
  bool quit = false;
  bool muteToggled = false;
};

// Console key rule for one frame: muteDelay counts down first, then Escape
// (pressed or released) quits and a lower-case "m" toggles mute when the
// debounce allows. Updates loop.muted and loop.muteDelay.
KeyActions ApplyConsoleKeys(FrameLoop& loop, const KeyRecord* records, size_t count);

// What the loop needs from the program around it: time, music, presentation
// and input. The programs implement it over the real platform; tests script it.
class FrameLoopPorts {
 public:
  virtual ~FrameLoopPorts() = default;
  virtual uint32_t TickMs() = 0;                  // monotonic milliseconds, wrapping
  virtual void SleepMs(uint32_t ms) = 0;
  virtual bool QuitRequested() = 0;               // console control events
  virtual void UpdateMusic() = 0;                 // per-frame service, result dropped
  virtual int32_t MusicPosition(uint32_t* positionMs) = 0;
  virtual void SetMute(bool muted) = 0;
  // Shows the rendered frame. The window program also handles its messages
  // and keys here and may set loop.stop or toggle mute through ToggleMute.
  virtual void Present(FrameLoop& loop) = 0;
  // Console: pending key records, at most max, without blocking.
  virtual size_t PollKeys(KeyRecord* records, size_t max) = 0;
};

// Flips loop.muted and sends it to the music.
void ToggleMute(FrameLoop& loop, FrameLoopPorts& ports);

// Runs frames until the track ends, a key or a control event quits; the
// show must have been built and the track started. loop.deadline is the
// tick taken before the show was built.
void RunFrameLoop(FrameLoop& loop, FrameLoopPorts& ports);
