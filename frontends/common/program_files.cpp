#include "frontends/common/program_files.h"

#include "engine/resources/resource_table.h"

void AddProgramResourceDirectories() {
  const std::string directory = ExecutableDirectory();
  if (!directory.empty()) {
    ResourceTable::AddSearchDirectory(directory.c_str());
    ResourceTable::AddSearchDirectory((directory + "/" LUMEN_DATA_FROM_BIN "/lumen-gravel").c_str());
  }
  ResourceTable::AddSearchDirectory(LUMEN_INSTALLED_DATA_DIR);
}
