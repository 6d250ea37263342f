// make_pack --out FILE [--stored] FILE...
// Packs the given files, in the given order, into a resource pack. Each entry
// is named after its file's base name and LZMA-compressed unless --stored.
#include <getopt.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/resources/pack_format.h"
#include "tools/common/atomic_file.h"
#include "tools/resources/pack_writer.h"

namespace {

void PrintUsage(std::FILE* to) {
  std::fprintf(to,
               "usage: make_pack --out FILE [--stored] FILE...\n"
               "  --out FILE   the pack to write\n"
               "  --stored     store entries as is instead of LZMA-compressing them\n"
               "  --help       this text\n"
               "Entries are named after the files' base names, in the order given.\n");
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  bytes.clear();
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + got);
  bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outPath;
  bool stored = false;
  std::vector<std::string> inputs;
  static const option kOptions[] = {{"help", no_argument, nullptr, 'h'},
                                    {"out", required_argument, nullptr, 'o'},
                                    {"stored", no_argument, nullptr, 's'},
                                    {nullptr, 0, nullptr, 0}};
  opterr = 0;   // our own messages
  for (int c; (c = getopt_long(argc, argv, ":h", kOptions, nullptr)) != -1;) {
    switch (c) {
      case 'h':
        PrintUsage(stdout);
        return tools::CloseStdout("make_pack") ? 0 : 1;
      case 'o': outPath = optarg; break;
      case 's': stored = true; break;
      case ':':
        std::fprintf(stderr, "make_pack: --out needs a file name\n");
        return 2;
      default:
        std::fprintf(stderr, "make_pack: unknown option %s\n", argv[optind - 1]);
        PrintUsage(stderr);
        return 2;
    }
  }
  inputs.assign(argv + optind, argv + argc);
  if (outPath.empty()) {
    std::fprintf(stderr, "make_pack: no --out file given\n");
    PrintUsage(stderr);
    return 2;
  }
  if (inputs.empty()) {
    std::fprintf(stderr, "make_pack: no input files given\n");
    PrintUsage(stderr);
    return 2;
  }

  // Opened before the inputs are read and compressed, so that a bad path
  // fails at once.
  tools::AtomicFile out(outPath);
  if (!out.ok()) {
    std::fprintf(stderr, "make_pack: %s\n", out.Error().c_str());
    return 1;
  }
  std::vector<PackInput> entries;
  for (const std::string& path : inputs) {
    PackInput entry;
    entry.name = BaseName(path);
    entry.method = stored ? kPackMethodStored : kPackMethodLzma;
    if (!ReadWholeFile(path, entry.bytes)) {
      std::fprintf(stderr, "make_pack: cannot read %s\n", path.c_str());
      return 1;
    }
    entries.push_back(std::move(entry));
  }

  std::vector<uint8_t> pack;
  std::string error;
  if (!BuildPack(entries, pack, error)) {
    std::fprintf(stderr, "make_pack: %s\n", error.c_str());
    return 1;
  }

  if (!out.Write(pack.data(), pack.size()) || !out.Commit()) {
    std::fprintf(stderr, "make_pack: %s\n", out.Error().c_str());
    return 1;
  }
  return 0;
}
