#include "tools/common/atomic_file.h"

namespace tools {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), part_(path_ + ".part") {
  file_ = std::fopen(part_.c_str(), "wb");
}

AtomicFile::~AtomicFile() {
  if (committed_) return;
  if (file_ != nullptr) std::fclose(file_);
  std::remove(part_.c_str());
}

bool AtomicFile::Write(const void* data, size_t size) {
  ok_ = ok() && std::fwrite(data, 1, size, file_) == size;
  return ok_;
}

bool AtomicFile::Commit() {
  if (file_ == nullptr) return false;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  committed_ = ok_ && closed && std::rename(part_.c_str(), path_.c_str()) == 0;
  if (!committed_) std::remove(part_.c_str());
  return committed_;
}

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
  AtomicFile file(path);
  return file.Write(bytes.data(), bytes.size()) && file.Commit();
}

}  // namespace tools
