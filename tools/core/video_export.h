// demo_render's video export: the show's frames, scaled by a whole number
// with square pixels, encoded with the soundtrack through FFmpeg's libraries
// into one file, or as a looping GIF. A build without the libraries has the
// same surface and refuses every request (video_export_none.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tools {

struct VideoRequest {
  std::string path;
  bool gif = false;       // --gif: a GIF of the 16 colours, no sound; else by path's extension
  bool lossless = false;  // FFV1 (RGB) + FLAC, Matroska only
  bool stats = false;     // print where the time went after the run
  uint32_t fromMs = 0;
  bool haveTo = false;    // else up to the soundtrack's end
  uint32_t toMs = 0;      // end of the range (exclusive)
  int fps = 0;            // frames per second; 0: 60, a GIF's 25
  int scale = 2;          // pixel edge per text-mode pixel, 1..8
};

// Why the request cannot be carried out, as one line for "demo_render: ", or
// empty. Checks what needs no rendering: the format, the encoders the
// installed libraries have, the options that go with it.
std::string CheckVideoRequest(const VideoRequest& request);

// Draws the 640 x 400 RGB picture (3 bytes a pixel, rows top down) at demo
// time ms. Always called from one thread.
using RenderPicture = std::function<void(uint32_t ms, uint8_t* rgb)>;

// Carries out a request that CheckVideoRequest took. Frame i shows demo time
// from + round(i * 1000 / fps). The file appears
// under its name only when complete: Ctrl+C, SIGTERM or a failure leave
// nothing. Failures go to standard error as one "demo_render: " line. The
// program's exit status.
int ExportVideo(const VideoRequest& request, const RenderPicture& render);

}  // namespace tools
