// Chunk ids of the standard 3DS stream, shared by the reader (model3ds.cpp) and
// the writer (mesh/write3ds.cpp). Every chunk starts with its 16-bit id and a
// 32-bit length that counts the whole chunk, header included.
#pragma once

#include <cstdint>

const int32_t ChunkHeaderSize = 6;

const uint16_t MainChunkId = 0x4D4D;
const uint16_t VersionChunkId = 0x0002;
const uint16_t EditorChunkId = 0x3D3D;
const uint16_t ObjectChunkId = 0x4000;  // the object's NUL-terminated name comes first
const uint16_t TriMeshChunkId = 0x4100;
const uint16_t VertexListChunkId = 0x4110;
const uint16_t FaceListChunkId = 0x4120;
const uint16_t MaterialGroupChunkId = 0x4130;
const uint16_t TexCoordListChunkId = 0x4140;
const uint16_t SmoothingGroupsChunkId = 0x4150;
const uint16_t MeshMatrixChunkId = 0x4160;
const uint16_t KeyframerChunkId = 0xB000;
const uint16_t ObjectNodeChunkId = 0xB002;
const uint16_t KeyframeSegmentChunkId = 0xB008;
const uint16_t KeyframeHeaderChunkId = 0xB00A;
const uint16_t NodeHeaderChunkId = 0xB010;
const uint16_t PivotChunkId = 0xB013;
const uint16_t PositionTrackChunkId = 0xB020;
const uint16_t RotationTrackChunkId = 0xB021;
const uint16_t ScaleTrackChunkId = 0xB022;
const uint16_t MorphTrackChunkId = 0xB024;
const uint16_t NodeIdChunkId = 0xB030;
