// demo_render: renders frames of the show headless, as 640 x 400 PNG images
// that emulate text mode the way the window front-end draws it, as ANSI text
// on standard output, or as a video with the soundtrack or a GIF.
#include <getopt.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/text_mode_image.h"
#include "engine/core/text_screen.h"
#include "engine/core/timeline.h"
#include "engine/resources/bitmap.h"
#include "engine/resources/resource_table.h"
#include "frontends/common/program_files.h"
#include "frontends/console/ansi.h"
#include "tools/common/atomic_file.h"
#include "tools/common/png.h"
#include "tools/common/progress.h"
#include "tools/core/video_export.h"

namespace {

const char kUsage[] =
    "usage: demo_render [--time MS | --from MS --to MS [--step MS]] [--out PATH | --ansi | --ansi16 | --digest]\n"
    "       demo_render (--video FILE | --gif FILE) [--from MS] [--to MS] [--fps N] [--scale K]\n"
    "                   [--lossless] [--stats]\n"
    "\n"
    "Renders frames of the show without a window or music and writes each as a\n"
    "640x400 PNG emulating text mode (8x8 pixel cells), or as ANSI text; or the\n"
    "show from --from (default 0) to --to (default: the soundtrack's end) as one\n"
    "video with the soundtrack, or as a looping GIF without sound.\n"
    "\n"
    "  --time MS      render the frame at demo time MS (milliseconds)\n"
    "  --from MS      first time of a series\n"
    "  --to MS        last time of a series (inclusive)\n"
    "  --step MS      spacing of a series (default 1000)\n"
    "  --out PATH     a single frame: the PNG file (default frame_MS.png);\n"
    "                 a series: the directory for frame_MS.png files (default .)\n"
    "  --ansi         write the frames to standard output as 24-bit colour text\n"
    "  --ansi16       the same with the 16 ANSI colours\n"
    "  --digest       write a line \"MS DIGEST\" per frame to standard output: the\n"
    "                 FNV-1a digest (hex) of its 4000 cells, to compare builds\n"
    "  --video FILE   a video; FILE's name gives the format: .mp4 (H.264, AAC),\n"
    "                 .mkv (the same in Matroska), .webm (VP9, Opus)\n"
    "  --gif FILE     a GIF of the exact 16 colours, looping\n"
    "  --fps N        frames per second (default 60; a GIF's 25, and it takes\n"
    "                 only 1, 2, 4, 5, 10, 20, 25 or 50); frame i shows demo time\n"
    "                 from + i * 1000 / N, rounded\n"
    "  --scale K      every text-mode pixel as K x K pixels, 1 to 8 (default 2:\n"
    "                 1280x800)\n"
    "  --lossless     with --video FILE.mkv: FFV1 in RGB and FLAC, frames equal to\n"
    "                 the PNGs\n"
    "  --stats        after a video, where its time went (on standard error)\n"
    "  --help         show this text\n";

struct Options {
  bool haveTime = false, haveFrom = false, haveTo = false;
  uint32_t time = 0, from = 0, to = 0, step = 1000;
  std::string out;
  int ansi = 0;   // 0 PNG, 24 true colour, 16 ANSI colours
  bool digest = false;
  bool haveStep = false, video = false;
  tools::VideoRequest request;
};

[[noreturn]] void Usage(const char* message, const char* detail) {
  std::fprintf(stderr, "demo_render: %s%s%s\n", message, detail ? ": " : "", detail ? detail : "");
  std::fprintf(stderr, "Try 'demo_render --help'.\n");
  std::exit(2);
}

int ParseCount(const char* option, const char* text) {
  if (text == nullptr) Usage("missing value for", option);
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 1 || v > 1000) {
    Usage((std::string("not a whole number from 1 for ") + option).c_str(), text);
  }
  return static_cast<int>(v);
}

uint32_t ParseMs(const char* option, const char* text) {
  if (text == nullptr) Usage("missing value for", option);
  errno = 0;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || text[0] == '-' || v > 0xFFFFFFFFull) {
    Usage("not a time in milliseconds", text);
  }
  return static_cast<uint32_t>(v);
}

Options ParseArguments(int argc, char** argv) {
  static const option kOptions[] = {
      {"help", no_argument, nullptr, 'h'},        {"time", required_argument, nullptr, 't'},
      {"from", required_argument, nullptr, 'f'},  {"to", required_argument, nullptr, 'e'},
      {"step", required_argument, nullptr, 's'},  {"out", required_argument, nullptr, 'o'},
      {"ansi", no_argument, nullptr, 'a'},        {"ansi16", no_argument, nullptr, 'A'},
      {"digest", no_argument, nullptr, 'd'},      {"video", required_argument, nullptr, 'v'},
      {"gif", required_argument, nullptr, 'g'},   {"fps", required_argument, nullptr, 'r'},
      {"scale", required_argument, nullptr, 'k'}, {"lossless", no_argument, nullptr, 'l'},
      {"stats", no_argument, nullptr, 'S'},
      {nullptr, 0, nullptr, 0}};
  bool videoOption = false;   // --fps, --scale, --lossless or --stats
  Options o;
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'h':
        std::fputs(kUsage, stdout);
        std::exit(tools::CloseStdout("demo_render") ? 0 : 1);
      case 't': o.time = ParseMs("--time", optarg), o.haveTime = true; break;
      case 'f': o.from = ParseMs("--from", optarg), o.haveFrom = true; break;
      case 'e': o.to = ParseMs("--to", optarg), o.haveTo = true; break;
      case 's':
        o.step = ParseMs("--step", optarg);
        if (o.step == 0) Usage("--step must be at least 1", nullptr);
        o.haveStep = true;
        break;
      case 'o': o.out = optarg; break;
      case 'a': o.ansi = 24; break;
      case 'A': o.ansi = 16; break;
      case 'd': o.digest = true; break;
      case 'v':
      case 'g':
        if (o.video) Usage("give one of --video and --gif", nullptr);
        o.video = true, o.request.gif = c == 'g', o.request.path = optarg;
        break;
      case 'r': o.request.fps = ParseCount("--fps", optarg), videoOption = true; break;
      case 'k': o.request.scale = ParseCount("--scale", optarg), videoOption = true; break;
      case 'l': o.request.lossless = videoOption = true; break;
      case 'S': o.request.stats = videoOption = true; break;
      case ':': Usage("missing value for", argv[optind - 1]);
      default: Usage("unknown argument", argv[optind - 1]);
    }
  }
  if (optind < argc) Usage("unknown argument", argv[optind]);
  if (videoOption && !o.video) Usage("--fps, --scale, --lossless and --stats go with --video or --gif", nullptr);
  if (o.video) {
    if (o.haveTime || o.haveStep || o.ansi != 0 || o.digest || !o.out.empty()) {
      Usage("--video and --gif take --from, --to, --fps, --scale, --lossless and --stats only", nullptr);
    }
    if (o.haveFrom && o.haveTo && o.from >= o.to) Usage("--from is not before --to", nullptr);
    o.request.fromMs = o.from, o.request.haveTo = o.haveTo, o.request.toMs = o.to;
    return o;
  }
  if (o.haveTime && (o.haveFrom || o.haveTo)) Usage("--time cannot be combined with --from/--to", nullptr);
  if (!o.haveTime && !(o.haveFrom && o.haveTo)) Usage("give --time, or both --from and --to", nullptr);
  if (o.haveFrom && o.from > o.to) Usage("--from is after --to", nullptr);
  if (o.digest && (o.ansi != 0 || !o.out.empty())) Usage("--digest writes no images: no --ansi, --ansi16 or --out", nullptr);
  return o;
}

std::string FramePath(const Options& o, uint32_t timeMs) {
  char name[32];
  std::snprintf(name, sizeof name, "frame_%06u.png", timeMs);
  if (o.haveTime) return o.out.empty() ? std::string(name) : o.out;
  const std::string dir = o.out.empty() ? std::string(".") : o.out;
  return dir + "/" + name;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseArguments(argc, argv);
  tools::UseBinaryStdout();
  if (options.video) {
    // Refused before the show is built: a wrong name or option, an encoder
    // the libraries lack, or a build without them.
    const std::string refusal = tools::CheckVideoRequest(options.request);
    if (!refusal.empty()) {
      std::fprintf(stderr, "demo_render: %s\n", refusal.c_str());
      return 2;
    }
  }

  TextScreen* screen = TextScreen::Get();
  AddProgramResourceDirectories();
  ResourceTable::Instance();
  BuildShow();
  const bool png = options.ansi == 0 && !options.digest;
  Bitmap* glyphImage = png ? LoadBitmap("textmodechars.png") : nullptr;

  std::vector<GlyphCell> glyphs(kScreenCells, GlyphCell{0, 0});
  std::vector<uint8_t> rgb(static_cast<size_t>(kTextModeWidth) * kTextModeHeight * 3);
  std::string text;
  std::vector<uint8_t> encoded;
  std::string error;
  int status = 0;

  if (options.video) {
    status = tools::ExportVideo(options.request, [&](uint32_t timeMs, uint8_t* picture) {
      RenderFrame(timeMs);
      DecodeToGlyphCells(screen->cells, glyphs.data());
      RasteriseTextMode(glyphs.data(), *glyphImage, picture);
    });
  }
  const uint32_t first = options.haveTime ? options.time : options.from;
  const uint32_t last = options.haveTime ? options.time : options.to;
  // Drawn for a series of PNGs only: text output may share the terminal.
  tools::ProgressBar progress((last - first) / options.step + 1);
  uint64_t written = 0;
  for (uint64_t t = first; !options.video && t <= last; t += options.step) {
    const uint32_t timeMs = static_cast<uint32_t>(t);
    RenderFrame(timeMs);
    if (options.digest) {
      if (std::printf("%u %08x\n", timeMs, CellsDigest(screen->cells)) > 0) continue;
      std::fprintf(stderr, "demo_render: cannot write standard output: %s\n", std::strerror(errno));
      status = 1;
      break;
    }
    if (options.ansi != 0) {
      text.clear();
      AppendAnsiScreen(text, screen->cells, options.ansi == 24);
      if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size()) continue;
      std::fprintf(stderr, "demo_render: cannot write standard output: %s\n", std::strerror(errno));
      status = 1;
      break;
    }
    DecodeToGlyphCells(screen->cells, glyphs.data());
    RasteriseTextMode(glyphs.data(), *glyphImage, rgb.data());
    const std::string path = FramePath(options, timeMs);
    if (!tools::EncodePng(kTextModeWidth, kTextModeHeight, rgb.data(), encoded)) {
      error = "cannot encode \"" + path + "\" as PNG";
    } else {
      tools::WriteFileAtomically(path, encoded, error);
    }
    if (!error.empty()) {
      std::fprintf(stderr, "demo_render: %s\n", error.c_str());
      status = 1;
      break;
    }
    if (!options.haveTime) progress.Update(++written);
  }
  progress.Finish();
  // Lost ANSI output (a full disk, a closed pipe) fails the run; a failure
  // already reported is not reported twice.
  if (status == 0 && !tools::CloseStdout("demo_render")) status = 1;

  ReleaseBitmap(glyphImage);
  TearDownShow();
  ResourceTable::Release();
  TextScreen::Release();
  return status;
}
