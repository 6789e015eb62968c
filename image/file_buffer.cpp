// The file buffer: the one input picture file, read whole into memory.
#include "image/file_buffer.h"

#include <cstdint>
#include <cstdlib>

#include "image/report_message.h"
#include "platform/file_io.h"
#include "platform/shell.h"

// The one open input file; used by the image loading operations only.
FileBuffer TheFileBuffer = {nullptr, 0};

bool OpenFileBuffer(const char* path)
{
    CloseFileBuffer();
    FileContents contents;
    if (!ReadWholeFile(path, INT32_MAX, &contents))
        return false;
    TheFileBuffer.bytes = contents.bytes;
    TheFileBuffer.length = static_cast<int32_t>(contents.size);
    return true;
}

Image* GetBMPFromBuffer()
{
    if (!TheFileBuffer.bytes) {
        ReportMessage(MainWindow, "GetBMPFromBuffer call with no file buffer\n");
        return nullptr;
    }
    return DecodeBMP(TheFileBuffer.bytes, static_cast<size_t>(TheFileBuffer.length));
}

void CloseFileBuffer()
{
    free(TheFileBuffer.bytes);
    TheFileBuffer = FileBuffer{nullptr, 0};
}
