// make_soundtrack --out FILE [--wav FILE]: composes, renders and encodes the
// show's music track ("qx3.mp3"). The samples are the same on every run.

#include <getopt.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "tools/common/atomic_file.h"
#include "tools/music/loudness.h"
#include "tools/music/mp3_encoder.h"
#include "tools/music/score.h"
#include "tools/music/track.h"

namespace {

constexpr int kBitrateKbps = 192;

void PrintUsage(FILE* to) {
  std::fprintf(to,
               "usage: make_soundtrack --out FILE [--wav FILE]\n"
               "Renders the show's music track (%.1f s, 44.1 kHz stereo) and writes it as an\n"
               "MP3 at %d kbit/s CBR with gapless information to FILE. With --wav, also\n"
               "writes the rendered samples as 16-bit PCM WAV for inspection.\n"
               "Prints the track's length, sample peak, integrated loudness (BS.1770) and\n"
               "the time taken.\n",
               music::kTrackSeconds, kBitrateKbps);
}

void PutLe(std::vector<uint8_t>& out, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// 16-bit stereo PCM WAV header for `frames` frames.
std::vector<uint8_t> WavHeader(int64_t frames) {
  const uint32_t dataBytes = static_cast<uint32_t>(frames * 4);
  std::vector<uint8_t> h;
  h.insert(h.end(), {'R', 'I', 'F', 'F'});
  PutLe(h, 36 + dataBytes, 4);
  h.insert(h.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  PutLe(h, 16, 4);
  PutLe(h, 1, 2);  // PCM
  PutLe(h, 2, 2);
  PutLe(h, music::kSampleRate, 4);
  PutLe(h, music::kSampleRate * 4, 4);
  PutLe(h, 4, 2);
  PutLe(h, 16, 2);
  h.insert(h.end(), {'d', 'a', 't', 'a'});
  PutLe(h, dataBytes, 4);
  return h;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                                    {"out", required_argument, nullptr, 'o'},
                                    {"wav", required_argument, nullptr, 'w'},
                                    {nullptr, 0, nullptr, 0}};
  std::string outPath;
  std::string wavPath;
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
    const char* option = c == 'w' ? "--wav" : "--out";
    switch (c) {
      case 'h':
        PrintUsage(stdout);
        return tools::CloseStdout("make_soundtrack") ? 0 : 1;
      case 'o':
      case 'w': {
        std::string& target = c == 'o' ? outPath : wavPath;
        if (optarg[0] == '\0') {
          std::fprintf(stderr, "make_soundtrack: %s needs a file name\n", option);
          return 2;
        }
        if (!target.empty()) {
          std::fprintf(stderr, "make_soundtrack: %s given twice\n", option);
          return 2;
        }
        target = optarg;
        break;
      }
      case ':':
        std::fprintf(stderr, "make_soundtrack: %s needs a file name\n", argv[optind - 1]);
        return 2;
      default:
        std::fprintf(stderr, "make_soundtrack: unexpected argument \"%s\" (try --help)\n", argv[optind - 1]);
        return 2;
    }
  }
  if (optind < argc) {
    std::fprintf(stderr, "make_soundtrack: unexpected argument \"%s\" (try --help)\n", argv[optind]);
    return 2;
  }
  if (outPath.empty()) {
    std::fprintf(stderr, "make_soundtrack: missing --out FILE (try --help)\n");
    return 2;
  }

  const auto fail = [&](const std::string& message) {
    std::fprintf(stderr, "make_soundtrack: %s\n", message.c_str());
    return 1;
  };
  // Both opened before the rendering, in this order, so that a bad path
  // fails at once.
  tools::AtomicFile out(outPath);
  if (!out.ok()) return fail(out.Error());
  std::optional<tools::AtomicFile> wav;
  if (!wavPath.empty()) {
    wav.emplace(wavPath);
    const std::vector<uint8_t> header = WavHeader(music::kTrackFrames);
    if (!wav->Write(header.data(), header.size())) return fail(wav->Error());
  }
  std::string error;
  music::Mp3Encoder encoder;
  if (!encoder.Open(kBitrateKbps, error)) return fail(error);

  // Render and encode one second at a time.
  using Clock = std::chrono::steady_clock;
  Clock::duration renderTime{}, encodeTime{};
  music::TrackRenderer renderer;
  music::LoudnessMeter meter(music::kSampleRate);
  std::vector<float> chunk;
  std::vector<int16_t> pcm;
  for (int64_t done = 0; done < music::kTrackFrames;) {
    const int64_t n = std::min<int64_t>(music::kSampleRate, music::kTrackFrames - done);
    chunk.resize(static_cast<size_t>(2 * n));
    const Clock::time_point t0 = Clock::now();
    renderer.Render(chunk.data(), n);
    const Clock::time_point t1 = Clock::now();
    if (!encoder.Encode(chunk.data(), n, error)) return fail(error);
    encodeTime += Clock::now() - t1;
    renderTime += t1 - t0;
    meter.Add(chunk.data(), n);
    if (wav) {
      pcm.resize(chunk.size());
      for (size_t i = 0; i < chunk.size(); ++i) {
        const double v = std::fmax(-1.0, std::fmin(1.0, static_cast<double>(chunk[i])));
        pcm[i] = static_cast<int16_t>(std::lround(v * 32767.0));
      }
      // WAV is little-endian, as are the machines this tool runs on.
      if (!wav->Write(pcm.data(), pcm.size() * sizeof(int16_t))) return fail(wav->Error());
    }
    done += n;
  }
  if (wav && !wav->Commit()) return fail(wav->Error());

  const Clock::time_point f0 = Clock::now();
  std::vector<uint8_t> mp3;
  if (!encoder.Finish(mp3, error)) return fail(error);
  encodeTime += Clock::now() - f0;

  if (!out.Write(mp3.data(), mp3.size()) || !out.Commit()) return fail(out.Error());

  std::printf("%s: %.3f s, %d kbit/s CBR, %zu bytes; sample peak %.2f dBFS, loudness %.1f LUFS; "
              "render %.1f s, encode %.1f s\n",
              outPath.c_str(), static_cast<double>(music::kTrackFrames) / music::kSampleRate, kBitrateKbps,
              mp3.size(), music::ToDecibels(meter.SamplePeak()), meter.IntegratedLufs(), Seconds(renderTime),
              Seconds(encodeTime));
  return tools::CloseStdout("make_soundtrack") ? 0 : 1;
}
