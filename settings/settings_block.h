// The settings that came after the 2,084-byte record: a versioned block that
// follows the record in orvanel.cfg. The record's bytes keep their meaning and
// layout, so older programs read newer files (they stop after the record) and a
// file without the block gives today's behaviour.
//
// Layout (little-endian), from byte 2084 of the file:
//   "ORVX"                 4 bytes, the block's mark
//   version                16-bit, BlockVersion
//   then fields to the end of the file, each:
//     id                   16-bit, one of SettingsFieldId
//     length               32-bit, bytes of the value that follows
//     value                length bytes
// A reader skips ids it does not know and keeps them, so that saving the
// settings never drops what a newer program stored. A field whose length does
// not match its kind is ignored, as is everything after a header that runs past
// the end; the fields read up to there stand.
#pragma once

#include <cstddef>
#include <cstdint>

const size_t SettingsPathSize = 4096;        // bytes of a stored path, terminator included
const int RecentHeightmapCount = 5;          // File > Recent heightmaps
const size_t KeptUnknownFieldsSize = 65536;  // unknown fields kept for the next save, at most

// The block's first four bytes.
const char SettingsBlockMark[] = "ORVX";

enum MeshModes { GridMeshMode = 0, AdaptiveMeshMode = 1 };

struct SettingsBlockRecord {
    int32_t meshMode;      // GridMeshMode or AdaptiveMeshMode
    int32_t maxFaces;      // face budget of the adaptive mesh; 0: what the output format allows
    float maxErrorLevels;  // error bound of the adaptive mesh in red levels, 0..255
    int32_t splitObjects;  // 1: a mesh too large for one 3DS object is written as several
    int32_t solid;         // 1: the surface is closed into a watertight solid
    float solidBase;       // world units from the lowest point down to the solid's bottom
    int32_t wireframe;     // 1: the preview draws the edges over the surface
    float lightAzimuth;    // degrees around the vertical axis, where the preview's light comes from
    float lightElevation;  // degrees above the horizon
    char recentHeightmaps[RecentHeightmapCount][SettingsPathSize];  // newest first; "" ends the list
    char openFolder[SettingsPathSize];          // where the Open dialog starts; "" for its own choice
    char saveFolder[SettingsPathSize];          // where Save As starts; "" for its own choice
    uint8_t keptFields[KeptUnknownFieldsSize];  // unknown fields as they were read
    size_t keptFieldsSize;                      // bytes used in keptFields
};

// The settings of this run beyond the record; SetDefaultSettingsBlock until loaded.
extern SettingsBlockRecord SettingsBlock;

// Grid mesh, no budget of its own, error bound 0, no splitting, no solid (base 64
// units), no wireframe, the light from azimuth 0 at elevation 90 (overhead), no
// recent files or folders.
void SetDefaultSettingsBlock(SettingsBlockRecord* block);

// Reads the block from the bytes after the record (size 0: no block). False, with
// the defaults in `block`, when the bytes do not begin with the mark and a
// version this program reads; fields read before a damaged one are kept.
bool ParseSettingsBlock(const uint8_t* bytes, size_t size, SettingsBlockRecord* block);

// Bytes FormatSettingsBlock may need, at most.
size_t SettingsBlockCapacity();

// Writes the block into `out` (capacity bytes); the count written, or 0 when it
// does not fit.
size_t FormatSettingsBlock(const SettingsBlockRecord* block, uint8_t* out, size_t capacity);

// Puts `path` first in the recent list, removing an earlier entry of the same path
// and the oldest when the list is full. A path that does not fit is not added.
void RememberRecentHeightmap(SettingsBlockRecord* block, const char* path);
