// The video export of a build without FFmpeg's libraries (LUMEN_VIDEO off).
#include "tools/core/video_export.h"

namespace tools {

std::string CheckVideoRequest(const VideoRequest&) { return "this build has no video export (--video, --gif)"; }

int ExportVideo(const VideoRequest&, const RenderPicture&) { return 2; }   // never: every request is refused

}  // namespace tools
