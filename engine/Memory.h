#pragma once
// Fresh memory costs a page fault where it is first written. The engine
// writes its pages ahead, off the audio thread, so recording and running
// never stop for the system to map them.
#include <cstddef>

// Writes one byte of every page of [from, from + bytes) back as it was.
void TouchPages(void* from, size_t bytes);
