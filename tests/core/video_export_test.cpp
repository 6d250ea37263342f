// demo_render --video and --gif, read back with the ffmpeg program: exact
// pictures and sound where the format is exact, the stream layout where not,
// and nothing left behind by a refused or failed export.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "engine/music/mp3_decoder.h"
#include "tests/support/run_tool.h"

namespace {

namespace fs = std::filesystem;

RunResult DemoRender(const std::string& args) { return RunProgram(DEMO_RENDER_PATH, args, "run"); }
long FilesHere() { return std::distance(fs::directory_iterator("."), fs::directory_iterator()); }

// The track where demo_render looks for it, and its PCM (16-bit interleaved).
std::vector<int16_t> Soundtrack() {
  const std::string track = std::string(std::getenv("LUMEN_SHOW_DATA_DIR")) + "/qx3.mp3";
  if (!fs::exists("qx3.mp3")) fs::create_symlink(track, "qx3.mp3");
  const std::string bytes = ReadText(track);
  Mp3Decoder* decoder = nullptr;
  Mp3Format format{};
  EXPECT_EQ(OpenMp3Decoder(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), &decoder, &format),
            Mp3OpenStatus::kOk);
  EXPECT_TRUE(format.rate == 44100 && format.channels == 2);   // what the slices below assume
  std::vector<int16_t> pcm(format.totalFrames * 2);
  bool finished = false;
  for (size_t at = 0; !finished && at < format.totalFrames;) {
    at += DecodeMp3Frames(decoder, pcm.data() + at * 2, format.totalFrames - at, &finished);
  }
  CloseMp3Decoder(decoder);
  return pcm;
}

// What ffmpeg decodes from input with the given output options.
std::string Decode(const std::string& input, const std::string& options) {
  const RunResult r = RunProgram("ffmpeg", "-v error -y -i " + input + " " + options + " decoded", "ffmpeg");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return ReadText("decoded");
}

double Rms(const int16_t* samples, size_t count) {
  double sum = 0;
  for (size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

// Frame i at from + round(i * 1000 / fps): each equal to demo_render's PNG of
// that time scaled by whole pixels; the lossless sound of the whole show
// equal to the track's samples (44.1 kHz both: nothing resampled). The whole
// show at 1 frame/s is checked at times across it, the short clips at every
// frame.
TEST(VideoExport, ExactFormatsMatchThePngsAndTheTrack) {
  const std::vector<int16_t> track = Soundtrack();
  const struct {
    const char* file;
    const char* args;
    int fps, fromMs, scale, frames;
    std::vector<int> times;
  } rows[] = {
      {"show.mkv", "--lossless --fps 1 --scale 1", 1, 0, 1, 201, {0, 45000, 100000, 145000, 200000}},
      {"clip.mkv", "--lossless --fps 3 --from 29000 --to 31000", 3, 29000, 2, 6,
       {29000, 29333, 29667, 30000, 30333, 30667}},
      {"clip.gif", "--fps 4 --scale 3 --from 29000 --to 30000", 4, 29000, 3, 4, {29000, 29250, 29500, 29750}},
  };
  for (const auto& row : rows) {
    const std::string file = row.file, args = (file.ends_with(".gif") ? "--gif " : "--video ") + file + " " + row.args;
    const RunResult r = DemoRender(args);
    ASSERT_EQ(r.exitCode, 0) << args << ": " << r.err;
    const RunResult count = RunProgram("ffprobe", "-v error -count_frames -show_entries stream=nb_read_frames "
                                                  "-select_streams v -of csv=p=0 " + file, "probe");
    EXPECT_EQ(count.out, std::to_string(row.frames) + "\n") << args;
    std::string expected, pick;
    for (int ms : row.times) {
      ASSERT_EQ(DemoRender("--time " + std::to_string(ms) + " --out frame.png").exitCode, 0);
      expected += Decode("frame.png", "-vf scale=iw*" + std::to_string(row.scale) + ":ih*" +
                                          std::to_string(row.scale) + ":flags=neighbor -f rawvideo -pix_fmt rgb24");
      const int index = static_cast<int>(std::lround((ms - row.fromMs) * row.fps / 1000.0));
      pick += (pick.empty() ? "" : "+") + std::string("eq(n\\,") + std::to_string(index) + ")";
    }
    const std::string frames =
        Decode(file, "-map 0:v -vf 'select=" + pick + "' -fps_mode passthrough -f rawvideo -pix_fmt rgb24");
    EXPECT_TRUE(frames == expected) << args << ": " << frames.size() << " bytes, " << expected.size() << " expected";
  }
  const std::string sound = Decode("show.mkv", "-map 0:a -f s16le");
  ASSERT_EQ(sound.size(), track.size() * 2);
  EXPECT_EQ(std::memcmp(sound.data(), track.data(), sound.size()), 0);
}

// The H.264 file as players see it: codec, size, rate and length of both
// streams; the AAC sound as long and as loud as the track's stretch.
TEST(VideoExport, Mp4StreamsAndSound) {
  const std::vector<int16_t> track = Soundtrack();
  ASSERT_EQ(DemoRender("--video clip.mp4 --from 60000 --to 62000").exitCode, 0);
  const RunResult probe = RunProgram("ffprobe", "-v error -show_entries stream=codec_name,width,height,r_frame_rate,"
                                                "duration,sample_rate,channels -of csv=p=0 clip.mp4", "probe");
  EXPECT_EQ(probe.out, "h264,1280,800,60/1,2.000000\naac,44100,2,0/0,2.000000\n") << probe.err;
  const std::string sound = Decode("clip.mp4", "-map 0:a -f s16le");
  const size_t frames = sound.size() / 4;
  EXPECT_NEAR(static_cast<double>(frames), 88200, 1024);
  const double expected = Rms(track.data() + 2646000 * 2, 88200 * 2);
  EXPECT_NEAR(Rms(reinterpret_cast<const int16_t*>(sound.data()), frames * 2), expected, expected * 0.05);
}

// Each refusal fails with a line naming the program, and leaves no file.
TEST(VideoExport, RefusalsLeaveNothing) {
  Soundtrack();
  for (const char* args : {"--video clip.avi", "--video missing/clip.mp4 --from 0 --to 100",
                           "--video clip.mp4 --from 500000", "--video clip.mp4 --scale 0",
                           "--video clip.webm --lossless", "--gif clip.gif --fps 3",
                           "--video clip.mp4 --from 100 --to 100"}) {
    const RunResult r = DemoRender(args);
    EXPECT_NE(r.exitCode, 0) << args;
    EXPECT_EQ(r.err.find("demo_render: "), 0u) << args << ": " << r.err;
    EXPECT_EQ(FilesHere(), 3) << args;   // the track's link and the captured output
  }
}

}  // namespace
