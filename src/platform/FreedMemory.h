#pragma once

// Hands memory that was freed but is still held by the allocator back to the system. Starting the
// app and building its window allocate a lot that is freed again at once; glibc keeps those pages
// for later allocations, which in an app that idles all day never come.
void returnFreedMemory();
