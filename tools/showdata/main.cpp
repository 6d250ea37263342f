// make_show_data --out DIR: writes every generated image of the show into DIR.
// Exit codes: 0 done (or --help), 1 the files could not be written, 2 bad
// arguments.

#include <getopt.h>

#include <cstdio>
#include <string>

#include "tools/common/atomic_file.h"
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
  static const option kOptions[] = {
      {"help", no_argument, nullptr, 'h'}, {"out", required_argument, nullptr, 'o'}, {nullptr, 0, nullptr, 0}};
  const char* outDir = nullptr;
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'h':
        PrintUsage();
        return tools::CloseStdout("make_show_data") ? 0 : 1;
      case 'o':
        if (outDir) return BadArguments("--out given twice");
        if (optarg[0] == '\0') return BadArguments("--out needs a directory");
        outDir = optarg;
        break;
      case ':': return BadArguments("--out needs a directory");
      default: return BadArguments(("unexpected argument \"" + std::string(argv[optind - 1]) + "\"").c_str());
    }
  }
  if (optind < argc) return BadArguments(("unexpected argument \"" + std::string(argv[optind]) + "\"").c_str());
  if (!outDir) return BadArguments("missing --out DIR");

  std::string error;
  if (!showdata::WriteShowImages(outDir, error)) {
    std::fprintf(stderr, "make_show_data: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
