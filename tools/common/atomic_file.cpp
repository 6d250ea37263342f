#include "tools/common/atomic_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tools {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  struct stat st {};
  if (stat(path_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      error_ = EISDIR;
      return;
    }
    file_ = std::fopen(path_.c_str(), "wb");   // in place
  } else {
    // Through a link, the .part goes beside the file the link leads to.
    char* real = realpath(path_.c_str(), nullptr);
    target_ = real != nullptr ? real : path_;
    std::free(real);
    part_ = target_ + ".part";
    file_ = std::fopen(part_.c_str(), "wb");
  }
  if (file_ == nullptr) error_ = errno;
}

AtomicFile::~AtomicFile() {
  if (committed_) return;
  if (file_ != nullptr) std::fclose(file_);
  if (!part_.empty()) std::remove(part_.c_str());
}

bool AtomicFile::Write(const void* data, size_t size) {
  if (ok() && std::fwrite(data, 1, size, file_) != size) error_ = errno != 0 ? errno : EIO;
  return ok();
}

bool AtomicFile::Commit() {
  if (file_ == nullptr) return false;
  if (std::fclose(file_) != 0 && error_ == 0) error_ = errno;
  file_ = nullptr;
  if (error_ == 0 && !part_.empty() && std::rename(part_.c_str(), target_.c_str()) != 0) {
    error_ = errno;
  }
  committed_ = error_ == 0;
  if (!committed_ && !part_.empty()) std::remove(part_.c_str());
  return committed_;
}

std::string AtomicFile::Error() const {
  return "cannot write \"" + path_ + "\": " + std::strerror(error_ != 0 ? error_ : EIO);
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  AtomicFile file(path);
  if (file.Write(bytes.data(), bytes.size()) && file.Commit()) return true;
  error = file.Error();
  return false;
}

bool CloseStdout(const char* program) {
  errno = 0;
  int error = 0;
  // After a failed write the stream keeps only its error flag, not the reason.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) error = errno != 0 ? errno : EIO;
  if (std::fclose(stdout) != 0 && error == 0) error = errno;
  if (error != 0) std::fprintf(stderr, "%s: cannot write standard output: %s\n", program, std::strerror(error));
  return error == 0;
}

}  // namespace tools
