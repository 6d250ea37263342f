// The executable's directory on Linux: the kernel's link to the running image.
#include <filesystem>
#include <system_error>

#include "frontends/common/program_files.h"

std::string ExecutableDirectory() {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::string();
  return executable.parent_path().string();
}
