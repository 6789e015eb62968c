// The buffer an export assembles its file in, and its progress: shared by the writers in the
// program and the assimp module (mesh/export_assimp.cpp), which is compiled with its own copy.
#include <cstdlib>

#include "mesh/export_internal.h"

bool ReserveExportBuffer(ExportBuffer* buffer, uint64_t capacity)
{
    if (capacity == 0 || capacity > SIZE_MAX)
        return false;
    buffer->bytes = static_cast<uint8_t*>(std::malloc(size_t(capacity)));
    buffer->used = 0;
    buffer->capacity = buffer->bytes ? size_t(capacity) : 0;
    return buffer->bytes != nullptr;
}

void FreeExportBuffer(ExportBuffer* buffer)
{
    std::free(buffer->bytes);
    *buffer = ExportBuffer{nullptr, 0, 0};
}

void ReportExportProgress(ExportProgress* progress, uint64_t done, uint64_t total)
{
    if (!progress || !progress->function || total == 0)
        return;
    const int percent = int(done >= total ? 99 : 99 * (done / double(total)));
    if (percent > progress->reported) {
        progress->reported = percent;
        progress->function(percent, progress->context);
    }
}
