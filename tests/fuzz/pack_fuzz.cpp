// The resource pack reader on any bytes: a pack it takes is unpacked in full
// (every LZMA entry decoded), one it refuses leaves nothing allocated.
#include <cstddef>
#include <cstdint>

#include "engine/resources/resource_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  PackRefusal refusal;
  ResourceTable::Destroy(ResourceTable::TryCreateFromPack({data, size}, "fuzz.kest", refusal));
  return 0;
}
