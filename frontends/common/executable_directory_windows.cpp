// The executable's directory on Windows: the module's own file name, in UTF-16
// (paths may exceed MAX_PATH), turned into the ANSI code page fopen expects.
#include <windows.h>

#include <vector>

#include "frontends/common/program_files.h"

std::string ExecutableDirectory() {
  std::vector<wchar_t> name(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return std::string();
    if (length < name.size()) {
      name.resize(length);
      break;
    }
    if (name.size() >= 32768) return std::string();   // the longest path Windows has
    name.resize(name.size() * 2);
  }
  size_t slash = name.size();
  while (slash > 0 && name[slash - 1] != L'\\' && name[slash - 1] != L'/') --slash;
  if (slash == 0) return std::string();
  const int wide = static_cast<int>(slash);   // with the separator: "C:\" stays the root
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(CP_ACP, 0, name.data(), wide, nullptr, 0, nullptr, &lossy);
  if (bytes <= 0 || lossy) return std::string();
  std::string directory(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, name.data(), wide, directory.data(), bytes, nullptr, nullptr);
  return directory;
}
