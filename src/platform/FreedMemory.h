#pragma once

// Hands memory that was freed but is still held by the allocator back to the system. Starting the
// app and building its window allocate a lot that is freed again at once; glibc keeps those pages
// for later allocations, which in an app that idles all day never come.
void returnFreedMemory();

// Lets all threads allocate from one pool. Call first thing in main, before any thread starts.
// glibc gives every thread that allocates a pool of its own, and each keeps its free pages; the
// app's few threads (the engine's, the folder reader's, Qt's painting helpers) allocate little
// and seldom, so sharing one pool costs them nothing and saves the system one pool per thread.
void shareOneAllocatorPool();
