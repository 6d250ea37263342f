// Output files of the generators, written under "<path>.part" and renamed
// over <path> only when complete: an interrupted or failed run never leaves a
// truncated file that looks up to date to the build.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tools {

class AtomicFile {
 public:
  // Opens "<path>.part" for writing; see ok().
  explicit AtomicFile(std::string path);
  // Removes the partial file unless Commit() succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // False once opening or any write has failed.
  bool ok() const { return file_ != nullptr && ok_; }
  bool Write(const void* data, size_t size);
  // Closes and renames into place; false (partial file removed) on failure.
  bool Commit();
  const std::string& partPath() const { return part_; }

 private:
  std::string path_;
  std::string part_;
  FILE* file_ = nullptr;
  bool ok_ = true;
  bool committed_ = false;
};

// The whole of bytes as the file at path, through AtomicFile.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace tools
