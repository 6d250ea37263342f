// The tools' output. A file is written under "<path>.part" and renamed over
// <path> only when complete: an interrupted or failed run never leaves a
// truncated file that looks up to date to the build. An existing <path> that
// is not a regular file (a device, a FIFO, or a link to one: /dev/null,
// /dev/stdout into a pipe) is written in place instead, since a rename would
// replace that node with a file; a directory is refused. A link to a regular
// file is followed: the file it leads to is replaced and the link kept.
// Failures are phrased "cannot write \"<path>\": <reason>", the reason from
// the system, for the tool to print after its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tools {

class AtomicFile {
 public:
  // Opens the file for writing at once, so that a tool can refuse an
  // unwritable output before its long work; see ok().
  explicit AtomicFile(std::string path);
  // Removes the partial file unless Commit() succeeded.
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // False once opening or any write has failed.
  bool ok() const { return file_ != nullptr && error_ == 0; }
  bool Write(const void* data, size_t size);
  // Moves the write position (whence SEEK_SET, SEEK_CUR or SEEK_END, as
  // fseek), for formats that patch their headers once the data is written;
  // the new position in bytes, or -1 when it cannot, as on a device or pipe
  // written in place (the file stays usable: the writer may do without).
  int64_t Seek(int64_t offset, int whence);
  // Closes and renames into place; false (partial file removed) on failure.
  bool Commit();
  // The first failure, "cannot write \"<path>\": <reason>".
  std::string Error() const;

 private:
  std::string path_;     // as given, for messages
  std::string target_;   // the file the rename replaces
  std::string part_;     // target_ + ".part"; empty when written in place
  FILE* file_ = nullptr;
  int error_ = 0;      // errno of the first failure
  bool committed_ = false;
};

// The whole of bytes as the file at path, through AtomicFile; on failure,
// false with its Error() in error.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// Standard output as bytes: on Windows the C runtime would turn every "\n"
// into "\r\n", so that the tools' text and digests would differ by platform.
void UseBinaryStdout();

// Flushes and closes standard output at the end of a program. False, with
// "<program>: cannot write standard output: <reason>" on standard error, if
// any of what was written to it was lost (a full disk, a closed pipe).
bool CloseStdout(const char* program);

}  // namespace tools
