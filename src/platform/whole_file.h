// Reading a content file whole, on POSIX descriptors. Any thread: start-up
// reads on the main thread, the image decoding threads read their files
// themselves. Shows nothing.
#pragma once
#include <cstdint>

// Reads the file at path (relative to the current directory) into a new
// buffer of exactly its length, with nothing appended. Returns the buffer,
// owned by the caller (release with delete[]), or null when the file cannot
// be opened, is not a regular file, is 2 GiB or larger, memory runs out or
// fewer bytes than its size could be read. An empty file gives a distinct
// non-null buffer and length 0. *length (if not null) is written only on
// success.
uint8_t* ReadWholeFile(const char* path, int32_t* length);
