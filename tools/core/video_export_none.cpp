// The video export of a build without FFmpeg's libraries (LUMEN_VIDEO off).
#include <cstdio>

#include "tools/core/video_export.h"

namespace tools {

std::string CheckVideoRequest(const VideoRequest&) { return "this build has no video export (--video, --gif)"; }

int ExportVideo(const VideoRequest&, const RenderPicture&) {
  std::fprintf(stderr, "demo_render: %s\n", CheckVideoRequest(VideoRequest{}).c_str());
  return 2;
}

}  // namespace tools
