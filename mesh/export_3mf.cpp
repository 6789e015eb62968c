// 3MF: a ZIP package holding the content types, the package relationship and the model
// XML, each entry stored uncompressed. Coordinates are written as the shortest text that
// reads back as the same float, so the model keeps every bit of its positions.
//
// Contents: the model XML; the ZIP package.
#include <cstdio>
#include <cstring>
#include <string>
#include <zlib.h>

#include "mesh/export_internal.h"

static const char ContentTypesName[] = "[Content_Types].xml";
static const char RelationshipsName[] = "_rels/.rels";
static const char ModelName[] = "3D/3dmodel.model";

static const char ContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"model\" ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>"
    "</Types>\n";

static const char Relationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
    "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/>"
    "</Relationships>\n";

static const char ModelHead[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<model unit=\"millimeter\" xml:lang=\"en-US\" "
    "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
    "<resources>\n<object id=\"1\" type=\"model\" name=\"";
static const char ModelTail[] =
    "</triangles>\n</mesh>\n</object>\n</resources>\n"
    "<build>\n<item objectid=\"1\"/>\n</build>\n</model>\n";

static const uint64_t LocalHeaderSize = 30;
static const uint64_t CentralHeaderSize = 46;
static const uint64_t EndRecordSize = 22;
static const int EntryCount = 3;

// The bytes of everything but the model's vertex and triangle lines.
static uint64_t FixedPackageBytes()
{
    const uint64_t names = sizeof ContentTypesName + sizeof RelationshipsName + sizeof ModelName - 3;
    return EntryCount * (LocalHeaderSize + CentralHeaderSize) + 2 * names + EndRecordSize + sizeof ContentTypes +
        sizeof Relationships + sizeof ModelHead + 6 * MeshNameSize + sizeof ModelTail + 64;
}

static uint64_t ThreeMfFileBound(const TriangleMesh& mesh)
{
    const uint64_t vertexLine = sizeof "<vertex x=\"\" y=\"\" z=\"\"/>\n" + 3 * MaxFloatText;
    const uint64_t triangleLine = sizeof "<triangle v1=\"\" v2=\"\" v3=\"\"/>\n" + 3 * 10;
    return FixedPackageBytes() + vertexLine * uint64_t(mesh.vertexCount) + triangleLine * uint64_t(mesh.faceCount);
}

uint64_t ThreeMfExportMemory(const TriangleMesh& mesh)
{
    return ThreeMfFileBound(mesh);
}

// ---------------------------------------------------------------------------
// The model XML

// The name as XML attribute text.
static std::string XmlEscaped(const char* text)
{
    std::string escaped;
    for (const char* c = text; *c; ++c) {
        switch (*c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += static_cast<unsigned char>(*c) < 0x20 ? ' ' : *c;
        }
    }
    return escaped;
}

static char* AppendText(char* at, const char* text)
{
    const size_t length = std::strlen(text);
    std::memcpy(at, text, length);
    return at + length;
}

static void AppendModelXml(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress)
{
    const std::string head = ModelHead + XmlEscaped(mesh.name) + "\">\n<mesh>\n<vertices>\n";
    AppendExportBytes(out, head.data(), head.size());
    char* at = reinterpret_cast<char*>(out->bytes + out->used);
    static const char* const Axes[3] = {"<vertex x=\"", "\" y=\"", "\" z=\""};
    for (int64_t v = 0; v < mesh.vertexCount; ++v) {
        for (int axis = 0; axis < 3; ++axis) {
            at = AppendText(at, Axes[axis]);
            at += FormatFloat(at, mesh.positions[3 * v + axis]);
        }
        at = AppendText(at, "\"/>\n");
    }
    at = AppendText(at, "</vertices>\n<triangles>\n");
    static const char* const Corners[3] = {"<triangle v1=\"", "\" v2=\"", "\" v3=\""};
    const uint64_t total = uint64_t(mesh.faceCount);
    for (int64_t f = 0; f < mesh.faceCount; ++f) {
        for (int k = 0; k < 3; ++k) {
            at = AppendText(at, Corners[k]);
            at += FormatUnsigned(at, mesh.faces[3 * f + k]);
        }
        at = AppendText(at, "\"/>\n");
        if (f % 65536 == 0)
            ReportExportProgress(progress, uint64_t(f), total);
    }
    at = AppendText(at, ModelTail);
    out->used = size_t(reinterpret_cast<uint8_t*>(at) - out->bytes);
}

// ---------------------------------------------------------------------------
// The ZIP package: each entry a local header and its stored bytes, then the central
// directory and its end record. Sizes and offsets are 32-bit (no ZIP64).

struct ZipEntry {
    const char* name;
    uint64_t offset;  // of the local header
    uint64_t size;    // stored bytes
    uint32_t crc;
};

static void StoreZipHeader(uint8_t* out, const ZipEntry& entry, bool central)
{
    const uint16_t nameLength = uint16_t(std::strlen(entry.name));
    uint8_t* at = out;
    StoreLittle32(at, central ? 0x02014B50 : 0x04034B50);
    at += 4;
    if (central) {
        StoreLittle16(at, 20);  // made by: version 2.0
        at += 2;
    }
    StoreLittle16(at, 20);        // needed to extract: 2.0
    StoreLittle16(at + 2, 0);     // flags
    StoreLittle16(at + 4, 0);     // method: stored
    StoreLittle16(at + 6, 0);     // time: not kept
    StoreLittle16(at + 8, 0x21);  // date: 1980-01-01
    StoreLittle32(at + 10, entry.crc);
    StoreLittle32(at + 14, uint32_t(entry.size));
    StoreLittle32(at + 18, uint32_t(entry.size));
    StoreLittle16(at + 22, nameLength);
    StoreLittle16(at + 24, 0);  // extra field length
    at += 26;
    if (central) {
        std::memset(at, 0, 10);  // comment length, disk, internal and external attributes
        StoreLittle32(at + 10, uint32_t(entry.offset));
        at += 14;
    }
    std::memcpy(at, entry.name, nameLength);
}

static uint64_t ZipHeaderSize(const ZipEntry& entry, bool central)
{
    return (central ? CentralHeaderSize : LocalHeaderSize) + std::strlen(entry.name);
}

// CRC-32 of a long block, fed to zlib in pieces its 32-bit length can take.
static uint32_t Crc32(const uint8_t* bytes, uint64_t size)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt piece = size > 0x40000000 ? 0x40000000 : uInt(size);
        crc = crc32(crc, bytes, piece);
        bytes += piece;
        size -= piece;
    }
    return uint32_t(crc);
}

// Appends the entry's local header and its data: the text given, or the model XML when data
// is null. False when the package would pass the 32-bit sizes of ZIP.
static bool AppendZipEntry(ExportBuffer* out, ZipEntry* entry, const char* data, const TriangleMesh* mesh,
                           ExportProgress* progress)
{
    entry->offset = out->used;
    const size_t headerSize = size_t(ZipHeaderSize(*entry, false));
    const size_t dataStart = out->used + headerSize;
    out->used = dataStart;
    if (data)
        AppendExportBytes(out, data, std::strlen(data));
    else
        AppendModelXml(*mesh, out, progress);
    entry->size = out->used - dataStart;
    if (entry->size > UINT32_MAX || out->used > UINT32_MAX)
        return false;
    entry->crc = Crc32(out->bytes + dataStart, entry->size);
    StoreZipHeader(out->bytes + entry->offset, *entry, false);
    return true;
}

ExportResult Write3mf(const TriangleMesh& mesh, ExportBuffer* out, ExportProgress* progress)
{
    if (!ReserveExportBuffer(out, ThreeMfFileBound(mesh)))
        return ExportNoMemory;
    ZipEntry entries[EntryCount] = {{ContentTypesName, 0, 0, 0}, {RelationshipsName, 0, 0, 0}, {ModelName, 0, 0, 0}};
    if (!AppendZipEntry(out, &entries[0], ContentTypes, nullptr, progress) ||
        !AppendZipEntry(out, &entries[1], Relationships, nullptr, progress) ||
        !AppendZipEntry(out, &entries[2], nullptr, &mesh, progress))
        return ExportTooLarge;
    const uint64_t directoryStart = out->used;
    for (const ZipEntry& entry : entries) {
        StoreZipHeader(out->bytes + out->used, entry, true);
        out->used += size_t(ZipHeaderSize(entry, true));
    }
    const uint64_t directorySize = out->used - directoryStart;
    if (out->used + EndRecordSize > UINT32_MAX)
        return ExportTooLarge;
    uint8_t* end = out->bytes + out->used;
    StoreLittle32(end, 0x06054B50);
    StoreLittle16(end + 4, 0);  // this disk
    StoreLittle16(end + 6, 0);  // disk of the directory
    StoreLittle16(end + 8, EntryCount);
    StoreLittle16(end + 10, EntryCount);
    StoreLittle32(end + 12, uint32_t(directorySize));
    StoreLittle32(end + 16, uint32_t(directoryStart));
    StoreLittle16(end + 20, 0);  // comment length
    out->used += EndRecordSize;
    return ExportSaved;
}
