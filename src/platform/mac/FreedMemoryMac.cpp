#include "platform/FreedMemory.h"

#include <malloc/malloc.h>

void returnFreedMemory()
{
    // All zones: as much as can be given back.
    malloc_zone_pressure_relief(nullptr, 0);
}

void shareOneAllocatorPool()
{
    // macOS's allocator keeps its pools per processor, not per thread: nothing to do.
}
