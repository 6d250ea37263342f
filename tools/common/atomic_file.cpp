#include "tools/common/atomic_file.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tools {

namespace fs = std::filesystem;

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {
  std::error_code ec;
  const fs::file_status st = fs::status(path_, ec);
  if (fs::exists(st) && !fs::is_regular_file(st)) {
    if (fs::is_directory(st)) {
      error_ = EISDIR;
      return;
    }
    file_ = std::fopen(path_.c_str(), "wb");   // a device or pipe: in place
  } else {
    // Through a link, the .part goes beside the file the link leads to.
    const fs::path real = fs::canonical(path_, ec);
    target_ = ec ? path_ : real.string();
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

int64_t AtomicFile::Seek(int64_t offset, int whence) {
  if (!ok()) return -1;
#ifdef _WIN32
  const bool moved = _fseeki64(file_, offset, whence) == 0;
  const int64_t position = moved ? _ftelli64(file_) : -1;
#else
  const bool moved = fseeko(file_, static_cast<off_t>(offset), whence) == 0;
  const int64_t position = moved ? static_cast<int64_t>(ftello(file_)) : -1;
#endif
  return position;
}

bool AtomicFile::Commit() {
  if (file_ == nullptr) return false;
  if (std::fclose(file_) != 0 && error_ == 0) error_ = errno;
  file_ = nullptr;
  if (error_ == 0 && !part_.empty()) {
    // Replaces an existing file on every platform (C's rename does not on Windows).
    std::error_code ec;
    fs::rename(part_, target_, ec);
    if (ec) error_ = ec.default_error_condition().value();
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

void UseBinaryStdout() {
#ifdef _WIN32
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
#endif
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
