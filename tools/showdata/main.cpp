// make_show_data --out DIR: writes every generated image of the show into DIR.
// Exit codes: 0 done (or --help), 1 the files could not be written, 2 bad
// arguments.

#include <cstdio>
#include <cstring>
#include <string>

#include "tools/showdata/show_images.h"

namespace {

void PrintUsage() {
  std::printf(
      "usage: make_show_data --out DIR\n"
      "Writes the show's generated images into the existing directory DIR.\n"
      "The output is the same bytes on every run.\n");
}

int BadArguments(const char* reason) {
  std::fprintf(stderr, "make_show_data: %s (try --help)\n", reason);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  const char* outDir = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      PrintUsage();
      return 0;
    }
    if (std::strcmp(argv[i], "--out") == 0) {
      if (outDir) return BadArguments("--out given twice");
      if (i + 1 >= argc || argv[i + 1][0] == '\0') return BadArguments("--out needs a directory");
      outDir = argv[++i];
      continue;
    }
    const std::string reason = std::string("unexpected argument \"") + argv[i] + "\"";
    return BadArguments(reason.c_str());
  }
  if (!outDir) return BadArguments("missing --out DIR");

  std::string error;
  if (!showdata::WriteShowImages(outDir, error)) {
    std::fprintf(stderr, "make_show_data: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
