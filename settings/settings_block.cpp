// The versioned block of settings after the 2,084-byte record.
//
// Sections: the fields; defaults; reading; writing; the recent list.
#include "settings/settings_block.h"

#include <cmath>
#include <cstring>

#include "platform/byte_order.h"

SettingsBlockRecord SettingsBlock;

static const uint8_t BlockMark[4] = {'O', 'R', 'V', 'X'};
static const uint16_t BlockVersion = 1;
static const size_t BlockHeaderSize = 6;  // mark and version
static const size_t FieldHeaderSize = 6;  // id and length

// ---------------------------------------------------------------------------
// The fields

// Ids are never reused: a field that goes away keeps its number.
enum SettingsFieldId : uint16_t {
    MeshModeField = 1,
    MaxFacesField = 2,
    MaxErrorField = 3,
    SplitObjectsField = 4,
    SolidField = 5,
    SolidBaseField = 6,
    WireframeField = 7,
    LightAzimuthField = 8,
    LightElevationField = 9,
    RecentHeightmapField = 10,  // one field per entry, newest first
    OpenFolderField = 11,
    SaveFolderField = 12,
};

enum FieldKind { IntegerField, FloatField };

struct NumberField {
    SettingsFieldId id;
    FieldKind kind;
    size_t offset;  // of the int32_t or float in SettingsBlockRecord
};

static const NumberField NumberFields[] = {
    {MeshModeField, IntegerField, offsetof(SettingsBlockRecord, meshMode)},
    {MaxFacesField, IntegerField, offsetof(SettingsBlockRecord, maxFaces)},
    {MaxErrorField, FloatField, offsetof(SettingsBlockRecord, maxErrorLevels)},
    {SplitObjectsField, IntegerField, offsetof(SettingsBlockRecord, splitObjects)},
    {SolidField, IntegerField, offsetof(SettingsBlockRecord, solid)},
    {SolidBaseField, FloatField, offsetof(SettingsBlockRecord, solidBase)},
    {WireframeField, IntegerField, offsetof(SettingsBlockRecord, wireframe)},
    {LightAzimuthField, FloatField, offsetof(SettingsBlockRecord, lightAzimuth)},
    {LightElevationField, FloatField, offsetof(SettingsBlockRecord, lightElevation)},
};

static const struct {
    SettingsFieldId id;
    size_t offset;  // of the char[SettingsPathSize] in SettingsBlockRecord
} FolderFields[] = {
    {OpenFolderField, offsetof(SettingsBlockRecord, openFolder)},
    {SaveFolderField, offsetof(SettingsBlockRecord, saveFolder)},
};

// ---------------------------------------------------------------------------
// Defaults

void SetDefaultSettingsBlock(SettingsBlockRecord* block)
{
    memset(block, 0, sizeof *block);
    block->meshMode = GridMeshMode;
    block->solidBase = 64.0f;
    block->lightElevation = 90.0f;
}

// ---------------------------------------------------------------------------
// Reading

// A stored value outside what the program can use is replaced by its default,
// so that a damaged file can never make a negative budget or a NaN angle.
static void SanitizeBlock(SettingsBlockRecord* block)
{
    SettingsBlockRecord defaults;
    SetDefaultSettingsBlock(&defaults);
    if (block->meshMode != GridMeshMode && block->meshMode != AdaptiveMeshMode)
        block->meshMode = defaults.meshMode;
    if (block->maxFaces < 0)
        block->maxFaces = 0;
    if (!(block->maxErrorLevels >= 0.0f && block->maxErrorLevels <= 255.0f))
        block->maxErrorLevels = 0.0f;
    if (!(block->solidBase > 0.0f && std::isfinite(block->solidBase)))
        block->solidBase = defaults.solidBase;
    if (!std::isfinite(block->lightAzimuth))
        block->lightAzimuth = defaults.lightAzimuth;
    if (!(block->lightElevation >= -90.0f && block->lightElevation <= 90.0f))
        block->lightElevation = defaults.lightElevation;
    block->splitObjects = block->splitObjects ? 1 : 0;
    block->solid = block->solid ? 1 : 0;
    block->wireframe = block->wireframe ? 1 : 0;
}

static bool ReadNumberField(SettingsBlockRecord* block, uint16_t id, const uint8_t* value, uint32_t length)
{
    for (const NumberField& field : NumberFields)
        if (field.id == id) {
            if (length == 4)
                memcpy(reinterpret_cast<uint8_t*>(block) + field.offset, value, 4);
            return true;
        }
    return false;
}

// A path is kept only whole, with its terminator inside the field.
static void ReadPathField(char* path, const uint8_t* value, uint32_t length)
{
    if (length < SettingsPathSize && !memchr(value, '\0', length)) {
        memcpy(path, value, length);
        path[length] = '\0';
    }
}

static bool ReadPathFields(SettingsBlockRecord* block, uint16_t id, const uint8_t* value, uint32_t length,
                           int* recentCount)
{
    if (id == RecentHeightmapField) {
        if (*recentCount < RecentHeightmapCount && length > 0) {
            ReadPathField(block->recentHeightmaps[*recentCount], value, length);
            if (block->recentHeightmaps[*recentCount][0] != '\0')
                ++*recentCount;
        }
        return true;
    }
    for (const auto& field : FolderFields)
        if (field.id == id) {
            ReadPathField(reinterpret_cast<char*>(block) + field.offset, value, length);
            return true;
        }
    return false;
}

static void KeepUnknownField(SettingsBlockRecord* block, const uint8_t* field, size_t size)
{
    if (size <= KeptUnknownFieldsSize - block->keptFieldsSize) {
        memcpy(block->keptFields + block->keptFieldsSize, field, size);
        block->keptFieldsSize += size;
    }
}

bool ParseSettingsBlock(const uint8_t* bytes, size_t size, SettingsBlockRecord* block)
{
    SetDefaultSettingsBlock(block);
    uint16_t version = 0;
    if (!HasBytesAt(size, 0, BlockHeaderSize) || memcmp(bytes, BlockMark, sizeof BlockMark) != 0 ||
        !ReadLittleU16(bytes, size, 4, &version) || version != BlockVersion)
        return false;
    int recentCount = 0;
    size_t offset = BlockHeaderSize;
    uint16_t id;
    uint32_t length;
    while (ReadLittleU16(bytes, size, offset, &id) && ReadLittleU32(bytes, size, offset + 2, &length) &&
           HasBytesAt(size, offset + FieldHeaderSize, length)) {
        const uint8_t* value = bytes + offset + FieldHeaderSize;
        if (!ReadNumberField(block, id, value, length) && !ReadPathFields(block, id, value, length, &recentCount))
            KeepUnknownField(block, bytes + offset, FieldHeaderSize + length);
        offset += FieldHeaderSize + length;
    }
    SanitizeBlock(block);
    return true;
}

// ---------------------------------------------------------------------------
// Writing

size_t SettingsBlockCapacity()
{
    const size_t paths = RecentHeightmapCount + sizeof FolderFields / sizeof FolderFields[0];
    const size_t numbers = sizeof NumberFields / sizeof NumberFields[0];
    return BlockHeaderSize + numbers * (FieldHeaderSize + 4) + paths * (FieldHeaderSize + SettingsPathSize) +
        KeptUnknownFieldsSize;
}

struct BlockWriter {
    uint8_t* out;     // the caller's bytes
    size_t capacity;  // their size
    size_t used;      // bytes written so far
    bool fits;        // false once a field did not fit
};

static void PutBytes(BlockWriter* writer, const void* bytes, size_t count)
{
    if (!writer->fits || !HasBytesAt(writer->capacity, writer->used, count)) {
        writer->fits = false;
        return;
    }
    memcpy(writer->out + writer->used, bytes, count);
    writer->used += count;
}

static void PutField(BlockWriter* writer, uint16_t id, const void* value, uint32_t length)
{
    uint8_t header[FieldHeaderSize];
    StoreLittleU16(header, id);
    StoreLittleU32(header + 2, length);
    PutBytes(writer, header, sizeof header);
    PutBytes(writer, value, length);
}

// Empty paths are left out: reading gives "" for a missing field.
static void PutPathField(BlockWriter* writer, uint16_t id, const char* path)
{
    const size_t length = strnlen(path, SettingsPathSize);
    if (length > 0 && length < SettingsPathSize)
        PutField(writer, id, path, static_cast<uint32_t>(length));
}

size_t FormatSettingsBlock(const SettingsBlockRecord* block, uint8_t* out, size_t capacity)
{
    BlockWriter writer = {out, capacity, 0, true};
    uint8_t header[BlockHeaderSize];
    memcpy(header, BlockMark, sizeof BlockMark);
    StoreLittleU16(header + 4, BlockVersion);
    PutBytes(&writer, header, sizeof header);
    for (const NumberField& field : NumberFields)
        PutField(&writer, field.id, reinterpret_cast<const uint8_t*>(block) + field.offset, 4);
    for (int i = 0; i < RecentHeightmapCount; ++i)
        PutPathField(&writer, RecentHeightmapField, block->recentHeightmaps[i]);
    for (const auto& field : FolderFields)
        PutPathField(&writer, field.id, reinterpret_cast<const char*>(block) + field.offset);
    PutBytes(&writer, block->keptFields, block->keptFieldsSize);
    return writer.fits ? writer.used : 0;
}

// ---------------------------------------------------------------------------
// The recent list

void RememberRecentHeightmap(SettingsBlockRecord* block, const char* path)
{
    const size_t length = strlen(path);
    if (length == 0 || length >= SettingsPathSize)
        return;
    int last = RecentHeightmapCount - 1;  // the entry that goes when the path is new
    for (int i = 0; i < RecentHeightmapCount; ++i)
        if (strcmp(block->recentHeightmaps[i], path) == 0 || block->recentHeightmaps[i][0] == '\0') {
            last = i;
            break;
        }
    for (int i = last; i > 0; --i)
        memcpy(block->recentHeightmaps[i], block->recentHeightmaps[i - 1], SettingsPathSize);
    memcpy(block->recentHeightmaps[0], path, length + 1);
}
