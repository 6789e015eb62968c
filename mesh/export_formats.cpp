// Choosing the format, checking memory and the mesh, and handing the file to the write step.
//
// Contents: the format table; the export buffer, progress and number text the writers share;
// EstimateExportMemory; ExportMesh.
#include "mesh/export_formats.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "mesh/export_internal.h"

static const char NoMemoryMessage[] = "Not enough memory to write the mesh.";
static const char TooLargeMessage[] = "The mesh is too large for the %s format.";
static const char InvalidMeshMessage[] = "The mesh cannot be written: it is damaged.";
static const char FailedMessage[] = "The %s file could not be made.";

// ---------------------------------------------------------------------------
// The format table

static const ExportFormatInfo FormatTable[ExportFormatCount] = {
    {nullptr, nullptr},
    {".obj", "Wavefront OBJ"},
    {".stl", "STL (binary)"},
    {".ply", "Stanford PLY (binary)"},
    {".glb", "glTF 2.0 binary"},
    {".gltf", "glTF 2.0"},
    {".dae", "COLLADA"},
    {".fbx", "FBX"},
    {".3mf", "3D Manufacturing Format"},
};

ExportFormatInfo GetExportFormatInfo(ExportFormat format)
{
    if (format <= ExportFormatNone || format >= ExportFormatCount)
        return FormatTable[ExportFormatNone];
    return FormatTable[format];
}

ExportFormat ExportFormatForPath(const char* path)
{
    if (!path)
        return ExportFormatNone;
    const char* dot = std::strrchr(path, '.');
    if (!dot || std::strchr(dot, '/'))
        return ExportFormatNone;
    for (int format = ExportFormatNone + 1; format < ExportFormatCount; ++format)
        if (strcasecmp(dot, FormatTable[format].extension) == 0)
            return ExportFormat(format);
    return ExportFormatNone;
}

// ---------------------------------------------------------------------------
// The buffer, progress and number text

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

void AppendLittleFloats(ExportBuffer* buffer, const float* values, size_t count)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    AppendExportBytes(buffer, values, 4 * count);
#else
    for (size_t i = 0; i < count; ++i, buffer->used += 4)
        StoreLittleFloat(buffer->bytes + buffer->used, values[i]);
#endif
}

void AppendLittle32s(ExportBuffer* buffer, const uint32_t* values, size_t count)
{
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    AppendExportBytes(buffer, values, 4 * count);
#else
    for (size_t i = 0; i < count; ++i, buffer->used += 4)
        StoreLittle32(buffer->bytes + buffer->used, values[i]);
#endif
}

size_t FormatUnsigned(char* out, uint64_t value)
{
    char digits[20];
    size_t count = 0;
    do {
        digits[count++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    for (size_t i = 0; i < count; ++i)
        out[i] = digits[count - 1 - i];
    return count;
}

size_t FormatFloat(char* out, float value)
{
    // whole numbers are most of a terrain's coordinates and print far faster as integers
    if (value > -16777216.0f && value < 16777216.0f && value == float(int32_t(value))) {
        const int32_t whole = int32_t(value);
        if (whole < 0) {
            out[0] = '-';
            return 1 + FormatUnsigned(out + 1, uint64_t(-int64_t(whole)));
        }
        return FormatUnsigned(out, uint64_t(whole));
    }
    if (!std::isfinite(value)) {
        out[0] = '0';
        return 1;
    }
    const std::to_chars_result result = std::to_chars(out, out + MaxFloatText, value);
    return size_t(result.ptr - out);
}

// ---------------------------------------------------------------------------
// EstimateExportMemory and ExportMesh

// Bytes our own writers take: the file (an upper bound for the text formats) and any block
// they lay out apart.
static uint64_t OwnWriterMemory(ExportFormat format, const TriangleMesh& mesh)
{
    switch (format) {
    case ExportFormatObj:
        return ObjFileBound(mesh);
    case ExportFormatStl:
        return StlFileBound(mesh);
    case ExportFormatPly:
        return PlyFileBound(mesh);
    case ExportFormatGlb:
        return GltfExportMemory(mesh, true);
    case ExportFormatGltf:
        return GltfExportMemory(mesh, false);
    case ExportFormat3mf:
        return ThreeMfExportMemory(mesh);
    default:
        return UINT64_MAX;
    }
}

uint64_t EstimateExportMemory(ExportFormat format, const TriangleMesh& mesh)
{
    if (mesh.vertexCount < 0 || mesh.vertexCount > MaxMeshVertices || mesh.faceCount < 0 ||
        mesh.faceCount > MaxMeshFaces)
        return UINT64_MAX;
    if (format == ExportFormatDae || format == ExportFormatFbx)
        return AssimpExportMemory(mesh, format);
    return OwnWriterMemory(format, mesh);
}

static void SetMessage(char* message, size_t size, const char* format, ExportFormat exportFormat)
{
    if (message && size)
        std::snprintf(message, size, format, GetExportFormatInfo(exportFormat).extension + 1);
}

static ExportResult Fail(ExportResult result, ExportFormat format, char* message, size_t size)
{
    static const char* const Texts[] = {"", NoMemoryMessage, TooLargeMessage, InvalidMeshMessage, "", FailedMessage};
    if (result != ExportWriteFailed)
        SetMessage(message, size, Texts[result], format);
    return result;
}

static ExportResult WriteFormat(const TriangleMesh& mesh, ExportFormat format, ExportBuffer* out,
                                ExportProgress* progress)
{
    switch (format) {
    case ExportFormatObj:
        return WriteObj(mesh, out, progress);
    case ExportFormatStl:
        return WriteStl(mesh, out, progress);
    case ExportFormatPly:
        return WritePly(mesh, out, progress);
    case ExportFormatGlb:
        return WriteGltf(mesh, true, out, progress);
    case ExportFormatGltf:
        return WriteGltf(mesh, false, out, progress);
    case ExportFormat3mf:
        return Write3mf(mesh, out, progress);
    default:
        return WriteWithAssimp(mesh, format, out, progress);
    }
}

ExportResult ExportMesh(const TriangleMesh& mesh, const ExportRequest& request, char* message, size_t messageSize)
{
    if (message && messageSize)
        message[0] = '\0';
    const ExportFormat format = request.format;
    if (format <= ExportFormatNone || format >= ExportFormatCount || !request.write)
        return Fail(ExportFailed, format, message, messageSize);
    if (!IsValidTriangleMesh(mesh))
        return Fail(ExportInvalidMesh, format, message, messageSize);
    const uint64_t needed = EstimateExportMemory(format, mesh);
    if (needed == UINT64_MAX)
        return Fail(ExportTooLarge, format, message, messageSize);
    if (needed > SIZE_MAX || needed > AvailableMeshMemory())
        return Fail(ExportNoMemory, format, message, messageSize);

    ExportProgress progress = {mesh.faceCount >= ExportProgressMinFaces ? request.progress : nullptr,
                               request.progressContext, -1};
    ReportExportProgress(&progress, 0, 1);
    ExportBuffer file = {nullptr, 0, 0};
    const ExportResult made = WriteFormat(mesh, format, &file, &progress);
    if (made != ExportSaved) {
        FreeExportBuffer(&file);
        return Fail(made, format, message, messageSize);
    }
    const bool written = request.write(file.bytes, file.used, request.writeContext);
    FreeExportBuffer(&file);
    if (!written)
        return ExportWriteFailed;
    if (progress.function)
        progress.function(100, progress.context);
    return ExportSaved;
}
