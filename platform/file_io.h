// Whole-file reading and writing through POSIX descriptors, with interrupted and
// short transfers retried: the one place where the program moves file bytes.
#pragma once

#include <fcntl.h>

#include <cstddef>
#include <cstdint>

#ifndef O_BINARY
#define O_BINARY 0  // POSIX makes no difference between text and binary files
#endif

// A file's bytes in one malloc'd block, with one zero byte after the last (not
// counted in size) so that a text file can be used as a C string.
struct FileContents {
    uint8_t* bytes;  // owned by the caller, released with free()
    size_t size;     // bytes read
};

// Reads from the descriptor until `size` bytes have arrived or the file ends.
// Returns the count read, or -1 when a read fails.
long ReadUpTo(int descriptor, void* buffer, size_t size);

// Reads the plain file at `path` whole. A file that shrinks while it is read
// gives the bytes that arrived. False, with nothing allocated, when it cannot be
// opened or read, is not a plain file (a folder, a device, a pipe), holds more
// than maxSize bytes, or memory runs out.
bool ReadWholeFile(const char* path, size_t maxSize, FileContents* contents);

// Writes all `size` bytes. write() may put fewer bytes than asked (a full disk, a
// quota, a file size limit); what is left is tried again until the system refuses.
bool WriteAll(int descriptor, const void* bytes, size_t size);

// Writes `size` bytes to `path` through a temporary file in the same directory that
// is renamed over `path` once written, flushed and closed. An existing target keeps
// its permission bits; a new file gets 0666 less the umask; a link stays a link and
// the file it names is replaced. False, with the temporary file removed and any
// existing target untouched, on any failure (also when the target is a folder or
// device).
bool WriteFileReplacing(const char* path, const uint8_t* bytes, size_t size);
