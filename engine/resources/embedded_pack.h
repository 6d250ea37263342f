// The show's resource pack, compiled into every program image by the build.
#pragma once

#include <cstdint>
#include <span>

std::span<const uint8_t> EmbeddedPack();
