// The music player on a 200-second track: time from LoadTrack to the first
// audio the output takes, CPU share of decoding while playing, resident
// memory the player adds beyond the track's bytes, and how closely the
// position follows wall time on the 16 ms frame grid.
//
//   music_bench [--device] [--play SECONDS] [--full]
//     --device   SDL's device path (with SDL_AUDIODRIVER=dummy on a machine
//                without sound) instead of the silent output
//     --play     seconds to play on the frame grid (default 10)
//     --full     play the whole track and check it reads 0 after its end
#include <getopt.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

#include "engine/music/mp3_decoder.h"
#include "engine/music/music_player.h"
#include "engine/resources/resource_table.h"
#include "tests/music/test_tracks.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

long ResidentKb() {
  long pages = 0;
  long resident = 0;
  std::FILE* statm = std::fopen("/proc/self/statm", "r");
  if (statm == nullptr) return -1;
  if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
  std::fclose(statm);
  return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Decodes the whole track as fast as it goes: CPU seconds per second of music.
double DecodeShare(const std::vector<uint8_t>& mp3) {
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  if (OpenMp3Decoder(mp3.data(), mp3.size(), &decoder, &format) != Mp3OpenStatus::kOk) return -1;
  std::vector<int16_t> pcm(size_t{1024} * format.channels);
  const double start = ProcessCpuSeconds();
  bool finished = false;
  while (!finished) DecodeMp3Frames(decoder, pcm.data(), 1024, &finished);
  const double spent = ProcessCpuSeconds() - start;
  CloseMp3Decoder(decoder);
  return spent / (static_cast<double>(format.totalFrames) / format.rate);
}

}  // namespace

int main(int argc, char** argv) {
  bool device = false;
  bool full = false;
  double playSeconds = 10;
  static const option kOptions[] = {{"device", no_argument, nullptr, 'd'},
                                    {"full", no_argument, nullptr, 'f'},
                                    {"play", required_argument, nullptr, 'p'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;   // our own message
  bool ok = true;
  for (int c; ok && (c = getopt_long(argc, argv, "", kOptions, nullptr)) != -1;) {
    char* end = nullptr;
    switch (c) {
      case 'd': device = true; break;
      case 'f': full = true; break;
      case 'p':
        playSeconds = std::strtod(optarg, &end);
        ok = end != optarg && *end == '\0' && playSeconds > 0;
        break;
      default: ok = false;
    }
  }
  if (!ok || optind < argc) {
    std::fprintf(stderr, "usage: music_bench [--device] [--full] [--play SECONDS]\n");
    return 2;
  }
  AudioMixerDefaults().output = device ? AudioOutput::kDevice : AudioOutput::kSilent;

  const std::filesystem::path work =
      std::filesystem::temp_directory_path() / ("music_bench." + std::to_string(getpid()));
  std::filesystem::create_directories(work);
  std::filesystem::current_path(work);

  // Encoded in a child, so that the encoder's memory never counts as ours.
  std::printf("encoding a 200 s track (44.1 kHz stereo, 128 kbit/s)...\n");
  std::fflush(stdout);
  const pid_t encoder = fork();
  if (encoder == 0) {
    WriteFileBytes(kMusicTrackName, MakeSineMp3({200.0, 44100, 2, false}));
    _exit(0);
  }
  int status = 0;
  waitpid(encoder, &status, 0);
  const size_t trackBytes = std::filesystem::file_size(kMusicTrackName);
  std::printf("track: %zu bytes\n", trackBytes);

  ResourceTable::Instance();  // the embedded pack, there before the player in the programs too
  const long residentBefore = ResidentKb();

  MusicPlayer* player = MusicPlayer::Create();
  const Clock::time_point loadStart = Clock::now();
  player->LoadTrack();
  const Clock::time_point loaded = Clock::now();
  player->StartPlayback();  // returns once the output has taken its first audio
  const Clock::time_point playing = Clock::now();
  std::printf("LoadTrack: %.2f ms, StartPlayback: %.2f ms, LoadTrack to first audio taken: %.2f ms\n",
              MsBetween(loadStart, loaded), MsBetween(loaded, playing), MsBetween(loadStart, playing));
  std::printf("length: %u ms\n", player->lengthMs);

  const double seconds = full ? 1e9 : playSeconds;
  const double cpuStart = ProcessCpuSeconds();
  double worst = 0;
  uint32_t last = 0;
  bool monotonic = true;
  bool ended = false;
  uint32_t frameIndex = 0;
  for (;; ++frameIndex) {
    std::this_thread::sleep_until(playing + std::chrono::milliseconds(16 * frameIndex));
    player->Update();
    uint32_t position = 0;
    const int32_t result = player->Position(&position);
    const double wall = MsBetween(playing, Clock::now());
    if (position == 0 && frameIndex > 10) {
      ended = result == kAudioInvalidHandle;
      std::printf("end: position 0 with result %d at %.1f ms of wall time (track %u ms)\n", result, wall,
                  player->lengthMs);
      break;
    }
    if (position < last) monotonic = false;
    last = position;
    worst = std::max(worst, std::fabs(wall - position));
    if (wall > seconds * 1000) break;
  }
  const double cpu = ProcessCpuSeconds() - cpuStart;
  const double played = MsBetween(playing, Clock::now()) / 1000;
  const long residentAfter = ResidentKb();
  std::printf("played %.1f s: frame loop + decoding used %.3f%% of one core\n", played, 100 * cpu / played);
  std::printf("position: %s, worst distance from wall time %.1f ms\n", monotonic ? "monotonic" : "WENT BACK", worst);
  std::printf("resident memory: +%ld KB, of which the track's bytes %zu KB: the player adds %ld KB\n",
              residentAfter - residentBefore, trackBytes / 1024,
              residentAfter - residentBefore - static_cast<long>(trackBytes / 1024));
  const ResourceEntry& track = ResourceTable::Instance()->Get(kMusicTrackName);
  const Clock::time_point openStart = Clock::now();
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  OpenMp3Decoder(track.data, track.size, &decoder, &format);
  std::printf("opening and scanning the track in memory alone: %.2f ms\n", MsBetween(openStart, Clock::now()));
  CloseMp3Decoder(decoder);
  std::printf("decoding alone: %.3f%% of one core\n",
              100 * DecodeShare(std::vector<uint8_t>(track.data, track.data + track.size)));

  player->Shutdown();
  delete player;
  ResourceTable::Release();
  std::filesystem::current_path(std::filesystem::temp_directory_path());
  std::filesystem::remove_all(work);
  return (full && !ended) || !monotonic ? 1 : 0;
}
