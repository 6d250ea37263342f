// Counts the program's heap allocations through operator new (the global
// replacements in allocation_count.cpp, linked into the test programs that
// include this): the per-frame paths must make none once the show is built.
#pragma once

#include <cstddef>

// Starts counting from zero.
void StartCountingAllocations();
// Stops counting; returns the allocations since the start.
size_t StopCountingAllocations();
