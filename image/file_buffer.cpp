// The file buffer: the one input file, read whole into memory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "image/bmp.h"
#include "image/image_load.h"
#include "platform/shell.h"

#ifndef O_BINARY
#define O_BINARY 0  // POSIX has no text mode to turn off
#endif

// The one open input file; used by the image loading operations only.
FileBuffer TheFileBuffer = {-1, 0, nullptr, 0};

bool OpenFileBuffer(const char* path)
{
    CloseFileBuffer();  // never two descriptors in flight
    if (!path)
        return false;
    int handle = open(path, O_RDONLY | O_BINARY);
    if (handle < 0)
        return false;
    // A directory opens too; only a plain file whose length fits the record is a picture file.
    struct stat info;
    if (fstat(handle, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > INT32_MAX) {
        close(handle);
        return false;
    }
    TheFileBuffer.fileHandle = handle;
    TheFileBuffer.length = static_cast<int32_t>(info.st_size);
    return true;
}

// Reads up to `length` bytes from `offset` into a fresh block owned by the
// buffer; `used` says how many arrived (a file may shrink after it was opened).
static bool ReadFileBytes(int32_t offset, int32_t length)
{
    free(TheFileBuffer.bytes);
    TheFileBuffer.bytes = nullptr;
    TheFileBuffer.used = 0;
    if (offset < 0)
        return false;
    TheFileBuffer.bytes = static_cast<uint8_t*>(malloc(length > 0 ? static_cast<size_t>(length) : 1));
    if (!TheFileBuffer.bytes)
        return false;
    if (lseek(TheFileBuffer.fileHandle, offset, SEEK_SET) != offset)
        return false;
    size_t wanted = static_cast<size_t>(length > 0 ? length : 0);
    size_t got = 0;
    while (got < wanted) {
        ssize_t count = read(TheFileBuffer.fileHandle, TheFileBuffer.bytes + got, wanted - got);
        if (count <= 0)
            break;
        got += static_cast<size_t>(count);
    }
    TheFileBuffer.used = static_cast<int32_t>(got);
    return true;
}

Image* GetBMPFromBuffer(int32_t offset, int32_t length)
{
    if (length <= 0 || length > TheFileBuffer.length)
        length = TheFileBuffer.length;
    if (TheFileBuffer.fileHandle == -1) {
        ReportMessage(MainWindow, "GetBMPFromBuffer call with no file buffer\n");
        return nullptr;
    }
    if (!ReadFileBytes(offset, length))
        return nullptr;
    return DecodeBMP(TheFileBuffer.bytes, static_cast<size_t>(TheFileBuffer.used));
}

void CloseFileBuffer()
{
    free(TheFileBuffer.bytes);
    TheFileBuffer.bytes = nullptr;
    TheFileBuffer.used = 0;
    if (TheFileBuffer.fileHandle != -1) {
        close(TheFileBuffer.fileHandle);
        TheFileBuffer.fileHandle = -1;
    }
    TheFileBuffer.length = 0;
}
