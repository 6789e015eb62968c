// Reading and writing whole files.
//
// Contents: reading; writing; the replacing save.
#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

// ---------------------------------------------------------------------------
// Reading

long ReadUpTo(int descriptor, void* buffer, size_t size)
{
    uint8_t* bytes = static_cast<uint8_t*>(buffer);
    size_t total = 0;
    while (total < size) {
        const ssize_t got = read(descriptor, bytes + total, size - total);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<long>(total);
}

bool ReadWholeFile(const char* path, size_t maxSize, FileContents* contents)
{
    *contents = FileContents{nullptr, 0};
    if (!path)
        return false;
    const int descriptor = open(path, O_RDONLY | O_BINARY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    // the size is known before anything is allocated: only a plain file has one
    struct stat info;
    if (fstat(descriptor, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0 ||
        static_cast<uint64_t>(info.st_size) > maxSize || static_cast<uint64_t>(info.st_size) >= SIZE_MAX) {
        close(descriptor);
        return false;
    }
    const size_t length = static_cast<size_t>(info.st_size);
    uint8_t* bytes = static_cast<uint8_t*>(malloc(length + 1));
    const long count = bytes ? ReadUpTo(descriptor, bytes, length) : -1;
    close(descriptor);
    if (count < 0) {
        free(bytes);
        return false;
    }
    bytes[count] = 0;
    *contents = FileContents{bytes, static_cast<size_t>(count)};
    return true;
}

// ---------------------------------------------------------------------------
// Writing

bool WriteAll(int descriptor, const void* bytes, size_t size)
{
    const uint8_t* next = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t written = write(descriptor, next, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// ---------------------------------------------------------------------------
// The replacing save

// Permission bits for the file: an existing target's own (set-id bits not carried over),
// else what a plain create gives.
static mode_t TargetMode(const char* target)
{
    struct stat info;
    if (stat(target, &info) == 0)
        return info.st_mode & 0777;
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// The directory part of a path ("." when it has none): the temporary file goes there, on
// the target's own file system, so that the rename cannot cross devices.
static std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool WriteFileReplacing(const char* path, const uint8_t* bytes, size_t size)
{
    if (!path || !path[0] || (size > 0 && !bytes))
        return false;
    std::string target = path;
    struct stat info;
    if (lstat(path, &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = realpath(path, nullptr);
        if (resolved)
            target = resolved;
        free(resolved);
    }
    if (stat(target.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return false;

    // named apart from the target, so that a name near the length limit still leaves room
    std::string temporary = DirectoryOf(target) + "/.orvanel-save-XXXXXX";
    const int descriptor = mkstemp(&temporary[0]);
    if (descriptor < 0)
        return false;
    bool written = fchmod(descriptor, TargetMode(target.c_str())) == 0 && WriteAll(descriptor, bytes, size) &&
        fsync(descriptor) == 0;
    written = close(descriptor) == 0 && written;
    // the data is on disk before the name moves: after a crash the target is the old file
    // or the new one, never a part of either (the rename itself is not waited for)
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}
