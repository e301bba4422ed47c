#include "platform/FreedMemory.h"

#include <malloc/malloc.h>

void returnFreedMemory()
{
    // All zones: as much as can be given back.
    malloc_zone_pressure_relief(nullptr, 0);
}
