// The heap blocks of one generation (mesh arrays, the output buffer) come from here, so
// that a test can make any one of them fail and check that nothing leaks or gets written.
#pragma once

#include <cstddef>

// How many more allocations succeed before one fails; -1 (the default) never fails.
extern int MeshAllocationsBeforeFailure;

void* AllocateMeshBlock(size_t size);
void* ReallocateMeshBlock(void* block, size_t size);
void FreeMeshBlock(void* block);
