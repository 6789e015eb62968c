// Builds the bytes of a .3ds file exactly as the mesh writer lays one out
// (Main, Version, Editor, Object "heightmesh", TriMesh with vertex list,
// texture coordinate list and face list), from a heightmap given as a function,
// so that renderer tests and benchmarks can load a generated mesh through the
// model store without the save dialog.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

struct HeightmeshShape {
    int width = 64;                                                     // heightmap pixels per row
    int height = 64;                                                    // heightmap rows
    int gridStep = 1;                                                   // pixels between samples
    float overallScale = 24.0f;                                         // world units per pixel
    float heightScale = 1.0f;                                           // world units per unit of red
    float textureScale = 1.0f;                                          // multiplier of the texture coordinates
    std::function<int(int x, int y)> red = [](int, int) { return 0; };  // red byte of pixel (x, y)
};

struct HeightmeshData {
    std::vector<float> positions;  // x, y, z per vertex
    std::vector<float> texCoords;  // u, v per vertex
    std::vector<uint16_t> faces;   // a, b, c, flags per face
};

// Samples the grid as mesh generation does: vertex i at column i mod cols, row
// i div cols; two counter-clockwise faces per cell.
inline HeightmeshData SampleHeightmesh(const HeightmeshShape& shape)
{
    HeightmeshData mesh;
    int halfW = shape.width / 2, halfH = shape.height / 2;
    int cols = shape.width / shape.gridStep, rows = shape.height / shape.gridStep;
    for (int i = 0; i < rows * cols; ++i) {
        int x = (i % cols) * shape.gridStep, y = (i / cols) * shape.gridStep;
        mesh.positions.push_back(static_cast<float>(x - halfW) * shape.overallScale);
        mesh.positions.push_back(-(static_cast<float>(y - halfH) * shape.overallScale));
        mesh.positions.push_back(static_cast<float>(shape.red(x, y)) * shape.heightScale);
        mesh.texCoords.push_back(static_cast<float>(x) / static_cast<float>(shape.width) * shape.textureScale);
        mesh.texCoords.push_back(static_cast<float>(y) / static_cast<float>(shape.height) * shape.textureScale);
    }
    for (int r = 0; r + 1 < rows; ++r)
        for (int c = 0; c + 1 < cols; ++c) {
            uint16_t v = static_cast<uint16_t>(r * cols + c);
            const uint16_t cell[8] = {static_cast<uint16_t>(v + 1),        v,
                                      static_cast<uint16_t>(v + cols),     0,
                                      static_cast<uint16_t>(v + cols + 1), static_cast<uint16_t>(v + 1),
                                      static_cast<uint16_t>(v + cols),     0};
            mesh.faces.insert(mesh.faces.end(), cell, cell + 8);
        }
    return mesh;
}

inline void AppendLE16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

inline void AppendLE32(std::vector<uint8_t>& out, uint32_t value)
{
    AppendLE16(out, value & 0xFFFF);
    AppendLE16(out, value >> 16);
}

inline void AppendChunkHeader(std::vector<uint8_t>& out, uint16_t id, uint32_t length)
{
    AppendLE16(out, id);
    AppendLE32(out, length);
}

inline void PatchLE32(std::vector<uint8_t>& out, size_t offset, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        out[offset + k] = static_cast<uint8_t>(value >> (8 * k));
}

inline void AppendFloats(std::vector<uint8_t>& out, const std::vector<float>& values)
{
    size_t at = out.size();
    out.resize(at + values.size() * 4);
    memcpy(out.data() + at, values.data(), values.size() * 4);  // little-endian host
}

// The writer's chunk tree; `extraFaces` (a, b, c, flags each) are appended to the face
// list. Without texture coordinates the TexCoordList chunk is left out.
inline std::vector<uint8_t> HeightmeshFileBytes(const HeightmeshData& mesh,
                                                const std::vector<uint16_t>& extraFaces = {}, bool withTexCoords = true)
{
    uint32_t n = static_cast<uint32_t>(mesh.positions.size() / 3);
    std::vector<uint16_t> faces = mesh.faces;
    faces.insert(faces.end(), extraFaces.begin(), extraFaces.end());
    uint32_t f = static_cast<uint32_t>(faces.size() / 4);
    std::vector<uint8_t> out;
    AppendChunkHeader(out, 0x4D4D, 0);
    AppendChunkHeader(out, 0x0002, 8);
    AppendLE16(out, 3);
    size_t editor = out.size();
    AppendChunkHeader(out, 0x3D3D, 0);
    size_t object = out.size();
    AppendChunkHeader(out, 0x4000, 0);
    const char name[] = "heightmesh";
    out.insert(out.end(), name, name + sizeof name);
    size_t triMesh = out.size();
    AppendChunkHeader(out, 0x4100, 0);
    AppendChunkHeader(out, 0x4110, 12 * n + 8);
    AppendLE16(out, n);
    AppendFloats(out, mesh.positions);
    if (withTexCoords) {
        AppendChunkHeader(out, 0x4140, 8 * n + 8);
        AppendLE16(out, n);
        AppendFloats(out, mesh.texCoords);
    }
    AppendChunkHeader(out, 0x4120, 8 * f + 8);
    AppendLE16(out, f);
    for (uint16_t word : faces)
        AppendLE16(out, word);
    uint32_t total = static_cast<uint32_t>(out.size());
    PatchLE32(out, 2, total);
    PatchLE32(out, editor + 2, total - static_cast<uint32_t>(editor));
    PatchLE32(out, object + 2, total - static_cast<uint32_t>(object));
    PatchLE32(out, triMesh + 2, total - static_cast<uint32_t>(triMesh));
    return out;
}

inline bool WriteBytesToFile(const std::string& path, const std::vector<uint8_t>& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}
