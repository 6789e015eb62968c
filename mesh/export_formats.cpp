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
static const char EmptyMeshMessage[] = "The mesh has no faces to write.";
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

static const char DigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

static size_t DigitCount(uint64_t value)
{
    size_t count = 1;
    for (uint64_t bound = 10; value >= bound && count < 20; bound *= 10)
        ++count;
    return count;
}

size_t FormatUnsigned(char* out, uint64_t value)
{
    // written from the last digit back, two at a time, straight into place
    const size_t length = DigitCount(value);
    char* at = out + length;
    for (; value >= 100; value /= 100) {
        const char* pair = DigitPairs + 2 * (value % 100);
        *--at = pair[1];
        *--at = pair[0];
    }
    if (value >= 10) {
        *--at = DigitPairs[2 * value + 1];
        *--at = DigitPairs[2 * value];
    } else {
        *--at = char('0' + value);
    }
    return length;
}

static const uint64_t PowersOfFive[] = {1,      5,       25,      125,      625,       3125,       15625,     78125,
                                        390625, 1953125, 9765625, 48828125, 244140625, 1220703125, 6103515625};
static const int LongestExactFraction = 14;

size_t FormatFloat(char* out, float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const int exponent = int(bits >> 23 & 255);
    if (exponent == 255) {
        out[0] = '0';  // not finite: the writers refuse such meshes where their format needs it
        return 1;
    }
    // value = mantissa x 2^power, the mantissa made odd
    uint64_t mantissa = bits & 0x7FFFFF;
    int power = exponent ? exponent - 150 : -149;
    mantissa |= exponent ? 0x800000 : 0;
    char* at = out;
    if (bits >> 31)
        *at++ = '-';
    if (mantissa == 0) {
        *at++ = '0';
        return size_t(at - out);
    }
    for (; (mantissa & 1) == 0; mantissa >>= 1)
        ++power;
    // a whole number, or a fraction of few binary places (a terrain's heights and texture
    // coordinates), has a short exact decimal expansion: mantissa x 5^k / 10^k
    if (power >= 0 && power <= 39)
        return size_t(at - out) + FormatUnsigned(at, mantissa << power);
    if (power < 0 && power >= -LongestExactFraction) {
        const int places = -power;
        const uint64_t digits = mantissa * PowersOfFive[places];
        uint64_t scale = 1;
        for (int i = 0; i < places; ++i)
            scale *= 10;
        at += FormatUnsigned(at, digits / scale);
        *at++ = '.';
        char fraction[20];
        const size_t length = FormatUnsigned(fraction, digits % scale);
        std::memset(at, '0', size_t(places) - length);
        at += size_t(places) - length;
        std::memcpy(at, fraction, length);
        return size_t(at - out) + length;
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
    const char* extension = GetExportFormatInfo(exportFormat).extension;
    if (message && size)
        std::snprintf(message, size, format, extension ? extension + 1 : "requested");
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
    // several formats cannot hold an empty mesh (a glTF accessor counts at least one item)
    if (mesh.faceCount == 0) {
        SetMessage(message, messageSize, EmptyMeshMessage, format);
        return ExportInvalidMesh;
    }
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
        const char* missing =
            format == ExportFormatDae || format == ExportFormatFbx ? AssimpModuleLoadFailure() : nullptr;
        if (missing && message && messageSize > 0) {
            snprintf(message, messageSize, "The COLLADA and FBX writer could not be loaded: %s", missing);
            return ExportFailed;
        }
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
