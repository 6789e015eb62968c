// Whole-file reading and writing through POSIX descriptors, with interrupted and
// short transfers retried: the one place where the program moves file bytes.
#pragma once

#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <string>

#ifndef O_BINARY
#define O_BINARY 0  // POSIX makes no difference between text and binary files
#endif

// A file's bytes in one malloc'd block, with one zero byte after the last (not
// counted in size) so that a text file can be used as a C string.
struct FileContents {
    uint8_t* bytes;  // owned by the caller, released with free()
    size_t size;     // bytes read
};

// Opens a plain file for reading without ever waiting: a named pipe or a device
// would block open() or read() until some other process acts. The descriptor, or
// -1 (errno set) when the path cannot be opened or is not a plain file.
int OpenPlainFile(const char* path);

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

// The file a save to `path` replaces: symbolic links followed to the end of their
// chain, also when the last one dangles (the file it names is then created).
// False (errno ELOOP) for a loop or a chain too long to follow.
bool ResolveSaveTarget(const char* path, std::string* target);

// True when a save to `path` can succeed as far as can be known beforehand: the
// links resolve, the target is a plain file or does not exist yet, and its
// folder takes a new file. Nothing is changed. False with errno set.
bool CanReplaceFile(const char* path);

// True when the two paths name one file: the same file once links are
// followed, or, where neither exists yet, the same name in the same folder.
bool NameSameFile(const char* first, const char* second);

// Writes `size` bytes to `path` through a temporary file in the same directory that
// is renamed over `path` once written, flushed and closed. An existing target keeps
// its permission bits; a new file gets 0666 less the umask; a link stays a link and
// the file it names is replaced (created when the link dangles). False, with errno
// set, the temporary file gone and any existing target untouched, on any failure
// (also when the target is a folder or device, or the links loop).
//
// No temporary file outlives the process: it has no name until it is complete where
// the file system allows that; SIGTERM, SIGINT and SIGHUP during the save remove it
// before the process ends; a file size limit fails the save instead of killing the
// process; and temporary files of this naming that a killed process left in the
// folder are removed once they are some minutes old.
bool WriteFileReplacing(const char* path, const uint8_t* bytes, size_t size);
