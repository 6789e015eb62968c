// Allocation for one generation, with a failure point tests can set.
#include "mesh/mesh_alloc.h"

#include <cstdlib>

int MeshAllocationsBeforeFailure = -1;

// True when the allocation about to be made is the one a test asked to fail.
static bool AllocationShouldFail()
{
    if (MeshAllocationsBeforeFailure < 0)
        return false;
    if (MeshAllocationsBeforeFailure == 0)
        return true;
    --MeshAllocationsBeforeFailure;
    return false;
}

void* AllocateMeshBlock(size_t size)
{
    if (AllocationShouldFail())
        return nullptr;
    return std::malloc(size ? size : 1);
}

void* ReallocateMeshBlock(void* block, size_t size)
{
    if (AllocationShouldFail())
        return nullptr;
    return std::realloc(block, size ? size : 1);
}

void FreeMeshBlock(void* block)
{
    std::free(block);
}
