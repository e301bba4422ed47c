#include "platform/FreedMemory.h"

#include <malloc.h>

void returnFreedMemory()
{
#if defined(__GLIBC__)
    // Every arena, also those of the worker threads; free pages inside the heaps too, not only at
    // their ends.
    malloc_trim(0);
#endif
}

void shareOneAllocatorPool()
{
#if defined(__GLIBC__)
    mallopt(M_ARENA_MAX, 1);
#endif
}
